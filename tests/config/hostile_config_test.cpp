// Parameter files written to hurt: every value that could index past a host
// record. Records are allocated at their exact size so that the sanitizer
// build sees any stray write.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "config/dither_params.h"
#include "config/screening_params.h"
#include "config_test_root.h"
#include "platform/message_box.h"
#include "support/message_script.h"

namespace tarnwick {
namespace {

using config_test::Hardware;
using config_test::MakeSetup;
using config_test::TempConfigRoot;

std::string Section(const std::string& colorModeBody, const std::string& mediaId = "Default") {
    return Hardware("<Model ID='Default'><Media ID='" + mediaId +
                    "'><PrintMode ID='Default'><Resolution ID='Default'><ColorMode ID='Default'>" +
                    colorModeBody + "</ColorMode></Resolution></PrintMode></Media></Model>");
}

class HostileFiles : public ::testing::Test {
  protected:
    TempConfigRoot root;
    ScopedMessageScript messages;
    PrintSetup setup = MakeSetup("CP52", "Tarnwick Imaging", 0, 0, 0, 0);
};

TEST_F(HostileFiles, WeightsOutsideTheRecordAreSkipped) {
    std::string weights;
    for (const char* ink : {"16", "-1", "99999999999", "x", ""}) {
        weights += std::string("<Weight ColorInk='") + ink + "' Level='0' Value='9'/>";
    }
    for (const char* level : {"64", "-1", "-99999999999", "", "L"}) {
        weights += std::string("<Weight ColorInk='15' Level='") + level + "' Value='9'/>";
    }
    weights += "<Weight ColorInk='15' Level='63' Value='0.75'/>";
    weights += "<Weight ColorInk='15' Level='62' Value='none'/>";
    root.WritePlain("Ditherparams.xml",
                    Section("<DitherParams ID='64'><Level Value='64'>" + weights +
                            "</Level><AntiClogLevel Value=''/><NoiseLevel Value='n/a'/>"
                            "</DitherParams>"));

    auto record = std::make_unique<DitherParamRecord>();
    std::vector<ColorEntry> colors(16);
    for (ColorEntry& c : colors) c.depth = 6;
    const ColorList list{16, colors.data(), 16};
    ASSERT_EQ(LoadDitherParamsWith("CP52", "x", &setup, record.get(), &list), 1);
    EXPECT_FLOAT_EQ(record->weights[15][63], 0.75f);
    EXPECT_FLOAT_EQ(record->weights[15][62], 63.0f / 63);  // "none" keeps the default
    EXPECT_FLOAT_EQ(record->weights[0][0], 1.0f / 63);     // ink 15's row is copied
    EXPECT_EQ(record->antiClogLevel, 0);
    EXPECT_EQ(record->noiseLevel, 1.0f);
    EXPECT_EQ(record->inkCount, 16);
    EXPECT_EQ(record->levelCount, 64);
}

TEST_F(HostileFiles, AbsurdHostCountsAreHeldToTheRecord) {
    root.WritePlain("Ditherparams.xml",
                    Section("<DitherParams ID='2147483647'><Level Value='2147483647'>"
                            "<Weight ColorInk='0' Level='0' Value='0.5'/></Level>"
                            "<AntiClogLevel Value='1'/><NoiseLevel Value='1'/></DitherParams>"));
    auto record = std::make_unique<DitherParamRecord>();
    record->levelCount = 2147483647;
    record->inkCount = 1000;
    EXPECT_EQ(LoadDitherParamsWith("CP52", "", &setup, record.get(), nullptr), 1);
    EXPECT_FLOAT_EQ(record->weights[15][63], 0.0f);  // ink 0's row copied, clamped
    EXPECT_FLOAT_EQ(record->weights[15][0], 0.5f);
    EXPECT_EQ(record->inkCount, 1000);  // the host's count is not ours to change
}

TEST_F(HostileFiles, OverlongIdsAndNamesAreCut) {
    const std::string longId = std::string(300, '0') + ",0";
    root.WritePlain("ScreeningParams.xml",
                    Section("<Item ColorName='" + std::string(100, 'C') + "' ShapeName='" +
                                std::string(300, 'S') + "'/>",
                            longId));
    auto record = std::make_unique<ScreeningRecord>();
    EXPECT_EQ(LoadScreeningParamsWith(record.get(), &setup), 1);
    // The wanted 0 sits beyond the 255 characters that are read, but the
    // first field is still 0.
    ASSERT_EQ(record->count, 1);
    EXPECT_EQ(std::strlen(record->entries[0].colorName), 63u);
    EXPECT_EQ(std::strlen(record->entries[0].shapeName), 127u);

    root.WritePlain("ScreeningParams.xml",
                    Section("<Item ColorName='A'/>", std::string(300, ' ') + "0"));
    EXPECT_EQ(LoadScreeningParamsWith(record.get(), &setup), 1);
    EXPECT_EQ(record->count, 8);
    ASSERT_EQ(messages.requests().size(), 1u);
    EXPECT_EQ(messages.requests()[0].text, "Getting media node fails");
}

TEST_F(HostileFiles, AtMostTheRecordsEntriesAreTaken) {
    std::string items;
    for (int i = 0; i < 300; ++i) {
        items += "<Item ColorName='Ink" + std::to_string(i) + "' Angle='" + std::to_string(i) +
                 "' Frequency='1'/>";
    }
    root.WritePlain("ScreeningParams.xml", Section(items));
    auto record = std::make_unique<ScreeningRecord>();
    EXPECT_EQ(LoadScreeningParamsWith(record.get(), &setup), 1);
    EXPECT_EQ(record->count, 256);
    EXPECT_STREQ(record->entries[255].colorName, "Ink255");
    EXPECT_EQ(record->entries[255].angle, 255.0f);
}

}  // namespace
}  // namespace tarnwick
