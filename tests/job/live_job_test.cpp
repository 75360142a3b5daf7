// A reader that loads while the host is still writing sees counts that hold and rows it can
// read; pages that end early are shortened in the file.
#include <memory>
#include <tuple>

#include "job/job_test_support.h"

namespace tarnwick {
namespace {

using jobtest::PictureRow;
using jobtest::ReadRow;

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

    jobtest::TempDir m_dir;
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

}  // namespace
}  // namespace tarnwick
