// Placement of a page's content (offsets, blank rows, shifted pixels) and refusal of bad reads.
#include <climits>

#include "host/job/bit_copy.h"
#include "job/job_test_support.h"

namespace tarnwick {
namespace {

using jobtest::Pack;
using jobtest::PictureRow;
using jobtest::ReadRow;

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

class JobGroupImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        jobtest::WritePictureJob(
            m_path, {{5, 3, 3, 2, {{"K", 4}, {"Cyan_l_2", 1}}}, {9, 2, 0, 0, {{"Cyan", 1}}}});
        ASSERT_EQ(m_job.Load(m_path.c_str()), 1) << m_job.lastError();
        m_image = dynamic_cast<AGroupImage*>(m_job.GetImage(0));
        ASSERT_NE(m_image, nullptr);
    }

    // Content row `row` of colorant c of page 0, behind `blank` pixels.
    static std::vector<uint8_t> Content(int c, int row, int blank) {
        return PictureRow(0, c, row, 5, c == 0 ? 4 : 1, blank);
    }

    jobtest::TempDir m_dir;
    std::string m_path = m_dir.file("0_offset.twj");
    OXJob m_job{0};
    AGroupImage* m_image = nullptr;
    AColorant m_k{"K", 4, 0};
    AColorant m_layer{"Cyan_l_2", 1, 1};
};

TEST_F(JobGroupImageTest, OffsetAddsBlankRowsAndLeadingPixels) {
    int x = 0, y = 0;
    m_image->GetOffset(x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(m_image->GetWidth(), 8);
    EXPECT_EQ(m_image->GetHeight(), 5);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(ReadRow(*m_image, m_k, row), std::vector<uint8_t>(4, 0));
        EXPECT_EQ(ReadRow(*m_image, m_layer, row), std::vector<uint8_t>(1, 0));
    }
    for (int row = 2; row < 5; ++row) {
        EXPECT_EQ(ReadRow(*m_image, m_k, row), Content(0, row - 2, 3));
        EXPECT_EQ(ReadRow(*m_image, m_layer, row), Content(1, row - 2, 3));
    }
}

TEST_F(JobGroupImageTest, SetOffsetShiftsThePlacementWithoutChangingGetOffset) {
    m_image->SetOffset(-3, -2);  // what the engine does to drop the offset
    EXPECT_EQ(m_image->GetWidth(), 5);
    EXPECT_EQ(m_image->GetHeight(), 3);
    EXPECT_EQ(ReadRow(*m_image, m_k, 0), Content(0, 0, 0));
    EXPECT_EQ(ReadRow(*m_image, m_k, 3), std::nullopt);
    int x = 0, y = 0;
    m_image->GetOffset(x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 2);

    m_image->SetOffset(-10, -1);  // clamps at 0 in x
    EXPECT_EQ(m_image->GetWidth(), 5);
    EXPECT_EQ(m_image->GetHeight(), 4);
    EXPECT_EQ(ReadRow(*m_image, m_layer, 0), std::vector<uint8_t>(1, 0));
    EXPECT_EQ(ReadRow(*m_image, m_layer, 1), Content(1, 0, 0));

    m_image->SetOffset(2, 0);
    EXPECT_EQ(m_image->GetWidth(), 10);
    EXPECT_EQ(ReadRow(*m_image, m_k, 4), Content(0, 2, 5));

    m_image->SetOffset(INT_MIN, INT_MIN);
    EXPECT_EQ(m_image->GetWidth(), 5);
    EXPECT_EQ(m_image->GetHeight(), 3);

    // Absurd shifts are capped and the last row is still the last content row.
    m_image->SetOffset(INT_MAX, INT_MAX);
    EXPECT_EQ(m_image->GetWidth(), 5 + 1'000'000);
    EXPECT_EQ(m_image->GetHeight(), 3 + 10'000'000);
    EXPECT_EQ(ReadRow(*m_image, m_k, m_image->GetHeight() - 1), Content(0, 2, 1'000'000));
}

TEST_F(JobGroupImageTest, BadReadsReturnZeroAndWriteNothing) {
    std::vector<uint8_t> dest(16, 0xA5);
    EXPECT_EQ(m_image->ReadRows(nullptr, 0, 1, dest.data(), 0), 0);
    EXPECT_EQ(m_image->ReadRows(&m_k, 0, 1, nullptr, 0), 0);
    EXPECT_EQ(m_image->ReadRows(&m_k, 0, 0, dest.data(), 0), 0);
    EXPECT_EQ(m_image->ReadRows(&m_k, 0, -1, dest.data(), 0), 0);
    EXPECT_EQ(m_image->ReadRows(&m_k, 4, 2, dest.data(), 0), 0);
    EXPECT_EQ(m_image->ReadRows(&m_k, 1, INT_MAX, dest.data(), 0), 0);
    EXPECT_EQ(m_image->ReadRows(&m_k, INT_MAX, 1, dest.data(), 0), 0);
    EXPECT_EQ(dest, std::vector<uint8_t>(16, 0xA5));

    EXPECT_EQ(ReadRow(*m_image, m_k, -1), std::nullopt);
    EXPECT_EQ(ReadRow(*m_image, m_k, 5), std::nullopt);
    const AColorant strangers[] = {{"K", 8, 0},  {"k", 4, 0},    {"K", 4, 1},       {"K", 4, -1},
                                   {"K", 4, 64}, {"Cyan", 1, 0}, {"Cyan_l_2", 1, 0}};
    for (const AColorant& c : strangers) {
        EXPECT_EQ(ReadRow(*m_image, c, 3), std::nullopt) << c.GetName().c_str();
    }
}

}  // namespace
}  // namespace tarnwick
