// The numbers a page header and its rows are made from: geometry, passes, the colour-bar strip,
// the range checks of the settings record and the calibration value (header_values.txt).
#include "rtl/header_values.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <string>
#include <tuple>
#include <vector>

#include "rtl/color_bar.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/settings_check.h"
#include "rtl/text_table.h"

namespace tarnwick {
namespace {

HeaderInputs Inputs(const test::TableRow& r) {
    return {r.Int(1),
            r.Int(2),
            r.Int(3),
            r.Int(4),
            r.Int(5),
            r.Int(6),
            r.Int(7),
            r.Int(8),
            static_cast<uint8_t>(r.Int(9)),
            static_cast<uint8_t>(r.Int(10))};
}

TEST(HeaderValues, RowsOfTheTable) {
    for (const test::TableRow& r : test::ReadTable(__FILE__, "header_values.txt")) {
        SCOPED_TRACE(r.where);
        std::string error;
        if (r[0] == "geometry") {
            const HeaderValues v = ComputeHeaderValues(Inputs(r));
            ASSERT_EQ(v.error, nullptr);
            const long got[] = {v.rowBytes,   v.plotLength, v.plotWidth, v.sourceWidth,
                                v.resolution, v.passes,     v.planeCount};
            for (std::size_t k = 0; k < std::size(got); ++k) EXPECT_EQ(got[k], r.Int(11 + k)) << k;
        } else if (r[0] == "refused") {
            const HeaderValues v = ComputeHeaderValues(Inputs(r));
            ASSERT_NE(v.error, nullptr);
            EXPECT_EQ(v.error, r[11]);
        } else if (r[0] == "mode") {
            const auto modelClass = static_cast<uint8_t>(DetectModelClass(r[1].c_str()));
            const HeaderValues v = ComputeHeaderValues(
                {r.Int(3), r.Int(3), 100, 100, 10, 1, 4, r.Int(2), modelClass, kColorBarNone});
            EXPECT_EQ(std::tuple(v.resolution, v.passes), std::tuple(r.Int(4), r.Int(5)));
        } else if (r[0] == "range") {
            PrinterSettings s = kDefaultSettings;
            uint8_t* field = test::SettingsField(s, r[1]);
            ASSERT_NE(field, nullptr);
            *field = static_cast<uint8_t>(r.Int(2));
            EXPECT_TRUE(CheckSettingsRecord(s, error)) << error;
            *field = static_cast<uint8_t>(r.Int(3));
            EXPECT_FALSE(CheckSettingsRecord(s, error));
            EXPECT_NE(error.find(r[4]), std::string::npos) << error;
        } else {
            ASSERT_EQ(r[0], "calibration");
            std::string value;
            const char* text = r[1] == "(null)" ? nullptr : r[1].c_str();
            EXPECT_EQ(CalibrationCommandValue(text, value, error), r[2] != "-");
            if (r[2] != "-") {
                EXPECT_EQ(value, r[2]);
            } else {
                EXPECT_NE(error.find("outside the calibration range -1.99 to 1.99"),
                          std::string::npos);
            }
        }
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

TEST(HeaderValues, CalibrationValueWhateverTheLocale) {
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
    EXPECT_EQ(std::tuple(value, parsed), std::tuple("1.25", 0.75));
}

}  // namespace
}  // namespace tarnwick
