// params and make-job through the real tool: the parameters have their documented shape and are
// applied as the records give them, each sample printer's planes carry exactly the levels of its
// dither level count, by both methods, and the parameters used are logged once.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"
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

TEST_F(MakeJobHalftoneTest, ParamsAreAppliedAndPlaneLevelsMatchEachPrintersLevelCount) {
    // A small photograph stand-in: a light-to-dark ramp across, hue changing down the page.
    WritePnm(File("photo.ppm"), 96, 40, true, [](int x, int y) {
        const int v = 255 - x * 255 / 95;
        return static_cast<uint32_t>(v << 16 | std::min(255, v + y * 3) << 8 |
                                     std::max(0, v - y * 2));
    });
    const struct {
        const char* model;
        const char* manufacturer;
        const char* method;
        const char* colorMode;
        std::size_t inks;
    } cases[] = {{"CP52", "Tarnwick Imaging", "diffusion", "0", 4},
                 {"CP52", "Tarnwick Imaging", "screen", "2", 6},
                 {"CP52-LM", "Fellgate Systems", "screen", "2", 6},
                 {"ASBRU_V3C", "Tarnwick Imaging", "screen", "2", 6},
                 {"Coldstream SP-1400C", "Fellgate Systems", "diffusion", "2", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + ", " + c.method + ", colour mode " + c.colorMode);
        const ToolResult params = Run({"params", "--model", c.model, "--manufacturer",
                                       c.manufacturer, "--color-mode", c.colorMode});
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
        EXPECT_EQ(dither->Find("result")->text, "1");
        EXPECT_EQ(screening->Find("result")->text, "1");
        ExpectFloat(dither->Find("noiseLevel"));
        EXPECT_EQ(dither->Find("inkCount")->number, static_cast<double>(c.inks));
        const int levels = static_cast<int>(applied->Find("levelCount")->number);
        const int bits = static_cast<int>(applied->Find("planeBits")->number);
        EXPECT_EQ(dither->Find("levelCount")->text, "2");  // every sample printer's record
        EXPECT_EQ(levels, 2);
        const std::vector<JsonValue>& weights = dither->Find("weights")->items;
        const std::vector<JsonValue>& entries = screening->Find("entries")->items;
        const std::vector<JsonValue>& inks = applied->Find("inks")->items;
        EXPECT_EQ(static_cast<double>(entries.size()), screening->Find("count")->number);
        ASSERT_EQ(weights.size(), c.inks);
        ASSERT_EQ(inks.size(), c.inks);
        ASSERT_GE(entries.size(), c.inks);
        for (std::size_t i = 0; i < c.inks; ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(weights[i].items.size(), 1u) << "levelCount - 1 weights per ink";
            ExpectFloat(&weights[i].items[0]);
            EXPECT_GT(weights[i].items[0].number, 0.0);
            EXPECT_LE(weights[i].items[0].number, 1.0);
            const JsonValue& entry = entries[i];
            EXPECT_EQ(entry.names, (Names{"colorName", "shapeName", "frequency", "angle"}));
            ExpectFloat(entry.Find("frequency"));
            ExpectFloat(entry.Find("angle"));
            // As applied: the record's weights, the entry's screen as near as the tile allows.
            const JsonValue& ink = inks[i];
            EXPECT_EQ(ink.Find("amounts")->items.at(1).text, weights[i].items[0].text);
            EXPECT_EQ(ink.Find("name")->text, entry.Find("colorName")->text);
            const double frequency = entry.Find("frequency")->number;
            EXPECT_NEAR(ink.Find("screen")->Find("frequency")->number, frequency, 0.02 * frequency);
            EXPECT_NEAR(ink.Find("screen")->Find("angle")->number, entry.Find("angle")->number,
                        0.5);
        }

        const ToolResult made =
            Run({"make-job", "-o", File("job.tkt"), "--model", c.model, "--manufacturer",
                 c.manufacturer, "--halftone", c.method, "--color-mode", c.colorMode, "--option",
                 "DriverOption5=0", File("photo.ppm")});
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
        ASSERT_EQ(pages[0].rows[0].planes.size(), c.inks);
        for (std::size_t plane = 0; plane < c.inks; ++plane) {
            std::vector<long> histogram(static_cast<std::size_t>(1 << bits), 0);
            for (const StreamRow& row : pages[0].rows) {
                for (const uint8_t byte : row.planes[plane]) {
                    for (int shift = 8 - bits; shift >= 0; shift -= bits) {
                        ++histogram[static_cast<std::size_t>((byte >> shift) & ((1 << bits) - 1))];
                    }
                }
            }
            for (int level = 0; level < (1 << bits); ++level) {
                EXPECT_EQ(histogram[static_cast<std::size_t>(level)] > 0, level < levels)
                    << "plane " << plane << ", level " << level;
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick::test
