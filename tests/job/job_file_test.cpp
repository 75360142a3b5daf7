// Pages written by JobWriter come back unchanged through OXJob, also while the host is still
// writing; placement of a page's content; refusal of bad reads and of damaged files
// (job_cases.txt), never reading out of bounds. The picture is packed pixel by pixel, apart from
// the byte-wise code under test.
#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <tuple>

#include "host/aob_list.h"
#include "host/job/bit_copy.h"
#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/job_format.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "rtl/text_table.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using test::TempDir;

uint32_t Pixel(int page, int colorant, int row, int x, int bits) {
    uint32_t h = uint32_t(page * 7919 + colorant * 104729 + row * 31 + x * 17 + 5) * 2654435761u;
    return (h >> 8) & ((1u << bits) - 1);
}

std::vector<uint8_t> Pack(const std::vector<uint32_t>& values, int bits) {
    std::vector<uint8_t> out((values.size() * bits + 7) / 8, 0);
    for (size_t bit = 0; bit < values.size() * bits; ++bit) {
        if ((values[bit / bits] >> (bits - 1 - bit % bits)) & 1) out[bit / 8] |= 0x80 >> bit % 8;
    }
    return out;
}

// Row of the test picture with `blank` empty pixels in front.
std::vector<uint8_t> PictureRow(int page, int colorant, int row, int width, int bits,
                                int blank = 0) {
    std::vector<uint32_t> values(size_t(blank), 0);
    for (int x = 0; x < width; ++x) values.push_back(Pixel(page, colorant, row, x, bits));
    return Pack(values, bits);
}

bool AppendPictureRows(JobWriter& writer, const PageFormat& layout, int page, int firstRow,
                       int count, std::string& error) {
    for (int row = firstRow; row < firstRow + count; ++row) {
        std::vector<std::vector<uint8_t>> rows;
        for (const ColorantFormat& c : layout.colorants) {
            rows.push_back(PictureRow(page, int(rows.size()), row, layout.width, c.bitsPerPixel));
        }
        const std::vector<std::span<const uint8_t>> views(rows.begin(), rows.end());
        if (!writer.AppendRow(views, error)) return false;
    }
    return true;
}

// Writes every page in full and finishes the job.
void WritePictureJob(const std::string& path, const std::vector<PageFormat>& pages) {
    std::string error;
    auto writer = JobWriter::Create(path, error);
    ASSERT_TRUE(writer) << error;
    for (size_t p = 0; p < pages.size(); ++p) {
        ASSERT_TRUE(writer->BeginPage(pages[p], error)) << error;
        ASSERT_TRUE(AppendPictureRows(*writer, pages[p], int(p), 0, pages[p].height, error));
        ASSERT_TRUE(writer->EndPage(error)) << error;
    }
    ASSERT_TRUE(writer->Finish(error)) << error;
}

// One row through ReadRows, or nothing when it is refused; the image writes exactly one row and
// leaves the destination untouched on refusal.
std::optional<std::vector<uint8_t>> ReadRow(AImage& image, const AColorant& colorant, int row) {
    const size_t size = (size_t(image.GetWidth()) * colorant.GetBitsPerPixel() + 7) / 8;
    std::vector<uint8_t> buffer(size + 8, 0xA5);
    const int ok = image.ReadRows(&colorant, row, 1, buffer.data(), 0);
    for (size_t i = ok ? size : 0; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xA5) << "byte " << i << " of row " << row << " written";
    }
    if (!ok) return std::nullopt;
    buffer.resize(size);
    return buffer;
}

