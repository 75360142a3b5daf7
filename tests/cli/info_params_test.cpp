// The query commands: info, params, encipher and decipher, against the driver module and the
// sample configuration tree.
#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"

namespace tarnwick::test {
namespace {

class QueryTest : public ToolTest {
  protected:
    JsonValue Params(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"params", "--model", "CP52", "--manufacturer",
                                         "Tarnwick Imaging"};
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolResult result = Run(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        JsonValue json;
        std::string error;
        EXPECT_TRUE(ParseJson(result.out, json, error)) << error << "\n" << result.out;
        return json;
    }
};

std::vector<std::string> Keys(const JsonValue* value) {
    return value != nullptr ? value->Keys() : std::vector<std::string>{};
}

// A float as the tool writes it: a JSON number with at least one decimal.
void ExpectFloat(const JsonValue& value) {
    EXPECT_EQ(value.kind, JsonValue::Kind::kNumber);
    EXPECT_NE(value.text.find('.'), std::string::npos) << value.text;
}

TEST_F(QueryTest, InfoListsModesResolutionsAndInks) {
    const ToolResult lm = Run({"info", "--model", "CP52-LM"});
    ASSERT_EQ(lm.exitCode, 0) << lm.err;
    EXPECT_NE(lm.out.find("Print modes (2):\n  0 NORMAL: 360 x 360 dpi (resolution 0, \"360\")\n"
                          "  1 SUPER: 720 x 720 dpi (resolution 1, \"720\")\n"),
              std::string::npos)
        << lm.out;
    EXPECT_NE(lm.out.find("Type number: 85\n"), std::string::npos);
    EXPECT_NE(lm.out.find("Default colour mode: 2 CMYKLcLm\n"), std::string::npos);
    EXPECT_NE(lm.out.find("  1 Grayscale: Black (Black, 1 bit, #231F20)\n"), std::string::npos)
        << lm.out;
    EXPECT_NE(lm.out.find("Dry Time: None*,"), std::string::npos) << "a CP52-LM has dry times";

    const ToolResult cp52 = Run({"info", "--model", "CP52"});
    ASSERT_EQ(cp52.exitCode, 0);
    EXPECT_NE(cp52.out.find("Print modes (7):"), std::string::npos) << cp52.out;
    EXPECT_NE(cp52.out.find("  6 PHOTO: 720 x 720 dpi (resolution 6, \"720\")"), std::string::npos);

    const ToolResult generic = Run({"info", "--model", "generic rtl"});
    ASSERT_EQ(generic.exitCode, 0);
    EXPECT_EQ(generic.out.find("Dry Time"), std::string::npos) << "only named models have it";
}

TEST_F(QueryTest, ParamsHaveTheDocumentedShape) {
    for (const std::string mode : {"0", "2"}) {
        SCOPED_TRACE("colour mode " + mode);
        const JsonValue json = Params({"--color-mode", mode});
        EXPECT_EQ(json.Keys(), (std::vector<std::string>{"dither", "screening", "applied"}));
        const JsonValue* dither = json.Find("dither");
        ASSERT_NE(dither, nullptr);
        EXPECT_EQ(Keys(dither),
                  (std::vector<std::string>{"result", "levelCount", "inkCount", "antiClogLevel",
                                            "noiseLevel", "weights"}));
        EXPECT_EQ(dither->Find("result")->text, "1");
        EXPECT_EQ(dither->Find("levelCount")->text, "2");
        const int inks = static_cast<int>(dither->Find("inkCount")->number);
        EXPECT_EQ(inks, mode == "0" ? 4 : 6);
        ExpectFloat(*dither->Find("noiseLevel"));
        const JsonValue& weights = *dither->Find("weights");
        ASSERT_EQ(weights.items.size(), static_cast<std::size_t>(inks));
        for (const JsonValue& row : weights.items) {
            ASSERT_EQ(row.items.size(), 1u) << "levelCount - 1 weights per ink";
            ExpectFloat(row.items[0]);
            EXPECT_GT(row.items[0].number, 0.0);
            EXPECT_LE(row.items[0].number, 1.0);
        }

        const JsonValue* screening = json.Find("screening");
        ASSERT_NE(screening, nullptr);
        EXPECT_EQ(Keys(screening), (std::vector<std::string>{"result", "count", "entries"}));
        EXPECT_EQ(screening->Find("result")->text, "1");
        const JsonValue& entries = *screening->Find("entries");
        EXPECT_EQ(entries.items.size(), static_cast<std::size_t>(screening->Find("count")->number));
        ASSERT_FALSE(entries.items.empty());
        for (const JsonValue& entry : entries.items) {
            EXPECT_EQ(entry.Keys(),
                      (std::vector<std::string>{"colorName", "shapeName", "frequency", "angle"}));
            EXPECT_FALSE(entry.Find("colorName")->text.empty());
            ExpectFloat(*entry.Find("frequency"));
            ExpectFloat(*entry.Find("angle"));
        }

        // As applied: each ink's levels carry the record's weights, its screen the entry's
        // frequency and angle as near as the tile allows.
        const JsonValue* applied = json.Find("applied");
        ASSERT_NE(applied, nullptr);
        const JsonValue& appliedInks = *applied->Find("inks");
        ASSERT_EQ(appliedInks.items.size(), static_cast<std::size_t>(inks));
        for (int i = 0; i < inks; ++i) {
            const JsonValue& ink = appliedInks.items[static_cast<std::size_t>(i)];
            EXPECT_EQ(ink.Find("amounts")->items[1].text, weights.items[i].items[0].text);
            const JsonValue& entry = entries.items[static_cast<std::size_t>(i)];
            EXPECT_EQ(ink.Find("name")->text, entry.Find("colorName")->text);
            const JsonValue& screen = *ink.Find("screen");
            EXPECT_NEAR(screen.Find("frequency")->number, entry.Find("frequency")->number,
                        0.02 * entry.Find("frequency")->number);
            EXPECT_NEAR(screen.Find("angle")->number, entry.Find("angle")->number, 0.5);
        }
    }
}

TEST_F(QueryTest, ParamsFollowTheConfigurationRoot) {
    // An empty root has no files: the driver falls back to its default screens and says so
    // on stderr, never on stdout.
    const ToolResult result = Run({"params", "--model", "CP52", "--manufacturer", "Nobody",
                                   "--config-root", File("empty-root")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    JsonValue json;
    std::string error;
    ASSERT_TRUE(ParseJson(result.out, json, error)) << error << result.out;
    const JsonValue* screening = json.Find("screening");
    ASSERT_NE(screening, nullptr);
    EXPECT_EQ(screening->Find("count")->text, "8");
    EXPECT_EQ(screening->Find("entries")->items[0].Find("shapeName")->text, "Diamond");
    EXPECT_EQ(screening->Find("entries")->items[0].Find("frequency")->text, "55.0");
    EXPECT_EQ(json.Find("dither")->Find("result")->text, "0");
}

TEST_F(QueryTest, EncipherAndDecipherRoundTrip) {
    const std::string plain = "<RootElement a=\"1\"><Item ColorName=\"Cyan\"/></RootElement>";
    WriteText(File("plain.xml"), plain);
    ASSERT_EQ(Run({"encipher", File("plain.xml"), File("en.xml")}).exitCode, 0);
    const std::vector<uint8_t> enciphered = ReadBytes(File("en.xml"));
    ASSERT_EQ(enciphered.size(), plain.size() + 16);
    EXPECT_EQ(std::string(enciphered.begin(), enciphered.begin() + 8), "TWENXML1");
    ASSERT_EQ(Run({"decipher", File("en.xml"), File("back.xml")}).exitCode, 0);
    const std::vector<uint8_t> back = ReadBytes(File("back.xml"));
    EXPECT_EQ(std::string(back.begin(), back.end()), plain);

    const ToolResult refused = Run({"decipher", File("plain.xml"), File("x.xml")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("ERROR: "), std::string::npos);
    EXPECT_NE(refused.err.find("not an enciphered configuration file"), std::string::npos)
        << refused.err;
}

}  // namespace
}  // namespace tarnwick::test
