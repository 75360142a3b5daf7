// params and make-job through the real tool for the printers of make_job_halftone.txt: the
// parameters have their documented shape and are applied as the records give them, the planes
// carry exactly the levels of the dither level count, and the parameters used are logged once.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"
#include "rtl/text_table.h"
#include "support/stream_rows.h"

namespace tarnwick::test {
namespace {

class MakeJobHalftoneTest : public ToolTest {};

using Names = std::vector<std::string>;

// A float as the tool writes it: a JSON number with a decimal point.
void ExpectFloat(const JsonValue* value) {
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->kind, JsonValue::Kind::kNumber);
    EXPECT_NE(value->text.find('.'), std::string::npos) << value->text;
}

// The number of pixels of each level in one plane of the page, at `bits` a pixel.
std::vector<long> Histogram(const StreamPage& page, std::size_t plane, int bits) {
    std::vector<long> histogram(static_cast<std::size_t>(1 << bits), 0);
    for (const StreamRow& row : page.rows)
        for (const uint8_t byte : row.planes[plane])
            for (int shift = 8 - bits; shift >= 0; shift -= bits)
                ++histogram[static_cast<std::size_t>((byte >> shift) & ((1 << bits) - 1))];
    return histogram;
}

TEST_F(MakeJobHalftoneTest, ParamsAreAppliedAndPlaneLevelsMatchEachPrintersLevelCount) {
    // A small photograph stand-in: a light-to-dark ramp across, hue changing down the page.
    WritePnm(File("photo.ppm"), 96, 40, true, [](int x, int y) {
        const int v = 255 - x * 255 / 95;
        return static_cast<uint32_t>(v << 16 | std::min(255, v + y * 3) << 8 |
                                     std::max(0, v - y * 2));
    });
    for (const TableRow& c : ReadTable(__FILE__, "make_job_halftone.txt")) {
        SCOPED_TRACE(c.where);
        const auto inkCount = static_cast<std::size_t>(c.Int(4));
        const int levels = c.Int(5);
        const ToolResult params =
            Run({"params", "--model", c[0], "--manufacturer", c[1], "--color-mode", c[3]});
        ASSERT_EQ(params.exitCode, 0) << params.err;
        JsonValue json;
        ASSERT_TRUE(ParseJson(params.out, json)) << params.out;
        EXPECT_EQ(json.names, (Names{"dither", "screening", "applied"}));
        const JsonValue* dither = json.Find("dither");
        const JsonValue* screening = json.Find("screening");
        const JsonValue* applied = json.Find("applied");
        ASSERT_TRUE(dither && screening && applied && applied->Find("inks") &&
                    applied->Find("levelCount"))
            << params.out;
        EXPECT_EQ(dither->names, (Names{"result", "levelCount", "inkCount", "antiClogLevel",
                                        "noiseLevel", "weights"}));
        EXPECT_EQ(screening->names, (Names{"result", "count", "entries"}));
        EXPECT_EQ(dither->Find("result")->text + screening->Find("result")->text, "11");
        ExpectFloat(dither->Find("noiseLevel"));
        EXPECT_EQ(dither->Find("inkCount")->number, static_cast<double>(inkCount));
        EXPECT_EQ(dither->Find("levelCount")->text, std::to_string(levels));
        EXPECT_EQ(applied->Find("levelCount")->number, levels);
        const int bits = static_cast<int>(applied->Find("planeBits")->number);
        const std::vector<JsonValue>& weights = dither->Find("weights")->items;
        const std::vector<JsonValue>& entries = screening->Find("entries")->items;
        const std::vector<JsonValue>& inks = applied->Find("inks")->items;
        EXPECT_EQ(static_cast<double>(entries.size()), screening->Find("count")->number);
        ASSERT_EQ(weights.size(), inkCount);
        ASSERT_EQ(inks.size(), inkCount);
        ASSERT_GE(entries.size(), inkCount);
        for (std::size_t i = 0; i < inkCount; ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(weights[i].items.size(), static_cast<std::size_t>(levels - 1));
            ExpectFloat(&weights[i].items[0]);
            EXPECT_GT(weights[i].items[0].number, 0.0);
            EXPECT_LE(weights[i].items[0].number, 1.0);
            const JsonValue& entry = entries[i];
            EXPECT_EQ(entry.names, (Names{"colorName", "shapeName", "frequency", "angle"}));
            ExpectFloat(entry.Find("frequency"));
            ExpectFloat(entry.Find("angle"));
            // As applied: the record's weights, the entry's screen as near as the tile allows.
            EXPECT_EQ(inks[i].Find("amounts")->items.at(1).text, weights[i].items[0].text);
            EXPECT_EQ(inks[i].Find("name")->text, entry.Find("colorName")->text);
            const JsonValue* screen = inks[i].Find("screen");
            const double frequency = entry.Find("frequency")->number;
            EXPECT_NEAR(screen->Find("frequency")->number, frequency, 0.02 * frequency);
            EXPECT_NEAR(screen->Find("angle")->number, entry.Find("angle")->number, 0.5);
        }

        const ToolResult made = Run({"make-job", "-o", File("job.tkt"), "--model", c[0],
                                     "--manufacturer", c[1], "--halftone", c[2], "--color-mode",
                                     c[3], "--option", "DriverOption5=0", File("photo.ppm")});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const auto info = LinesStartingWith(made.err, "INFO: halftone: ");
        ASSERT_EQ(info.size(), 1u) << made.err;
        EXPECT_NE(info[0].find(c[6]), std::string::npos) << info[0];
        EXPECT_NE(info[0].find(c[5] + " levels"), std::string::npos) << info[0];
        const ToolResult printed = Run({"print", File("job.tkt"), "-o", File("out.prn")});
        ASSERT_EQ(printed.exitCode, 0) << printed.err;
        const std::vector<StreamPage> pages = ReadStreamRows(ReadBytes(File("out.prn")));
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_FALSE(pages[0].rows.empty());
        ASSERT_EQ(pages[0].rows[0].planes.size(), inkCount);
        for (std::size_t plane = 0; plane < inkCount; ++plane) {
            const std::vector<long> histogram = Histogram(pages[0], plane, bits);
            for (int level = 0; level < (1 << bits); ++level) {
                EXPECT_EQ(histogram[static_cast<std::size_t>(level)] > 0, level < levels)
                    << "plane " << plane << ", level " << level;
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick::test
