// The job lifecycle under hosts that behave as real ones do: they write while the driver prints,
// stall, abort after failures, reuse the driver, and run jobs of one id side by side.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "hardening/hardening_support.h"
#include "host/afile_path.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "host/kv_log.h"
#include "platform/clock.h"
#include "support/fake_clock.h"
#include "support/job_fixture.h"
#include "support/log_capture.h"
#include "support/scoped_env.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

using test::MemoryChannel;
using test::TempDir;
using test::TestPage;

constexpr int kWidth = 16;

// Row r of page p: two bytes that name both.
TestPage NumberedPage(int p, int height, std::vector<test::TestColorant> inks = {{"Black"}}) {
    TestPage page{kWidth, height, 0, 0, std::move(inks)};
    page.content = [p](int c, int r, int i) {
        return static_cast<uint8_t>(p * 64 + r + c * 5 + i);
    };
    return page;
}

// Every page arrived whole, in order, each row once, as NumberedPage wrote it (numbered from
// firstPage on).
void ExpectPagesPrinted(const std::vector<uint8_t>& stream, const std::vector<int>& heights,
                        int firstPage = 0) {
    const auto pages = test::ReadStreamRows(stream);
    ASSERT_EQ(pages.size(), heights.size());
    for (std::size_t p = 0; p < heights.size(); ++p) {
        ASSERT_EQ(pages[p].rows.size(), static_cast<std::size_t>(heights[p])) << "page " << p;
        for (int r = 0; r < heights[p]; ++r) {
            const auto& plane = pages[p].rows[static_cast<std::size_t>(r)].planes.at(0);
            ASSERT_EQ(plane.at(0), static_cast<uint8_t>((firstPage + p) * 64 + r))
                << "page " << p << " row " << r;
        }
    }
}

JobTicket GenericTicket() {
    JobTicket ticket = test::DefaultTicket("Generic RTL", 180, 1);
    ticket.settings[13] = 0;  // no colour bar
    return ticket;
}

class HostLifecycle : public ::testing::Test {
  protected:
    // A job whose data file the test writes itself, row by row.
    std::unique_ptr<JobWriter> LiveJob(const std::string& name, const char* options = nullptr) {
        std::string error;
        const std::string ticketPath = dir.file(name + ".tkt");
        EXPECT_TRUE(WriteJobTicket(ticketPath, GenericTicket(), error)) << error;
        jobs.push_back(test::MakeHostRecord(ticketPath));
        jobs.back()->m_pszCustomColorXml = options;
        auto writer = JobWriter::Create(DataFile(*jobs.back()), error);
        EXPECT_TRUE(writer) << error;
        return writer;
    }
    static std::string DataFile(const HostJobRecord& job) {
        return OXJob::GetFileName(ePrefix0, AFilePath(job.path)).c_str();
    }
    int Step(ABasePrinterDriver& d) { return d.PrintStep(nullptr, nullptr, nullptr); }

    hardening::PrivateLocks locks;
    FakeClock clock;
    ScopedClock useClock{&clock};
    TempDir dir;
    MemoryChannel out;
    std::vector<std::unique_ptr<HostJobRecord>> jobs;
};

// A host thread writes three pages with pauses inside and between them, through the module as
// a print host loads it. The pauses wait for the driver's steps, so the driver regularly
// reaches the end of what is written: inside a page and at the end of a finished page.
TEST_F(HostLifecycle, ThreadedHostWritingPagesWithPausesGetsEveryRowOnceInOrder) {
    test::ScopedEnv virtualClock("TARNWICK_VIRTUAL_CLOCK", "1");
    void* module = dlopen(TARNWICK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using Factory = ABasePrinterDriver* (*)();
    auto factory = reinterpret_cast<Factory>(dlsym(module, "createNewPrinterDriver"));
    std::unique_ptr<ABasePrinterDriver> driver(factory());

    const std::vector<int> heights = {12, 7, 9};
    auto writer = LiveJob("threaded");
    std::mutex mutex;
    std::condition_variable stepped;
    long steps = 0;
    bool stop = false;
    auto waitSteps = [&](long n) {
        std::unique_lock lock(mutex);
        const long until = steps + n;
        stepped.wait(lock, [&] { return steps >= until || stop; });
    };
    std::thread host([&] {
        std::string error;
        for (int p = 0; p < 3; ++p) {
            const TestPage page = NumberedPage(p, heights[static_cast<std::size_t>(p)]);
            for (int first = 0; first < page.height; first += 4) {
                test::AppendPage(*writer, page, first, std::min(4, page.height - first));
                waitSteps(3);
            }
            EXPECT_TRUE(writer->EndPage(error)) << error;
            waitSteps(5);
        }
        EXPECT_TRUE(writer->Finish(error)) << error;
    });
    // The job opens before its first page exists, as a host that prints while it writes does.
    ASSERT_EQ(driver->OpenJob(jobs[0].get(), &out), 1);
    int result = 1;
    for (long n = 0; n < 1'000'000 && result == 1 && jobs[0]->m_nDone != -1; ++n) {
        result = Step(*driver);
        std::lock_guard lock(mutex);
        ++steps;
        stepped.notify_all();
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
        stepped.notify_all();
    }
    host.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(jobs[0]->m_nDone, -1);
    ExpectPagesPrinted(out.bytes, heights);
    driver.reset();
    dlclose(module);
}

// A host that writes between its own steps on one thread, and stalls: every step waits once at
// most, and an abort during the stall ends the job with the abort page end and "Aborted".
TEST_F(HostLifecycle, StalledHostGetsControlBackEveryStepAndCanAbort) {
    auto writer = LiveJob("stall");
    const TestPage page = NumberedPage(0, 10);
    test::AppendPage(*writer, page, 0, 3);
    CDriver d;
    ASSERT_EQ(d.OpenJob(jobs[0].get(), &out), 1);
    for (int step = 0; step < 40; ++step) {
        const std::size_t sleepsBefore = clock.sleeps().size();
        ASSERT_EQ(Step(d), 1) << "step " << step;
        ASSERT_LE(clock.sleeps().size() - sleepsBefore, 1u) << "step " << step;
        ASSERT_LE(d.CurrentJobContext()->m_nCurRow, 3);
    }
    test::AppendPage(*writer, page, 3, 2);
    for (int step = 0; step < 10 && d.CurrentJobContext()->m_nCurRow < 5; ++step) Step(d);
    EXPECT_EQ(d.CurrentJobContext()->m_nCurRow, 5);

    EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(jobs[0]->m_nDone, -1);
    EXPECT_EQ(jobs[0]->m_nStatusCode, kStatusAborted);
    EXPECT_STREQ(jobs[0]->m_szStatus, "Aborted");
    EXPECT_TRUE(hardening::EndsWith(out.bytes,
                                    "@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\x1b"
                                    "E"));
    ExpectPagesPrinted(out.bytes, {5});
    EXPECT_TRUE(fuzz::JobLocksFree(0));
    const std::size_t sent = out.bytes.size();
    EXPECT_EQ(Step(d), 0);
    EXPECT_EQ(out.bytes.size(), sent);
}

// A host that writes only while the driver waits (1,500 ms each time, through the clock):
// `perWait` rows per wait up to row `last` of 10, then the page ends, short or not, and the job.
// The start mutex is free during every wait, every row arrives once and in order, and a page that
// ends short is completed with blank rows.
TEST_F(HostLifecycle, HostWritingDuringWaitsGetsEveryRowOnceInOrder) {
    for (const auto& [perWait, last] : {std::pair{3, 10}, std::pair{2, 6}}) {
        SCOPED_TRACE(last);
        jobs.clear();
        auto writer = LiveJob("waits");
        const TestPage page = NumberedPage(0, 10);
        test::AppendPage(*writer, page, 0, perWait);
        int written = perWait;
        bool startFree = true;
        clock.onSleep = [&](uint32_t ms) {
            EXPECT_EQ(ms, 1500u);
            startFree = startFree && fuzz::FreeForOtherThreads("QRM_PRINT_START0");
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
        ASSERT_GT(test::RunJob(d, *jobs[0], channel), 0);
        clock.onSleep = nullptr;
        EXPECT_TRUE(startFree);
        EXPECT_FALSE(writer) << "the job ended before the host did";
        const auto pages = test::ReadStreamRows(channel.bytes);
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_EQ(pages[0].rows.size(), 10u);
        for (int r = 0; r < 10; ++r) {
            const std::vector<uint8_t> expected =
                r < last ? std::vector<uint8_t>{uint8_t(r), uint8_t(r + 1)}
                         : std::vector<uint8_t>(2, 0);
            EXPECT_EQ(pages[0].rows[std::size_t(r)].planes.at(0), expected) << "row " << r;
        }
    }
}

// After AbortJob the job is over whatever the printer could be told; a failed OpenJob leaves no
// job to abort; a new job never starts with bytes of a failed one.
TEST_F(HostLifecycle, AbortsAndFailuresNeverReachAnotherJob) {
    TempDir firstDir;
    TempDir secondDir;
    auto first = test::MakeJob(firstDir, GenericTicket(), {NumberedPage(0, 300)});
    auto second = test::MakeJob(secondDir, GenericTicket(), {NumberedPage(1, 3)});
    const auto aloneStream = [&] {
        CDriver d;
        MemoryChannel alone;
        EXPECT_GT(test::RunJob(d, *second, alone), 0);
        second->m_nDone = 0;
        return alone.bytes;
    }();

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
    EXPECT_EQ(Step(d), 0);

    // A job that fails in its rows leaves bytes in the output buffer; the next job on the same
    // driver starts with its own header.
    MemoryChannel firstOut;
    first->m_nDone = 0;
    ASSERT_EQ(d.OpenJob(first.get(), &firstOut), 1);
    ASSERT_EQ(Step(d), 1);  // page start: the header waits in the buffer
    std::filesystem::resize_file(DataFile(*first), 64);
    ASSERT_EQ(Step(d), 0);
    MemoryChannel secondOut;
    ASSERT_GT(test::RunJob(d, *second, secondOut), 0);
    EXPECT_EQ(secondOut.bytes, aloneStream);

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

// Two jobs of one id: on one thread they nest (the platform's mutexes are re-entrant for their
// owner); on two threads the second waits while the first waits for data, and both finish.
TEST_F(HostLifecycle, JobsOfOneIdNeverDeadlock) {
    const char* options = "<?xml version=\"1.0\"?><RootElement><JobId>7</JobId></RootElement>";
    auto writerA = LiveJob("a", options);
    auto writerB = LiveJob("b", options);
    test::AppendPage(*writerB, NumberedPage(1, 4));
    std::string error;
    ASSERT_TRUE(writerB->Finish(error)) << error;
    const TestPage pageA = NumberedPage(0, 6);
    test::AppendPage(*writerA, pageA, 0, 2);

    // One thread: B opens and prints while A is open.
    CDriver a;
    CDriver b;
    MemoryChannel outB;
    ASSERT_EQ(a.OpenJob(jobs[0].get(), &out), 1);
    ASSERT_GT(test::RunJob(b, *jobs[1], outB), 0);
    ExpectPagesPrinted(outB.bytes, {4}, 1);
    EXPECT_FALSE(fuzz::FreeForOtherThreads("QRM_PRINT_MAKELAYOUT7")) << "A still holds it";

    // Two threads: A waits for data (start mutex given up, layout held) when B opens. B must
    // not hold the start mutex while it waits for layout, or A could never take it back.
    ASSERT_EQ(Step(a), 1);  // page start
    ASSERT_EQ(Step(a), 1);  // two rows, then one wait
    jobs[1]->m_nDone = 0;
    MemoryChannel outB2;
    std::atomic<int> openedB{-1};
    std::thread other([&] { openedB = b.OpenJob(jobs[1].get(), &outB2); });
    test::AppendPage(*writerA, pageA, 2, -1);
    ASSERT_TRUE(writerA->Finish(error)) << error;
    for (int step = 0; step < 100000 && jobs[0]->m_nDone != -1; ++step) {
        ASSERT_NE(Step(a), 0);
        std::this_thread::yield();
    }
    other.join();
    EXPECT_EQ(jobs[0]->m_nDone, -1);
    ExpectPagesPrinted(out.bytes, {6});
    ASSERT_EQ(openedB, 1);
    for (int step = 0; step < 100 && jobs[1]->m_nDone != -1; ++step) ASSERT_EQ(Step(b), 1);
    ExpectPagesPrinted(outB2.bytes, {4}, 1);
    EXPECT_TRUE(fuzz::JobLocksFree(7));
}

// The host rewrites the page being printed during a wait: wider, shifted, placed lower, or
// with other inks. The job fails with a log line; nothing is read into buffers of the old size.
TEST_F(HostLifecycle, PageChangedDuringAWaitFailsTheJob) {
    struct Case {
        const char* change;
        TestPage rewritten;
    } cases[] = {
        {"its width", TestPage{kWidth + 64, 8, 0, 0, {{"Black"}}}},
        {"its placement", TestPage{kWidth, 8, 24, 0, {{"Black"}}}},
        {"its placement", TestPage{kWidth, 8, 0, 5, {{"Black"}}}},
        {"its height grew", TestPage{kWidth, 9, 0, 0, {{"Black"}}}},
        {"its colorants", TestPage{kWidth, 8, 0, 0, {{"Black", 8}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        jobs.clear();
        auto writer = LiveJob("changed");
        test::AppendPage(*writer, NumberedPage(0, 8), 0, 2);
        std::unique_ptr<JobWriter> rewriter;  // still writing, as far as the file tells
        clock.onSleep = [&](uint32_t) {
            writer.reset();
            std::string error;
            rewriter = JobWriter::Create(DataFile(*jobs[0]), error);
            test::AppendPage(*rewriter, c.rewritten, 0, 6);
        };
        CDriver d;
        MemoryChannel channel;
        ScopedLogCapture log;
        ASSERT_EQ(d.OpenJob(jobs[0].get(), &channel), 1);
        int result = 1;
        for (int step = 0; step < 10 && result == 1; ++step) result = Step(d);
        clock.onSleep = nullptr;
        EXPECT_EQ(result, 0);
        const auto texts = hardening::LogTexts(log.entries());
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.front(), std::string("the host changed page 0 while it was printed (") +
                                     c.change + "); the job cannot go on");
        EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
        EXPECT_EQ(test::ReadStreamRows(channel.bytes).at(0).rows.size(), 2u);
    }
}

}  // namespace
}  // namespace tarnwick
