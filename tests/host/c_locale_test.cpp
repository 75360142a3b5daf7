#include "host/c_locale.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/locale_switcher.h"

namespace tarnwick {
namespace {

TEST(CLocaleTest, ScanIntFollowsScanfAndClamps) {
    int v = 123;
    EXPECT_TRUE(ScanIntC(" \t-42abc", &v));
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(ScanIntC("+7", &v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(ScanIntC("2147483647", &v));
    EXPECT_EQ(v, INT_MAX);
    EXPECT_TRUE(ScanIntC("-2147483648", &v));
    EXPECT_EQ(v, INT_MIN);
    EXPECT_TRUE(ScanIntC("2147483648", &v));
    EXPECT_EQ(v, INT_MAX);
    EXPECT_TRUE(ScanIntC("-99999999999999999999999", &v));
    EXPECT_EQ(v, INT_MIN);

    v = 5;
    EXPECT_FALSE(ScanIntC("", &v));
    EXPECT_FALSE(ScanIntC("+", &v));
    EXPECT_FALSE(ScanIntC("- 5", &v));
    EXPECT_FALSE(ScanIntC("x1", &v));
    EXPECT_FALSE(ScanIntC(nullptr, &v));
    EXPECT_EQ(v, 5);
}

TEST(CLocaleTest, ParseAndScanFloatingPoint) {
    bool ok = false;
    EXPECT_DOUBLE_EQ(ParseDoubleC("  0.5xyz", &ok), 0.5);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(ParseDoubleC("-1e3", &ok), -1000.0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ParseDoubleC("abc", &ok), 0.0);
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(ParseDoubleC(nullptr, &ok), 0.0);
    EXPECT_FALSE(ok);
    EXPECT_DOUBLE_EQ(ParseDoubleC("2,5", nullptr), 2.0);  // comma is no decimal mark here

    float f = 9.0f;
    EXPECT_TRUE(ScanFloatC(" 1.5;", &f));
    EXPECT_FLOAT_EQ(f, 1.5f);
    EXPECT_FALSE(ScanFloatC(".", &f));
    EXPECT_FLOAT_EQ(f, 1.5f);
    EXPECT_EQ(FormatC("%.2f|%d|%s", 1.25, -3, "x"), "1.25|-3|x");
    EXPECT_EQ(FormatC("%s", std::string(3000, 'a').c_str()).size(), 3000u);
}

// A locale whose decimal mark is a comma, or none when no such locale is installed.
locale_t CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE.utf8", "fr_FR.utf8"}) {
        if (locale_t loc = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0))) return loc;
    }
    return static_cast<locale_t>(0);
}

std::string Printed(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f", value);
    return text;
}

class CommaLocaleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_comma = CommaLocale();
        if (!m_comma) GTEST_SKIP() << "no locale with a decimal comma installed";
        m_before = uselocale(m_comma);
        ASSERT_EQ(Printed(1.25), "1,25");
    }
    void TearDown() override {
        if (!m_comma) return;
        uselocale(m_before);
        freelocale(m_comma);
    }

    locale_t m_comma = static_cast<locale_t>(0);
    locale_t m_before = static_cast<locale_t>(0);
};

TEST_F(CommaLocaleTest, SwitcherUsesDecimalPointInItsScopeOnly) {
    {
        ALocaleSwitcher outer;
        EXPECT_EQ(Printed(1.25), "1.25");
        EXPECT_EQ(std::strtod("0.5", nullptr), 0.5);
        {
            ALocaleSwitcher inner;
            EXPECT_EQ(Printed(1.25), "1.25");
        }
        EXPECT_EQ(Printed(1.25), "1.25");  // the inner scope restored the outer one
    }
    EXPECT_EQ(Printed(1.25), "1,25");
    EXPECT_EQ(uselocale(static_cast<locale_t>(0)), m_comma);
}

TEST_F(CommaLocaleTest, HelpersIgnoreTheThreadLocale) {
    bool ok = false;
    EXPECT_EQ(ParseDoubleC("0.5", &ok), 0.5);
    EXPECT_TRUE(ok);
    float f = 0;
    EXPECT_TRUE(ScanFloatC("2.75", &f));
    EXPECT_EQ(f, 2.75f);
    EXPECT_EQ(FormatC("%.2f", 1.25), "1.25");
    EXPECT_EQ(Printed(1.25), "1,25");  // FormatC put the thread's locale back
}

}  // namespace
}  // namespace tarnwick