// Every page of a loaded job against the picture its `pages` were written with (offsets dropped):
// the colorants, every row present (all of a finished page, the written ones of the page being
// written) and the refusal of the row after them.
void ExpectPicture(OXJob& job, const std::vector<PageFormat>& pages) {
    for (int p = 0; p < job.m_nJobPages; ++p) {
        SCOPED_TRACE("page " + std::to_string(p));
        auto* image = dynamic_cast<AGroupImage*>(job.GetImage(unsigned(p)));
        ASSERT_NE(image, nullptr);
        const PageFormat& page = pages.at(size_t(p));
        image->SetOffset(-page.offsetX, -page.offsetY);
        const int present = image->GetAvailableRows();
        const bool live = job.m_bWriting && p == job.m_nWritePage;
        EXPECT_EQ(present, live ? job.m_nWriteRows : image->GetHeight());
        AObList list(0, 10);
        image->GetColorants(list);
        ASSERT_EQ(size_t(list.GetCount()), page.colorants.size());
        for (int c = 0; c < list.GetCount(); ++c) {
            const AColorant& colorant = *list.GetAt(c);
            EXPECT_EQ(std::tuple(colorant.GetName().str(), colorant.GetBitsPerPixel(),
                                 colorant.GetChannelIndex()),
                      std::tuple(page.colorants[size_t(c)].name,
                                 page.colorants[size_t(c)].bitsPerPixel, c));
            for (int row = 0; row < present; ++row) {
                EXPECT_EQ(ReadRow(*image, colorant, row),
                          PictureRow(p, c, row, page.width, colorant.GetBitsPerPixel()))
                    << "colorant " << c << " row " << row;
            }
            if (present < image->GetHeight()) {
                EXPECT_EQ(ReadRow(*image, colorant, present), std::nullopt);
            }
        }
    }
    EXPECT_EQ(job.GetImage(unsigned(job.m_nJobPages)), nullptr);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, size_t n) {
    // A fresh file: truncating one that holds data makes some file systems flush it, slowly.
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), n);
}

std::tuple<int, int, int, int> Counts(const OXJob& job) {
    return {job.m_bWriting, job.m_nJobPages, job.m_nWritePage, job.m_nWriteRows};
}

std::vector<std::unique_ptr<AColorant>> Colorants(const AImage& image) {
    AObList list(0, 10);
    image.GetColorants(list);
    std::vector<std::unique_ptr<AColorant>> out;
    for (int i = 0; i < list.GetCount(); ++i) out.push_back(list.Release(i));
    return out;
}

TEST(JobRoundTrip, EveryRowOfEveryColorantComesBack) {
    const std::vector<PageFormat> pages = {
        {37, 6, 0, 0, {{"Cyan", 1}, {"Magenta", 2}, {"Yellow", 4}, {"Black", 8}}},
        {1, 3, 0, 0, {{"Cyan_l_2", 1}, {"Spot Orange 16", 16}}},
        {20, 2, 0, 0, {}},
    };
    TempDir dir;
    const std::string path = dir.file("0_job.twj");
    WritePictureJob(path, pages);
    std::vector<std::unique_ptr<AColorant>> kept;
    {
        OXJob job(0);
        ASSERT_EQ(job.Load(path.c_str()), 1) << job.lastError();
        job.OpenData(1);
        EXPECT_EQ(Counts(job), std::tuple(0, 3, 2, 2));
        ExpectPicture(job, pages);
        const int expectedBits[] = {8, 16, 1};
        for (int p = 0; p < 3; ++p) {
            AImage* image = job.GetImage(unsigned(p));
            int x = -1, y = -1;
            dynamic_cast<AGroupImage&>(*image).GetOffset(x, y);
            EXPECT_EQ(
                std::tuple(x, y, image->GetWidth(), image->GetHeight(), image->m_nBitsPerPixel),
                std::tuple(0, 0, pages[p].width, pages[p].height, expectedBits[p]));
        }
        // Several rows at once are consecutive rows.
        auto colorants = Colorants(*job.GetImage(0));
        std::vector<uint8_t> two(2 * 37);
        ASSERT_EQ(job.GetImage(0)->ReadRows(colorants[3].get(), 4, 2, two.data(), 0), 1);
        std::vector<uint8_t> expected = PictureRow(0, 3, 4, 37, 8);
        auto row5 = PictureRow(0, 3, 5, 37, 8);
        expected.insert(expected.end(), row5.begin(), row5.end());
        EXPECT_EQ(two, expected);
        kept = Colorants(*job.GetImage(1));
        job.CloseData();
        EXPECT_EQ(job.GetImage(0), nullptr);
    }
    // The engine keeps colorants across reloads of the job file; the same channel of another
    // page is another colorant.
    OXJob second(0);
    ASSERT_EQ(second.Load(path.c_str()), 1) << second.lastError();
    EXPECT_EQ(ReadRow(*second.GetImage(1), *kept[1], 2), PictureRow(1, 1, 2, 1, 16));
    EXPECT_EQ(ReadRow(*second.GetImage(0), *kept[0], 0), std::nullopt);
}

