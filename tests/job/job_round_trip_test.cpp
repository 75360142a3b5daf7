// Pages written by JobWriter come back unchanged through OXJob.
#include <filesystem>
#include <tuple>

#include "job/job_test_support.h"

namespace tarnwick {
namespace {

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

}  // namespace
}  // namespace tarnwick
