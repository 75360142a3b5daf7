// Printing a job while the host is still writing it: the driver waits for
// rows through the clock seam, reloads the file and goes on.
#include <gtest/gtest.h>

#include "driver/cdriver.h"
#include "host/afile_path.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "platform/clock.h"
#include "platform/named_mutex.h"
#include "support/fake_clock.h"
#include "support/job_fixture.h"
#include "support/stream_rows.h"
#include "targets/fuzz_support.h"

namespace tarnwick {
namespace {

using test::MemoryChannel;
using test::TempDir;
using test::TestPage;

class PrintWhileWriting : public ::testing::Test {
  protected:
    void SetUp() override {
        JobTicket ticket = test::DefaultTicket("Generic RTL", 180, 1);
        ticket.settings[13] = 0;  // no colour bar
        const std::string ticketPath = dir.file("job.tkt");
        std::string error;
        ASSERT_TRUE(WriteJobTicket(ticketPath, ticket, error)) << error;
        job = test::MakeHostRecord(ticketPath);
        const std::string data =
            OXJob::GetFileName(ePrefix0, AFilePath(ticketPath.c_str())).c_str();
        writer = JobWriter::Create(data, error);
        ASSERT_TRUE(writer) << error;
        page.content = [](int, int r, int i) { return static_cast<uint8_t>(r * 16 + i + 1); };
    }

    // Each wait of the driver lets the host write `rowsPerWait` more rows, up
    // to `lastRow`, then end the page and the job.
    void HostWritesDuringWaits(int rowsPerWait, int lastRow) {
        clock.onSleep = [this, rowsPerWait, lastRow](uint32_t) {
            startFreeDuringWait =
                startFreeDuringWait && fuzz::FreeForOtherThreads("QRM_PRINT_START0");
            const int n = std::min(rowsPerWait, lastRow - written);
            if (n > 0) test::AppendPage(*writer, page, written, n);
            written += n;
            std::string error;
            if (written == lastRow && !finished) {
                finished = writer->EndPage(error) && writer->Finish(error);
            }
        };
    }

    FakeClock clock;
    ScopedClock useClock{&clock};
    TempDir dir;
    MemoryChannel out;
    std::unique_ptr<HostJobRecord> job;
    std::unique_ptr<JobWriter> writer;
    TestPage page{16, 10, 0, 0, {{"Black"}}};
    int written = 0;
    bool finished = false;
    bool startFreeDuringWait = true;
};

TEST_F(PrintWhileWriting, EveryRowArrivesOnceInOrder) {
    test::AppendPage(*writer, page, 0, 3);
    written = 3;
    HostWritesDuringWaits(3, 10);
    CDriver d;
    ASSERT_GT(test::RunJob(d, *job, out), 0);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(startFreeDuringWait);
    ASSERT_FALSE(clock.sleeps().empty());
    for (uint32_t ms : clock.sleeps()) EXPECT_EQ(ms, 1500u);

    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), 10u);
    for (int r = 0; r < 10; ++r) {
        EXPECT_EQ(pages[0].rows[r].planes[0][0], r * 16 + 1) << "row " << r;
        EXPECT_EQ(pages[0].rows[r].planes[0][1], r * 16 + 2) << "row " << r;
    }
}

TEST_F(PrintWhileWriting, PageThatEndsShortIsPaddedWithBlankRows) {
    test::AppendPage(*writer, page, 0, 2);
    written = 2;
    HostWritesDuringWaits(2, 6);
    CDriver d;
    ASSERT_GT(test::RunJob(d, *job, out), 0);
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), 10u);
    for (int r = 0; r < 6; ++r) EXPECT_EQ(pages[0].rows[r].planes[0][0], r * 16 + 1);
    for (int r = 6; r < 10; ++r) {
        EXPECT_EQ(pages[0].rows[r].planes[0], std::vector<uint8_t>(2, 0)) << "row " << r;
    }
}

TEST_F(PrintWhileWriting, DataFileDeletedDuringAWaitFailsTheJob) {
    test::AppendPage(*writer, page, 0, 2);
    clock.onSleep = [this](uint32_t) {
        std::remove(OXJob::GetFileName(ePrefix0, AFilePath(job->path)).c_str());
    };
    CDriver d;
    EXPECT_EQ(test::RunJob(d, *job, out), -1);
    // The driver gave the start lock up before the wait and holds no job.
    EXPECT_TRUE(fuzz::FreeForOtherThreads("QRM_PRINT_START0"));
    EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
}

}  // namespace
}  // namespace tarnwick
