// Faults from outside while a job prints: the channel going short or dead at every write, the
// data file vanishing or shrinking during a wait, the holder of the start mutex killed, and an
// abort at every phase. Each fails (or ends) cleanly, every byte the printer got is a prefix of
// the good stream, and no descriptor or mutex outlives the job. Last, the peak memory of
// printing a page does not grow with the page's length.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "cli/table_script.h"
#include "hardening/hardening_support.h"
#include "host/job/job_writer.h"
#include "platform/named_mutex.h"
#include "support/log_capture.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

using namespace hardening;
using test::TestPage;

const TestPage kCmyk{16, 8, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};

using FaultInjection = JobTest;

// Aborts the job: its stream ends with the abort page end, and what went before it is a prefix of
// the good stream.
void ExpectAbortedPrefix(CDriver& driver, const test::MemoryChannel& out, const std::string& good) {
    EXPECT_EQ(driver.AbortJob(nullptr, nullptr, nullptr), 1);
    const std::string sent = out.str();
    ASSERT_TRUE(sent.ends_with(kNamedAbortEnd));
    EXPECT_TRUE(good.starts_with(sent.substr(0, sent.size() - kNamedAbortEnd.size())))
        << "what was sent is not a prefix of the good stream";
}

TEST_F(FaultInjection, ChannelFailingAtAnyWriteFailsTheJobCleanly) {
    // What the failing write returns: half of the good run's write of 64 bytes, 0 or -1.
    const int32_t faults[] = {32, 0, -1};
    // Rows of 4 x 4000 bytes overflow the 1 MiB output buffer within a page, so that writes
    // also happen in the rows step.
    const TestPage wide{32000, 100, 0, 0, kCmyk.colorants};
    const struct {
        std::vector<TestPage> pages;
        int minFaults;  // at least the buffer and the page end of each page, per fault
    } jobs[] = {{{kCmyk, kCmyk, kCmyk}, 3 * 3 * 2}, {{wide, wide}, 3 * 6}};
    for (const auto& j : jobs) {
        SCOPED_TRACE(j.pages[0].width);
        auto job = test::MakeJob(dir, NamedTicket(), j.pages);
        const test::MemoryChannel good = PrintUndisturbed(*job);
        int failures = 0;
        for (const int32_t fault : faults) {
            for (int failAt = 0;; ++failAt) {
                SCOPED_TRACE(std::to_string(fault) + " at write " + std::to_string(failAt));
                test::MemoryChannel channel(failAt, fault);
                CDriver driver;
                ScopedLogCapture log;
                job->m_nDone = 0;
                const int descriptors = OpenDescriptors();
                EXPECT_EQ(driver.OpenJob(job.get(), &channel), 1);
                const int result = StepToTheEnd(driver, *job);
                if (!channel.failed) {  // the job completed before the fault
                    EXPECT_EQ(result, 1);
                    EXPECT_EQ(channel.bytes, good.bytes);
                    break;
                }
                ++failures;
                EXPECT_EQ(result, 0);
                const std::string logged = Joined(log.entries());
                EXPECT_TRUE(logged.starts_with("ABaseRTL::WriteNdata") &&
                            logged.ends_with("\nException"))
                    << logged;
                // The channel stays dead, so the page end cannot go out, but the job's mutexes
                // and descriptors must be given back all the same.
                driver.AbortJob(nullptr, nullptr, nullptr);
                EXPECT_TRUE(good.str().starts_with(channel.str())) << "not a prefix";
                EXPECT_TRUE(fuzz::JobLocksFree(0));
                EXPECT_EQ(OpenDescriptors(), descriptors);
                if (HasFailure()) return;
            }
        }
        EXPECT_EQ(failures, 3 * good.writes);
        EXPECT_GE(failures, j.minFaults);
    }
}

