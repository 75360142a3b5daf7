// Whole jobs through the driver, stepped as hosts do, hosts writing, aborting and reusing it.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "host/job/job_writer.h"
#include "rtl/rtl.h"
#include "rtl/text_table.h"
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
using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 16;

// Settings with the colour bar off, so rows carry only the job's planes.
JobTicket PlainTicket(const std::string& model = "Generic RTL", int16_t dpi = 180,
                      int16_t colorModel = 1) {
    JobTicket t = test::DefaultTicket(model, dpi, colorModel);
    t.settings[13] = 0;
    return t;
}

TestPage CmykPage(int width, int height) {
    return TestPage{width, height, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};
}

// Row r of page p: bytes that name both.
TestPage NumberedPage(int p, int height, int width = kWidth, int x = 0, int y = 0, int bits = 1) {
    TestPage page{width, height, x, y, {{"Black", bits}}};
    page.content = [p](int c, int r, int i) {
        return static_cast<uint8_t>(p * 64 + r + c * 5 + i);
    };
    return page;
}

ARowBaseRTL& EngineOf(CDriver& d) {
    return *dynamic_cast<ARowBaseRTL*>(d.Engine());
}

class EngineJobs : public ::testing::Test {
  protected:
    // A job whose data file the test writes itself, row by row.
    std::unique_ptr<JobWriter> LiveJob(const std::string& name) {
        std::string error;
        const std::string ticketPath = dir.file(name + ".tkt");
        EXPECT_TRUE(WriteJobTicket(ticketPath, PlainTicket(), error)) << error;
        live = test::MakeHostRecord(ticketPath);
        auto writer = JobWriter::Create(fuzz::DataFileFor(ticketPath), error);
        EXPECT_TRUE(writer) << error;
        return writer;
    }
    int Step(ABasePrinterDriver& d) { return d.PrintStep(nullptr, nullptr, nullptr); }

    FakeClock clock;
    ScopedClock useClock{&clock};
    TempDir dir;
    MemoryChannel out;
    std::unique_ptr<HostJobRecord> live;  // the job of LiveJob
};

// Each page takes a start step, row steps and an end step; a rows step returns once 200 ms have
// passed, with the progress of the page. A page of height zero sends no row and still ends.
TEST_F(EngineJobs, PagesGoThroughStartRowsAndEnd) {
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0),
                             {CmykPage(16, 3), CmykPage(16, 8), CmykPage(16, 0)});
    CDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    const JobContext& ctx = *d.CurrentJobContext();
    EXPECT_TRUE(EngineOf(d).HoldsStartLock() && EngineOf(d).HoldsLayoutLock());
    ASSERT_EQ(Step(d), 1);  // page start
    ASSERT_EQ(Step(d), 1);  // rows
    EXPECT_EQ(std::tuple(ctx.m_nCurRow, ctx.m_bPageDone), std::tuple(3, 1));
    ASSERT_EQ(Step(d), 1);  // page end
    ASSERT_EQ(Step(d), 1);
    clock.SetAutoAdvance(60);  // every look at the clock moves it 60 ms on
    ASSERT_EQ(Step(d), 1);
    EXPECT_EQ(std::tuple(ctx.m_nCurRow, std::string(job->m_szStatus), job->m_nStatusCode,
                         ctx.m_bPageDone),
              std::tuple(4, " 50%", 3, 0));
    // The last rows end after the mark: 100% is reported, the page is not yet done. One step
    // marks it done, one ends it; the empty page takes its start, rows and end steps.
    ASSERT_EQ(Step(d), 1);
    EXPECT_EQ(std::tuple(std::string(job->m_szStatus), ctx.m_bPageDone), std::tuple("100%", 0));
    for (int step = 0; step < 5; ++step) ASSERT_EQ(Step(d), 1);
    EXPECT_EQ(job->m_nDone, -1);
    // A step after the end sends nothing more.
    const std::size_t sent = out.bytes.size();
    EXPECT_EQ(Step(d), 0);
    EXPECT_EQ(out.bytes.size(), sent);
    EXPECT_FALSE(EngineOf(d).HoldsStartLock() || EngineOf(d).HoldsLayoutLock());
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(std::tuple(pages[0].rows.size(), pages[1].rows.size(), pages[2].rows.size(),
                         test::CountOf(out.bytes, "\x1b*rC")),
              std::tuple(3u, 8u, 0u, 3));
}

