// Runs the calling thread under a locale whose decimal mark is a comma, as a German or French
// host does, so that numbers the driver reads and writes can be held to the decimal point.
#pragma once

#include <gtest/gtest.h>
#include <locale.h>

#include <cstdio>
#include <string>

namespace tarnwick::test {

// "%.2f" of the value in the calling thread's locale.
inline std::string PrintedInLocale(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// A test whose thread uses a comma-decimal locale; skipped where none is installed.
class CommaLocaleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
            if ((m_comma = newlocale(LC_ALL_MASK, name, locale_t{})) != locale_t{}) break;
        }
        if (m_comma == locale_t{}) GTEST_SKIP() << "no locale with a decimal comma installed";
        m_before = uselocale(m_comma);
        ASSERT_EQ(PrintedInLocale(1.25), "1,25") << "the locale does not use a decimal comma";
    }
    void TearDown() override {
        if (m_comma == locale_t{}) return;
        uselocale(m_before);
        freelocale(m_comma);
    }

    locale_t m_comma{}, m_before{};
};

}  // namespace tarnwick::test
