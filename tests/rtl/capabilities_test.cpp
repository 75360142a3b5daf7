// What the printer class tells the host: print modes, resolutions, inks and planes, model classes,
// the settings record and the option strings (the rows of capabilities.txt).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/text_table.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

const std::string kCommonOptions =
    "Cut sheet after printing:0,No,Yes;Overprint:0,1,2,3;"
    "Print Direction:1,Unidirectional,Bidirectional;"
    "Page Spacing:1,None,10 mm,20 mm,30 mm,40 mm,50 mm,60 mm,70 mm,80 mm,90 mm,100 mm;"
    "Media Feed Calibration:1,Off,On;Color Bar:1,None,Pure Color,Mixed Color;";
const std::string kNamedOptions =
    "Dry Time:0,None,1 min,3 min,5 min,7 min,10 min,15 min;Advance After Print:1,No,Yes;";

TEST(RtlCapabilities, RowsOfTheTable) {
    RTL rtl;
    std::vector<ColorEntry> entries(16);
    ColorList colors{0, entries.data(), 16};
    for (const test::TableRow& r : test::ReadTable(__FILE__, "capabilities.txt")) {
        SCOPED_TRACE(r.where);
        if (r[0] == "resolution") {
            ResolutionList list;
            int32_t mode = r.Int(2);
            int32_t value = -5;
            EXPECT_EQ(rtl.GetResolutions(r[1].c_str(), nullptr, &mode, &list, &value), 1);
            EXPECT_EQ(value, 0);
            ASSERT_EQ(list.size(), 1u);
            EXPECT_EQ(std::tuple(list[0].xDpi, list[0].yDpi, list[0].id, list[0].name),
                      std::tuple(r.Real(3), r.Real(3), r.Int(4), r[5]));
        } else if (r[0] == "planes") {
            int16_t planes = 0;
            int16_t layout = 0;
            rtl.GetColorPlanes(r.Int(1), &planes, &layout);
            EXPECT_EQ(std::tuple(planes, layout), std::tuple(r.Int(2), r.Int(3)));
        } else if (r[0] == "colors") {
            ASSERT_EQ(rtl.GetColorList(r.Int(1), &colors), 1);
            std::string names;
            for (int i = 0; i < colors.count; ++i) {
                names += (i ? "|" : "") + std::string(entries[std::size_t(i)].displayName);
            }
            EXPECT_EQ(names, r[2]);
        } else if (r[0] == "model") {
            const char* model = r[1] == "(null)" ? nullptr : r[1].c_str();
            EXPECT_EQ(DetectModelClass(model), r.Int(2));
            EXPECT_EQ(HasNamedOptions(model), r.Int(3) == 1);
            char text[1024];
            ASSERT_EQ(rtl.GetDriverOptionString(text, model), 1);
            EXPECT_EQ(text, kCommonOptions + (r.Int(3) == 1 ? kNamedOptions : ""));
        } else {
            ASSERT_EQ(r[0], "refused");
            SettingsArea area{};
            RTL::ResetSettings(&area.settings);
            const SettingsArea before = area;
            PrintSetup setup{};
            std::snprintf(setup.modelName, sizeof setup.modelName, "CP52");
            ScopedLogCapture log;
            EXPECT_EQ(
                rtl.ParseDriverOptions(r[1].c_str(), reinterpret_cast<uint8_t*>(&area), &setup), 1);
            EXPECT_EQ(std::memcmp(&area, &before, sizeof area), 0);
            ASSERT_EQ(log.entries().size(), 1u);
            EXPECT_NE(log.entries()[0].text.find(r[2]), std::string::npos) << log.entries()[0].text;
        }
    }
}

TEST(RtlCapabilities, ColorEntriesAndRefusedColorModes) {
    RTL rtl;
    std::vector<ColorEntry> entries(16);
    ColorList list{0, entries.data(), 16};
    ASSERT_EQ(rtl.GetColorList(2, &list), 1);
    EXPECT_STREQ(entries[4].name, "LCyan");
    ASSERT_EQ(rtl.GetColorList(1, &list), 1);
    EXPECT_EQ(
        std::tuple(entries[0].colorValue, entries[0].isSpot, entries[0].print, entries[0].depth),
        std::tuple(0x231F20u, 0, 1, 1));
    list.count = 42;
    EXPECT_EQ(rtl.GetColorList(4, &list), 0);
    EXPECT_EQ(rtl.GetColorList(-1, &list), 0);
    EXPECT_EQ(list.count, 42);
    ScopedLogCapture log;
    ColorList tooSmall{0, entries.data(), 3};
    EXPECT_EQ(rtl.GetColorList(0, &tooSmall), 0);
    EXPECT_EQ(log.entries().size(), 1u);
    // A model field without its terminating zero is not read past 64 bytes.
    char field[80];
    std::memset(field, 'x', sizeof(field));
    std::memcpy(field + 64, "CP52", 4);
    field[79] = '\0';
    EXPECT_EQ(DetectModelClass(field), 0);
}

