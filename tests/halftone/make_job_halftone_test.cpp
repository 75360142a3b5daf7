// make-job's image pages through the real tool: each sample printer's planes carry exactly the
// levels of its dither level count, by both methods, and the parameters used are logged once.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"
#include "support/stream_rows.h"

namespace tarnwick::test {
namespace {

class MakeJobHalftoneTest : public ToolTest {};

TEST_F(MakeJobHalftoneTest, PlaneLevelsMatchEachPrintersLevelCount) {
    // A small photograph stand-in: a light-to-dark ramp across, hue changing down the page.
    WritePpm(File("photo.ppm"), 96, 40, [](int x, int y) {
        const int v = 255 - x * 255 / 95;
        return static_cast<uint32_t>(v << 16 | std::min(255, v + y * 3) << 8 |
                                     std::max(0, v - y * 2));
    });
    struct Case {
        const char* model;
        const char* manufacturer;
        const char* method;
    };
    for (const Case& c : {Case{"CP52", "Tarnwick Imaging", "diffusion"},
                          Case{"CP52-LM", "Fellgate Systems", "screen"},
                          Case{"ASBRU_V3C", "Tarnwick Imaging", "screen"},
                          Case{"Coldstream SP-1400C", "Fellgate Systems", "diffusion"}}) {
        SCOPED_TRACE(std::string(c.model) + ", " + c.method);
        const ToolResult params =
            Run({"params", "--model", c.model, "--manufacturer", c.manufacturer});
        ASSERT_EQ(params.exitCode, 0) << params.err;
        JsonValue json;
        ASSERT_TRUE(ParseJson(params.out, json)) << params.out;
        const JsonValue* applied = json.Find("applied");
        ASSERT_TRUE(applied && applied->Find("levelCount")) << params.out;
        const int levels = static_cast<int>(applied->Find("levelCount")->number);
        const int bits = static_cast<int>(applied->Find("planeBits")->number);

        const ToolResult made = Run({"make-job", "-o", File("job.tkt"), "--model", c.model,
                                     "--manufacturer", c.manufacturer, "--halftone", c.method,
                                     "--option", "DriverOption5=0", File("photo.ppm")});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const auto info = LinesStartingWith(made.err, "INFO: halftone: ");
        ASSERT_EQ(info.size(), 1u) << made.err;
        EXPECT_NE(info[0].find(std::string(c.method) == "screen" ? "AM screen" : "error diffusion"),
                  std::string::npos);
        EXPECT_NE(info[0].find(std::to_string(levels) + " levels"), std::string::npos) << info[0];
        const ToolResult printed = Run({"print", File("job.tkt"), "-o", File("out.prn")});
        ASSERT_EQ(printed.exitCode, 0) << printed.err;

        const std::vector<StreamPage> pages = ReadStreamRows(ReadBytes(File("out.prn")));
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_FALSE(pages[0].rows.empty());
        const std::size_t planes = pages[0].rows[0].planes.size();
        EXPECT_EQ(planes, applied->Find("inks")->items.size());
        for (std::size_t plane = 0; plane < planes; ++plane) {
            std::vector<long> histogram(static_cast<std::size_t>(1 << bits), 0);
            for (const StreamRow& row : pages[0].rows) {
                for (const uint8_t byte : row.planes[plane]) {
                    for (int shift = 8 - bits; shift >= 0; shift -= bits) {
                        ++histogram[static_cast<std::size_t>((byte >> shift) & ((1 << bits) - 1))];
                    }
                }
            }
            for (int level = 0; level < (1 << bits); ++level) {
                if (level < levels) {
                    EXPECT_GT(histogram[static_cast<std::size_t>(level)], 0)
                        << "plane " << plane << " never uses level " << level;
                } else {
                    EXPECT_EQ(histogram[static_cast<std::size_t>(level)], 0)
                        << "plane " << plane << " uses level " << level;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick::test
