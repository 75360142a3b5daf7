// Faults from outside while a job prints: the channel going short or dead at every write, the
// data file vanishing or shrinking during a wait, the holder of the start mutex killed, and an
// abort at every phase. Each fails (or ends) cleanly, and every byte the printer got is a
// prefix of the good stream.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "driver/cdriver.h"
#include "hardening/hardening_support.h"
#include "host/job/job_writer.h"
#include "platform/clock.h"
#include "platform/named_mutex.h"
#include "support/log_capture.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

using hardening::StartsWith;
using test::MemoryChannel;
using test::TestPage;

class FaultInjection : public hardening::JobTest {};

// ---- The output channel ----

struct ChannelFault {
    const char* name;
    // What the failing write returns for a request of n bytes.
    int32_t (*accept)(int32_t n);
};

const ChannelFault kChannelFaults[] = {
    {"short", [](int32_t n) { return n / 2; }},
    {"zero", [](int32_t) { return 0; }},
    {"minus one", [](int32_t) { return -1; }},
};

// Runs the job against a channel that breaks at write `failAt`; false when the run never got
// that far (the job completed first).
bool RunWithBrokenChannel(HostJobRecord& job, const std::vector<uint8_t>& good, int failAt,
                          const ChannelFault& fault, int32_t requested) {
    SCOPED_TRACE(std::string(fault.name) + " at write " + std::to_string(failAt));
    test::MemoryChannel channel(failAt, fault.accept(requested));
    CDriver driver;
    ScopedLogCapture log;
    job.m_nDone = 0;
    EXPECT_EQ(driver.OpenJob(&job, &channel), 1);
    int result = 1;
    for (int step = 0; step < 1000 && result == 1 && job.m_nDone != -1; ++step) {
        result = driver.PrintStep(nullptr, nullptr, nullptr);
    }
    if (!channel.failed) {
        EXPECT_EQ(result, 1);
        EXPECT_EQ(channel.bytes, good);
        return false;
    }
    EXPECT_EQ(result, 0);
    const std::vector<std::string> lines = hardening::LogTexts(log.entries());
    if (lines.empty()) {
        ADD_FAILURE() << "the failed step logged nothing";
        return true;
    }
    EXPECT_EQ(lines.front().rfind("ABaseRTL::WriteNdata", 0), 0u) << lines.front();
    EXPECT_EQ(lines.back(), "Exception");
    EXPECT_TRUE(StartsWith(good, channel.bytes)) << "accepted bytes are not a prefix";

    // The host aborts; the channel stays dead, so the page end cannot go out, but the job's
    // mutexes must be given back all the same.
    driver.AbortJob(nullptr, nullptr, nullptr);
    EXPECT_TRUE(StartsWith(good, channel.bytes));
    EXPECT_TRUE(fuzz::JobLocksFree(0));
    return true;
}

// Every write of the job, for every way of failing, until a run completes untouched.
int TryEveryWrite(HostJobRecord& job) {
    const hardening::GoodRun good = hardening::PrintUndisturbed(job);
    int faults = 0;
    for (const ChannelFault& fault : kChannelFaults) {
        for (int failAt = 0;; ++failAt) {
            // The short write needs the size it is asked for: that of the good run's write.
            if (!RunWithBrokenChannel(job, good.bytes, failAt, fault, 64)) break;
            ++faults;
            if (::testing::Test::HasFailure()) return faults;
        }
    }
    EXPECT_EQ(faults, 3 * good.writes);
    return faults;
}

TEST_F(FaultInjection, ChannelFailingAtEveryWriteOfASmallJobFailsItCleanly) {
    auto job = hardening::SmallNamedJob(dir, 3);
    const int faults = TryEveryWrite(*job);
    RecordProperty("fault_points", faults);
    EXPECT_GE(faults, 3 * 3 * 2);  // at least the buffer and the page end of each page
}

TEST_F(FaultInjection, ChannelFailingInTheMiddleOfTheRowsFailsTheRowsStep) {
    // Rows of 4 x 4000 bytes overflow the 1 MiB output buffer within a page, so writes also
    // happen in the rows step.
    JobTicket ticket = test::DefaultTicket("CP52", 180, 0);
    ticket.settings[13] = 0;
    const TestPage wide{32000, 100, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};
    auto job = test::MakeJob(dir, ticket, {wide, wide});
    const int faults = TryEveryWrite(*job);
    RecordProperty("fault_points", faults);
    EXPECT_GE(faults, 3 * 6);
}

// ---- The data file during a wait for data ----

