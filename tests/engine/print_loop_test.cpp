// Whole jobs through the driver: pages and rows in bounded steps, progress, pauses, abort, pixel
// repetition, the mapping of the image's colorants onto the printer's planes, and layers.
#include <gtest/gtest.h>

#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "rtl/rtl.h"
#include "support/fake_clock.h"
#include "support/job_fixture.h"
#include "support/log_capture.h"
#include "support/message_script.h"
#include "support/stream_rows.h"
#include "targets/fuzz_support.h"

namespace tarnwick {
namespace {

using test::MemoryChannel;
using test::TestPage;

// Settings with the colour bar off, so rows carry only the job's planes.
JobTicket PlainTicket(const std::string& model, int16_t dpi, int16_t colorModel) {
    JobTicket t = test::DefaultTicket(model, dpi, colorModel);
    t.settings[13] = 0;
    return t;
}

TestPage CmykPage(int width, int height) {
    return TestPage{width, height, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};
}

ARowBaseRTL& EngineOf(CDriver& d) {
    return *dynamic_cast<ARowBaseRTL*>(d.Engine());
}

class PrintLoop : public ::testing::Test {
  protected:
    int Step(ABasePrinterDriver& d) { return d.PrintStep(nullptr, nullptr, nullptr); }

    FakeClock clock;
    ScopedClock useClock{&clock};
    test::TempDir dir;
    MemoryChannel out;
};

TEST_F(PrintLoop, PagesGoThroughStartRowsAndEnd) {
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(16, 3), CmykPage(16, 2)});
    CDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    const JobContext& ctx = *d.CurrentJobContext();
    EXPECT_EQ(ctx.m_nPageCount, 2);
    EXPECT_TRUE(EngineOf(d).HoldsStartLock());
    EXPECT_TRUE(EngineOf(d).HoldsLayoutLock());
    ASSERT_EQ(Step(d), 1);  // page start
    EXPECT_EQ(ctx.m_bStartPage, 0);
    ASSERT_EQ(Step(d), 1);  // rows
    EXPECT_EQ(ctx.m_nCurRow, 3);
    EXPECT_EQ(ctx.m_bPageDone, 1);
    ASSERT_EQ(Step(d), 1);  // page end
    EXPECT_EQ(ctx.m_nCurPage, 1);
    EXPECT_EQ(job->m_nDone, 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Step(d), 1);
    EXPECT_EQ(job->m_nDone, -1);
    // A step after the end sends nothing more.
    const std::size_t sent = out.bytes.size();
    EXPECT_EQ(Step(d), 0);
    EXPECT_EQ(out.bytes.size(), sent);
    EXPECT_FALSE(EngineOf(d).HoldsStartLock());
    EXPECT_FALSE(EngineOf(d).HoldsLayoutLock());
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].rows.size(), 3u);
    EXPECT_EQ(pages[1].rows.size(), 2u);

    // A page of height zero sends no row, and the page still ends.
    auto empty = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(16, 0)});
    MemoryChannel emptyOut;
    EXPECT_EQ(test::RunJob(d, *empty, emptyOut), 3);
    ASSERT_EQ(test::ReadStreamRows(emptyOut.bytes).size(), 1u);
    EXPECT_TRUE(test::ReadStreamRows(emptyOut.bytes)[0].rows.empty());
    EXPECT_EQ(test::CountOf(emptyOut.bytes, "\x1b*rC"), 1);
}

TEST_F(PrintLoop, RowsStepReturnsAfter200MillisecondsWithProgress) {
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(16, 8)});
    CDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    ASSERT_EQ(Step(d), 1);
    clock.SetAutoAdvance(60);  // every look at the clock moves it 60 ms on
    ASSERT_EQ(Step(d), 1);
    const JobContext& ctx = *d.CurrentJobContext();
    EXPECT_EQ(ctx.m_nCurRow, 4);
    EXPECT_STREQ(job->m_szStatus, " 50%");
    EXPECT_EQ(job->m_nStatusCode, 3);
    EXPECT_EQ(ctx.m_bPageDone, 0);
    // The last rows end after the mark: 100% is reported, the page is not yet done; the next
    // step marks it done, the one after ends it.
    ASSERT_EQ(Step(d), 1);
    EXPECT_STREQ(job->m_szStatus, "100%");
    EXPECT_EQ(ctx.m_bPageDone, 0);
    ASSERT_EQ(Step(d), 1);
    EXPECT_EQ(ctx.m_bPageDone, 1);
    ASSERT_EQ(Step(d), 1);
    EXPECT_EQ(job->m_nDone, -1);
}

