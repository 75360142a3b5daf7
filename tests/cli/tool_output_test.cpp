// What the command table cannot say: the shape of params' JSON against itself, the inspector
// on randomly damaged streams, and hostile input under an address space limit.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <random>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"

namespace tarnwick::test {
namespace {

class ToolOutputTest : public ToolTest {};

std::vector<std::string> Keys(const JsonValue* value) {
    return value != nullptr ? value->names : std::vector<std::string>{};
}

// A float as the tool writes it: a JSON number with a decimal point.
void ExpectFloat(const JsonValue* value) {
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->kind, JsonValue::Kind::kNumber);
    EXPECT_NE(value->text.find('.'), std::string::npos) << value->text;
}

TEST_F(ToolOutputTest, ParamsHaveTheDocumentedShape) {
    for (const std::string mode : {"0", "2"}) {
        SCOPED_TRACE("colour mode " + mode);
        const ToolResult result = Run({"params", "--model", "CP52", "--manufacturer",
                                       "Tarnwick Imaging", "--color-mode", mode});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        JsonValue json;
        ASSERT_TRUE(ParseJson(result.out, json)) << result.out;
        EXPECT_EQ(json.names, (std::vector<std::string>{"dither", "screening", "applied"}));
        const JsonValue* dither = json.Find("dither");
        EXPECT_EQ(Keys(dither),
                  (std::vector<std::string>{"result", "levelCount", "inkCount", "antiClogLevel",
                                            "noiseLevel", "weights"}));
        const JsonValue* screening = json.Find("screening");
        EXPECT_EQ(Keys(screening), (std::vector<std::string>{"result", "count", "entries"}));
        const JsonValue* applied = json.Find("applied");
        ASSERT_TRUE(dither && screening && applied && applied->Find("inks"));
        EXPECT_EQ(dither->Find("result")->text, "1");
        EXPECT_EQ(dither->Find("levelCount")->text, "2");
        EXPECT_EQ(screening->Find("result")->text, "1");
        ExpectFloat(dither->Find("noiseLevel"));
        const std::size_t inks = mode == "0" ? 4 : 6;
        EXPECT_EQ(dither->Find("inkCount")->number, static_cast<double>(inks));
        const std::vector<JsonValue>& weights = dither->Find("weights")->items;
        const std::vector<JsonValue>& entries = screening->Find("entries")->items;
        const std::vector<JsonValue>& applies = applied->Find("inks")->items;
        EXPECT_EQ(static_cast<double>(entries.size()), screening->Find("count")->number);
        ASSERT_EQ(weights.size(), inks);
        ASSERT_EQ(applies.size(), inks);
        ASSERT_GE(entries.size(), inks);
        for (std::size_t i = 0; i < inks; ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(weights[i].items.size(), 1u) << "levelCount - 1 weights per ink";
            ExpectFloat(&weights[i].items[0]);
            EXPECT_GT(weights[i].items[0].number, 0.0);
            EXPECT_LE(weights[i].items[0].number, 1.0);
            const JsonValue& entry = entries[i];
            EXPECT_EQ(entry.names,
                      (std::vector<std::string>{"colorName", "shapeName", "frequency", "angle"}));
            ExpectFloat(entry.Find("frequency"));
            ExpectFloat(entry.Find("angle"));
            // As applied: the record's weights, the entry's screen as near as the tile allows.
            const JsonValue& ink = applies[i];
            EXPECT_EQ(ink.Find("amounts")->items.at(1).text, weights[i].items[0].text);
            EXPECT_EQ(ink.Find("name")->text, entry.Find("colorName")->text);
            const double frequency = entry.Find("frequency")->number;
            EXPECT_NEAR(ink.Find("screen")->Find("frequency")->number, frequency, 0.02 * frequency);
            EXPECT_NEAR(ink.Find("screen")->Find("angle")->number, entry.Find("angle")->number,
                        0.5);
        }
    }
}

TEST_F(ToolOutputTest, DamagedStreamsNeverCrashTheInspector) {
    WritePbm(File("k.pbm"), 40, 12, [](int x, int y) { return (x * y) % 7 == 1; });
    ASSERT_EQ(Run({"make-job", "-o", File("job.tkt"), "Black=" + File("k.pbm")}).exitCode, 0);
    ASSERT_EQ(Run({"print", File("job.tkt"), "-o", File("good.prn")}).exitCode, 0);
    const std::vector<uint8_t> good = ReadBytes(File("good.prn"));
    std::mt19937 random(20240611);
    for (int round = 0; round < 24; ++round) {
        std::vector<uint8_t> bad = good;
        for (int e = 0; e <= round % 6; ++e) {
            const auto at = static_cast<long>(random() % bad.size());
            if (const unsigned kind = random() % 3; kind == 0) {
                bad[static_cast<std::size_t>(at)] = static_cast<uint8_t>(random());
            } else if (kind == 1) {
                const auto end =
                    std::min(static_cast<long>(bad.size()), at + static_cast<long>(random() % 64));
                bad.erase(bad.begin() + at, bad.begin() + end);
            } else {
                bad.insert(bad.begin() + at, {0x1B, '*', 'b', '9', '9', '9'});
            }
            if (bad.empty()) bad.push_back(0x1B);
        }
        WriteBytes(File("bad.prn"), bad);
        const ToolResult result = Run({"inspect", File("bad.prn"), "--preview", File("bad.png")});
        ASSERT_EQ(result.signal, 0) << "round " << round;
        ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 1) << result.err;
    }
}

// A TIFF of the largest size an image may have (100 million pixels), deflated to a few hundred
// kilobytes, once took 690 MB; an inspection kept 550 bytes per page.
TEST_F(ToolOutputTest, HostileInputStaysUnderItsAddressLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "no address space limit under the sanitizer";
#endif
    constexpr uint32_t kSide = 10'000;
    TIFF* tiff = TIFFOpen(File("big.tif").c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    for (const auto& [tag, value] : {std::pair<uint32_t, uint32_t>{TIFFTAG_IMAGEWIDTH, kSide},
                                     {TIFFTAG_IMAGELENGTH, kSide},
                                     {TIFFTAG_SAMPLESPERPIXEL, 3},
                                     {TIFFTAG_BITSPERSAMPLE, 8},
                                     {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB},
                                     {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
                                     {TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE},
                                     {TIFFTAG_ZIPQUALITY, 1},
                                     {TIFFTAG_ROWSPERSTRIP, 64}}) {
        TIFFSetField(tiff, tag, value);
    }
    std::vector<uint8_t> row(kSide * 3, 0xC0);
    for (uint32_t y = 0; y < kSide; ++y) ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), y, 0), 1);
    TIFFClose(tiff);
    std::string empty;
    for (int i = 0; i < 1'000'000; ++i) empty += "\x1b*rA\x1b*rC";
    WriteText(File("empty.prn"), empty);
    constexpr uint64_t kMiB = 1 << 20;
    const struct {
        std::vector<std::string> args;
        uint64_t limit;
        std::string message;
    } cases[] = {
        // 300 MB of RGB and the bands; the job data file may not grow past 1 MiB, so the
        // tool stops at its first rows, once the image has been read.
        {{"make-job", "-o", File("job.tkt"), File("big.tif")}, 440 * kMiB, "File too large"},
        {{"inspect", File("empty.prn")}, 64 * kMiB, "no source width"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ToolResult result = RunTool(
            c.args, Env(), {.addressSpace = c.limit, .fileSize = kMiB, .stallMillis = 90'000});
        EXPECT_EQ(result.signal, 0) << result.err;
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE((result.out + result.err).find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("bad_alloc"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace tarnwick::test
