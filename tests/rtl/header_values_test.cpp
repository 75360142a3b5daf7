// The numbers a page header and its rows are made from: geometry, passes, the colour-bar strip,
// the range checks of the settings record and the calibration value. Worked out by hand.
#include "rtl/header_values.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <climits>
#include <string>
#include <vector>

#include "rtl/color_bar.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/settings_check.h"

namespace tarnwick {
namespace {

TEST(HeaderValues, GeometryOfThePage) {
    struct Row {
        const char* name;
        HeaderInputs in;  // resX, resY, fullWidth, devWidth, devHeight, scaleX, planes, mode,
                          // model class, colour bar
        int32_t rowBytes;
        long plotLength, plotWidth, sourceWidth;
        int32_t resolution, passes, planes;
    } rows[] = {
        // (1000 + 226 strip pixels + 7) / 8; 500 rows at 360 dpi = 1411.1 plotter units
        {"generic", {360, 360, 1000, 1000, 500, 1, 4, 0, 0, 0}, 154, 1411, 2822, 1000, 360, 4, 4},
        // the bar adds trunc(0.62992 * 720) = 453 pixels and six planes;
        // (453.5424 + 1000) px * 1016 / 720 = 2051.1
        {"named, bar", {720, 720, 1000, 1000, 100, 1, 4, 1, 1, 1}, 182, 141, 2051, 1453, 720, 8, 6},
        // trunc(453.5424 * 2) = 907 device pixels, but 453 job pixels per row
        {"bar, repeated",
         {720, 720, 500, 1000, 100, 2, 1, 0, 1, 2},
         239,
         141,
         2691,
         1907,
         720,
         4,
         6},
        // without the bar only a six-plane job declares six planes; the row keeps the strip
        {"six planes", {720, 720, 500, 1000, 100, 2, 6, 0, 1, 0}, 239, 141, 1411, 1000, 720, 4, 6},
        {"four planes", {720, 720, 500, 1000, 100, 2, 4, 0, 1, 0}, 239, 141, 1411, 1000, 720, 4, 4},
        // single precision: double precision would round these to 187897 and 262215
        {"large",
         {360, 720, 92911, 92912, 133155, 1, 4, 0, 1, 0},
         11643,
         187896,
         262216,
         92912,
         360,
         4,
         4},
        // the photo mode at 720 dpi is announced at twice that
        {"photo", {720, 720, 8, 8, 1, 1, 4, 6, 1, 0}, 58, 1, 11, 8, 1440, 16, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const HeaderValues v = ComputeHeaderValues(row.in);
        ASSERT_EQ(v.error, nullptr);
        EXPECT_EQ(v.rowBytes, row.rowBytes);
        EXPECT_EQ(v.plotLength, row.plotLength);
        EXPECT_EQ(v.plotWidth, row.plotWidth);
        EXPECT_EQ(v.sourceWidth, row.sourceWidth);
        EXPECT_EQ(v.resolution, row.resolution);
        EXPECT_EQ(v.passes, row.passes);
        EXPECT_EQ(v.planeCount, row.planes);
    }
    const std::pair<HeaderInputs, std::string> refused[] = {
        {{0, 360, 10, 10, 10, 1, 4, 0, 0, 0}, "invalid device resolution"},
        {{360, 0, 10, 10, 10, 1, 4, 0, 0, 0}, "invalid device resolution"},
        {{360, 360, 10, 10, 10, 0, 4, 0, 0, 0}, "invalid horizontal pixel repetition"},
        {{360, 360, -1, 10, 10, 1, 4, 0, 0, 0}, "invalid page size"},
        {{360, 360, 10, -1, 10, 1, 4, 0, 0, 0}, "invalid page size"},
        {{360, 360, 10, 10, -1, 1, 4, 0, 0, 0}, "invalid page size"},
        {{360, 360, INT_MAX, 10, 10, 8, 4, 0, 0, 0}, "page too wide"},
    };
    for (const auto& [in, error] : refused) {
        const HeaderValues v = ComputeHeaderValues(in);
        ASSERT_NE(v.error, nullptr) << error;
        EXPECT_EQ(v.error, error);
    }
}

TEST(HeaderValues, ResolutionAndPassesFollowModelClassAndMode) {
    struct Row {
        const char* model;
        int32_t mode, dpi, resolution, passes;
    } rows[] = {
        {"ASBRU_V3C", 6, 720, 1440, 16}, {"CP52", 6, 360, 360, 16},   {"CP52", 0, 720, 720, 4},
        {"CP52", 1, 720, 720, 8},        {"CP52", 2, 720, 720, 1},    {"CP52", 3, 720, 720, 2},
        {"CP52", 4, 540, 540, 6},        {"CP52", 5, 720, 720, 4},    {"CP52", 7, 720, 720, 6},
        {"CP52", -1, 720, 720, 6},       {"CP52-LM", 0, 360, 360, 4}, {"CP52-LM", 2, 720, 720, 8},
        {"CP52-LM", 9, 720, 720, 8},     {"Other", 6, 720, 720, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.model) + " mode " + std::to_string(row.mode));
        const auto modelClass = static_cast<uint8_t>(DetectModelClass(row.model));
        const HeaderValues v = ComputeHeaderValues(
            {row.dpi, row.dpi, 100, 100, 10, 1, 4, row.mode, modelClass, kColorBarNone});
        EXPECT_EQ(v.resolution, row.resolution);
        EXPECT_EQ(v.passes, row.passes);
    }
}

// With w = trunc(360 * 0.07874) = 28 pixels, patch k starts at byte (7 + 28k) / 8 = 0, 4, 7, 11,
// 14, 18, 21, 25, 28 of the strip, which starts after the image bytes; position 0 marks patch 2.
TEST(HeaderValues, ColorBarPatchesByPosition) {
    const auto pure = ColorBarPatches::Make(360, 1, 2, kColorBarPure);
    const auto mixed = ColorBarPatches::Make(360, 1, 2, kColorBarMixed);
    ASSERT_TRUE(pure && mixed);
    const int64_t pureMarks[6][2] = {{9, 13}, {13, 16}, {16, 20}, {20, 23}, {23, 27}, {27, 30}};
    const int64_t mixedMarks[6][2] = {{9, 16}, {9, 16}, {16, 23}, {16, 23}, {23, 30}, {23, 30}};
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(pure->Marks(k).begin, pureMarks[k][0]);
        EXPECT_EQ(pure->Marks(k).end, pureMarks[k][1]);
        EXPECT_EQ(mixed->Marks(k).begin, mixedMarks[k][0]);
        EXPECT_EQ(mixed->Marks(k).end, mixedMarks[k][1]);
    }
    EXPECT_EQ(pure->End(), 30);
    EXPECT_EQ(pure->PatchWidth(), 28);
    EXPECT_EQ(StripPixels(360), 226);
    EXPECT_EQ(StripDevicePixels(720, 2), 907);
    EXPECT_FALSE(ColorBarPatches::Make(-360, 1, 2, kColorBarPure));
    EXPECT_FALSE(ColorBarPatches::Make(360, 1, -1, kColorBarPure));
}

TEST(HeaderValues, PlaneOrderTables) {
    using Order = std::vector<int>;
    const std::pair<std::pair<int, int>, Order> rows[] = {
        {{6, 1}, {3, 0, 1, 2, 4, 5}},
        {{6, 2}, {3, 0, 1, 2, 5, 4}},  // orange before green
        {{4, 0}, {0, 1, 2, 3}},
        {{1, 3}, {0, 1, 2, 3}},
    };
    for (const auto& [in, order] : rows) {
        const auto got = PlaneOrderFor(in.first, in.second);
        EXPECT_EQ(Order(got.begin(), got.end()), order) << in.first << " planes";
    }
}

// A byte past its range would go out as a setting the printer does not have (OVERPRINT=-55,
// SPACE=-560): the record is refused, naming the field; the largest value of the range passes.
TEST(HeaderValues, SettingsOutOfRangeAreNamed) {
    struct Row {
        uint8_t PrinterSettings::*field;
        uint8_t largest, bad;
        const char* error;
    } rows[] = {
        {&PrinterSettings::overprint, 2, 200,
         "Overprint (settings byte 4) is 200, out of its range 0 to 2"},
        {&PrinterSettings::pageSpacing, 10, 11,
         "Page Spacing (settings byte 3) is 11, out of its range 0 to 10"},
        {&PrinterSettings::dryTime, 6, 7,
         "Dry Time (settings byte 6) is 7, out of its range 0 to 6"},
        {&PrinterSettings::colorBar, 2, 128,
         "Color Bar (settings byte 13) is 128, out of its range 0 to 2"},
        {&PrinterSettings::printDirection, 1, 2, "Print Direction (settings byte 2) is 2"},
        {&PrinterSettings::cropMark, 1, 255,
         "Crop Mark (settings byte 7) is 255, out of its range 0 to 1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        PrinterSettings s = kDefaultSettings;
        std::string error;
        s.*row.field = row.largest;
        EXPECT_TRUE(CheckSettingsRecord(s, error)) << error;
        s.*row.field = row.bad;
        EXPECT_FALSE(CheckSettingsRecord(s, error));
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
    }
}

// Values are sent only when they print inside the open range (-2, 2).
TEST(HeaderValues, CalibrationValues) {
    const std::pair<const char*, const char*> rows[] = {
        {"Media~-1.5", "-1.50"},    {"Media~2", nullptr},     {"Media~-2.5", nullptr},
        {"Media~nan", nullptr},     {"Media~abc", "0.00"},    {"Media~1.996", nullptr},
        {"Media~-1.9951", nullptr}, {"Media~1.9949", "1.99"}, {"Roll~0.5", "0.50"},
        {"no tilde 1.5", "0.00"},   {nullptr, "0.00"},
    };
    for (const auto& [text, sent] : rows) {
        SCOPED_TRACE(text != nullptr ? text : "(null)");
        std::string value;
        std::string error;
        EXPECT_EQ(CalibrationCommandValue(text, value, error), sent != nullptr);
        if (sent != nullptr) {
            EXPECT_EQ(value, sent);
        } else {
            EXPECT_NE(error.find("outside the calibration range -1.99 to 1.99"), std::string::npos);
        }
    }
    EXPECT_EQ(RTL::GetCalibrationValue("x~1.5y"), 1.5);
    EXPECT_EQ(RTL::GetCalibrationValue("a~b~1"), 0.0);
    EXPECT_EQ(RTL::GetCalibrationValue("~"), 0.0);

    // The printer wants a decimal point whatever the process locale.
    locale_t comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if ((comma = newlocale(LC_ALL_MASK, name, nullptr)) != nullptr) break;
    }
    if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    const locale_t previous = uselocale(comma);
    std::string value;
    std::string error;
    const bool sent = CalibrationCommandValue("Roll 2~1.25", value, error);
    const double parsed = RTL::GetCalibrationValue("x~0.75");
    uselocale(previous);
    freelocale(comma);
    EXPECT_TRUE(sent);
    EXPECT_EQ(value, "1.25");
    EXPECT_EQ(parsed, 0.75);
}

}  // namespace
}  // namespace tarnwick
