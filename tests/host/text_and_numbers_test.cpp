// The host's text, number, colour-name, list and log helpers.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>

#include "host/aob_list.h"
#include "host/astring.h"
#include "host/c_locale.h"
#include "host/job/colorant.h"
#include "host/kv_log.h"
#include "host/locale_switcher.h"
#include "host/ox_colors.h"
#include "support/comma_locale.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

using test::PrintedInLocale;

TEST(AStringTest, FindMidAndOrder) {
    const AString path("RootElement/Mode/Mode");
    // Case-sensitive, first occurrence, -1 when absent; the empty needle is at 0.
    for (const auto& [needle, at] : {std::pair<const char*, int>{"Mode", 12},
                                     {"mode", -1},
                                     {"Absent", -1},
                                     {"", 0},
                                     {nullptr, -1}}) {
        EXPECT_EQ(path.Find(needle), at) << (needle ? needle : "(null)");
    }
    EXPECT_EQ(AString().Find("x"), -1);

    // Mid clamps instead of throwing, and start + count must not overflow.
    const AString s("abcdef");
    const std::tuple<int, int, const char*> mids[] = {
        {2, 3, "cde"},          {4, 100, "ef"},        {-3, 2, "ab"}, {6, 1, ""},
        {INT_MAX, INT_MAX, ""}, {1, INT_MAX, "bcdef"}, {0, -1, ""},   {INT_MIN, 3, "abc"}};
    for (const auto& [start, count, expected] : mids) {
        EXPECT_EQ(s.Mid(start, count), expected) << start << "," << count;
    }

    // Byte-wise unsigned: 0xC3 sorts after 'z' as in strcmp, whatever the signedness of char.
    EXPECT_TRUE(AString("z") < AString("\xC3\xA4"));
    EXPECT_FALSE(AString("\xC3\xA4") < AString("z"));
    EXPECT_TRUE(AString("ab") < "abc");
    EXPECT_TRUE("ab" < AString("b"));
    EXPECT_TRUE(AString("a") != AString("b"));
    EXPECT_TRUE("same" == AString("same"));
}

TEST(AStringTest, FormatAndNullText) {
    AString s("old");
    const std::string big(5000, 'x');
    s.Format("<%s>%d", big.c_str(), 42);
    EXPECT_EQ(s.str(), "<" + big + ">42");
    AString self("abc");
    self.Format("%s-%s", self.c_str(), self.c_str());  // its own content as argument
    EXPECT_EQ(self, "abc-abc");
    self.Format("%s", "");
    EXPECT_TRUE(self.IsEmpty());

    AString n(static_cast<const char*>(nullptr));
    EXPECT_TRUE(n.IsEmpty());
    EXPECT_STREQ(n.c_str(), "");
    n += "ab";
    n += static_cast<const char*>(nullptr);
    n += AString("c");
    EXPECT_EQ(n, "abc");
    EXPECT_EQ(n.GetLength(), 3);
    n = static_cast<const char*>(nullptr);
    EXPECT_EQ(n, static_cast<const char*>(nullptr));
    n = "x";
    n.Empty();
    EXPECT_EQ(n.GetLength(), 0);
}

