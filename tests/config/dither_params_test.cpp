#include "config/dither_params.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config_test_root.h"
#include "platform/message_box.h"
#include "support/message_script.h"

namespace tarnwick {
namespace {

using config_test::Hardware;
using config_test::MakeSetup;
using config_test::TempConfigRoot;

constexpr float kUntouched = -7.0f;

struct Colors {
    Colors(int count, int depth) : entries(count > 0 ? count : 1) {
        for (ColorEntry& e : entries) e.depth = depth;
        list = {count, entries.data(), static_cast<int32_t>(entries.size())};
    }
    std::vector<ColorEntry> entries;
    ColorList list{};
};

DitherParamRecord Untouched() {
    DitherParamRecord record{};
    for (auto& row : record.weights) std::fill(std::begin(row), std::end(row), kUntouched);
    record.antiClogLevel = -1;
    record.noiseLevel = -1.0f;
    return record;
}

// A dither section reached through "Default" at every level above it.
std::string DitherFile(const std::string& ditherBody, const std::string& ditherId = "2,4") {
    return Hardware(
        "<Model ID='Default'><Media ID='Default'><PrintMode ID='Default'><Resolution ID='Default'>"
        "<ColorMode ID='Default'><DitherParams ID='" +
        ditherId + "'>" + ditherBody +
        "</DitherParams></ColorMode></Resolution></PrintMode></Media></Model>");
}

const std::string kTail = "<AntiClogLevel Value='3'/><NoiseLevel Value='0.25'/>";

TEST(DitherDefaults, LevelsAndWeightsFollowTheFirstColorantDepth) {
    struct Case {
        int depth, levels;
        std::vector<float> weights;
        bool noFile;
    };
    const Case cases[] = {
        {1, 2, {1.0f}, false}, {2, 4, {1.0f / 3, 2.0f / 3, 1.0f}, false},
        {6, 64, {}, false},    {7, 64, {}, false},
        {8, 64, {}, true},     {16, 64, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        Colors colors(4, c.depth);
        DitherParamRecord record = Untouched();
        EXPECT_EQ(SetDitherDefaults(colors.list, &record), c.noFile);
        EXPECT_EQ(record.levelCount, c.levels);
        EXPECT_EQ(record.inkCount, 4);
        EXPECT_EQ(record.antiClogLevel, 0);
        EXPECT_EQ(record.noiseLevel, 1.0f);
        for (int ink = 0; ink < 4; ++ink) {
            for (std::size_t l = 0; l < c.weights.size(); ++l) {
                EXPECT_FLOAT_EQ(record.weights[ink][l], c.weights[l]);
            }
            EXPECT_EQ(record.weights[ink][c.levels - 2], 1.0f);
            if (c.levels < 64) {
                EXPECT_EQ(record.weights[ink][c.levels - 1], kUntouched);
            }
        }
        EXPECT_EQ(record.weights[4][0], kUntouched);
    }
}

TEST(DitherDefaults, InkCountIsCappedAtSixteen) {
    Colors colors(20, 1);
    DitherParamRecord record = Untouched();
    SetDitherDefaults(colors.list, &record);
    EXPECT_EQ(record.inkCount, 16);
    EXPECT_EQ(record.weights[15][0], 1.0f);
}

class DitherRead : public ::testing::Test {
  protected:
    // Reads `doc` as the top-level file with a two-level, four-ink record.
    int Read(const std::string& doc, int levelCount = 2, int inkCount = 4) {
        root.WritePlain("Ditherparams.xml", doc);
        Colors colors(inkCount, levelCount == 4 ? 2 : 1);
        record = Untouched();
        SetDitherDefaults(colors.list, &record);
        return LoadDitherParamsWith("CP52", "Tarnwick Imaging", &setup, &record, &colors.list);
    }
    std::vector<std::string> Shown() const {
        std::vector<std::string> texts;
        for (const MessageRequest& r : messages.requests()) texts.push_back(r.text);
        return texts;
    }
    TempConfigRoot root;
    ScopedMessageScript messages;
    PrintSetup setup = MakeSetup("CP52", "Tarnwick Imaging", 1, 0, 0, 0);
    DitherParamRecord record{};
};

TEST_F(DitherRead, ReadsLevelsAntiClogAndNoise) {
    EXPECT_EQ(Read(DitherFile("<Level Value='4'><Weight ColorInk='1' Level='2' Value='0.5'/>"
                              "<Weight ColorInk='default' Level='0' Value='0.1'/></Level>" +
                              kTail),
                   4),
              1);
    EXPECT_FLOAT_EQ(record.weights[1][2], 0.5f);
    EXPECT_FLOAT_EQ(record.weights[0][0], 0.1f);
    EXPECT_FLOAT_EQ(record.weights[1][0], 1.0f / 3);  // named ink: no copy
    EXPECT_EQ(record.antiClogLevel, 3);
    EXPECT_FLOAT_EQ(record.noiseLevel, 0.25f);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(DitherRead, FirstNamedInkRowIsCopiedToUnnamedInks) {
    ASSERT_EQ(Read(DitherFile("<Level Value='4'><Weight ColorInk='Default' Level='0' Value='0.2'/>"
                              "<Weight ColorInk='Default' Level='1' Value='0.6'/>"
                              "<Weight ColorInk='Default' Level='2' Value='0.9'/></Level>" +
                              kTail),
                   4),
              1);
    for (int ink = 0; ink < 4; ++ink) {
        EXPECT_FLOAT_EQ(record.weights[ink][0], 0.2f) << ink;
        EXPECT_FLOAT_EQ(record.weights[ink][2], 0.9f) << ink;
    }
    EXPECT_EQ(record.weights[4][0], kUntouched);  // beyond inkCount

    // The source is the first ink named, not ink 0.
    ASSERT_EQ(Read(DitherFile("<Level Value='2'><Weight ColorInk='2' Level='0' Value='0.4'/>"
                              "<Weight ColorInk='3' Level='0' Value='0.7'/></Level>" +
                              kTail)),
              1);
    EXPECT_FLOAT_EQ(record.weights[0][0], 0.4f);
    EXPECT_FLOAT_EQ(record.weights[1][0], 0.4f);
    EXPECT_FLOAT_EQ(record.weights[3][0], 0.7f);
}

TEST_F(DitherRead, FullTableIsTakenWithoutCopying) {
    // Four children for one level and four inks: nothing is copied, even
    // though ink 3 is never named.
    ASSERT_EQ(Read(DitherFile("<Level Value='2'><Weight ColorInk='0' Level='0' Value='0.3'/>"
                              "<Weight ColorInk='1' Level='0' Value='0.3'/><Note/><Note/></Level>" +
                              kTail)),
              1);
    EXPECT_FLOAT_EQ(record.weights[3][0], 1.0f);
    ASSERT_EQ(Read(DitherFile("<Level Value='2'/>" + kTail)), 1);
    EXPECT_FLOAT_EQ(record.weights[2][0], 1.0f);
}

TEST_F(DitherRead, EachMissingSectionIsShown) {
    const std::string model = "<Model ID='CP52'>";
    struct Case {
        std::string doc;
        const char* shown;
    };
    const Case cases[] = {
        {Hardware("<Model ID='CP52'><Media ID='7'/></Model>"), "Getting media node fails"},
        {Hardware("<Model ID='Other'><Media ID='Default'/></Model>"), "Getting media node fails"},
        {Hardware(model + "<Media ID='1'><PrintMode ID='1'/></Media></Model>"),
         "Getting printmode node fails"},
        {Hardware(model + "<Media ID='1'><PrintMode ID='0'><Resolution ID='1,2'/></PrintMode>"
                          "</Media></Model>"),
         "Getting resolution node fails"},
        {Hardware(model + "<Media ID='1'><PrintMode ID='0'><Resolution ID='0'><ColorMode ID='3'/>"
                          "</Resolution></PrintMode></Media></Model>"),
         "Getting colormode node fails"},
        {DitherFile("", "4"), "Getting ditherparams node fails"},
        {DitherFile("<AntiClogLevel Value='1'/>"), "Getting ditherparams-level node fails"},
        {DitherFile("<Level Value='2'/><NoiseLevel Value='1'/>"),
         "Getting ditherparams-anti clog level node fails"},
        {DitherFile("<Level Value='2'/><AntiClogLevel Value='1'/>"),
         "Getting ditherparams-noise level node fails"},
    };
    std::size_t expected = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(Read(c.doc), 0) << c.shown;
        ASSERT_EQ(Shown().size(), ++expected) << c.shown;
        EXPECT_EQ(Shown().back(), c.shown);
        EXPECT_EQ(messages.requests().back().flags & MB_SETFOREGROUND, MB_SETFOREGROUND);
    }
}

TEST_F(DitherRead, SilentFailures) {
    EXPECT_EQ(Read("<RootElement><Other/></RootElement>"), 0);
    EXPECT_EQ(Read("<RootElement><PrinterHardware>"), 0);
    EXPECT_EQ(Read(DitherFile("<Level Value='4'/>" + kTail)), 0);
    EXPECT_EQ(Read(DitherFile("<Level Value='two'/>" + kTail)), 0);
    EXPECT_TRUE(Shown().empty());

    // A host asking for 256 levels has no record-made defaults; the missing
    // section is expected then.
    root.WritePlain("Ditherparams.xml", DitherFile(kTail, "2"));
    record = Untouched();
    record.levelCount = 256;
    record.inkCount = 1;
    EXPECT_EQ(LoadDitherParamsWith("CP52", "", &setup, &record, nullptr), 0);
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(record.weights[0][0], kUntouched);
}

TEST_F(DitherRead, PartialReadKeepsWhatWasWritten) {
    EXPECT_EQ(Read(DitherFile("<Level Value='2'><Weight ColorInk='0' Level='0' Value='0.5'/>"
                              "</Level><AntiClogLevel Value='9'/>")),
              0);
    EXPECT_FLOAT_EQ(record.weights[2][0], 0.5f);
    EXPECT_EQ(record.antiClogLevel, 9);
    EXPECT_EQ(record.noiseLevel, 1.0f);
}

TEST_F(DitherRead, ModelIdOnlyHasToContainTheName) {
    const std::string section =
        "<Media ID='Default'><PrintMode ID='Default'><Resolution ID='Default'><ColorMode "
        "ID='Default'><DitherParams ID='Default'><Level Value='2'/><AntiClogLevel Value='%'/>"
        "<NoiseLevel Value='0.5'/></DitherParams></ColorMode></Resolution></PrintMode></Media>";
    auto model = [&](const std::string& id, char tag) {
        std::string body = section;
        body.replace(body.find('%'), 1, 1, tag);
        return "<Model ID='" + id + "'>" + body + "</Model>";
    };
    EXPECT_EQ(Read(Hardware(model("Default", '1') + model("CP52-LM", '2') + model("CP52", '3'))),
              1);
    EXPECT_EQ(record.antiClogLevel, 2);
    EXPECT_EQ(Read(Hardware(model("ASBRU_V3C", '1') + model("Default", '4') + model("X", '5'))), 1);
    EXPECT_EQ(record.antiClogLevel, 4);
}

TEST_F(DitherRead, EightBitColorantsReadNoFile) {
    root.WritePlain("Ditherparams.xml", DitherFile("<Level Value='64'/>" + kTail, "Default"));
    Colors colors(4, 8);
    record = Untouched();
    EXPECT_EQ(LoadDitherParamsWith("CP52", "Tarnwick Imaging", &setup, &record, &colors.list), 0);
    EXPECT_EQ(record.levelCount, 64);
    EXPECT_EQ(record.antiClogLevel, 0);  // the file would have made it 3
}

TEST_F(DitherRead, WithoutColorListTheHostRecordSelects) {
    root.WritePlain("Ditherparams.xml",
                    DitherFile("<Level Value='4'><Weight ColorInk='0' Level='1' Value='0.5'/>"
                               "</Level>" +
                               kTail));
    record = Untouched();
    record.levelCount = 4;
    record.inkCount = 2;
    EXPECT_EQ(LoadDitherParamsWith("CP52", "", &setup, &record, nullptr), 1);
    EXPECT_FLOAT_EQ(record.weights[1][1], 0.5f);
    EXPECT_EQ(record.weights[1][0], kUntouched);  // copied from ink 0, never set
    EXPECT_EQ(record.weights[2][1], kUntouched);
}

TEST_F(DitherRead, OtherFileNamesNeedTheEncipheredForm) {
    const std::string doc = DitherFile("<Level Value='2'/>" + kTail);
    Colors colors(1, 1);
    record = Untouched();
    SetDitherDefaults(colors.list, &record);
    EXPECT_EQ(
        ReadDitherParams(AFilePath(root.WritePlain("model.xml", doc).c_str()), &setup, &record), 0);
    EXPECT_EQ(ReadDitherParams(AFilePath(root.WriteEnciphered("model.xml", doc).c_str()), &setup,
                               &record),
              1);
    EXPECT_EQ(ReadDitherParams(AFilePath(root.Path("").c_str()), &setup, &record), 0);
    EXPECT_TRUE(Shown().empty());
}

}  // namespace
}  // namespace tarnwick
