#include "host/astring.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace tarnwick {
namespace {

TEST(AStringTest, FindReportsFirstOccurrenceOrMinusOne) {
    const AString s("RootElement/Mode/Mode");
    EXPECT_EQ(s.Find("Mode"), 12);
    EXPECT_EQ(s.Find("mode"), -1);  // case-sensitive
    EXPECT_EQ(s.Find("Absent"), -1);
    EXPECT_EQ(s.Find(""), 0);
    EXPECT_EQ(s.Find(nullptr), -1);
    EXPECT_EQ(AString().Find("x"), -1);
}

TEST(AStringTest, MidClampsInsteadOfThrowing) {
    const AString s("abcdef");
    EXPECT_EQ(s.Mid(2, 3), "cde");
    EXPECT_EQ(s.Mid(4, 100), "ef");
    EXPECT_EQ(s.Mid(-3, 2), "ab");
    EXPECT_EQ(s.Mid(6, 1), "");
    EXPECT_EQ(s.Mid(INT_MAX, INT_MAX), "");
    EXPECT_EQ(s.Mid(1, INT_MAX), "bcdef");  // start + count must not overflow
    EXPECT_EQ(s.Mid(0, -1), "");
    EXPECT_EQ(s.Mid(INT_MIN, 3), "abc");
}

TEST(AStringTest, FormatHandlesLongTextAndItsOwnContent) {
    AString s("old");
    const std::string big(5000, 'x');
    s.Format("<%s>%d", big.c_str(), 42);
    EXPECT_EQ(s.str(), "<" + big + ">42");

    AString self("abc");
    self.Format("%s-%s", self.c_str(), self.c_str());
    EXPECT_EQ(self, "abc-abc");

    self.Format("%s", "");
    EXPECT_TRUE(self.IsEmpty());
}

TEST(AStringTest, NullTextIsEmptyAndAppendsNothing) {
    AString s(static_cast<const char*>(nullptr));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ(s.c_str(), "");
    s += "ab";
    s += static_cast<const char*>(nullptr);
    s += AString("c");
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(s.GetLength(), 3);
    s = static_cast<const char*>(nullptr);
    EXPECT_EQ(s, static_cast<const char*>(nullptr));
    s = "x";
    s.Empty();
    EXPECT_EQ(s.GetLength(), 0);
}

TEST(AStringTest, OrderingIsByteWiseUnsigned) {
    // 0xC3 sorts after 'z' as in strcmp, whatever the signedness of char.
    EXPECT_TRUE(AString("z") < AString("\xC3\xA4"));
    EXPECT_FALSE(AString("\xC3\xA4") < AString("z"));
    EXPECT_TRUE(AString("ab") < "abc");
    EXPECT_TRUE("ab" < AString("b"));
    EXPECT_TRUE(AString("a") != AString("b"));
    EXPECT_TRUE("same" == AString("same"));
}

}  // namespace
}  // namespace tarnwick