TEST(CLocaleTest, NumbersReadAndWrittenAsInTheCLocale) {
    // ScanIntC: scanf's "%d" rules, clamped to the int range; untouched when no number.
    const std::pair<const char*, int> ints[] = {
        {" \t-42abc", -42},      {"+7", 7},
        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"2147483648", INT_MAX}, {"-99999999999999999999999", INT_MIN}};
    for (const auto& [text, expected] : ints) {
        int v = 123;
        EXPECT_TRUE(ScanIntC(text, &v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
    for (const char* text : {"", "+", "- 5", "x1", static_cast<const char*>(nullptr)}) {
        int v = 5;
        EXPECT_FALSE(ScanIntC(text, &v)) << (text ? text : "(null)");
        EXPECT_EQ(v, 5);
    }

    const std::tuple<const char*, double, bool> doubles[] = {
        {"  0.5xyz", 0.5, true},
        {"-1e3", -1000.0, true},
        {"abc", 0.0, false},
        {nullptr, 0.0, false},
        {"2,5", 2.0, true}};  // the comma is no decimal mark
    for (const auto& [text, expected, found] : doubles) {
        bool ok = !found;
        EXPECT_DOUBLE_EQ(ParseDoubleC(text, &ok), expected) << (text ? text : "(null)");
        EXPECT_EQ(ok, found);
    }
    EXPECT_DOUBLE_EQ(ParseDoubleC("0.25", nullptr), 0.25);

    float f = 9.0f;
    EXPECT_TRUE(ScanFloatC(" 1.5;", &f));
    EXPECT_FLOAT_EQ(f, 1.5f);
    EXPECT_FALSE(ScanFloatC(".", &f));
    EXPECT_FLOAT_EQ(f, 1.5f);
    EXPECT_EQ(FormatC("%.2f|%d|%s", 1.25, -3, "x"), "1.25|-3|x");
    EXPECT_EQ(FormatC("%s", std::string(3000, 'a').c_str()).size(), 3000u);
}

using CLocaleUnderComma = test::CommaLocaleTest;

TEST_F(CLocaleUnderComma, HelpersAndTheSwitcherUseTheDecimalPoint) {
    bool ok = false;
    EXPECT_EQ(ParseDoubleC("0.5", &ok), 0.5);
    EXPECT_TRUE(ok);
    float f = 0;
    EXPECT_TRUE(ScanFloatC("2.75", &f));
    EXPECT_EQ(f, 2.75f);
    EXPECT_EQ(FormatC("%.2f", 1.25), "1.25");
    EXPECT_EQ(PrintedInLocale(1.25), "1,25");  // FormatC put the thread's locale back
    {
        ALocaleSwitcher outer;
        EXPECT_EQ(PrintedInLocale(1.25), "1.25");
        EXPECT_EQ(std::strtod("0.5", nullptr), 0.5);
        {
            ALocaleSwitcher inner;
            EXPECT_EQ(PrintedInLocale(1.25), "1.25");
        }
        EXPECT_EQ(PrintedInLocale(1.25), "1.25");  // the inner scope restored the outer one
    }
    EXPECT_EQ(PrintedInLocale(1.25), "1,25");
    EXPECT_EQ(uselocale(locale_t{}), m_comma);
}

TEST(OxColorsTest, InkNamesAndColours) {
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
    EXPECT_STREQ(GetOxColorName(-1), "");
    EXPECT_STREQ(GetOxColorName(8), "");
    for (const char* unknown : {"Violet", "Cya", "Cyans", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(GetOxColorValue(unknown), 0u) << (unknown ? unknown : "(null)");
    }
    EXPECT_EQ(GetOxColorValue("lmagenta"), GetOxColorValue("LMagenta"));
}

// Counts its destructions, to see who owns it.
class CountedColorant : public AColorant {
  public:
    CountedColorant(const char* name, int* destroyed)
        : AColorant(AString(name), 1, 0), m_destroyed(destroyed) {}
    ~CountedColorant() override { ++*m_destroyed; }

  private:
    int* m_destroyed;
};

TEST(AObListTest, OwnsEntriesAndHandsThemOutOnRelease) {
    int destroyed = 0;
    std::unique_ptr<AColorant> released;
    {
        AObList list(0, 10);
        list.AddTail(std::make_unique<CountedColorant>("Cyan", &destroyed));
        list.AddTail(std::make_unique<CountedColorant>("Black", &destroyed));
        ASSERT_EQ(list.GetCount(), 2);
        EXPECT_EQ(list.GetAt(1)->GetName(), "Black");
        EXPECT_EQ(list.GetAt(2), nullptr);
        EXPECT_EQ(list.GetAt(-1), nullptr);
        released = list.Release(0);
        ASSERT_NE(released, nullptr);
        EXPECT_EQ(released->GetName(), "Cyan");
        EXPECT_EQ(list.GetCount(), 2);  // the slot stays, empty
        EXPECT_EQ(list.GetAt(0), nullptr);
        EXPECT_EQ(list.Release(0), nullptr);
        EXPECT_EQ(list.Release(7), nullptr);
    }
    EXPECT_EQ(destroyed, 1);  // the list destroyed what it still held
    released.reset();
    EXPECT_EQ(destroyed, 2);
}

TEST(KVLogTest, EntriesCarryTheSiteOfTheirThreadsHelper) {
    {
        ScopedLogCapture capture;
        KVLogHelper mine("MainUnit", 1, 'E');
        std::thread([] { KVLogHelper("WorkerUnit", 2, 'W').Log("worker"); }).join();
        KVLogHelper::Log("main");
        {
            ScopedLogCapture inner;  // captures nest and restore their predecessor
            KVLogHelper("PrinterDriver/Common/Xsrc/ABaseRTL", 114, 'E')
                .Log("ABaseRTL::%s %d\n", "Write", 7);
            ASSERT_EQ(inner.entries().size(), 1u);
            const LogEntry& e = inner.entries()[0];
            EXPECT_EQ(e.source, "PrinterDriver/Common/Xsrc/ABaseRTL");
            EXPECT_EQ(e.line, 114);
            EXPECT_EQ(e.text, "ABaseRTL::Write 7");  // the trailing line break is dropped
        }
        ASSERT_EQ(capture.entries().size(), 2u);
        EXPECT_EQ(capture.entries()[0].source, "WorkerUnit");
        EXPECT_EQ(capture.entries()[0].level, 'W');
        EXPECT_EQ(capture.entries()[1].source, "MainUnit");
        EXPECT_EQ(capture.entries()[1].line, 1);
        EXPECT_EQ(capture.entries()[1].level, 'E');
    }
    LogSink previous = SetLogSink(nullptr);
    ::testing::internal::CaptureStderr();
    KVLogHelper("Unit/Name", 42, 'E').Log("failed %d", 3);
    const std::string written = ::testing::internal::GetCapturedStderr();
    SetLogSink(std::move(previous));
    EXPECT_EQ(written, "E Unit/Name:42: failed 3\n");
}

}  // namespace
}  // namespace tarnwick