TEST_F(EngineJobs, ColorantsMapOntoThePrintersPlanes) {
    for (const test::TableRow& r : test::ReadTable(__FILE__, "colorant_planes.txt")) {
        SCOPED_TRACE(r.where);
        std::vector<TestPage> pages;
        for (const std::string& inks : test::Split(r[1], '|')) {
            pages.push_back(TestPage{kWidth, 1, 0, 0, {}});
            for (const std::string& ink : test::Split(inks, ','))
                pages.back().colorants.push_back({ink});
            pages.back().content = [](int c, int, int) { return uint8_t(0x11 * (c + 1)); };
        }
        auto job = test::MakeJob(dir, PlainTicket("CP52", 180, int16_t(r.Int(0))), pages);
        if (r[2] != "-") job->m_pszCustomColorXml = r[2].c_str();
        CDriver d;
        MemoryChannel channel;
        ASSERT_GT(test::RunJob(d, *job, channel), 0);
        std::vector<Bytes> first, expected;  // the first byte of each plane, page by page
        for (const test::StreamPage& page : test::ReadStreamRows(channel.bytes)) {
            first.emplace_back();
            for (const auto& plane : page.rows.at(0).planes)
                first.back().push_back(plane == Bytes(2, 0) ? 0 : plane.at(0));
        }
        for (const std::string& page : test::Split(r[3], '|'))
            expected.push_back(test::HexBytes(page));
        EXPECT_EQ(first, expected);
    }
}

// The job options name the job's mutexes and ask between pages (never before the first one);
// a No stops before the next page.
TEST_F(EngineJobs, JobOptionsNameTheMutexesAndPauseBetweenPages) {
    for (const bool named : {true, false}) {
        SCOPED_TRACE(named);
        auto job =
            test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(8, 1), CmykPage(8, 1)});
        const std::string xml = std::string("<?xml version=\"1.0\"?><R>") +
                                (named ? "<JobId>4711</JobId><PauseBtwPages>1abc</PauseBtwPages>"
                                       : "<PauseBtwPages>1</PauseBtwPages>") +
                                "</R>";
        job->m_pszCustomColorXml = xml.c_str();
        ScopedMessageScript answers({named ? IDYES : IDNO});
        CDriver d;
        ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
        EXPECT_EQ(fuzz::FreeForOtherThreads("QRM_PRINT_START4711"), !named);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(Step(d), 1);
        EXPECT_TRUE(answers.requests().empty());
        EXPECT_EQ(Step(d), named ? 1 : 0);
        ASSERT_EQ(answers.requests().size(), 1u);
        EXPECT_EQ(answers.requests()[0].flags & MB_YESNO, MB_YESNO);
        EXPECT_TRUE(named || d.CurrentJobContext()->m_bStartPage == 1);
        EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
        EXPECT_TRUE(fuzz::JobLocksFree(named ? 4711 : 0));
    }
}

TEST_F(EngineJobs, AbortDuringRowsReportsAbortedWithoutALogEntry) {
    struct AbortingEngine : RTL {
        int SendAllColorData(const int32_t* len, uint8_t* const* buf) override {
            return Context()->m_bAbort != 0 ? 0 : RTL::SendAllColorData(len, buf);
        }
    };
    struct AbortingDriver : ABasePrinterDriverImp {
        AbortingDriver() { m_pEngine = std::make_unique<AbortingEngine>(); }
    };
    auto job = test::MakeJob(dir, PlainTicket("CP52", 180, 0), {CmykPage(8, 5)});
    AbortingDriver d;
    ASSERT_EQ(d.OpenJob(job.get(), &out), 1);
    ASSERT_EQ(Step(d), 1);
    d.CurrentJobContext()->m_bAbort = 1;
    ScopedLogCapture log;
    EXPECT_EQ(Step(d), 0);
    EXPECT_EQ(std::tuple(job->m_nStatusCode, std::string(job->m_szStatus)),
              std::tuple(kStatusAborted, "Aborted"));
    EXPECT_TRUE(log.entries().empty());
}

// A host that writes `perWait` rows in each 1,500 ms wait up to row `last` of 10 and ends: the
// start mutex is free in every wait, rows arrive once and in order, a short page ends in blank
// rows.
TEST_F(EngineJobs, HostWritingDuringWaitsGetsEveryRowOnceInOrder) {
    for (const auto& [perWait, last] : {std::pair{3, 10}, std::pair{2, 6}}) {
        SCOPED_TRACE(last);
        auto writer = LiveJob("waits");
        const TestPage page = NumberedPage(0, 10);
        test::AppendPage(*writer, page, 0, perWait);
        int written = perWait;
        clock.onSleep = [&](uint32_t ms) {
            EXPECT_EQ(ms, 1500u);
            EXPECT_TRUE(fuzz::FreeForOtherThreads("QRM_PRINT_START0"));
            const int n = std::min(perWait, last - written);
            if (n > 0) test::AppendPage(*writer, page, written, n);
            written += n;
            std::string error;
            if (written == last && writer) {
                EXPECT_TRUE(writer->EndPage(error) && writer->Finish(error)) << error;
                writer.reset();
            }
        };
        CDriver d;
        MemoryChannel channel;
        ASSERT_GT(test::RunJob(d, *live, channel), 0);
        clock.onSleep = nullptr;
        const auto pages = test::ReadStreamRows(channel.bytes);
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_EQ(pages[0].rows.size(), 10u);
        for (int r = 0; r < 10; ++r) {
            const Bytes expected = r < last ? Bytes{uint8_t(r), uint8_t(r + 1)} : Bytes(2, 0);
            EXPECT_EQ(pages[0].rows[std::size_t(r)].planes.at(0), expected) << "row " << r;
        }
    }
}

