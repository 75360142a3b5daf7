#include "host/ox_colors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tarnwick {
namespace {

TEST(OxColorsTest, EveryInkIdHasANameWithADistinctColour) {
    std::set<uint32_t> values;
    for (int id = 0; id < 8; ++id) {
        const std::string name = GetOxColorName(id);
        ASSERT_FALSE(name.empty()) << id;
        const uint32_t value = GetOxColorValue(name.c_str());
        EXPECT_NE(value, 0u) << name;
        EXPECT_EQ(value & 0xFF000000u, 0u) << name;
        values.insert(value);
    }
    EXPECT_EQ(values.size(), 8u);
    EXPECT_STREQ(GetOxColorName(3), "Black");
}

TEST(OxColorsTest, LookupsIgnoreCaseAndAnswerEmptyForUnknowns) {
    ASSERT_NE(GetOxColorName(-1), nullptr);
    EXPECT_STREQ(GetOxColorName(-1), "");
    EXPECT_STREQ(GetOxColorName(8), "");
    EXPECT_EQ(GetOxColorValue("Violet"), 0u);
    EXPECT_EQ(GetOxColorValue("Cya"), 0u);
    EXPECT_EQ(GetOxColorValue("Cyans"), 0u);
    EXPECT_EQ(GetOxColorValue(nullptr), 0u);
    EXPECT_EQ(GetOxColorValue("lmagenta"), GetOxColorValue("LMagenta"));  // case-insensitive
}

}  // namespace
}  // namespace tarnwick
