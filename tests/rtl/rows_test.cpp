// Raster rows with the colour-bar strip, as the printer unpacks them from a whole job: the image
// bytes, zeros up to the end of the strip, and the patches of each sending position.
#include <gtest/gtest.h>

#include <vector>

#include "driver/cdriver.h"
#include "support/fake_clock.h"
#include "support/job_fixture.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

using Bytes = std::vector<uint8_t>;

// A 16-pixel row at 360 dpi: 2 image bytes, then the strip of 226 pixels, 31 bytes in all.
// Patch positions are those of HeaderValues.ColorBarPatchesByPosition.
constexpr int kRowBytes = 31;

Bytes StripRow(Bytes image, int first, int last) {
    image.resize(kRowBytes, 0);
    for (int i = first; i <= last; ++i) image[static_cast<std::size_t>(i)] = 0xAA;
    return image;
}

TEST(RtlRows, ColorBarStripsFollowTheSendingPosition) {
    const int pure[6][2] = {{9, 12}, {13, 15}, {16, 19}, {20, 22}, {23, 26}, {27, 29}};
    const int mixed[6][2] = {{9, 15}, {9, 15}, {16, 22}, {16, 22}, {23, 29}, {23, 29}};
    const std::vector<test::TestColorant> cmyk = {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}};
    std::vector<test::TestColorant> six = cmyk;
    six.insert(six.end(), {{"LCyan"}, {"LMagenta"}});
    struct Row {
        const char* name;
        int16_t colorMode;
        uint8_t colorBar;
        std::vector<test::TestColorant> inks;
        const int (*marks)[2];
    } rows[] = {
        // Four planes get two patch-only planes; black goes first, then C, M, Y.
        {"pure colour, four planes", 0, 1, cmyk, pure},
        // Mixed colour: neighbouring positions share two patches.
        {"mixed colour, one plane", 1, 2, {{"Black"}}, mixed},
        // The patch goes with the position, not the plane.
        {"mixed colour, six planes", 2, 2, six, mixed},
    };
    const int sentInk[6] = {3, 0, 1, 2, 4, 5};
    FakeClock clock;
    ScopedClock useClock{&clock};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        JobTicket ticket = test::DefaultTicket("CP52", 360, row.colorMode);
        ticket.settings[13] = row.colorBar;
        const test::TestPage page{16, 2, 0, 0, row.inks};
        auto job = test::MakeJob(dir, ticket, {page});
        CDriver driver;
        test::MemoryChannel out;
        ASSERT_GT(test::RunJob(driver, *job, out), 0);
        const auto pages = test::ReadStreamRows(out.bytes);
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_EQ(pages[0].rows.size(), 2u);
        for (int r = 0; r < 2; ++r) {
            const auto& planes = pages[0].rows[static_cast<std::size_t>(r)].planes;
            ASSERT_EQ(planes.size(), 6u);
            for (std::size_t k = 0; k < 6; ++k) {
                Bytes image;
                if (k < row.inks.size()) {
                    const int c = row.inks.size() == 1 ? 0 : sentInk[k];
                    image = {page.content(c, r, 0), page.content(c, r, 1)};
                }
                EXPECT_EQ(planes[k], StripRow(image, row.marks[k][0], row.marks[k][1]))
                    << "row " << r << " position " << k;
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick
