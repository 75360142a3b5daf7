// Truncated, corrupted and unusual files are refused with a reason, never read out of bounds.
// Offsets below follow the byte tables of docs/job-data-format.md.
#include <sys/stat.h>

#include <climits>

#include "host/aob_list.h"
#include "host/job/job_format.h"
#include "host/job/ox_job.h"
#include "job_test_support.h"

namespace tarnwick {
namespace {

using jobtest::PictureRow;

const std::vector<PageFormat> kPages = {
    {10, 3, 0, 0, {{"Cyan", 1}, {"Magenta", 4}, {"Black", 8}}},  // header 64..300, rows ..351
    {6, 4, 0, 0, {{"Cyan_l_2", 2}}},                             // 351..451, rows ..459
    {4, 2, 1, 1, {{"Black", 16}}},                               // 459..559, rows ..575
};
constexpr size_t kPage0 = 64, kRows0 = 300, kPage1 = 351, kRows1 = 451, kPage2 = 459, kRows2 = 559,
                 kFileSize = 575;

// Loads; on success every row the counts announce must read back as written.
bool LoadAndVerify(const std::string& path, std::string& error, int expectedPages = -1) {
    OXJob job(0);
    if (!job.Load(path.c_str())) {
        error = job.lastError();
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(job.m_nJobPages, 0);
        EXPECT_EQ(job.GetImage(0), nullptr);
        return false;
    }
    if (expectedPages >= 0) {
        EXPECT_EQ(job.m_nJobPages, expectedPages);
    }
    for (int p = 0; p < job.m_nJobPages; ++p) {
        auto* image = dynamic_cast<AGroupImage*>(job.GetImage(unsigned(p)));
        if (!image) {
            ADD_FAILURE() << "page " << p << " missing";
            return true;
        }
        image->SetOffset(-kPages[size_t(p)].offsetX, -kPages[size_t(p)].offsetY);
        AObList list(0, 10);
        image->GetColorants(list);
        for (int c = 0; c < list.GetCount(); ++c) {
            for (int row = 0; row < image->GetAvailableRows(); ++row) {
                EXPECT_EQ(jobtest::ReadRow(*image, *list.GetAt(c), row),
                          PictureRow(p, c, row, kPages[size_t(p)].width,
                                     list.GetAt(c)->GetBitsPerPixel()));
            }
        }
    }
    return true;
}

class JobDamagedFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        jobtest::WritePictureJob(m_good, kPages);
        m_bytes = jobtest::ReadBytes(m_good);
        ASSERT_EQ(m_bytes.size(), kFileSize);
    }

    std::string Refusal(const std::vector<uint8_t>& bytes, size_t size) {
        jobtest::WriteBytes(m_bad, bytes, size);
        std::string error;
        EXPECT_FALSE(LoadAndVerify(m_bad, error)) << "size " << size << " loaded";
        return error;
    }

    jobtest::TempDir m_dir;
    std::string m_good = m_dir.file("0_good.twj");
    std::string m_bad = m_dir.file("0_bad.twj");
    std::vector<uint8_t> m_bytes;
};

TEST_F(JobDamagedFileTest, EveryTruncationOfAFinishedFileIsRefused) {
    const std::pair<size_t, const char*> boundaries[] = {
        {0, "truncated in its header (0 of 64 bytes)"},
        {63, "truncated in its header"},
        {64, "page count 3 exceeds what a file of 64 bytes can hold"},
        {kPage0 + 150, "truncated in page 0 colorant table"},
        {kRows0, "truncated in page 0 rows"},
        {kPage1, "truncated in page 1 header"},
        {kPage1 + 31, "truncated in page 1 header"},
        {kPage1 + 32, "truncated in page 1 colorant table"},
        {kRows1 + 3, "truncated in page 1 rows"},
        {kPage2 + 40, "truncated in page 2 colorant table"},
        {kRows2, "truncated in page 2 rows"},
        {kFileSize - 1, "truncated in page 2 rows"},
    };
    for (const auto& [size, message] : boundaries) {
        EXPECT_NE(Refusal(m_bytes, size).find(message), std::string::npos)
            << "size " << size << " should say: " << message;
    }
    for (size_t size = 0; size < kFileSize; ++size) Refusal(m_bytes, size);
    std::string error;
    EXPECT_TRUE(LoadAndVerify(m_good, error, 3)) << error;
}

// A copy of a file taken while the host writes holds a consistent prefix: cut anywhere after
// the rows its counts announce, it loads; cut before, it is refused.
TEST_F(JobDamagedFileTest, TruncatedSnapshotsOfALiveFileLoadOrRefuseConsistently) {
    const std::string live = m_dir.file("0_live.twj");
    std::string error;
    auto writer = JobWriter::Create(live, error);
    ASSERT_TRUE(writer) << error;
    ASSERT_TRUE(writer->BeginPage(kPages[0], error)) << error;
    ASSERT_TRUE(jobtest::AppendPictureRows(*writer, kPages[0], 0, 0, 3, error)) << error;
    ASSERT_TRUE(writer->EndPage(error)) << error;
    ASSERT_TRUE(writer->BeginPage(kPages[1], error)) << error;
    ASSERT_TRUE(jobtest::AppendPictureRows(*writer, kPages[1], 1, 0, 1, error)) << error;
    const std::vector<uint8_t> midPage = jobtest::ReadBytes(live);
    ASSERT_TRUE(jobtest::AppendPictureRows(*writer, kPages[1], 1, 1, 3, error)) << error;
    ASSERT_TRUE(writer->EndPage(error)) << error;
    ASSERT_TRUE(writer->BeginPage(kPages[2], error)) << error;
    const std::vector<uint8_t> betweenPages = jobtest::ReadBytes(live);

    const struct {
        const std::vector<uint8_t>& bytes;
        size_t needed;
    } snapshots[] = {{midPage, kRows1 + 2}, {betweenPages, kPage2}};
    for (const auto& snapshot : snapshots) {
        ASSERT_GE(snapshot.bytes.size(), snapshot.needed);
        for (size_t size = 0; size <= snapshot.bytes.size(); ++size) {
            jobtest::WriteBytes(m_bad, snapshot.bytes, size);
            error.clear();
            EXPECT_EQ(LoadAndVerify(m_bad, error, 2), size >= snapshot.needed)
                << "size " << size << ": " << error;
        }
    }
}

