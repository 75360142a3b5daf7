// Opening jobs: the ticket header, the error protocol at the boundary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "driver/cdriver.h"
#include "host/afile_path.h"
#include "host/job/ox_job.h"
#include "host/kv_log.h"
#include "support/job_fixture.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

using test::MemoryChannel;
using test::TempDir;
using test::TestPage;

std::vector<TestPage> OnePage() {
    return {TestPage{16, 2, 0, 0, {{"Black", 1}}}};
}

void WriteRawTicket(const std::string& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> bytes(size, 0);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(JobSlots, HeaderFieldsReachTheContext) {
    TempDir dir;
    JobTicket ticket = test::DefaultTicket(std::string(70, 'M'), 180, -1);
    ticket.resY = 90;
    ticket.calibrationText = "feed~0.5";
    ticket.settings[200] = 0x5A;
    auto job = test::MakeJob(dir, ticket, OnePage());
    CDriver driver;
    MemoryChannel out;
    ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
    const JobContext* ctx = driver.CurrentJobContext();
    // The model name is cut to its field; the colour model is sign-extended, not 65535.
    EXPECT_EQ(std::tuple(std::string(ctx->m_szPrinterModel), ctx->m_nJobResX, ctx->m_nJobResY,
                         ctx->m_nColorModel, std::string(ctx->m_szCalibrationText),
                         ctx->m_Settings.rest[200 - sizeof(PrinterSettings)]),
              std::tuple(std::string(63, 'M'), 180, 90, -1, "feed~0.5", 0x5A));
    EXPECT_EQ(std::tuple(ctx->m_bRemoveOffsetX, ctx->m_bRemoveOffsetY, ctx->m_pJob, job->m_nDone),
              std::tuple(0, 1, job.get(), 0));
    driver.AbortJob(nullptr, nullptr, nullptr);
}

// A job opens only with a channel, a whole ticket header and its data file: under prefix 2
// unless the host asks for the direct name, else under prefix 0. A failed open ends the job.
TEST(JobSlots, OpenNeedsEveryPiece) {
    using Change = std::function<void(HostJobRecord&, const std::string& name0)>;
    const auto rawTicket = [](std::size_t size) {
        return [size](HostJobRecord& job, const std::string&) { WriteRawTicket(job.path, size); };
    };
    const auto asPrefix2 = [](int direct) {
        return [direct](HostJobRecord& job, const std::string& name0) {
            std::filesystem::rename(name0,
                                    OXJob::GetFileName(ePrefix2, AFilePath(job.path)).c_str());
            job.m_bDirectDataName = direct;
        };
    };
    struct Row {
        const char* name;
        Change change;
        int opened;
    } rows[] = {
        {"ticket of exactly the header size", rawTicket(kJobHeaderSize), 1},
        {"ticket one byte short", rawTicket(kJobHeaderSize - 1), 0},
        {"data under prefix 2", asPrefix2(0), 1},
        {"data under prefix 2, direct name asked", asPrefix2(1), 0},
        {"no data file under either name",
         [](HostJobRecord& job, const std::string& n) {
             std::filesystem::remove(n);
             job.m_bDirectDataName = 0;
         },
         0},
        {"corrupt data file",
         [](HostJobRecord&, const std::string& n) { std::filesystem::resize_file(n, 20); }, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        auto job = test::MakeJob(dir, test::DefaultTicket("CP52"), OnePage());
        row.change(*job, OXJob::GetFileName(ePrefix0, AFilePath(job->path)).c_str());
        ScopedLogCapture log;
        CDriver driver;
        MemoryChannel out;
        EXPECT_EQ(driver.OpenJob(job.get(), &out), row.opened);
        EXPECT_EQ(job->m_nDone, row.opened ? 0 : -1);
        EXPECT_EQ(log.entries().empty(), row.opened == 1);
        if (row.opened) {
            // Opening again replaces the context.
            driver.CurrentJobContext()->m_bAbort = 1;
            ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
            EXPECT_EQ(driver.CurrentJobContext()->m_bAbort, 0);
            driver.AbortJob(nullptr, nullptr, nullptr);
        }
    }
    // A null channel fails before the ticket is read: a missing ticket is not even created.
    TempDir dir;
    CDriver driver;
    auto noTicket = test::MakeHostRecord(dir.file("absent.tkt"));
    EXPECT_EQ(driver.OpenJob(noTicket.get(), nullptr), 0);
    EXPECT_EQ(noTicket->m_nDone, -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent.tkt")));
    MemoryChannel out;
    EXPECT_EQ(driver.OpenJob(nullptr, &out), 0);
}

}  // namespace
}  // namespace tarnwick
