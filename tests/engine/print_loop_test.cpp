// Whole jobs through the driver: pages and rows in bounded steps, progress,
// abort, pixel repetition, plane mapping and layers.
#include <gtest/gtest.h>

#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "host/kv_log.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"
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
using test::TempDir;
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
    FakeClock clock;
    ScopedClock useClock{&clock};
    TempDir dir;
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

    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);  // page start
    EXPECT_EQ(ctx.m_bStartPage, 0);
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);  // rows
    EXPECT_EQ(ctx.m_nCurRow, 3);
    EXPECT_EQ(ctx.m_bPageDone, 1);
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);  // page end
    EXPECT_EQ(ctx.m_nCurPage, 1);
    EXPECT_EQ(job->m_nDone, 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(job->m_nDone, -1);
    // A step after the end sends nothing more.
    const std::size_t sent = out.bytes.size();
    EXPECT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(out.bytes.size(), sent);
    EXPECT_FALSE(EngineOf(d).HoldsStartLock());
    EXPECT_FALSE(EngineOf(d).HoldsLayoutLock());

    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].rows.size(), 3u);
    EXPECT_EQ(pages[1].rows.size(), 2u);
}

TEST_F(PrintLoop, RowsStepReturnsAfter200MillisecondsWithProgress) {
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(16, 8)});
    CDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    clock.SetAutoAdvance(60);  // every look at the clock moves it 60 ms on
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    const JobContext& ctx = *d.CurrentJobContext();
    EXPECT_EQ(ctx.m_nCurRow, 4);
    EXPECT_STREQ(job->m_szStatus, " 50%");
    EXPECT_EQ(job->m_nStatusCode, 3);
    EXPECT_EQ(ctx.m_bPageDone, 0);
    // The last rows end after the mark: 100% is reported, the page is not
    // yet done; the next step marks it done, the one after ends it.
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    EXPECT_STREQ(job->m_szStatus, "100%");
    EXPECT_EQ(ctx.m_bPageDone, 0);
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(ctx.m_bPageDone, 1);
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(job->m_nDone, -1);
}

TEST_F(PrintLoop, PageOfHeightZeroSendsNoRow) {
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(16, 0)});
    CDriver d;
    EXPECT_EQ(test::RunJob(d, *job, out), 3);
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].rows.empty());
    EXPECT_EQ(test::CountOf(out.bytes, "\x1b*rC"), 1);
}

TEST_F(PrintLoop, VerticalRepetitionSendsEveryRowAgain) {
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
}

TEST_F(PrintLoop, FourPlanesAreRotatedSoBlackGoesFirst) {
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(16, 1)});
    CDriver d;
    ASSERT_GT(test::RunJob(d, *job, out), 0);
    ARowBaseRTL& e = EngineOf(d);
    EXPECT_EQ(e.PlaneChannel(0), 3);  // Black
    EXPECT_EQ(e.PlaneChannel(1), 0);  // Cyan
    EXPECT_EQ(e.PlaneChannel(2), 1);  // Magenta
    EXPECT_EQ(e.PlaneChannel(3), 2);  // Yellow
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages[0].rows.size(), 1u);
    const auto& planes = pages[0].rows[0].planes;
    ASSERT_EQ(planes.size(), 4u);
    // Content byte 0 of colorant c is 0x11 * (c + 1).
    EXPECT_EQ(planes[0][0], 0x44);
    EXPECT_EQ(planes[1][0], 0x11);
    EXPECT_EQ(planes[2][0], 0x22);
    EXPECT_EQ(planes[3][0], 0x33);
}

TEST_F(PrintLoop, SixPlanesKeepTheirOrderAndUnmatchedPlanesAreBlank) {
    TestPage page{16, 1, 0, 0, {{"cyan"}, {"Black"}, {"Unknown"}}};
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 2), {page});
    CDriver d;
    ASSERT_GT(test::RunJob(d, *job, out), 0);
    ARowBaseRTL& e = EngineOf(d);
    EXPECT_EQ(e.PlaneChannel(0), 0);  // names match ignoring case
    EXPECT_EQ(e.PlaneChannel(3), 1);
    EXPECT_EQ(e.PlaneChannel(1), -1);
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 1u);
    const auto& planes = pages[0].rows[0].planes;
    ASSERT_EQ(planes.size(), 6u);
    EXPECT_EQ(planes[0][0], 0x22);  // black first
    EXPECT_EQ(planes[1][0], 0x11);  // cyan
    EXPECT_EQ(planes[2], std::vector<uint8_t>(2, 0));
}

TEST_F(PrintLoop, LayerColorantReplacesItsBaseOnTheMatchingPage) {
    TestPage page{8, 1, 0, 0, {{"Black"}, {"Black_l_2"}, {"Black_l_x"}}};
    page.content = [](int c, int, int) { return static_cast<uint8_t>(0xA0 + c); };
    auto job = test::MakeJob(dir, PlainTicket("Generic", 180, 1), {page, page, page});
    CDriver d;
    ASSERT_GT(test::RunJob(d, *job, out), 0);
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].rows[0].planes[0][0], 0xA0);
    EXPECT_EQ(pages[1].rows[0].planes[0][0], 0xA1);  // the second page ends second
    EXPECT_EQ(pages[2].rows[0].planes[0][0], 0xA0);
}

