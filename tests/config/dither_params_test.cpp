// Dither and screening parameters: the defaults, and the cases of
// param_cases.txt read in the C locale and again under a decimal comma.
#include "config/dither_params.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/screening_params.h"
#include "config_test_root.h"
#include "platform/message_box.h"
#include "support/comma_locale.h"
#include "support/message_script.h"

namespace tarnwick {
namespace {

using config_test::Hardware;
using config_test::MakeSetup;
using config_test::Split;
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

// The table's numbers, read the same in every locale.
float Num(const std::string& text) {
    float value = 0;
    EXPECT_EQ(std::from_chars(text.data(), text.data() + text.size(), value).ec, std::errc{})
        << text;
    return value;
}

// Reads one case line of the table against a fresh configuration root.
void RunCase(const std::vector<std::string>& column) {
    TempConfigRoot root;
    ScopedMessageScript messages;
    std::vector<std::string> call = Split(column[1], ' ');
    std::string model = "CP52", house = "Tarnwick Imaging";
    int media = call[0] == "screen" ? 0 : 1;
    bool withSetup = true;
    for (std::size_t i = call[0] == "screen" ? 1 : 3; i < call.size(); ++i) {
        const std::string& word = call[i];
        const std::string value = word.substr(word.find('=') + 1);
        if (word == "nosetup") withSetup = false;
        if (word.starts_with("model=")) model = value == "-" ? "" : value;
        if (word.starts_with("house=")) house = value == "-" ? "" : value;
        if (word.starts_with("media=")) media = std::stoi(value);
    }
    const PrintSetup setup = MakeSetup(model.c_str(), house.c_str(), media, 0, 0, 0);
    DitherParamRecord dither = Untouched();
    auto screens = std::make_unique<ScreeningRecord>();
    std::memset(screens.get(), 0x5A, sizeof(ScreeningRecord));
    int result = -1;
    if (call[0] == "screen") {
        root.WritePlain("ScreeningParams.xml", column[2]);
        result = LoadScreeningParamsWith(screens.get(), withSetup ? &setup : nullptr);
    } else if (call[0] == "defaults") {
        Colors colors(std::stoi(call[2]), std::stoi(call[1]));
        result = SetDitherDefaults(colors.list, &dither) ? 1 : 0;
    } else if (call[0] == "dither") {
        root.WritePlain("Ditherparams.xml", column[2]);
        Colors colors(std::stoi(call[2]), std::stoi(call[1]));
        SetDitherDefaults(colors.list, &dither);
        result = LoadDitherParamsWith(model.c_str(), house.c_str(), &setup, &dither, &colors.list);
    } else {
        root.WritePlain("Ditherparams.xml", column[2]);
        dither.levelCount = std::stoi(call[1]);
        dither.inkCount = std::stoi(call[2]);
        result = LoadDitherParamsWith(model.c_str(), "", &setup, &dither, nullptr);
    }
    EXPECT_EQ(std::to_string(result), column[3]);
    std::vector<std::string> shown;
    for (const MessageRequest& r : messages.requests()) {
        shown.push_back(r.text);
        EXPECT_EQ(r.flags & MB_SETFOREGROUND, MB_SETFOREGROUND);
    }
    EXPECT_EQ(shown, column[4] == "-" ? std::vector<std::string>{} : Split(column[4], ';'));
    if (column.size() < 6 || column[5].empty()) return;
    for (const std::string& check : Split(column[5], ';')) {
        SCOPED_TRACE(check);
        const std::string key = check.substr(0, check.find('='));
        const std::string value = check.substr(check.find('=') + 1);
        const int n = key.find_first_of("0123456789") == std::string::npos
                          ? 0
                          : std::stoi(key.substr(key.find_first_of("0123456789")));
        const ScreenEntry& e = screens->entries[n];
        if (key[0] == 'w') {
            const float w = dither.weights[n][std::stoi(key.substr(key.find('.') + 1))];
            if (value == "u") {
                EXPECT_EQ(w, kUntouched);
            } else {
                EXPECT_FLOAT_EQ(w, Num(value));
            }
        } else if (key == "levels") {
            EXPECT_EQ(dither.levelCount, std::stoi(value));
        } else if (key == "inks") {
            EXPECT_EQ(dither.inkCount, std::stoi(value));
        } else if (key == "anticlog") {
            EXPECT_EQ(dither.antiClogLevel, std::stoi(value));
        } else if (key == "noise") {
            EXPECT_FLOAT_EQ(dither.noiseLevel, Num(value));
        } else if (key == "count") {
            EXPECT_EQ(screens->count, std::stoi(value));
        } else if (key.starts_with("color")) {
            EXPECT_EQ(std::string(e.colorName), value);
        } else if (key.starts_with("shape")) {
            EXPECT_EQ(std::string(e.shapeName), value);
        } else if (key.starts_with("angle")) {
            EXPECT_FLOAT_EQ(e.angle, Num(value));
        } else if (key.starts_with("freq")) {
            EXPECT_FLOAT_EQ(e.frequency, Num(value));
        } else if (key.starts_with("host")) {  // the bytes after the names are the host's
            const std::size_t color = e.colorName[0] == 0x5A ? 0 : std::strlen(e.colorName) + 1;
            EXPECT_EQ(e.colorName[color], 0x5A);
            EXPECT_EQ(e.shapeName[e.shapeName[0] == 0x5A ? 0 : std::strlen(e.shapeName) + 1], 0x5A);
        } else {
            ADD_FAILURE() << "unknown check";
        }
    }
}

void RunCaseTable() {
    EXPECT_GE(config_test::ForEachCase("param_cases.txt",
                                       [](std::vector<std::string>& column) {
                                           ASSERT_GE(column.size(), 5u);
                                           SCOPED_TRACE(column[0]);
                                           RunCase(column);
                                       }),
              34);
}

TEST(ParamFiles, CaseTable) {
    RunCaseTable();
}

// Numbers in the files are written with a decimal point whatever the host's locale.
using ParamFilesUnderCommaLocale = test::CommaLocaleTest;
TEST_F(ParamFilesUnderCommaLocale, CaseTable) {
    RunCaseTable();
}

TEST(DitherDefaults, OtherFileNamesNeedTheEncipheredForm) {
    TempConfigRoot root;
    ScopedMessageScript messages;
    const PrintSetup setup = MakeSetup("CP52", "Tarnwick Imaging", 1, 0, 0, 0);
    const std::string doc = Hardware(
        "<Model ID='Default'><Media ID='Default'><PrintMode ID='Default'><Resolution "
        "ID='Default'><ColorMode ID='Default'><DitherParams ID='2,4'><Level Value='2'/>"
        "<AntiClogLevel Value='3'/><NoiseLevel Value='0.25'/></DitherParams></ColorMode>"
        "</Resolution></PrintMode></Media></Model>");
    Colors colors(1, 1);
    DitherParamRecord record = Untouched();
    EXPECT_FALSE(SetDitherDefaults(colors.list, nullptr));  // no record: nothing to fill
    SetDitherDefaults(colors.list, &record);
    const auto read = [&](const std::string& path) {
        return ReadDitherParams(AFilePath(path.c_str()), &setup, &record);
    };
    EXPECT_EQ(read(root.WritePlain("model.xml", doc)), 0);
    EXPECT_EQ(read(root.WriteEnciphered("model.xml", doc)), 1);
    EXPECT_EQ(read(root.Path("")), 0);
    EXPECT_TRUE(messages.requests().empty());
}

}  // namespace
}  // namespace tarnwick
