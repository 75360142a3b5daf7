// Placement of a page's content (offsets, blank rows, shifted pixels) and refusal of bad reads.
#include <climits>
#include <tuple>

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

// A page of 5 x 3 pixels placed at (3, 2): blank rows and pixels in front, moved by SetOffset
// (clamped at 0, absurd shifts capped) without changing GetOffset; bad reads write nothing.
TEST(JobGroupImage, OffsetsPlaceTheContentAndBadReadsAreRefused) {
    jobtest::TempDir dir;
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