// A file cut short after Load (by someone other than the writer) fails the reads of what is
// gone, with a reason; reading straight from a mapping would have raised SIGBUS instead.
TEST(JobRoundTrip, FileCutShortAfterLoadFailsTheReadsOfWhatIsGone) {
    TempDir dir;
    const std::string path = dir.file("0_cut.twj");
    WritePictureJob(path, {{1024, 64, 0, 0, {{"Black", 8}}}});
    OXJob job(0);
    ASSERT_EQ(job.Load(path.c_str()), 1) << job.lastError();
    std::filesystem::resize_file(path, 64 + 32 + 68 + 10 * 1024);
    const AColorant black("Black", 8, 0);
    EXPECT_EQ(ReadRow(*job.GetImage(0), black, 40), std::nullopt);
    EXPECT_NE(job.readError().find("cut short"), std::string::npos) << job.readError();
    EXPECT_EQ(ReadRow(*job.GetImage(0), black, 9), PictureRow(0, 0, 9, 1024, 8));
}

class JobLiveTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_writer) << m_error; }

    // Loads the file as it is now: the counts, the page heights the reader reports and every row
    // the counts announce.
    std::unique_ptr<OXJob> Check(std::tuple<int, int, int, int> counts,
                                 const std::vector<int>& heights) {
        auto job = std::make_unique<OXJob>(0);
        EXPECT_EQ(job->Load(m_path.c_str()), 1) << job->lastError();
        EXPECT_EQ(Counts(*job), counts);
        for (int p = 0; p < job->m_nJobPages && job->GetImage(unsigned(p)); ++p) {
            EXPECT_EQ(job->GetImage(unsigned(p))->GetHeight(), heights.at(size_t(p))) << p;
        }
        ExpectPicture(*job, m_pages);
        return job;
    }
    bool Rows(int page, int first, int count) {
        return AppendPictureRows(*m_writer, m_pages[size_t(page)], page, first, count, m_error);
    }
    bool Begin(int page) { return m_writer->BeginPage(m_pages[size_t(page)], m_error); }
    bool End() { return m_writer->EndPage(m_error); }

    TempDir m_dir;
    std::string m_path = m_dir.file("2_live.twj");
    std::string m_error;
    std::unique_ptr<JobWriter> m_writer = JobWriter::Create(m_path, m_error);
    std::vector<PageFormat> m_pages = {{13, 4, 0, 0, {{"Cyan", 1}, {"Magenta", 2}}},
                                       {7, 5, 0, 0, {{"Yellow", 4}, {"Black", 8}}},
                                       {11, 6, 0, 0, {{"Black", 2}}},
                                       {3, 5, 0, 0, {{"Black", 1}}}};
};

TEST_F(JobLiveTest, EveryIntermediateStateLoadsConsistently) {
    Check({1, 0, 0, 0}, {});
    ASSERT_TRUE(Begin(0)) << m_error;
    Check({1, 0, 0, 0}, {});  // a page without rows stays hidden
    for (int r = 0; r < 4; ++r) {
        ASSERT_TRUE(Rows(0, r, 1)) << m_error;
        Check({1, 1, 0, r + 1}, {4});
    }
    ASSERT_TRUE(End() && Begin(1)) << m_error;
    Check({1, 1, 0, 4}, {4});
    ASSERT_TRUE(Rows(1, 0, 2)) << m_error;
    auto early = Check({1, 2, 1, 2}, {4, 5});
    ASSERT_TRUE(Rows(1, 2, 3) && End()) << m_error;
    Check({1, 2, 1, 5}, {4, 5});
    // A job loaded earlier keeps reading its snapshot while the host goes on.
    AColorant black("Black", 8, 1);
    EXPECT_EQ(ReadRow(*early->GetImage(1), black, 1), PictureRow(1, 1, 1, 7, 8));
    EXPECT_EQ(ReadRow(*early->GetImage(1), black, 2), std::nullopt);

    // Page 2 ends after 2 of its 6 rows: announced height until EndPage, then shortened.
    ASSERT_TRUE(Begin(2) && Rows(2, 0, 2)) << m_error;
    Check({1, 3, 2, 2}, {4, 5, 6});
    ASSERT_TRUE(End()) << m_error;
    Check({1, 3, 2, 2}, {4, 5, 2});
    // A page that ends without rows becomes visible at EndPage, and the short page before it
    // must have its true length for this one to be found.
    ASSERT_TRUE(Begin(3) && End()) << m_error;
    Check({1, 4, 3, 0}, {4, 5, 2, 0});
    ASSERT_TRUE(m_writer->Finish(m_error)) << m_error;
    Check({0, 4, 3, 0}, {4, 5, 2, 0});
}