TEST(RtlSettings, DefaultsValidationAndComparison) {
    RTL rtl;
    PrinterSettings s;
    std::memset(&s, 0xEE, sizeof(s));
    RTL::ResetSettings(&s);
    const uint8_t defaults[14] = {24, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0xEE, 3, 0xEE, 1};
    EXPECT_EQ(std::memcmp(&s, defaults, sizeof(defaults)), 0);

    // A record with its tag keeps its values; one without is reset. Only the class is set anew.
    s.overprint = 2;
    s.modelClass = 2;
    EXPECT_EQ(rtl.IdentifyPrinterModel(&s), 1);
    EXPECT_EQ(rtl.Settings(), &s);
    EXPECT_EQ(s.overprint, 2);
    EXPECT_EQ(s.modelClass, 0);  // no job: no model name
    s.tag = 23;
    EXPECT_EQ(rtl.ValidateSettings(&s), 1);
    EXPECT_EQ(s.overprint, 0);
    EXPECT_EQ(s.reserved10, 0xEE);  // not part of the defaults
    s.overprint = 9;
    EXPECT_EQ(rtl.ValidateSettings(&s), 1);
    EXPECT_EQ(s.overprint, 9);
    ScopedLogCapture log;
    EXPECT_EQ(rtl.IdentifyPrinterModel(&s), 0) << "a value out of range stops the job";
    EXPECT_EQ(rtl.IdentifyPrinterModel(nullptr), 0);
    EXPECT_EQ(log.entries().size(), 2u);

    PrinterSettings a{};
    RTL::ResetSettings(&a);
    for (std::size_t byte = 0; byte < sizeof(PrinterSettings); ++byte) {
        PrinterSettings b = a;
        reinterpret_cast<uint8_t*>(&b)[byte] ^= 1;
        const bool ignored = byte == 0 || byte == 5 || byte == 9;  // tag, cut, advance
        EXPECT_EQ(rtl.SettingsDiffer(&a, &b), ignored ? 0 : 1) << byte;
    }
    EXPECT_EQ(rtl.SettingsDiffer(&a, &a), 0);
    EXPECT_EQ(rtl.SettingsDiffer(&a, nullptr), 1);
}

TEST(RtlSettings, DriverOptionTexts) {
    RTL rtl;
    SettingsArea area{};
    PrinterSettings& s = area.settings;
    RTL::ResetSettings(&s);
    auto* bytes = reinterpret_cast<uint8_t*>(&area);
    // Dry time is a named model's option.
    EXPECT_EQ(
        rtl.ApplyDriverOptions("DriverOption2=0 DriverOption6=3", bytes, "Coldstream SP-1400C"), 1);
    EXPECT_EQ(rtl.Settings(), &s);
    EXPECT_EQ(std::tuple(s.printDirection, s.dryTime), std::tuple(0, 0));
    EXPECT_EQ(rtl.ApplyDriverOptions("DriverOption2=0 DriverOption6=3", bytes, "CP52"), 1);
    EXPECT_EQ(s.dryTime, 3);

    // Every index goes to its own field.
    rtl.ApplyDriverOptions(
        "DriverOption0=1;DriverOption1=2;DriverOption2=1;DriverOption3=7;"
        "DriverOption4=0;DriverOption5=2;DriverOption6=5;DriverOption7=0",
        bytes, "CP52-LM");
    const uint8_t expected[14] = {24, 0, 1, 7, 2, 1, 5, 0, 0, 0, 0, 3, 0, 2};
    EXPECT_EQ(std::memcmp(&s, expected, sizeof(expected)), 0);
    // 255 means "not given"; index 8 ends the scan before index 3.
    rtl.ApplyDriverOptions("DriverOption1=255;DriverOption8=1;DriverOption3=2", bytes, "CP52");
    EXPECT_EQ(std::tuple(s.overprint, s.pageSpacing), std::tuple(2, 7));
    EXPECT_EQ(rtl.ApplyDriverOptions(nullptr, bytes, nullptr), 1);
    EXPECT_EQ(std::memcmp(&s, expected, sizeof(expected)), 0);
    // The pairs in range still apply, the largest values of the menus among them.
    RTL::ResetSettings(&s);
    rtl.ApplyDriverOptions("DriverOption3=99 DriverOption1=2 DriverOption6=6", bytes, "CP52");
    EXPECT_EQ(std::tuple(s.pageSpacing, s.overprint, s.dryTime), std::tuple(1, 2, 6));
}

}  // namespace
}  // namespace tarnwick
