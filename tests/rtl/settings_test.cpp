// Model classes, the settings record and the option strings.
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "host/kv_log.h"
#include "rtl/printer_models.h"
#include "rtl_test_support.h"
#include "support/log_capture.h"

namespace tarnwick::rtl_test {
namespace {

constexpr char kCommonOptions[] =
    "Cut sheet after printing:0,No,Yes;"
    "Overprint:0,1,2,3;"
    "Print Direction:1,Unidirectional,Bidirectional;"
    "Page Spacing:1,None,10 mm,20 mm,30 mm,40 mm,50 mm,60 mm,70 mm,80 mm,90 mm,100 mm;"
    "Media Feed Calibration:1,Off,On;"
    "Color Bar:1,None,Pure Color,Mixed Color;";
constexpr char kNamedOptions[] =
    "Dry Time:0,None,1 min,3 min,5 min,7 min,10 min,15 min;"
    "Advance After Print:1,No,Yes;";

using RtlSettingsTest = RtlTest;

TEST_F(RtlSettingsTest, ModelClassAndOptionListByName) {
    struct Case {
        const char* model;
        int modelClass;
        bool namedOptions;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model != nullptr ? c.model : "(null)");
        EXPECT_EQ(DetectModelClass(c.model), c.modelClass);
        EXPECT_EQ(HasNamedOptions(c.model), c.namedOptions);
        char text[1024];
        ASSERT_EQ(rtl->GetDriverOptionString(text, c.model), 1);
        EXPECT_EQ(std::string(text),
                  std::string(kCommonOptions) + (c.namedOptions ? kNamedOptions : ""));
    }
    EXPECT_EQ(std::string(kCommonOptions).size() + std::string(kNamedOptions).size(), 335u);

    // A model field without its terminating zero is not read past 64 bytes.
    char field[80];
    std::memset(field, 'x', sizeof(field));
    std::memcpy(field + 64, "CP52", 4);
    field[79] = '\0';
    EXPECT_EQ(DetectModelClass(field), 0);
}

TEST_F(RtlSettingsTest, IdentifyPrinterModelValidatesAndClassifies) {
    PrinterSettings& s = ctx.m_Settings.settings;
    std::memset(&s, 0x77, sizeof(s));
    PrinterSettings& got = StartJob("Coldstream SP-1400C");
    EXPECT_EQ(&got, rtl->Settings());
    EXPECT_EQ(s.tag, 24);
    EXPECT_EQ(s.reserved10, 0x77);  // not part of the defaults
    EXPECT_EQ(s.modelClass, 1);
    EXPECT_EQ(s.colorBar, 1);
    EXPECT_EQ(s.advanceAfterPrint, 1);
    EXPECT_EQ(s.reserved11, 3);

    // A valid record keeps its values; only the class is set anew.
    s.overprint = 2;
    StartJob("CP52-LM");
    EXPECT_EQ(s.overprint, 2);
    EXPECT_EQ(s.modelClass, 2);
}

TEST_F(RtlSettingsTest, ResetAndValidate) {
    PrinterSettings s;
    std::memset(&s, 0xEE, sizeof(s));
    RTL::ResetSettings(&s);
    const uint8_t expected[14] = {24, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0xEE, 3, 0xEE, 1};
    EXPECT_EQ(std::memcmp(&s, expected, sizeof(expected)), 0);

    s.overprint = 9;
    EXPECT_EQ(rtl->ValidateSettings(&s), 1);
    EXPECT_EQ(s.overprint, 9);
    s.tag = 23;
    EXPECT_EQ(rtl->ValidateSettings(&s), 1);
    EXPECT_EQ(s.overprint, 0);
}

TEST_F(RtlSettingsTest, SettingsDifferIgnoresTagCutAndAdvance) {
    PrinterSettings a{};
    RTL::ResetSettings(&a);
    for (std::size_t byte = 0; byte < sizeof(PrinterSettings); ++byte) {
        SCOPED_TRACE(byte);
        PrinterSettings b = a;
        reinterpret_cast<uint8_t*>(&b)[byte] ^= 1;
        const bool ignored = byte == 0 || byte == 5 || byte == 9;
        EXPECT_EQ(rtl->SettingsDiffer(&a, &b), ignored ? 0 : 1);
    }
    EXPECT_EQ(rtl->SettingsDiffer(&a, &a), 0);
}

TEST_F(RtlSettingsTest, ApplyDriverOptions) {
    SettingsArea area{};
    PrinterSettings& s = area.settings;
    RTL::ResetSettings(&s);
    auto* bytes = reinterpret_cast<uint8_t*>(&area);

    EXPECT_EQ(
        rtl->ApplyDriverOptions("DriverOption2=0 DriverOption6=3", bytes, "Coldstream SP-1400C"),
        1);
    EXPECT_EQ(rtl->Settings(), &s);
    EXPECT_EQ(s.printDirection, 0);
    EXPECT_EQ(s.dryTime, 0);
    EXPECT_EQ(rtl->ApplyDriverOptions("DriverOption2=0 DriverOption6=3", bytes, "CP52"), 1);
    EXPECT_EQ(s.dryTime, 3);

    // Every index goes to its own field.
    rtl->ApplyDriverOptions(
        "DriverOption0=1;DriverOption1=2;DriverOption2=1;DriverOption3=7;"
        "DriverOption4=0;DriverOption5=2;DriverOption6=5;DriverOption7=0",
        bytes, "CP52-LM");
    const uint8_t expected[14] = {24, 0, 1, 7, 2, 1, 5, 0, 0, 0, 0, 3, 0, 2};
    EXPECT_EQ(std::memcmp(&s, expected, sizeof(expected)), 0);

    // 255 means "not given"; index 8 ends the scan before index 3.
    rtl->ApplyDriverOptions("DriverOption1=255;DriverOption8=1;DriverOption3=2", bytes, "CP52");
    EXPECT_EQ(s.overprint, 2);
    EXPECT_EQ(s.pageSpacing, 7);
    EXPECT_EQ(rtl->ApplyDriverOptions(nullptr, bytes, nullptr), 1);
    EXPECT_EQ(std::memcmp(&s, expected, sizeof(expected)), 0);
}

// Option texts that would put a setting out of its range are refused where they enter: the
// record keeps its value and the log names the option or field and its range.
TEST_F(RtlSettingsTest, OptionValuesOutOfRangeAreRefused) {
    struct Case {
        const char* text;
        const char* log;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SettingsArea area{};
        RTL::ResetSettings(&area.settings);
        const SettingsArea before = area;
        PrintSetup setup{};
        std::snprintf(setup.modelName, sizeof setup.modelName, "CP52");
        ScopedLogCapture log;
        EXPECT_EQ(rtl->ParseDriverOptions(c.text, reinterpret_cast<uint8_t*>(&area), &setup), 1);
        EXPECT_EQ(std::memcmp(&area, &before, sizeof area), 0);
        ASSERT_EQ(log.entries().size(), 1u);
        EXPECT_NE(log.entries()[0].text.find(c.log), std::string::npos) << log.entries()[0].text;
    }
    // The other pairs of a text still apply, the largest values of the menus among them.
    SettingsArea area{};
    RTL::ResetSettings(&area.settings);
    rtl->ApplyDriverOptions("DriverOption3=99 DriverOption1=2 DriverOption6=6",
                            reinterpret_cast<uint8_t*>(&area), "CP52");
    EXPECT_EQ(area.settings.pageSpacing, 1);
    EXPECT_EQ(area.settings.overprint, 2);
    EXPECT_EQ(area.settings.dryTime, 6);
}

}  // namespace
}  // namespace tarnwick::rtl_test