// After AbortJob the job is over whatever the printer could be told; a failed OpenJob leaves no
// job to abort; a new job never starts with bytes of a failed one.
TEST_F(EngineJobs, AbortsAndFailuresNeverReachAnotherJob) {
    TempDir firstDir, secondDir;
    auto first = test::MakeJob(firstDir, PlainTicket(), {NumberedPage(0, 300)});
    auto second = test::MakeJob(secondDir, PlainTicket(), {NumberedPage(1, 3)});
    MemoryChannel alone;
    EXPECT_GT(test::RunJob(*std::make_unique<CDriver>(), *second, alone), 0);
    second->m_nDone = 0;

    // The channel is gone by the time of the abort: the abort page end cannot be sent, but the
    // job is over all the same.
    CDriver d;
    test::MemoryChannel broken(0, 0);
    ASSERT_EQ(d.OpenJob(first.get(), &broken), 1);
    ASSERT_EQ(Step(d), 1);
    clock.SetAutoAdvance(1);
    ASSERT_EQ(Step(d), 1);
    clock.SetAutoAdvance(0);
    EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(first->m_nDone, -1);
    EXPECT_TRUE(fuzz::JobLocksFree(0));

    // A job that fails in its rows leaves bytes in the output buffer; the next job on the same
    // driver starts with its own header.
    MemoryChannel firstOut;
    first->m_nDone = 0;
    ASSERT_EQ(d.OpenJob(first.get(), &firstOut), 1);
    ASSERT_EQ(Step(d), 1);  // page start: the header waits in the buffer
    std::filesystem::resize_file(fuzz::DataFileFor(first->path), 64);
    ASSERT_EQ(Step(d), 0);
    MemoryChannel secondOut;
    ASSERT_GT(test::RunJob(d, *second, secondOut), 0);
    EXPECT_EQ(secondOut.bytes, alone.bytes);

    // Abort after a failed open: nothing reaches the earlier job's channel.
    second->m_nDone = 0;
    MemoryChannel abandoned;
    ASSERT_EQ(d.OpenJob(second.get(), &abandoned), 1);
    ASSERT_EQ(Step(d), 1);
    const std::size_t sent = abandoned.bytes.size();
    auto missing = test::MakeHostRecord(dir.file("missing.tkt"));
    ASSERT_EQ(d.OpenJob(missing.get(), &out), 0);
    EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(Step(d), 0);
    EXPECT_EQ(abandoned.bytes.size(), sent);
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_TRUE(fuzz::JobLocksFree(0));
}

// The host rewrites the page being printed during a wait (page_changes.txt): the job fails with
// a log line; nothing is read into buffers of the old size.
TEST_F(EngineJobs, PageChangedDuringAWaitFailsTheJob) {
    for (const test::TableRow& r : test::ReadTable(__FILE__, "page_changes.txt")) {
        SCOPED_TRACE(r.where);
        auto writer = LiveJob("changed");
        test::AppendPage(*writer, NumberedPage(0, 8), 0, 2);
        std::unique_ptr<JobWriter> rewriter;  // still writing, as far as the file tells
        clock.onSleep = [&](uint32_t) {
            writer.reset();
            std::string error;
            rewriter = JobWriter::Create(fuzz::DataFileFor(live->path), error);
            test::AppendPage(
                *rewriter, NumberedPage(0, r.Int(1), r.Int(0), r.Int(2), r.Int(3), r.Int(4)), 0, 6);
        };
        CDriver d;
        MemoryChannel channel;
        ScopedLogCapture log;
        ASSERT_EQ(d.OpenJob(live.get(), &channel), 1);
        int result = 1;
        for (int step = 0; step < 10 && result == 1; ++step) result = Step(d);
        clock.onSleep = nullptr;
        EXPECT_EQ(result, 0);
        ASSERT_FALSE(log.entries().empty());
        EXPECT_EQ(log.entries().front().text, r[5]);
        EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);  // sends what waits in the buffer
        EXPECT_EQ(test::ReadStreamRows(channel.bytes).at(0).rows.size(), 2u);
    }
}

}  // namespace
}  // namespace tarnwick