TEST_F(JobDamagedFileTest, CorruptedFieldsAreRefusedWithTheReason) {
    using Patch = std::pair<size_t, int32_t>;
    const auto page0 = [](size_t at) { return kPage0 + at; };
    const struct {
        std::vector<Patch> patches;
        const char* message;
    } cases[] = {
        {{{0, 0x424F4A58}}, "not a job data file (bad magic)"},
        {{{8, 2}}, "unsupported job data file version 2 (this reader knows 1)"},
        {{{12, 63}}, "header size 63 is out of range"},
        {{{12, 1000}}, "truncated in its header"},
        {{{12, 68}}, "page 0 header has a bad magic"},
        {{{16, 2}}, "writing flag 2 is out of range"},
        {{{28, INT_MAX}}, "page count 2147483647 is out of range"},
        {{{28, -1}}, "page count -1 is out of range"},
        {{{28, 100}}, "page count 100 exceeds what a file of 575 bytes can hold"},
        {{{28, 4}}, "do not fit a page count of 4"},
        {{{20, 1}}, "do not fit a page count of 3"},
        {{{24, -3}}, "count of written rows -3 is out of range"},
        {{{24, 1}}, "the finished job says 1 rows of its last page"},
        {{{16, 1}, {24, 3}}, "3 rows of page 2 are said to be written but it has 2"},
        {{{page0(4), 2'000'000}}, "page 0 width 2000000 is out of range (0 to 1000000)"},
        {{{page0(4), 11}}, "page 0 row size 17 does not match its colorants (19)"},
        {{{page0(8), 20'000'000}}, "page 0 height 20000000 is out of range"},
        {{{page0(8), 1000}}, "truncated in page 0 rows"},
        {{{page0(12), -5}}, "page 0 offset x -5 is out of range"},
        {{{page0(16), 10'000'001}}, "page 0 offset y 10000001 is out of range"},
        {{{page0(20), 65}}, "page 0 colorant count 65 is out of range (0 to 64)"},
        {{{page0(20), -1}}, "page 0 colorant count 4294967295 is out of range"},
        {{{page0(24), 0xFFFF}}, "page 0 row size 65535 does not match"},
        {{{page0(32), 3}}, "page 0 colorant 0 has 3 bits per pixel"},
        {{{page0(32 + 2 * 68), 0}}, "page 0 colorant 2 has 0 bits per pixel"},
        {{{page0(4), 1'000'000}, {page0(24), 1'625'000}}, "truncated in page 0 rows"},
        {{{kPage1, 0}}, "page 1 header has a bad magic"},
        {{{kPage1 + 24, 3}}, "page 1 row size 3 does not match its colorants (2)"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = m_bytes;
        for (const auto& [at, value] : c.patches) job_format::StoreI32(&bytes[at], value);
        EXPECT_NE(Refusal(bytes, bytes.size()).find(c.message), std::string::npos)
            << "expected: " << c.message;
    }

    std::vector<uint8_t> unterminated = m_bytes;
    std::fill_n(unterminated.begin() + kPage0 + 32 + 68 + 4, 64, 'A');
    EXPECT_NE(Refusal(unterminated, kFileSize).find("page 0 colorant 1 name is not NUL-terminated"),
              std::string::npos);
}

TEST_F(JobDamagedFileTest, FilesThatAreNotJobDataAreRefused) {
    OXJob job(0);
    ASSERT_EQ(job.Load(m_good.c_str()), 1) << job.lastError();
    ASSERT_NE(job.GetImage(0), nullptr);

    const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    jobtest::WriteBytes(m_bad, text, text.size());
    const std::string fifo = m_dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, const char*> cases[] = {
        {m_bad, "not a job data file (bad magic)"},
        {m_dir.file("absent.twj"), "cannot open job data file"},
        {m_dir.file(""), "is not a regular file"},
        {fifo, "is not a regular file"},  // and no hang waiting for a writer
        {"", "no job data file name given"},
    };
    for (const auto& [path, message] : cases) {
        EXPECT_EQ(job.Load(path.c_str()), 0) << path;
        EXPECT_NE(job.lastError().find(message), std::string::npos) << job.lastError();
        EXPECT_EQ(job.m_nJobPages, 0);
        EXPECT_EQ(job.GetImage(0), nullptr);  // nothing of the earlier load survives
    }
    EXPECT_EQ(job.Load(nullptr), 0);
}

}  // namespace
}  // namespace tarnwick
