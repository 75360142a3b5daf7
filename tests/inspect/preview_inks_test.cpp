// The preview draws each plane in its ink's colour: the family's order by default, the caller's
// names where the stream's inks are others (a CMYKOrGr job's last two planes).
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "host/ox_colors.h"
#include "inspect/preview_renderer.h"

namespace tarnwick::inspect {
namespace {

TEST(PreviewRenderer, DrawsEachPlaneInItsInksColour) {
    const std::vector<std::string> orangeGreen = {"Black",  "Cyan",   "Magenta",
                                                  "Yellow", "Orange", "Green"};
    struct Case {
        std::vector<std::string> inks;
        std::size_t plane;  // the one plane with ink
        const char* ink;    // the colour it must show
    };
    const Case cases[] = {
        {{}, 0, "Black"},           {{}, 1, "Cyan"},           {{}, 3, "Yellow"},
        {{}, 4, "LCyan"},           {{}, 5, "LMagenta"},       {orangeGreen, 0, "Black"},
        {orangeGreen, 4, "Orange"}, {orangeGreen, 5, "Green"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ink) + " on plane " + std::to_string(c.plane));
        PageReport page;
        page.number = 1;
        page.width = 8;
        page.rows = 1;
        StreamReport layout;
        layout.pages = {page};
        layout.pageCount = 1;
        PreviewOptions options;
        options.inks = c.inks;
        PreviewRenderer renderer(layout, options);
        std::vector<std::vector<uint8_t>> rows(6, std::vector<uint8_t>{0});
        rows[c.plane][0] = 0xFF;
        const std::vector<std::span<const uint8_t>> planes(rows.begin(), rows.end());
        renderer.OnPageStart(page);
        renderer.OnRow(planes);
        renderer.OnPageEnd();
        ASSERT_GE(renderer.pixels().size(), 3u);
        const uint32_t rgb = GetOxColorValue(c.ink);
        for (int channel = 0; channel < 3; ++channel) {
            EXPECT_NEAR(renderer.pixels()[static_cast<std::size_t>(channel)],
                        (rgb >> (16 - 8 * channel)) & 0xFF, 1);
        }
    }
}

}  // namespace
}  // namespace tarnwick::inspect
