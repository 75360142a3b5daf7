// Truncated, corrupted and unusual files are refused with a reason, never read out of bounds.
#include <sys/stat.h>

#include <sstream>

#include "host/job/job_format.h"
#include "job/job_test_support.h"
#include "rtl/text_table.h"

namespace tarnwick {
namespace {

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
    EXPECT_TRUE(expectedPages < 0 || job.m_nJobPages == expectedPages) << job.m_nJobPages;
    jobtest::ExpectPicture(job, kPages);
    return true;
}

// A byte offset of the table: a number, or a part of the file with an optional +/- number.
size_t Offset(const std::string& text) {
    const std::pair<const char*, size_t> parts[] = {
        {"P0", kPage0}, {"R0", kRows0}, {"P1", kPage1},    {"R1", kRows1},
        {"P2", kPage2}, {"R2", kRows2}, {"END", kFileSize}};
    const size_t sign = text.find_first_of("+-", 1);
    const std::string base = text.substr(0, sign);
    const long delta = sign == std::string::npos ? 0 : std::stol(text.substr(sign));
    for (const auto& [name, at] : parts) {
        if (base == name) return size_t(long(at) + delta);
    }
    return size_t(std::stol(text, nullptr, 0));
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

TEST_F(JobDamagedFileTest, CutAndCorruptedFilesAreRefusedWithTheReason) {
    for (const test::TableRow& r : test::ReadTable(__FILE__, "damaged_files.txt")) {
        SCOPED_TRACE(r.where);
        std::vector<uint8_t> bytes = m_bytes;
        std::istringstream patches(r[0] == "patch" ? r[1] : "");
        for (std::string patch; std::getline(patches, patch, ',');) {
            const size_t eq = patch.find('=');
            job_format::StoreI32(&bytes[Offset(patch.substr(0, eq))],
                                 int32_t(std::stoll(patch.substr(eq + 1), nullptr, 0)));
        }
        const std::string error = Refusal(bytes, r[0] == "cut" ? Offset(r[1]) : bytes.size());
        EXPECT_NE(error.find(r[2]), std::string::npos) << error;
    }
    std::vector<uint8_t> unterminated = m_bytes;
    std::fill_n(unterminated.begin() + kPage0 + 32 + 68 + 4, 64, 'A');
    EXPECT_NE(Refusal(unterminated, kFileSize).find("page 0 colorant 1 name is not NUL-terminated"),
              std::string::npos);
    // Every cut of a finished file is refused; the whole file loads.
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