TEST_F(FaultInjection, DataFileDeletedOrCutDuringAWaitFailsTheJob) {
    // The page when the host has written it all before printing.
    const std::string good = PrintUndisturbed(*test::MakeJob(dir, NamedTicket(), {kCmyk})).str();
    const struct {
        std::intmax_t size;  // -1 deletes the file
        std::string logged;
    } rows[] = {
        {-1, "job data file vanished: " + dir.file("job.tkt") + "\nException"},
        // In the file header, in the colorant table, and inside the second row.
        {0, "job data file truncated in its header (0 of 64 bytes)\nException"},
        {64 + 32 + 68 + 10, "job data file truncated in page 0 colorant table\nException"},
        {64 + 32 + 4 * 68 + 8 + 3,
         "job data file truncated in page 0 rows (2 rows need 16 bytes, 11 present)\nException"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.logged);
        auto job = test::MakeJob(dir, NamedTicket(), {});  // its data file is made anew here
        const std::string dataFile = fuzz::DataFileFor(job->path);
        std::string error;
        auto writer = JobWriter::Create(dataFile, error);
        ASSERT_TRUE(writer) << error;
        test::AppendPage(*writer, kCmyk, 0, 2);  // two rows of eight, the host still writing
        clock.onSleep = [&](uint32_t) {
            if (row.size < 0) std::filesystem::remove(dataFile);
            if (row.size >= 0) std::filesystem::resize_file(dataFile, row.size);
        };
        test::MemoryChannel out;
        CDriver driver;
        ScopedLogCapture log;
        ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
        EXPECT_EQ(StepToTheEnd(driver, *job), 0);
        clock.onSleep = nullptr;  // the hook cuts the file: the log shows it ran
        EXPECT_EQ(Joined(log.entries()), row.logged);
        // The two rows already read go out in front of the abort page end.
        ExpectAbortedPrefix(driver, out, good);
        EXPECT_TRUE(fuzz::JobLocksFree(0));
        const auto pages = test::ReadStreamRows(out.bytes);
        EXPECT_TRUE(pages.size() == 1 && pages[0].rows.size() == 2u) << pages.size() << " pages";
    }
}

TEST_F(FaultInjection, KilledHolderOfTheStartMutexLetsTheWaitingJobGoOn) {
    // A child process holds the mutex until it is killed (or this process ends).
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        CMutex mutex(false, "QRM_PRINT_START4242");
        const char held = mutex.Lock(0) == 1 ? 'y' : 'n';
        while (::write(ready[1], &held, 1) == 1) ::pause();
        ::_exit(0);
    }
    ASSERT_GT(holder, 0);
    char held = 'n';
    EXPECT_TRUE(::read(ready[0], &held, 1) == 1 && held == 'y');
    ::close(ready[0]);
    ::close(ready[1]);
    const std::string xml = "<?xml version=\"1.0\"?><RootElement><JobId>4242</JobId></RootElement>";
    auto job = test::MakeJob(dir, NamedTicket(), {kCmyk, kCmyk});
    job->m_pszCustomColorXml = xml.c_str();
    test::MemoryChannel out;
    CDriver driver;
    int opened = -1;
    std::thread waiter([&] { opened = held == 'y' ? driver.OpenJob(job.get(), &out) : 0; });
    const bool waited = SomeoneWaitsFor(CMutex(false, "QRM_PRINT_START4242").lockPath());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    waiter.join();
    EXPECT_TRUE(waited) << "the job never waited for the held mutex";
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(StepToTheEnd(driver, *job), 1);
    EXPECT_EQ(test::ReadStreamRows(out.bytes).size(), 2u);
    EXPECT_TRUE(fuzz::JobLocksFree(4242));
}

