// What a job leaves behind and what it costs: no descriptor and no mutex outlives a job,
// whether it completes, fails or is aborted, and the peak memory of printing a page does not
// grow with the page's length.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <sstream>

#include "driver/cdriver.h"
#include "hardening/hardening_support.h"
#include "host/job/job_writer.h"
#include "platform/clock.h"

namespace tarnwick {
namespace {

using test::TestPage;

class ResourceBounds : public hardening::JobTest {};

struct JobCase {
    const char* name;
    // Runs one job with the driver; the job is over (done or aborted) when it returns.
    std::function<void(CDriver&, HostJobRecord&, OutputChannel&)> run;
};

void StepToTheEnd(CDriver& d, HostJobRecord& job) {
    for (int i = 0; i < 100 && job.m_nDone != -1; ++i) {
        if (d.PrintStep(nullptr, nullptr, nullptr) == 0) break;
    }
}

TEST_F(ResourceBounds, NoDescriptorOrMutexOutlivesAJob) {
    const JobCase cases[] = {
        {"completed",
         [](CDriver& d, HostJobRecord& job, OutputChannel& out) {
             ASSERT_EQ(d.OpenJob(&job, &out), 1);
             StepToTheEnd(d, job);
             ASSERT_EQ(job.m_nDone, -1);
         }},
        {"refused at open",
         [](CDriver& d, HostJobRecord& job, OutputChannel& out) {
             std::filesystem::resize_file(fuzz::DataFileFor(job.path), 70);
             ASSERT_EQ(d.OpenJob(&job, &out), 0);
         }},
        {"aborted in the rows",
         [this](CDriver& d, HostJobRecord& job, OutputChannel& out) {
             ASSERT_EQ(d.OpenJob(&job, &out), 1);
             ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
             clock.SetAutoAdvance(60);
             ASSERT_EQ(d.PrintStep(nullptr, nullptr, nullptr), 1);
             clock.SetAutoAdvance(0);
             ASSERT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
         }},
        {"failed on its channel, then aborted",
         [](CDriver& d, HostJobRecord& job, OutputChannel&) {
             test::MemoryChannel broken(0, -1);
             ASSERT_EQ(d.OpenJob(&job, &broken), 1);
             StepToTheEnd(d, job);
             ASSERT_TRUE(broken.failed);
             d.AbortJob(nullptr, nullptr, nullptr);
         }},
    };
    // One job first, so that whatever the process sets up once is in place before counting.
    {
        test::TempDir warm;
        auto job = hardening::SmallNamedJob(warm, 2, 8);
        hardening::PrintUndisturbed(*job);
    }
    for (const JobCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir jobDir;
        auto job = hardening::SmallNamedJob(jobDir, 2, 8);
        test::MemoryChannel out;
        CDriver driver;
        const int before = hardening::OpenDescriptors();
        c.run(driver, *job, out);
        if (HasFatalFailure()) return;
        // The job's end gives everything back, not the driver's destruction.
        EXPECT_EQ(hardening::OpenDescriptors(), before);
        EXPECT_TRUE(fuzz::JobLocksFree(0));
    }
}

// ---- Peak memory against page length ----

long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field) + 1));
    }
    return -1;
}

// Prints the job in a child process and gives the growth of its peak resident memory over
// the print, in KiB (-1 when it could not be measured). A child starts from the same state
// every time and carries no other test's memory.
long PeakGrowthKiB(HostJobRecord& job) {
    int result[2];
    if (::pipe(result) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(result[0]);
        long growth = -1;
        {
            test::MemoryChannel out;  // keeps nothing: not memory of the driver
            out.keep = false;
            CDriver driver;
            std::ofstream reset("/proc/self/clear_refs");
            reset << "5" << std::flush;  // the peak starts again from the current size
            const long start = StatusKiB("VmRSS:");
            if (reset && start > 0 && driver.OpenJob(&job, &out) == 1) {
                StepToTheEnd(driver, job);
                if (job.m_nDone == -1 && out.taken > 0) growth = StatusKiB("VmHWM:") - start;
            }
        }
        const bool sent = ::write(result[1], &growth, sizeof growth) == sizeof growth;
        ::_exit(sent ? 0 : 1);
    }
    ::close(result[1]);
    long growth = -1;
    if (::read(result[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    ::close(result[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return growth;
}

// A one-page job of `rows` rows of `inks` colorants, every row the same runs of equal bytes:
// quick to write and to compress, so that the test measures memory, not time.
std::unique_ptr<HostJobRecord> LongPageJob(const test::TempDir& dir, const JobTicket& ticket,
                                           const std::vector<std::string>& inks, int width,
                                           int rows) {
    std::string error;
    EXPECT_TRUE(WriteJobTicket(dir.file("job.tkt"), ticket, error)) << error;
    auto writer = JobWriter::Create(fuzz::DataFileFor(dir.file("job.tkt")), error);
    EXPECT_TRUE(writer) << error;
    if (!writer) return nullptr;
    PageFormat page{width, rows, 0, 0, {}};
    for (const std::string& ink : inks) page.colorants.push_back({ink, 1});
    EXPECT_TRUE(writer->BeginPage(page, error)) << error;
    std::vector<uint8_t> row(static_cast<std::size_t>(width / 8));
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i / 96 * 37);
    const std::vector<std::span<const uint8_t>> planes(inks.size(), row);
    for (int r = 0; r < rows; ++r) {
        if (!writer->AppendRow(planes, error)) break;
    }
    EXPECT_TRUE(writer->Finish(error)) << error;
    return test::MakeHostRecord(dir.file("job.tkt"));
}

TEST_F(ResourceBounds, PeakMemoryOfAPageDoesNotGrowWithItsLength) {
    // 5,760 bytes of each of six inks per row; the long page's data is ten times the 4 MiB
    // after which the job file's mapping lets go of what it has read.
    constexpr int kWidth = 5760 * 8;
    constexpr int kRows = 120;
    JobTicket ticket = test::DefaultTicket("CP52", 180, 2);
    ticket.settings[13] = 0;
    ColorEntry entries[kMaxPlanes] = {};
    ColorList list{0, entries, kMaxPlanes};
    {
        CDriver driver;
        ASSERT_NE(driver.GetColorList(2, &list), 0);
    }
    ASSERT_EQ(list.count, 6);
    std::vector<std::string> inks;
    for (int i = 0; i < list.count; ++i) inks.emplace_back(entries[i].name);

    test::TempDir shortDir;
    test::TempDir longDir;
    auto shortJob = LongPageJob(shortDir, ticket, inks, kWidth, kRows);
    auto longJob = LongPageJob(longDir, ticket, inks, kWidth, 10 * kRows);
    ASSERT_TRUE(shortJob && longJob);

    const long shortGrowth = PeakGrowthKiB(*shortJob);
    const long longGrowth = PeakGrowthKiB(*longJob);
    ASSERT_GE(shortGrowth, 0) << "the peak memory could not be measured";
    ASSERT_GE(longGrowth, 0) << "the peak memory could not be measured";
    RecordProperty("peak_growth_kib_short", static_cast<int>(shortGrowth));
    RecordProperty("peak_growth_kib_long", static_cast<int>(longGrowth));
    constexpr long kSlackKiB = 4096;
    EXPECT_LE(longGrowth, shortGrowth + shortGrowth / 10 + kSlackKiB)
        << kRows << " rows: " << shortGrowth << " KiB, " << 10 * kRows << " rows: " << longGrowth
        << " KiB";
}

}  // namespace
}  // namespace tarnwick