TEST_F(PrintLoop, RepetitionAndOffsetMakeDeviceRows) {
    // 60 dpi against the 180 dpi base: every pixel three times each way.
    auto job =
        test::MakeJob(dir, PlainTicket("Generic RTL", 60, 1), {TestPage{8, 2, 0, 0, {{"Black"}}}});
    CDriver d;
    ASSERT_GT(test::RunJob(d, *job, out), 0);
    const JobContext& ctx = *d.CurrentJobContext();
    EXPECT_EQ(ctx.m_nScaleX, 3);
    EXPECT_EQ(ctx.m_nScaleY, 3);
    EXPECT_EQ(ctx.m_nRowCounter, 6);
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), 6u);
    // Row 0 of the page holds 0x11: each bit three times, 24 bits in all.
    const std::vector<uint8_t> expected = {0x00, 0x70, 0x07};
    EXPECT_EQ(pages[0].rows[0].planes[0], expected);
    EXPECT_EQ(pages[0].rows[2].planes[0], expected);

    // The group's offset becomes blank top rows.
    auto offset =
        test::MakeJob(dir, PlainTicket("Generic", 180, 1), {TestPage{8, 2, 0, 3, {{"K"}}}});
    MemoryChannel offsetOut;
    ASSERT_GT(test::RunJob(d, *offset, offsetOut), 0);
    const JobContext& next = *d.CurrentJobContext();
    EXPECT_EQ(next.m_nOffsetY, 3);
    EXPECT_EQ(next.m_nFullHeight, 5);
    EXPECT_EQ(next.m_nImageHeight, 2);
    EXPECT_EQ(next.m_nRowCounter, 5);
    EXPECT_EQ(test::CountOf(offsetOut.bytes, "\x1b*b0W"), 3);
}