class WaitForData : public FaultInjection {
  protected:
    void SetUp() override {
        ticket = test::DefaultTicket("CP52", 180, 0);
        ticket.settings[13] = 0;
        std::string error;
        ASSERT_TRUE(WriteJobTicket(dir.file("job.tkt"), ticket, error)) << error;
        job = test::MakeHostRecord(dir.file("job.tkt"));
        dataFile = fuzz::DataFileFor(job->path);
        writer = JobWriter::Create(dataFile, error);
        ASSERT_TRUE(writer) << error;
        test::AppendPage(*writer, page, 0, 2);  // two rows of six, the host still writing
    }

    // The stream of the same page when the host has written it all before printing.
    std::vector<uint8_t> GoodStream() {
        test::TempDir other;
        auto full = test::MakeJob(other, ticket, {page});
        test::MemoryChannel good;
        CDriver d;
        EXPECT_GT(test::RunJob(d, *full, good), 0);
        return good.bytes;
    }

    // Prints until the wait goes wrong, then aborts: the failed step names the fault, and the
    // two rows already read go out in front of the abort page end.
    void ExpectFailedWait(const std::string& firstLine) {
        const std::vector<uint8_t> good = GoodStream();
        test::MemoryChannel out;
        CDriver driver;
        ScopedLogCapture log;
        ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
        int result = 1;
        for (int step = 0; step < 100 && result == 1; ++step) {
            result = driver.PrintStep(nullptr, nullptr, nullptr);
        }
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(clock.sleeps().empty());
        const std::vector<std::string> lines = hardening::LogTexts(log.entries());
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].rfind(firstLine, 0), 0u) << lines[0];
        EXPECT_EQ(lines[1], "Exception");

        EXPECT_EQ(driver.AbortJob(nullptr, nullptr, nullptr), 1);
        EXPECT_EQ(job->m_nDone, -1);
        EXPECT_TRUE(fuzz::JobLocksFree(0));
        ASSERT_TRUE(hardening::EndsWith(out.bytes, hardening::kNamedAbortEnd));
        const std::vector<uint8_t> sent(out.bytes.begin(),
                                        out.bytes.end() - hardening::kNamedAbortEnd.size());
        EXPECT_TRUE(StartsWith(good, sent)) << "what was sent is not a prefix of the good stream";
        const auto pages = test::ReadStreamRows(out.bytes);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].rows.size(), 2u);
    }

    JobTicket ticket;
    std::unique_ptr<HostJobRecord> job;
    std::string dataFile;
    std::unique_ptr<JobWriter> writer;
    const TestPage page{16, 6, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};
};

TEST_F(WaitForData, DataFileDeletedDuringAWaitFailsTheJob) {
    clock.onSleep = [this](uint32_t) { std::filesystem::remove(dataFile); };
    ExpectFailedWait("job data file vanished: " + std::string(job->path));
}

struct Cut {
    std::uintmax_t size;
    const char* message;
};

class DataFileCutDuringAWait : public WaitForData, public ::testing::WithParamInterface<Cut> {};

TEST_P(DataFileCutDuringAWait, FailsTheJob) {
    clock.onSleep = [this](uint32_t) { std::filesystem::resize_file(dataFile, GetParam().size); };
    ExpectFailedWait(GetParam().message);
}

// In the file header, in the colorant table, and inside the second row.
INSTANTIATE_TEST_SUITE_P(
    Hardening, DataFileCutDuringAWait,
    ::testing::Values(Cut{0, "job data file truncated in its header (0 of 64 bytes)"},
                      Cut{64 + 32 + 68 + 10, "job data file truncated in page 0 colorant table"},
                      Cut{64 + 32 + 4 * 68 + 8 + 3, "job data file truncated in page 0 rows"}));

// ---- The holder of the start mutex killed ----

// A child process that holds a named mutex until it is killed; killed and reaped at the latest
// when the object goes, so that a failing test cannot leave a waiter blocked.
class MutexHolder {
  public:
    explicit MutexHolder(const std::string& name) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_release) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(m_release[1]);
            CMutex mutex(false, name.c_str());
            const char held = mutex.Lock(0) == 1 ? 'y' : 'n';
            if (::write(ready[1], &held, 1) != 1) ::_exit(1);
            char byte;
            while (::read(m_release[0], &byte, 1) < 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(m_release[0]);
        char held = 'n';
        m_holding = ::read(ready[0], &held, 1) == 1 && held == 'y';
        ::close(ready[0]);
    }
    ~MutexHolder() {
        Kill();
        ::close(m_release[1]);
    }
    MutexHolder(const MutexHolder&) = delete;
    MutexHolder& operator=(const MutexHolder&) = delete;

    bool holding() const { return m_pid > 0 && m_holding; }
    void Kill() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

  private:
    pid_t m_pid = -1;
    int m_release[2] = {-1, -1};
    bool m_holding = false;
};

