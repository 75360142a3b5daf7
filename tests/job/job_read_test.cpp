// Pages written by JobWriter come back unchanged through OXJob, also while the host is still
// writing (counts that hold, rows that can be read, pages that end early shortened in the file);
// placement of a page's content and refusal of bad reads.
#include <climits>
#include <filesystem>
#include <memory>
#include <tuple>

#include "host/job/bit_copy.h"
#include "job/job_test_support.h"

namespace tarnwick {
namespace {

using jobtest::Pack;
using jobtest::PictureRow;
using jobtest::ReadRow;
using jobtest::TempDir;

const std::vector<PageFormat> kPages = {
    {37, 6, 0, 0, {{"Cyan", 1}, {"Magenta", 2}, {"Yellow", 4}, {"Black", 8}}},
    {1, 3, 0, 0, {{"Cyan_l_2", 1}, {"Spot Orange 16", 16}}},
    {20, 2, 0, 0, {}},
};

std::vector<std::unique_ptr<AColorant>> Colorants(const AImage& image) {
    AObList list(0, 10);
    image.GetColorants(list);
    std::vector<std::unique_ptr<AColorant>> out;
    for (int i = 0; i < list.GetCount(); ++i) out.push_back(list.Release(i));
    return out;
}

TEST(JobRoundTrip, EveryRowOfEveryColorantComesBack) {
    TempDir dir;
    const std::string path = dir.file("0_job.twj");
    jobtest::WritePictureJob(path, kPages);
    std::vector<std::unique_ptr<AColorant>> kept;
    {
        OXJob job(0);
        ASSERT_EQ(job.Load(path.c_str()), 1) << job.lastError();
        job.OpenData(1);
        EXPECT_EQ(std::tuple(job.m_bWriting, job.m_nJobPages, job.m_nWritePage, job.m_nWriteRows),
                  std::tuple(0, 3, 2, 2));
        jobtest::ExpectPicture(job, kPages);
        const int expectedBits[] = {8, 16, 1};
        for (int p = 0; p < 3; ++p) {
            auto* image = dynamic_cast<AGroupImage*>(job.GetImage(unsigned(p)));
            ASSERT_NE(image, nullptr);
            int x = -1, y = -1;
            image->GetOffset(x, y);
            EXPECT_EQ(
                std::tuple(x, y, image->GetWidth(), image->GetHeight(), image->m_nBitsPerPixel),
                std::tuple(0, 0, kPages[p].width, kPages[p].height, expectedBits[p]));
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
    jobtest::WritePictureJob(path, {{1024, 64, 0, 0, {{"Black", 8}}}});
    OXJob job(0);
    ASSERT_EQ(job.Load(path.c_str()), 1) << job.lastError();
    std::filesystem::resize_file(path, 64 + 32 + 68 + 10 * 1024);
    const AColorant black("Black", 8, 0);
    EXPECT_EQ(ReadRow(*job.GetImage(0), black, 40), std::nullopt);
    EXPECT_NE(job.readError().find("cut short"), std::string::npos) << job.readError();
    EXPECT_EQ(ReadRow(*job.GetImage(0), black, 9), PictureRow(0, 0, 9, 1024, 8));
}

TEST(JobFileName, PrefixAndStemGoNextToTheTicket) {
    struct Case {
        eHardCodePrefix prefix;
        const char* ticket;
        const char* expected;
    };
    const Case cases[] = {{ePrefix0, "/spool/jobs/order42.xml", "/spool/jobs/0_order42.twj"},
                          {ePrefix2, "/spool/jobs/order42.xml", "/spool/jobs/2_order42.twj"},
                          {ePrefix0, "C:\\Spool\\a.b.job", "C:\\Spool\\0_a.b.twj"},
                          {ePrefix2, "mixed\\dir/name.x", "mixed\\dir/2_name.twj"},
                          {ePrefix0, "ticket.xml", "0_ticket.twj"},
                          {ePrefix0, "/dir.with.dots/noext", "/dir.with.dots/0_noext.twj"},
                          {ePrefix2, "/spool/.hidden", "/spool/2_.hidden.twj"}};
    for (const Case& c : cases) {
        EXPECT_STREQ(OXJob::GetFileName(c.prefix, AFilePath(c.ticket)).c_str(), c.expected);
    }
}

struct Expected {
    int writing, pages, writePage, writeRows;
};

class JobLiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_writer = JobWriter::Create(m_path, m_error);
        ASSERT_TRUE(m_writer) << m_error;
    }

    // Loads the file as it is now: the counts, the page heights the reader reports and every row
    // the counts announce.
    std::unique_ptr<OXJob> Check(const Expected& e, const std::vector<int>& heights) {
        auto job = std::make_unique<OXJob>(0);
        EXPECT_EQ(job->Load(m_path.c_str()), 1) << job->lastError();
        EXPECT_EQ(
            std::tuple(job->m_bWriting, job->m_nJobPages, job->m_nWritePage, job->m_nWriteRows),
            std::tuple(e.writing, e.pages, e.writePage, e.writeRows));
        for (int p = 0; p < e.pages && job->GetImage(unsigned(p)); ++p) {
            EXPECT_EQ(job->GetImage(unsigned(p))->GetHeight(), heights.at(size_t(p))) << p;
        }
        jobtest::ExpectPicture(*job, m_pages);
        return job;
    }

    bool Rows(int page, int first, int count) {
        return jobtest::AppendPictureRows(*m_writer, m_pages[size_t(page)], page, first, count,
                                          m_error);
    }

    TempDir m_dir;
    std::string m_path = m_dir.file("2_live.twj");
    std::string m_error;
    std::unique_ptr<JobWriter> m_writer;
    std::vector<PageFormat> m_pages = {{13, 4, 0, 0, {{"Cyan", 1}, {"Magenta", 2}}},
                                       {7, 5, 0, 0, {{"Yellow", 4}, {"Black", 8}}},
                                       {11, 6, 0, 0, {{"Black", 2}}},
                                       {3, 5, 0, 0, {{"Black", 1}}}};
};

TEST_F(JobLiveTest, EveryIntermediateStateLoadsConsistently) {
    Check({1, 0, 0, 0}, {});
    ASSERT_TRUE(m_writer->BeginPage(m_pages[0], m_error)) << m_error;
    Check({1, 0, 0, 0}, {});  // a page without rows stays hidden
    for (int r = 0; r < 4; ++r) {
        ASSERT_TRUE(Rows(0, r, 1)) << m_error;
        Check({1, 1, 0, r + 1}, {4});
    }
    ASSERT_TRUE(m_writer->EndPage(m_error)) << m_error;
    ASSERT_TRUE(m_writer->BeginPage(m_pages[1], m_error)) << m_error;
    Check({1, 1, 0, 4}, {4});

    ASSERT_TRUE(Rows(1, 0, 2)) << m_error;
    auto early = Check({1, 2, 1, 2}, {4, 5});
    ASSERT_TRUE(Rows(1, 2, 3)) << m_error;
    ASSERT_TRUE(m_writer->EndPage(m_error)) << m_error;
    Check({1, 2, 1, 5}, {4, 5});
    // A job loaded earlier keeps reading its snapshot while the host goes on.
    AColorant black("Black", 8, 1);
    EXPECT_EQ(ReadRow(*early->GetImage(1), black, 1), PictureRow(1, 1, 1, 7, 8));
    EXPECT_EQ(ReadRow(*early->GetImage(1), black, 2), std::nullopt);

    // Page 2 ends after 2 of its 6 rows: announced height until EndPage, then shortened.
    ASSERT_TRUE(m_writer->BeginPage(m_pages[2], m_error)) << m_error;
    ASSERT_TRUE(Rows(2, 0, 2)) << m_error;
    Check({1, 3, 2, 2}, {4, 5, 6});
    ASSERT_TRUE(m_writer->EndPage(m_error)) << m_error;
    Check({1, 3, 2, 2}, {4, 5, 2});

    // A page that ends without rows becomes visible at EndPage, and the short page before it
    // must have its true length for this one to be found.
    ASSERT_TRUE(m_writer->BeginPage(m_pages[3], m_error)) << m_error;
    ASSERT_TRUE(m_writer->EndPage(m_error)) << m_error;
    Check({1, 4, 3, 0}, {4, 5, 2, 0});
    ASSERT_TRUE(m_writer->Finish(m_error)) << m_error;
    Check({0, 4, 3, 0}, {4, 5, 2, 0});
}

TEST_F(JobLiveTest, DestroyingTheWriterFinishesTheJob) {
    ASSERT_TRUE(m_writer->BeginPage(m_pages[0], m_error)) << m_error;
    ASSERT_TRUE(Rows(0, 0, 3)) << m_error;
    m_writer.reset();
    Check({0, 1, 0, 3}, {3});
}

TEST_F(JobLiveTest, WriterRefusesMisuseAndBadPages) {
    const std::vector<uint8_t> row(2);
    const std::span<const uint8_t> one[] = {row};
    EXPECT_FALSE(m_writer->AppendRow(one, m_error));
    EXPECT_EQ(m_error, "no page is open");
    EXPECT_FALSE(m_writer->EndPage(m_error));

    const PageFormat bad[] = {
        {1'000'001, 1, 0, 0, {}},
        {1, -1, 0, 0, {}},
        {1, 1, -1, 0, {}},
        {1, 1, 0, 0, {{"Cyan", 3}}},
        {1, 1, 0, 0, {{std::string(64, 'n'), 1}}},
        {1, 1, 0, 0, {{std::string("a\0b", 3), 1}}},
        {1, 1, 0, 0, std::vector<ColorantFormat>(65, {"Cyan", 1})},
    };
    for (const PageFormat& badPage : bad) {
        m_error.clear();
        EXPECT_FALSE(m_writer->BeginPage(badPage, m_error));
        EXPECT_FALSE(m_error.empty());
    }

    ASSERT_TRUE(m_writer->BeginPage({9, 1, 0, 0, {{"Cyan", 1}, {"Black", 8}}}, m_error));
    EXPECT_FALSE(m_writer->BeginPage(m_pages[0], m_error));
    EXPECT_FALSE(m_writer->AppendRow(one, m_error));  // one row for two colorants
    const std::vector<uint8_t> cyan(2), black(9), shortBlack(8);
    const std::span<const uint8_t> wrongSize[] = {cyan, shortBlack};
    EXPECT_FALSE(m_writer->AppendRow(wrongSize, m_error));
    EXPECT_NE(m_error.find("expected 9"), std::string::npos) << m_error;
    const std::span<const uint8_t> good[] = {cyan, black};
    EXPECT_TRUE(m_writer->AppendRow(good, m_error)) << m_error;
    EXPECT_FALSE(m_writer->AppendRow(good, m_error));  // height is 1
    ASSERT_TRUE(m_writer->Finish(m_error)) << m_error;
    EXPECT_FALSE(m_writer->BeginPage(m_pages[0], m_error));
    EXPECT_FALSE(m_writer->Finish(m_error));
    OXJob job(0);
    ASSERT_EQ(job.Load(m_path.c_str()), 1) << job.lastError();
    EXPECT_EQ(job.m_nJobPages, 1);
    EXPECT_EQ(job.m_nWriteRows, 1);

    EXPECT_EQ(JobWriter::Create(m_dir.file("missing/x.twj"), m_error), nullptr);
    EXPECT_NE(m_error.find("cannot create"), std::string::npos) << m_error;
}

TEST(JobBitCopy, MatchesPixelWisePackingForEveryShift) {
    for (int bits : {1, 2, 4, 8, 16}) {
        for (int blank = 0; blank < 10; ++blank) {
            for (int width = 0; width < 12; ++width) {
                std::vector<uint32_t> values;
                for (int x = 0; x < width; ++x) values.push_back(jobtest::Pixel(0, 0, 0, x, bits));
                std::vector<uint8_t> src = Pack(values, bits);
                // Padding bits in the source must not reach the output.
                if ((width * bits) % 8) src.back() |= uint8_t(0xFF >> ((width * bits) % 8));
                std::vector<uint32_t> placed(size_t(blank), 0);
                placed.insert(placed.end(), values.begin(), values.end());
                const std::vector<uint8_t> expected = Pack(placed, bits);

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
    jobtest::WritePictureJob(
        path, {{5, 3, 3, 2, {{"K", 4}, {"Cyan_l_2", 1}}}, {9, 2, 0, 0, {{"Cyan", 1}}}});
    OXJob job(0);
    ASSERT_EQ(job.Load(path.c_str()), 1) << job.lastError();
    auto* image = dynamic_cast<AGroupImage*>(job.GetImage(0));
    ASSERT_NE(image, nullptr);
    const AColorant k{"K", 4, 0};
    const AColorant layer{"Cyan_l_2", 1, 1};
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
    const AColorant strangers[] = {{"K", 8, 0},  {"k", 4, 0},    {"K", 4, 1},       {"K", 4, -1},
                                   {"K", 4, 64}, {"Cyan", 1, 0}, {"Cyan_l_2", 1, 0}};
    for (const AColorant& c : strangers) {
        EXPECT_EQ(ReadRow(*image, c, 3), std::nullopt) << c.GetName().c_str();
    }
}

}  // namespace
}  // namespace tarnwick
