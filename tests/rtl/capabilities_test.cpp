// What the printer class tells the host: print modes, resolutions, inks and planes, model classes,
// the settings record and the option strings.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

using Names = std::vector<std::string>;

// The lists of print modes are checked by the tool's tests; each mode has one resolution.
TEST(RtlCapabilities, OneResolutionPerMode) {
    RTL rtl;
    struct Row {
        const char* model;
        int32_t mode;
        double dpi;
        int32_t id;
        const char* name;
    } rows[] = {
        {"CP52", 0, 360, 0, "360"},    {"CP52", 1, 720, 1, "720"},    {"CP52", 2, 180, 2, "180"},
        {"CP52", 3, 360, 3, "360"},    {"CP52", 4, 540, 4, "540"},    {"CP52", 6, 720, 6, "720"},
        {"CP52", 9, 720, 9, "720"},    {"Plain", -1, 720, -1, "720"}, {"CP52-LM", 0, 360, 0, "360"},
        {"CP52-LM", 6, 720, 1, "720"}, {"CP52-LM", 2, 720, 1, "720"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.model) + " " + std::to_string(row.mode));
        ResolutionList list;
        int32_t mode = row.mode;
        int32_t value = -5;
        EXPECT_EQ(rtl.GetResolutions(row.model, nullptr, &mode, &list, &value), 1);
        EXPECT_EQ(value, 0);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].xDpi, row.dpi);
        EXPECT_EQ(list[0].yDpi, row.dpi);
        EXPECT_EQ(list[0].id, row.id);
        EXPECT_STREQ(list[0].name, row.name);
    }
}

TEST(RtlCapabilities, ColorModesInksAndPlanes) {
    RTL rtl;
    std::vector<ColorEntry> entries(16);
    ColorList list{0, entries.data(), 16};
    const std::pair<int, Names> modes[] = {
        {0, {"Cyan", "Magenta", "Yellow", "Black"}},
        {1, {"Black"}},
        {2, {"Cyan", "Magenta", "Yellow", "Black", "Light cyan", "Light magenta"}},
        {3, {"Cyan", "Magenta", "Yellow", "Black", "Green", "Orange"}},
    };
    for (const auto& [mode, names] : modes) {
        ASSERT_EQ(rtl.GetColorList(mode, &list), 1);
        Names got;
        for (int i = 0; i < list.count; ++i) got.emplace_back(entries[std::size_t(i)].displayName);
        EXPECT_EQ(got, names) << mode;
    }
    ASSERT_EQ(rtl.GetColorList(2, &list), 1);
    EXPECT_STREQ(entries[4].name, "LCyan");
    ASSERT_EQ(rtl.GetColorList(1, &list), 1);
    EXPECT_EQ(entries[0].colorValue, 0x231F20u);
    EXPECT_EQ(entries[0].isSpot, 0);
    EXPECT_EQ(entries[0].print, 1);
    EXPECT_EQ(entries[0].depth, 1);
    list.count = 42;
    EXPECT_EQ(rtl.GetColorList(4, &list), 0);
    EXPECT_EQ(rtl.GetColorList(-1, &list), 0);
    EXPECT_EQ(list.count, 42);
    ScopedLogCapture log;
    ColorList tooSmall{0, entries.data(), 3};
    EXPECT_EQ(rtl.GetColorList(0, &tooSmall), 0);
    EXPECT_EQ(log.entries().size(), 1u);

    const int planes[][3] = {{0, 4, 0}, {1, 1, 3}, {2, 6, 1}, {3, 6, 2}, {4, 4, 0}, {-1, 4, 0}};
    for (const auto& [mode, count, layout] : planes) {
        int16_t p = 0;
        int16_t l = 0;
        rtl.GetColorPlanes(mode, &p, &l);
        EXPECT_EQ(p, count) << mode;
        EXPECT_EQ(l, layout) << mode;
    }
}