TEST_F(PrintLoop, CustomColorModeRenamesPlanes) {
    TestPage page{8, 1, 0, 0, {{"Spot"}, {"Cyan"}}};
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {page});
    const std::string xml =
        "<?xml version=\"1.0\"?><RootElement><CustomColorMode>"
        "<Color><InternalName>Spot</InternalName><ColorValue>255</ColorValue>"
        "<ColorDepth>1</ColorDepth><isSpotColor>1</isSpotColor><Print>1</Print>"
        "<Order>2</Order></Color>"
        "<Color><InternalName>Ignored</InternalName><Order>5000</Order></Color>"
        "</CustomColorMode></RootElement>";
    job->m_pszCustomColorXml = xml.c_str();
    CDriver d;
    ASSERT_GT(test::RunJob(d, *job, out), 0);
    ARowBaseRTL& e = EngineOf(d);
    EXPECT_EQ(e.PlaneChannel(2), 0);  // entry 2 renamed, rotated by one
    EXPECT_EQ(e.PlaneChannel(1), 1);  // cyan stays in entry 1
}

TEST_F(PrintLoop, JobOptionsNameTheMutexesAndPauseBetweenPages) {
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(8, 1), CmykPage(8, 1)});
    const std::string xml =
        "<?xml version=\"1.0\"?><RootElement><JobId>4711</JobId>"
        "<PauseBtwPages>1abc</PauseBtwPages></RootElement>";
    job->m_pszCustomColorXml = xml.c_str();
    ScopedMessageScript answers({IDYES, IDNO});
    CDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    EXPECT_EQ(EngineOf(d).JobId().str(), "4711");
    EXPECT_FALSE(fuzz::FreeForOtherThreads("QRM_PRINT_START4711"));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    EXPECT_TRUE(answers.requests().empty());               // never before the first page
    EXPECT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);  // Yes
    ASSERT_EQ(answers.requests().size(), 1u);
    EXPECT_EQ(answers.requests()[0].flags & MB_YESNO, MB_YESNO);
    EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
    EXPECT_TRUE(fuzz::JobLocksFree(4711));
}

TEST_F(PrintLoop, AnswerNoStopsBeforeTheNextPage) {
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(8, 1), CmykPage(8, 1)});
    const std::string xml = "<?xml version=\"1.0\"?><R><PauseBtwPages>1</PauseBtwPages></R>";
    job->m_pszCustomColorXml = xml.c_str();
    ScopedMessageScript answers({IDNO});
    CDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(d.CurrentJobContext()->m_bStartPage, 1);
    EXPECT_EQ(EngineOf(d).JobId().str(), "");  // no JobId element: id 0
    d.AbortJob(nullptr, nullptr, nullptr);
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
    ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
    d.CurrentJobContext()->m_bAbort = 1;
    ScopedLogCapture log;
    EXPECT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(job->m_nStatusCode, 7);
    EXPECT_STREQ(job->m_szStatus, "Aborted");
    EXPECT_TRUE(log.entries().empty());
    EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(job->m_nDone, -1);
}

TEST_F(PrintLoop, RefusedPagesFailTheStepWithAClearLogEntry) {
    ScopedLogCapture log;
    {
        auto job = test::MakeJob(dir, PlainTicket("CP52", 0, 0), {CmykPage(8, 1)});
        CDriver d;
        ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
        EXPECT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 0);
        d.AbortJob(nullptr, nullptr, nullptr);
    }
    ASSERT_GE(log.entries().size(), 2u);
    EXPECT_NE(log.entries()[0].text.find("resolution"), std::string::npos);
    EXPECT_EQ(log.entries()[1].text, "Exception");

    TestPage many{8, 1, 0, 0, {}};
    for (int i = 0; i < 17; ++i) many.colorants.push_back({"Ink" + std::to_string(i)});
    TempDir other;
    auto job = test::MakeJob(other, PlainTicket("CP52", 180, 0), {many});
    CDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    EXPECT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 0);
    EXPECT_NE(log.entries()[2].text.find("16 colorants"), std::string::npos);
    d.AbortJob(nullptr, nullptr, nullptr);
}

TEST_F(PrintLoop, GroupOffsetBecomesBlankTopRows) {
    TestPage page{8, 2, 0, 3, {{"Black"}}};
    auto job = test::MakeJob(dir, PlainTicket("Generic", 180, 1), {page});
    CDriver d;
    ASSERT_GT(test::RunJob(d, *job, out), 0);
    const JobContext& ctx = *d.CurrentJobContext();
    EXPECT_EQ(ctx.m_nOffsetY, 3);
    EXPECT_EQ(ctx.m_nFullHeight, 5);
    EXPECT_EQ(ctx.m_nImageHeight, 2);
    EXPECT_EQ(test::CountOf(out.bytes, "\x1b*b0W"), 3);
    EXPECT_EQ(ctx.m_nRowCounter, 5);
}

}  // namespace
}  // namespace tarnwick
