// Opening jobs: the ticket header, the error protocol at the boundary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
    EXPECT_EQ(std::string(ctx->m_szPrinterModel), std::string(63, 'M'));
    EXPECT_EQ(ctx->m_nJobResX, 180);
    EXPECT_EQ(ctx->m_nJobResY, 90);
    EXPECT_EQ(ctx->m_nColorModel, -1);  // sign-extended, not 65535
    EXPECT_STREQ(ctx->m_szCalibrationText, "feed~0.5");
    EXPECT_EQ(ctx->m_Settings.rest[200 - sizeof(PrinterSettings)], 0x5A);
    EXPECT_EQ(ctx->m_bRemoveOffsetX, 0);
    EXPECT_EQ(ctx->m_bRemoveOffsetY, 1);
    EXPECT_EQ(ctx->m_pJob, job.get());
    EXPECT_EQ(job->m_nDone, 0);
    driver.AbortJob(nullptr, nullptr, nullptr);
}

TEST(JobSlots, TicketOfExactlyTheHeaderSizeOpensOneByteLessFails) {
    TempDir dir;
    auto job = test::MakeJob(dir, test::DefaultTicket("CP52"), OnePage());
    WriteRawTicket(job->path, kJobHeaderSize);
    MemoryChannel out;
    {
        CDriver driver;
        EXPECT_EQ(driver.OpenJob(job.get(), &out), 1);
        driver.AbortJob(nullptr, nullptr, nullptr);
    }
    WriteRawTicket(job->path, kJobHeaderSize - 1);
    job->m_nDone = 0;
    ScopedLogCapture log;
    CDriver driver;
    EXPECT_EQ(driver.OpenJob(job.get(), &out), 0);
    EXPECT_EQ(job->m_nDone, -1);
    ASSERT_FALSE(log.entries().empty());
}

TEST(JobSlots, MissingPiecesFailTheOpen) {
    TempDir dir;
    auto job = test::MakeJob(dir, test::DefaultTicket("CP52"), OnePage());
    CDriver driver;
    MemoryChannel out;

    // A null channel fails before the ticket is read: a missing ticket is
    // not even created.
    auto noTicket = test::MakeHostRecord(dir.file("absent.tkt"));
    EXPECT_EQ(driver.OpenJob(noTicket.get(), nullptr), 0);
    EXPECT_EQ(noTicket->m_nDone, -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent.tkt")));

    EXPECT_EQ(driver.OpenJob(nullptr, &out), 0);

    // No data file under either name.
    std::filesystem::remove(OXJob::GetFileName(ePrefix0, AFilePath(job->path)).c_str());
    job->m_bDirectDataName = 0;
    EXPECT_EQ(driver.OpenJob(job.get(), &out), 0);
    EXPECT_EQ(job->m_nDone, -1);
}

TEST(JobSlots, DataFileNameFollowsTheDirectNameFlag) {
    TempDir dir;
    auto job = test::MakeJob(dir, test::DefaultTicket("CP52"), OnePage());
    const AFilePath ticket(job->path);
    const std::string name0 = OXJob::GetFileName(ePrefix0, ticket).c_str();
    const std::string name2 = OXJob::GetFileName(ePrefix2, ticket).c_str();
    // Prefix 2 is preferred unless the host asks for the direct name.
    std::filesystem::rename(name0, name2);
    MemoryChannel out;
    CDriver driver;
    job->m_bDirectDataName = 1;
    EXPECT_EQ(driver.OpenJob(job.get(), &out), 0);
    job->m_bDirectDataName = 0;
    job->m_nDone = 0;
    EXPECT_EQ(driver.OpenJob(job.get(), &out), 1);
    driver.AbortJob(nullptr, nullptr, nullptr);
}

TEST(JobSlots, CorruptDataFileIsRefusedWithAMessage) {
    TempDir dir;
    auto job = test::MakeJob(dir, test::DefaultTicket("CP52"), OnePage());
    const std::string data = OXJob::GetFileName(ePrefix0, AFilePath(job->path)).c_str();
    std::filesystem::resize_file(data, 20);
    ScopedLogCapture log;
    CDriver driver;
    MemoryChannel out;
    EXPECT_EQ(driver.OpenJob(job.get(), &out), 0);
    EXPECT_EQ(job->m_nDone, -1);
    ASSERT_FALSE(log.entries().empty());
    EXPECT_FALSE(log.entries().back().text.empty());
}

TEST(JobSlots, ReopeningReplacesTheContext) {
    TempDir dir;
    auto job = test::MakeJob(dir, test::DefaultTicket("CP52"), OnePage());
    CDriver driver;
    MemoryChannel out;
    ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
    driver.CurrentJobContext()->m_bAbort = 1;
    ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
    EXPECT_EQ(driver.CurrentJobContext()->m_bAbort, 0);
    driver.AbortJob(nullptr, nullptr, nullptr);
}

}  // namespace
}  // namespace tarnwick