TEST(RtlSettings, ModelClassAndOptionListByName) {
    const std::string common =
        "Cut sheet after printing:0,No,Yes;Overprint:0,1,2,3;"
        "Print Direction:1,Unidirectional,Bidirectional;"
        "Page Spacing:1,None,10 mm,20 mm,30 mm,40 mm,50 mm,60 mm,70 mm,80 mm,90 mm,100 mm;"
        "Media Feed Calibration:1,Off,On;Color Bar:1,None,Pure Color,Mixed Color;";
    const std::string named =
        "Dry Time:0,None,1 min,3 min,5 min,7 min,10 min,15 min;Advance After Print:1,No,Yes;";
    struct Row {
        const char* model;
        int modelClass;
        bool namedOptions;
    } rows[] = {
        {"CP52", 1, true},
        {"CP52-LM", 2, true},
        {"Big CP52-LM Pro", 2, true},
        {"Coldstream SP-1400C", 1, false},
        {"ASBRU_V3C", 1, true},
        {"ASBRU_V3C CP52-LM", 1, true},  // the first rule wins
        {"cp52", 0, false},
        {"Plain RTL", 0, false},
        {"", 0, false},
        {nullptr, 0, false},
    };
    RTL rtl;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.model != nullptr ? row.model : "(null)");
        EXPECT_EQ(DetectModelClass(row.model), row.modelClass);
        EXPECT_EQ(HasNamedOptions(row.model), row.namedOptions);
        char text[1024];
        ASSERT_EQ(rtl.GetDriverOptionString(text, row.model), 1);
        EXPECT_EQ(text, common + (row.namedOptions ? named : ""));
    }
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
    EXPECT_EQ(s.printDirection, 0);
    EXPECT_EQ(s.dryTime, 0);
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
    EXPECT_EQ(s.overprint, 2);
    EXPECT_EQ(s.pageSpacing, 7);
    EXPECT_EQ(rtl.ApplyDriverOptions(nullptr, bytes, nullptr), 1);
    EXPECT_EQ(std::memcmp(&s, expected, sizeof(expected)), 0);
    // The pairs in range still apply, the largest values of the menus among them.
    RTL::ResetSettings(&s);
    rtl.ApplyDriverOptions("DriverOption3=99 DriverOption1=2 DriverOption6=6", bytes, "CP52");
    EXPECT_EQ(s.pageSpacing, 1);
    EXPECT_EQ(s.overprint, 2);
    EXPECT_EQ(s.dryTime, 6);

    // A value that would put a setting out of its range is refused where it enters.
    const std::pair<const char*, const char*> refused[] = {
        {"DriverOption3=200",
         "DriverOption3 (Page Spacing) value 200 is refused: out of its range 0 to 10"},
        {"DriverOption1=3",
         "DriverOption1 (Overprint) value 3 is refused: out of its range 0 to 2"},
        {"DriverOption6=7", "DriverOption6 (Dry Time) value 7 is refused: out of its range 0 to 6"},
        {"DriverOption5=300", "DriverOption5 value 300 is refused: out of its range 0 to 255"},
        {"DriverOption5=-2", "DriverOption5 value -2 is refused: out of its range 0 to 255"},
        {"DriverOptionBinary=1801010B",
         "DriverOptionBinary is refused: settings record: Page Spacing (settings byte 3) is 11, "
         "out of its range 0 to 10"},
        {"DriverOptionBinary=1801010180",
         "DriverOptionBinary is refused: settings record: Overprint (settings byte 4) is 128, "
         "out of its range 0 to 2"},
    };
    for (const auto& [text, line] : refused) {
        SCOPED_TRACE(text);
        RTL::ResetSettings(&s);
        const SettingsArea before = area;
        PrintSetup setup{};
        std::snprintf(setup.modelName, sizeof setup.modelName, "CP52");
        ScopedLogCapture log;
        EXPECT_EQ(rtl.ParseDriverOptions(text, bytes, &setup), 1);
        EXPECT_EQ(std::memcmp(&area, &before, sizeof area), 0);
        ASSERT_EQ(log.entries().size(), 1u);
        EXPECT_NE(log.entries()[0].text.find(line), std::string::npos) << log.entries()[0].text;
    }
}

}  // namespace
}  // namespace tarnwick