TEST_F(JobLiveTest, DestroyingTheWriterFinishesTheJob) {
    ASSERT_TRUE(Begin(0) && Rows(0, 0, 3)) << m_error;
    m_writer.reset();
    Check({0, 1, 0, 3}, {3});
}

TEST_F(JobLiveTest, WriterRefusesMisuseAndBadPages) {
    const std::vector<uint8_t> row(2);
    const std::span<const uint8_t> one[] = {row};
    EXPECT_FALSE(m_writer->AppendRow(one, m_error));
    EXPECT_EQ(m_error, "no page is open");
    EXPECT_FALSE(End());
    for (const PageFormat& badPage : std::initializer_list<PageFormat>{
             {1'000'001, 1, 0, 0, {}},
             {1, -1, 0, 0, {}},
             {1, 1, -1, 0, {}},
             {1, 1, 0, 0, {{"Cyan", 3}}},
             {1, 1, 0, 0, {{std::string(64, 'n'), 1}}},
             {1, 1, 0, 0, {{std::string("a\0b", 3), 1}}},
             {1, 1, 0, 0, std::vector<ColorantFormat>(65, {"Cyan", 1})}}) {
        m_error.clear();
        EXPECT_FALSE(m_writer->BeginPage(badPage, m_error));
        EXPECT_FALSE(m_error.empty());
    }
    ASSERT_TRUE(m_writer->BeginPage({9, 1, 0, 0, {{"Cyan", 1}, {"Black", 8}}}, m_error));
    EXPECT_FALSE(Begin(0));
    EXPECT_FALSE(m_writer->AppendRow(one, m_error));  // one row for two colorants
    const std::vector<uint8_t> cyan(2), black(9), shortBlack(8);
    const std::span<const uint8_t> wrongSize[] = {cyan, shortBlack}, good[] = {cyan, black};
    EXPECT_FALSE(m_writer->AppendRow(wrongSize, m_error));
    EXPECT_NE(m_error.find("expected 9"), std::string::npos) << m_error;
    EXPECT_TRUE(m_writer->AppendRow(good, m_error)) << m_error;
    EXPECT_FALSE(m_writer->AppendRow(good, m_error));  // height is 1
    ASSERT_TRUE(m_writer->Finish(m_error)) << m_error;
    EXPECT_FALSE(Begin(0));
    EXPECT_FALSE(m_writer->Finish(m_error));
    OXJob job(0);
    ASSERT_EQ(job.Load(m_path.c_str()), 1) << job.lastError();
    EXPECT_EQ(std::tuple(job.m_nJobPages, job.m_nWriteRows), std::tuple(1, 1));

    EXPECT_EQ(JobWriter::Create(m_dir.file("missing/x.twj"), m_error), nullptr);
    EXPECT_NE(m_error.find("cannot create"), std::string::npos) << m_error;
}

TEST(JobBitCopy, MatchesPixelWisePackingForEveryShift) {
    for (int bits : {1, 2, 4, 8, 16}) {
        for (int blank = 0; blank < 10; ++blank) {
            for (int width = 0; width < 12; ++width) {
                std::vector<uint32_t> values;
                for (int x = 0; x < width; ++x) values.push_back(Pixel(0, 0, 0, x, bits));
                std::vector<uint8_t> src = Pack(values, bits);
                // Padding bits in the source must not reach the output.
                if ((width * bits) % 8) src.back() |= uint8_t(0xFF >> ((width * bits) % 8));
                values.insert(values.begin(), size_t(blank), 0);
                const std::vector<uint8_t> expected = Pack(values, bits);
                std::vector<uint8_t> dest(expected.size(), 0x5A);
                CopyBitsAfterBlank(dest, src, uint64_t(blank) * bits, uint64_t(width) * bits);
                EXPECT_EQ(dest, expected) << bits << " bits, " << blank << " blank, " << width;
            }
        }
    }
}