TEST_F(FaultInjection, AbortAtEveryPhaseEndsWithTheAbortPageEndAndFreesEverything) {
    const std::string xml = "<?xml version=\"1.0\"?><RootElement><JobId>31</JobId></RootElement>";
    const struct {
        const char* name;
        int steps;
        bool slowRows;  // the rows step runs out of time after a few rows
        std::function<bool(const JobContext&)> reached;
    } phases[] = {
        {"after open", 0, false, [](const JobContext&) { return true; }},
        {"after the header", 1, false,
         [](const JobContext& c) { return c.m_bStartPage == 0 && c.m_nCurRow == 0; }},
        {"in the rows", 2, true,
         [](const JobContext& c) { return c.m_nCurRow > 0 && c.m_nCurRow < 8; }},
        {"before the page end", 2, false, [](const JobContext& c) { return c.m_bPageDone == 1; }},
        {"between pages", 3, false,
         [](const JobContext& c) { return c.m_nCurPage == 1 && c.m_bStartPage == 1; }},
    };
    for (const auto& phase : phases) {
        SCOPED_TRACE(phase.name);
        auto job = test::MakeJob(dir, NamedTicket(), {kCmyk, kCmyk});
        const std::string good = PrintUndisturbed(*job).str();
        job->m_pszCustomColorXml = xml.c_str();
        test::MemoryChannel out;
        CDriver driver;
        const int descriptors = OpenDescriptors();
        ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
        for (int i = 0; i < phase.steps; ++i) {
            if (i == 1 && phase.slowRows) clock.SetAutoAdvance(60);
            ASSERT_EQ(driver.PrintStep(nullptr, nullptr, nullptr), 1);
        }
        clock.SetAutoAdvance(0);
        ASSERT_TRUE(phase.reached(*driver.CurrentJobContext()));
        ExpectAbortedPrefix(driver, out, good);
        EXPECT_EQ(job->m_nDone, -1);
        EXPECT_TRUE(fuzz::JobLocksFree(31));
        // The job's end gives everything back, not the driver's destruction.
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
}

long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field) + 1));
    }
    return -1;
}

// The growth of the peak resident memory over printing the job, in KiB (-1 when it could not be
// measured), in a child process: it starts from the same state every time and carries no other
// test's memory.
long PeakGrowthKiB(HostJobRecord& job) {
    int result[2];
    if (::pipe(result) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        long growth = -1;
        test::MemoryChannel out;  // keeps nothing: not memory of the driver
        out.keep = false;
        CDriver driver;
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5" << std::flush;  // the peak starts again from the current size
        const long start = StatusKiB("VmRSS:");
        if (reset && start > 0 && driver.OpenJob(&job, &out) == 1 &&
            StepToTheEnd(driver, job) == 1 && job.m_nDone == -1 && out.taken > 0) {
            growth = StatusKiB("VmHWM:") - start;
        }
        ::_exit(::write(result[1], &growth, sizeof growth) == sizeof growth ? 0 : 1);
    }
    ::close(result[1]);
    long growth = -1;
    if (::read(result[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    ::close(result[0]);
    ::waitpid(pid, nullptr, 0);
    return growth;
}

TEST_F(FaultInjection, PeakMemoryOfAPageDoesNotGrowWithItsLength) {
    // 5,760 bytes a row of each of colour model 2's six inks: both pages fill the job reader's
    // 1 MiB window, and the long page's data is forty times it.
    constexpr int kRows = 120;
    JobTicket ticket = NamedTicket();
    ticket.colorModel = 2;
    // Every row the same runs of equal bytes: quick to write and to compress, so that the test
    // measures memory, not time.
    TestPage page = test::PageOf("46080x120:Cyan,Magenta,Yellow,Black,LCyan,LMagenta");
    page.content = [](int, int, int i) { return static_cast<uint8_t>(i / 96 * 37); };
    long growth[2] = {};
    for (const int length : {1, 10}) {
        page.height = length * kRows;
        growth[length / 10] = PeakGrowthKiB(*test::MakeJob(dir, ticket, {page}));
        ASSERT_GE(growth[length / 10], 0) << "the peak memory could not be measured";
    }
    EXPECT_LE(growth[1], growth[0] + growth[0] / 10 + 1024)
        << kRows << " rows: " << growth[0] << " KiB, " << 10 * kRows << " rows: " << growth[1];
}

}  // namespace
}  // namespace tarnwick