// Planes are matched to the image's colorants by name (ignoring case), black goes first, a plane
// without a colorant is blank, a layer colorant "<ink>_l_<n>" replaces its ink on page n - 1,
// and a custom colour mode renames the entry of its order.
TEST_F(PrintLoop, ColorantsMapOntoThePrintersPlanes) {
    const auto content = [](int c, int, int) { return static_cast<uint8_t>(0x11 * (c + 1)); };
    const auto page = [&](std::vector<test::TestColorant> inks) {
        TestPage p{16, 1, 0, 0, std::move(inks)};
        p.content = content;
        return p;
    };
    const std::string spotAsEntry2 =
        "<?xml version=\"1.0\"?><RootElement><CustomColorMode>"
        "<Color><InternalName>Spot</InternalName><ColorValue>255</ColorValue>"
        "<ColorDepth>1</ColorDepth><isSpotColor>1</isSpotColor><Print>1</Print>"
        "<Order>2</Order></Color>"
        "<Color><InternalName>Ignored</InternalName><Order>5000</Order></Color>"
        "</CustomColorMode></RootElement>";
    const std::string spotAsEntry1 =
        "<?xml version=\"1.0\"?><RootElement><CustomColorMode><Color><Order>1</Order>"
        "<InternalName>Spot</InternalName><ColorDepth>1</ColorDepth></Color>"
        "</CustomColorMode></RootElement>";
    struct Row {
        const char* name;
        int16_t colorMode;
        std::vector<TestPage> pages;
        std::string options;
        std::vector<std::vector<int>> firstBytes;  // per page, per plane sent; 0: blank plane
    } rows[] = {
        {"four planes", 0, {CmykPage(16, 1)}, "", {{0x44, 0x11, 0x22, 0x33}}},
        {"six planes, names in any case",
         2,
         {page({{"cyan"}, {"Black"}, {"Unknown"}})},
         "",
         {{0x22, 0x11, 0, 0, 0, 0}}},
        {"layers",
         1,
         std::vector<TestPage>(3, page({{"Black"}, {"Black_l_2"}, {"Black_l_x"}})),
         "",
         {{0x11}, {0x22}, {0x11}}},  // the second page ends second
        {"custom entry 2", 0, {page({{"Spot"}, {"Cyan"}})}, spotAsEntry2, {{0, 0x22, 0x11, 0}}},
        // The other planes keep the colour mode's inks, so the image's other colorants feed them.
        {"custom entry 1",
         0,
         {page({{"Spot"}, {"Magenta"}, {"Yellow"}, {"Black"}})},
         spotAsEntry1,
         {{0x44, 0x11, 0x22, 0x33}}},
        {"custom entry 1, a layer of magenta",
         0,
         {page({{"Spot"}, {"Magenta"}, {"Yellow"}, {"Black"}, {"Magenta_l_1"}})},
         spotAsEntry1,
         {{0x44, 0x11, 0x55, 0x33}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir jobDir;
        auto job = test::MakeJob(jobDir, PlainTicket("CP52", 180, row.colorMode), row.pages);
        if (!row.options.empty()) job->m_pszCustomColorXml = row.options.c_str();
        CDriver d;
        MemoryChannel channel;
        ASSERT_GT(test::RunJob(d, *job, channel), 0);
        const auto pages = test::ReadStreamRows(channel.bytes);
        ASSERT_EQ(pages.size(), row.firstBytes.size());
        for (std::size_t p = 0; p < pages.size(); ++p) {
            const auto& planes = pages[p].rows.at(0).planes;
            ASSERT_EQ(planes.size(), row.firstBytes[p].size());
            for (std::size_t k = 0; k < planes.size(); ++k) {
                const int first = row.firstBytes[p][k];
                if (first != 0) {
                    EXPECT_EQ(planes[k].at(0), first) << "page " << p << " plane " << k;
                } else {
                    EXPECT_EQ(planes[k], std::vector<uint8_t>(2, 0))
                        << "page " << p << " plane " << k;
                }
            }
        }
    }
}

// The job options name the job's mutexes and ask between pages (never before the first one);
// a No stops before the next page.
TEST_F(PrintLoop, JobOptionsNameTheMutexesAndPauseBetweenPages) {
    const std::pair<int, const char*> rows[] = {
        {IDYES, "<JobId>4711</JobId><PauseBtwPages>1abc</PauseBtwPages>"},
        {IDNO, "<PauseBtwPages>1</PauseBtwPages>"},
    };
    for (const auto& [answer, options] : rows) {
        SCOPED_TRACE(options);
        test::TempDir jobDir;
        auto job =
            test::MakeJob(jobDir, PlainTicket("CP52", 180, 0), {CmykPage(8, 1), CmykPage(8, 1)});
        const std::string xml = std::string("<?xml version=\"1.0\"?><R>") + options + "</R>";
        job->m_pszCustomColorXml = xml.c_str();
        ScopedMessageScript answers({answer});
        CDriver d;
        ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
        const bool named = answer == IDYES;
        EXPECT_EQ(EngineOf(d).JobId().str(), named ? "4711" : "");  // no JobId element: id 0
        EXPECT_EQ(fuzz::FreeForOtherThreads("QRM_PRINT_START4711"), !named);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(Step(d), 1);
        EXPECT_TRUE(answers.requests().empty());
        EXPECT_EQ(Step(d), named ? 1 : 0);
        ASSERT_EQ(answers.requests().size(), 1u);
        EXPECT_EQ(answers.requests()[0].flags & MB_YESNO, MB_YESNO);
        if (!named) {
            EXPECT_EQ(d.CurrentJobContext()->m_bStartPage, 1);
        }
        EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
        EXPECT_TRUE(fuzz::JobLocksFree(named ? 4711 : 0));
    }
}

TEST_F(PrintLoop, AbortDuringRowsReportsAbortedWithoutALogEntry) {
    class AbortingEngine : public RTL {
      public:
        int SendAllColorData(const int32_t* len, uint8_t* const* buf) override {
            if (Context()->m_bAbort != 0) return 0;
            return RTL::SendAllColorData(len, buf);
        }
    };
    class AbortingDriver : public ABasePrinterDriverImp {
      public:
        AbortingDriver() { m_pEngine = std::make_unique<AbortingEngine>(); }
    };
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(8, 5)});
    AbortingDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    ASSERT_EQ(Step(d), 1);
    d.CurrentJobContext()->m_bAbort = 1;
    ScopedLogCapture log;
    EXPECT_EQ(Step(d), 0);
    EXPECT_EQ(job->m_nStatusCode, 7);
    EXPECT_STREQ(job->m_szStatus, "Aborted");
    EXPECT_TRUE(log.entries().empty());
    EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(job->m_nDone, -1);
}

}  // namespace
}  // namespace tarnwick