// A page of 5 x 3 pixels placed at (3, 2): blank rows and pixels in front, moved by SetOffset
// (clamped at 0, absurd shifts capped) without changing GetOffset; bad reads write nothing.
TEST(JobGroupImage, OffsetsPlaceTheContentAndBadReadsAreRefused) {
    TempDir dir;
    const std::string path = dir.file("0_offset.twj");
    WritePictureJob(path, {{5, 3, 3, 2, {{"K", 4}, {"Cyan_l_2", 1}}}, {9, 2, 0, 0, {{"Cyan", 1}}}});
    OXJob job(0);
    ASSERT_EQ(job.Load(path.c_str()), 1) << job.lastError();
    auto* image = dynamic_cast<AGroupImage*>(job.GetImage(0));
    ASSERT_NE(image, nullptr);
    const AColorant k{"K", 4, 0}, layer{"Cyan_l_2", 1, 1};
    // Content row `row` of colorant c of page 0, behind `blank` pixels.
    const auto content = [](int c, int row, int blank) {
        return PictureRow(0, c, row, 5, c == 0 ? 4 : 1, blank);
    };
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(ReadRow(*image, k, row),
                  row < 2 ? std::vector<uint8_t>(4, 0) : content(0, row - 2, 3));
        EXPECT_EQ(ReadRow(*image, layer, row),
                  row < 2 ? std::vector<uint8_t>(1, 0) : content(1, row - 2, 3));
    }
    const struct {
        int x, y, width, height;
        const AColorant& colorant;
        int row;
        std::optional<std::vector<uint8_t>> expected;
    } shifts[] = {
        {0, 0, 8, 5, k, 5, std::nullopt},
        {-3, -2, 5, 3, k, 0, content(0, 0, 0)},  // what the engine does to drop the offset
        {-3, -2, 5, 3, k, 3, std::nullopt},
        {-10, -1, 5, 4, layer, 0, std::vector<uint8_t>(1, 0)},
        {-10, -1, 5, 4, layer, 1, content(1, 0, 0)},
        {2, 0, 10, 5, k, 4, content(0, 2, 5)},
        {INT_MIN, INT_MIN, 5, 3, k, 0, content(0, 0, 0)},
        {INT_MAX, INT_MAX, 5 + 1'000'000, 3 + 10'000'000, k, 3 + 10'000'000 - 1,
         content(0, 2, 1'000'000)}};
    for (const auto& shift : shifts) {
        SCOPED_TRACE(std::to_string(shift.x) + ", " + std::to_string(shift.y));
        image->SetOffset(shift.x, shift.y);
        EXPECT_EQ(std::tuple(image->GetWidth(), image->GetHeight()),
                  std::tuple(shift.width, shift.height));
        EXPECT_EQ(ReadRow(*image, shift.colorant, shift.row), shift.expected);
        int x = 0, y = 0;
        image->GetOffset(x, y);
        EXPECT_EQ(std::tuple(x, y), std::tuple(3, 2));
    }

    image->SetOffset(0, 0);
    std::vector<uint8_t> dest(16, 0xA5);
    const std::tuple<const AColorant*, int, int, uint8_t*> bad[] = {
        {nullptr, 0, 1, dest.data()}, {&k, 0, 1, nullptr},     {&k, 0, 0, dest.data()},
        {&k, 0, -1, dest.data()},     {&k, 4, 2, dest.data()}, {&k, 1, INT_MAX, dest.data()},
        {&k, INT_MAX, 1, dest.data()}};
    for (const auto& [colorant, row, count, to] : bad) {
        EXPECT_EQ(image->ReadRows(colorant, row, count, to, 0), 0) << row << " " << count;
    }
    EXPECT_EQ(dest, std::vector<uint8_t>(16, 0xA5));
    EXPECT_EQ(ReadRow(*image, k, -1), std::nullopt);
    for (const AColorant& c :
         {AColorant{"K", 8, 0}, AColorant{"k", 4, 0}, AColorant{"K", 4, 1}, AColorant{"K", 4, -1},
          AColorant{"K", 4, 64}, AColorant{"Cyan", 1, 0}, AColorant{"Cyan_l_2", 1, 0}}) {
        EXPECT_EQ(ReadRow(*image, c, 3), std::nullopt) << c.GetName().c_str();
    }
}

