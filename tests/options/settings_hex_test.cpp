// The options tool's settings argument.
#include "options/settings_hex.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(SettingsHex, ReadsBytesAndZeroFillsTheRest) {
    std::string error;
    const auto area = ParseSettingsHex("18 01 0A ff", error);
    ASSERT_TRUE(area.has_value()) << error;
    EXPECT_EQ(area->settings.tag, 0x18);
    EXPECT_EQ(area->settings.mediaFeedCalibration, 1);
    EXPECT_EQ(area->settings.printDirection, 0x0A);
    EXPECT_EQ(area->settings.pageSpacing, 0xFF);
    EXPECT_EQ(area->settings.overprint, 0);
    EXPECT_EQ(area->rest[241], 0);
}

TEST(SettingsHex, RoundTripsTheRecord) {
    const std::string text = "1801010100000000000001030201";
    std::string error;
    const auto area = ParseSettingsHex(text, error);
    ASSERT_TRUE(area.has_value()) << error;
    EXPECT_EQ(FormatSettingsHex(area->settings), text);
}

TEST(SettingsHex, RejectsBadText) {
    const std::string tooLong(2 * 257, 'a');
    const std::string full(2 * 256, 'a');
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"", "settings: no bytes given"},
        {"   ", "settings: no bytes given"},
        {"181", "settings: odd number of hex digits"},
        {"18zz", "settings: not a hex digit at position 2"},
        {"0x18", "settings: not a hex digit at position 1"},
        {tooLong, "settings: more than 256 bytes"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseSettingsHex(c.text, error).has_value()) << c.text;
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    EXPECT_TRUE(ParseSettingsHex(full, error).has_value());
}

}  // namespace
}  // namespace tarnwick