// True once some process waits in flock for the lock file: the kernel lists a blocked request
// as "-> FLOCK" with the file's inode. Polls /proc/locks for at most ten seconds.
bool SomeoneWaitsFor(const std::string& lockFile) {
    struct stat st {};
    if (::stat(lockFile.c_str(), &st) != 0) return false;
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);) {
            if (line.find("-> FLOCK") != std::string::npos &&
                line.find(inode) != std::string::npos) {
                return true;
            }
        }
        std::this_thread::yield();
    }
    return false;
}

TEST_F(FaultInjection, KilledHolderOfTheStartMutexLetsTheWaitingJobGoOn) {
    const std::string xml = "<?xml version=\"1.0\"?><RootElement><JobId>4242</JobId></RootElement>";
    auto job = hardening::SmallNamedJob(dir, 2);
    job->m_pszCustomColorXml = xml.c_str();

    MutexHolder holder("QRM_PRINT_START4242");
    ASSERT_TRUE(holder.holding());
    test::MemoryChannel out;
    CDriver driver;
    int opened = -1;
    std::thread waiter([&] { opened = driver.OpenJob(job.get(), &out); });
    const bool waited = SomeoneWaitsFor(CMutex(false, "QRM_PRINT_START4242").lockPath());
    holder.Kill();
    waiter.join();
    EXPECT_TRUE(waited) << "the job never waited for the held mutex";

    ASSERT_EQ(opened, 1);
    int steps = 0;
    while (job->m_nDone != -1 && steps < 100) {
        ASSERT_EQ(driver.PrintStep(nullptr, nullptr, nullptr), 1);
        ++steps;
    }
    EXPECT_EQ(job->m_nDone, -1);
    EXPECT_EQ(test::ReadStreamRows(out.bytes).size(), 2u);
    EXPECT_TRUE(fuzz::JobLocksFree(4242));
}

// ---- An abort at every phase ----

enum class Phase { AfterOpen, AfterHeader, InTheRows, BeforePageEnd, BetweenPages };

struct AbortCase {
    const char* name;
    Phase phase;
};

class AbortAtEveryPhase : public FaultInjection, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(AbortAtEveryPhase, EndsWithTheAbortPageEndAndFreesBothMutexes) {
    const std::string xml = "<?xml version=\"1.0\"?><RootElement><JobId>31</JobId></RootElement>";
    auto job = hardening::SmallNamedJob(dir, 2, 8);
    const hardening::GoodRun good = hardening::PrintUndisturbed(*job);
    job->m_pszCustomColorXml = xml.c_str();

    test::MemoryChannel out;
    CDriver driver;
    ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
    const JobContext& ctx = *driver.CurrentJobContext();
    const auto step = [&] { ASSERT_EQ(driver.PrintStep(nullptr, nullptr, nullptr), 1); };
    switch (GetParam().phase) {
        case Phase::AfterOpen:
            break;
        case Phase::AfterHeader:
            step();
            ASSERT_EQ(ctx.m_bStartPage, 0);
            ASSERT_EQ(ctx.m_nCurRow, 0);
            break;
        case Phase::InTheRows:
            step();
            clock.SetAutoAdvance(60);  // the rows step runs out of time after a few rows
            step();
            ASSERT_GT(ctx.m_nCurRow, 0);
            ASSERT_LT(ctx.m_nCurRow, 8);
            break;
        case Phase::BeforePageEnd:
            step();
            step();
            ASSERT_EQ(ctx.m_bPageDone, 1);
            break;
        case Phase::BetweenPages:
            for (int i = 0; i < 3; ++i) step();
            ASSERT_EQ(ctx.m_nCurPage, 1);
            ASSERT_EQ(ctx.m_bStartPage, 1);
            break;
    }
    if (HasFatalFailure()) return;
    EXPECT_EQ(driver.AbortJob(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(job->m_nDone, -1);
    ASSERT_TRUE(hardening::EndsWith(out.bytes, hardening::kNamedAbortEnd));
    const std::vector<uint8_t> sent(out.bytes.begin(),
                                    out.bytes.end() - hardening::kNamedAbortEnd.size());
    EXPECT_TRUE(StartsWith(good.bytes, sent)) << "what was sent is not a prefix of the good stream";
    EXPECT_TRUE(fuzz::JobLocksFree(31));
}

INSTANTIATE_TEST_SUITE_P(Hardening, AbortAtEveryPhase,
                         ::testing::Values(AbortCase{"AfterOpen", Phase::AfterOpen},
                                           AbortCase{"AfterHeader", Phase::AfterHeader},
                                           AbortCase{"InTheRows", Phase::InTheRows},
                                           AbortCase{"BeforePageEnd", Phase::BeforePageEnd},
                                           AbortCase{"BetweenPages", Phase::BetweenPages}),
                         [](const ::testing::TestParamInfo<AbortCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tarnwick