// The finished three-page file of job_cases.txt, and where its parts begin.
const std::vector<PageFormat> kPages = {
    {10, 3, 0, 0, {{"Cyan", 1}, {"Magenta", 4}, {"Black", 8}}},  // header 64..300, rows ..351
    {6, 4, 0, 0, {{"Cyan_l_2", 2}}},                             // 351..451, rows ..459
    {4, 2, 1, 1, {{"Black", 16}}},                               // 459..559, rows ..575
};
constexpr size_t kPage0 = 64, kRows1 = 451, kPage2 = 459, kFileSize = 575;

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
    ExpectPicture(job, kPages);
    return true;
}

// A byte offset of the table: a number, or a part of the file with an optional +/- number.
size_t Offset(const std::string& text) {
    const std::pair<const char*, size_t> parts[] = {{"P0", kPage0},    {"R0", 300},    {"P1", 351},
                                                    {"R1", kRows1},    {"P2", kPage2}, {"R2", 559},
                                                    {"END", kFileSize}};
    const size_t sign = text.find_first_of("+-", 1);
    const long delta = sign == std::string::npos ? 0 : std::stol(text.substr(sign));
    for (const auto& [name, at] : parts) {
        if (text.substr(0, sign) == name) return size_t(long(at) + delta);
    }
    return size_t(std::stol(text, nullptr, 0));
}

class JobDamagedFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WritePictureJob(m_good, kPages);
        m_bytes = ReadBytes(m_good);
        ASSERT_EQ(m_bytes.size(), kFileSize);
    }
    std::string Refusal(const std::vector<uint8_t>& bytes, size_t size) {
        WriteBytes(m_bad, bytes, size);
        std::string error;
        EXPECT_FALSE(LoadAndVerify(m_bad, error)) << "size " << size << " loaded";
        return error;
    }

    TempDir m_dir;
    std::string m_good = m_dir.file("0_good.twj");
    std::string m_bad = m_dir.file("0_bad.twj");
    std::vector<uint8_t> m_bytes;
};

TEST_F(JobDamagedFileTest, CutAndCorruptedFilesAreRefusedWithTheReason) {
    for (const test::TableRow& r : test::ReadTable(__FILE__, "job_cases.txt")) {
        SCOPED_TRACE(r.where);
        if (r[0] == "name") {
            const AFilePath ticket(r[2].c_str());
            EXPECT_EQ(OXJob::GetFileName(eHardCodePrefix(r.Int(1)), ticket).c_str(), r[3]);
            continue;
        }
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
    ASSERT_TRUE(writer->BeginPage(kPages[0], error) &&
                AppendPictureRows(*writer, kPages[0], 0, 0, 3, error) && writer->EndPage(error) &&
                writer->BeginPage(kPages[1], error) &&
                AppendPictureRows(*writer, kPages[1], 1, 0, 1, error))
        << error;
    const std::vector<uint8_t> midPage = ReadBytes(live);
    ASSERT_TRUE(AppendPictureRows(*writer, kPages[1], 1, 1, 3, error) && writer->EndPage(error) &&
                writer->BeginPage(kPages[2], error))
        << error;
    const std::vector<uint8_t> betweenPages = ReadBytes(live);
    for (const auto& [bytes, needed] : {std::pair{&midPage, kRows1 + 2}, {&betweenPages, kPage2}}) {
        ASSERT_GE(bytes->size(), needed);
        for (size_t size = 0; size <= bytes->size(); ++size) {
            WriteBytes(m_bad, *bytes, size);
            error.clear();
            EXPECT_EQ(LoadAndVerify(m_bad, error, 2), size >= needed)
                << "size " << size << ": " << error;
        }
    }
}

TEST_F(JobDamagedFileTest, FilesThatAreNotJobDataAreRefused) {
    OXJob job(0);
    ASSERT_EQ(job.Load(m_good.c_str()), 1) << job.lastError();
    ASSERT_NE(job.GetImage(0), nullptr);
    const std::string text = "hello world", fifo = m_dir.file("fifo");
    WriteBytes(m_bad, {text.begin(), text.end()}, text.size());
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
