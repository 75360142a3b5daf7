// The configuration files: which file answers a setup, what FindChildById picks and what the
// glossary says (lookup_cases.txt); dither and screening parameters (param_cases.txt, read in
// the C locale and again under a decimal comma); and the sample tree shipped in data/.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "config/dither_params.h"
#include "config/find_child_by_id.h"
#include "config/fixed_text.h"
#include "config/glossary.h"
#include "config/param_file_lookup.h"
#include "config/screening_params.h"
#include "config/text_compare.h"
#include "host/xml_cipher.h"
#include "platform/message_box.h"
#include "rtl/text_table.h"
#include "support/comma_locale.h"
#include "support/message_script.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// A fresh configuration root with an "OutputDrivers" folder, made the root through
// TARNWICK_ROOT for the life of the object. Paths are relative to OutputDrivers.
class TempConfigRoot {
  public:
    TempConfigRoot() { fs::create_directories(Path("")); }
    std::string Path(const std::string& relative) const {
        return (fs::path(m_dir.path()) / "OutputDrivers" / relative).string();
    }
    std::string Write(const std::string& relative, const std::string& text, bool cipher) const {
        const std::string path = Path(relative);
        fs::create_directories(fs::path(path).parent_path());
        const std::vector<uint8_t> bytes =
            cipher ? EncipherXml({reinterpret_cast<const uint8_t*>(text.data()), text.size()})
                   : std::vector<uint8_t>(text.begin(), text.end());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }

  private:
    test::TempDir m_dir;
    test::ScopedEnv m_rootVariable{"TARNWICK_ROOT", m_dir.path()};
};

PrintSetup MakeSetup(const char* model, const char* manufacturer, int media, int printMode,
                     int resolution, int colorMode) {
    PrintSetup setup{};
    CopyFixedText(setup.modelName, model);
    CopyFixedText(setup.manufacturerName, manufacturer);
    setup.media = media;
    setup.printMode = printMode;
    setup.resolution = resolution;
    setup.colorMode = colorMode;
    return setup;
}

// Splits at `separator` and trims each part; a part in double quotes keeps its blanks.
std::vector<std::string> Split(const std::string& s, char separator) {
    std::vector<std::string> parts;
    if (!s.empty()) parts = test::Split(s, separator);
    for (std::string& part : parts) {
        part.erase(0, part.find_first_not_of(' '));
        part.erase(part.find_last_not_of(' ') + 1);
        if (part.size() >= 2 && part.front() == '"' && part.back() == '"') {
            part = part.substr(1, part.size() - 2);
        }
    }
    return parts;
}

// Calls `each` with the columns of every case line of the table `name`, after "define NAME
// text" lines; {NAME} stands for its text, {N*text} for N copies of text (with '#' the copy's
// number) and \xNN for a byte.
int ForEachCase(const char* name, const std::function<void(std::vector<std::string>&)>& each) {
    std::ifstream in(fs::path(__FILE__).parent_path() / name);
    EXPECT_TRUE(in) << name;
    std::map<std::string, std::string> defines;
    // A define may use those before it, so one pass over them expands any line.
    const auto expand = [&defines](std::string text) {
        for (const auto& [key, value] : defines) {
            for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
                text.replace(at, key.size(), value);
            }
        }
        return text;
    };
    int count = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.starts_with("define ")) {
            const auto space = line.find(' ', 7);
            defines["{" + line.substr(7, space - 7) + "}"] = expand(line.substr(space + 1));
            continue;
        }
        SCOPED_TRACE(line.substr(0, 100));
        line = expand(line);
        static const std::regex repeat(R"(\{(\d+)\*([^}]*)\})"), byte(R"(\\x([0-9A-Fa-f]{2}))");
        for (std::smatch m; std::regex_search(line, m, repeat);) {
            std::string copies;
            for (int i = 0; i < std::stoi(m[1]); ++i) {
                copies += std::regex_replace(m[2].str(), std::regex("#"), std::to_string(i));
            }
            line.replace(m.position(), m.length(), copies);
        }
        for (std::smatch m; std::regex_search(line, m, byte);) {
            line.replace(m.position(), m.length(), 1, char(std::stoi(m[1], nullptr, 16)));
        }
        std::vector<std::string> columns = Split(line, '|');
        each(columns);
        ++count;
    }
    return count;
}

const char* Arg(const std::string& text) {
    return text == "(null)" ? nullptr : text.c_str();
}

std::string Pick(const std::string& children, int wanted) {
    AXMLTree tree("RootElement");
    EXPECT_NE(tree.loadXML(("<RootElement>" + children + "</RootElement>").c_str(), 1), 0);
    AXMLTreeNode root, found;
    EXPECT_NE(tree.getRootNode(root), 0);
    if (!FindChildById(tree, root, "S", wanted, found)) return "none";
    return tree.getAttribute(found, "Tag").c_str();
}

TEST(ConfigLookup, CaseTable) {
    std::optional<TempConfigRoot> root;
    std::optional<test::ScopedEnv> sample;
    // The glossary's language is LANG's alone.
    test::ScopedEnv language("LANGUAGE", nullptr), all("LC_ALL", nullptr),
        messages("LC_MESSAGES", nullptr);
    std::optional<test::ScopedEnv> lang;
    std::string drivers;
    const int steps = ForEachCase("lookup_cases.txt", [&](auto& column) {
        const std::string op = column[0].substr(0, column[0].find(' '));
        const auto rest = Split(column[0].substr(op.size()), '|');  // the first argument, trimmed
        column[0] = rest.empty() ? "" : rest[0];
        if (op == "root" || op == "data") {
            sample.reset();
            root.reset();
            ClearGlossaryCache();
            if (op == "data") sample.emplace("TARNWICK_ROOT", TARNWICK_SOURCE_DATADIR);
            if (op == "root") root.emplace();
            drivers = root ? root->Path("") : TARNWICK_SOURCE_DATADIR "/OutputDrivers/";
            return;
        }
        column.resize(std::max<std::size_t>(column.size(), 5));  // a missing column reads ""
        AFilePath path("/base");
        if (op == "plain" || op == "cipher") {
            root->Write(column[0], column[1], op == "cipher");
        } else if (op == "dither" || op == "screen") {
            const auto find = op == "dither" ? FindDitherParamsFile : FindScreeningParamsFile;
            EXPECT_EQ(find(Arg(column[0]), Arg(column[1]), path), 1);
            EXPECT_EQ(std::string(path.c_str()), drivers + column[2]);
        } else if (op == "maker") {
            int fromXml = 0;
            EXPECT_EQ(
                LookupManufacturer(root->Path(column[0]).c_str(), column[1].c_str(), path, fromXml),
                std::stoi(column[2]));
            EXPECT_EQ(std::string(path.c_str()) + " " + std::to_string(fromXml),
                      column[3] + " " + column[4]);
        } else if (op == "model") {
            EXPECT_EQ(LookupModelFile(root->Path(column[0]).c_str(), column[1].c_str(), path),
                      std::stoi(column[2]));
            EXPECT_EQ(std::string(path.c_str()), column[3]);
        } else if (op == "hardware") {
            EXPECT_EQ(HasPrinterHardware(root->Path(column[0]).c_str()), std::stoi(column[1]));
        } else if (op == "pick") {
            EXPECT_EQ(Pick(column[0], std::stoi(column[1])), column[2]);
        } else if (op == "ids") {
            EXPECT_EQ(IdListContains(column[0], std::stoi(column[1])), column[2] == "1");
        } else if (op == "cmp") {
            const int sign = AsciiCaseCompare(Arg(column[0]), Arg(column[1]));
            const std::string got = sign < 0 ? "<" : sign > 0 ? ">" : "=";
            EXPECT_TRUE(column[2] == "!=" ? got != "=" : got == column[2]) << got;
        } else if (op == "lang") {
            lang.emplace("LANG", column[0].c_str());  // the previous value goes first
            ClearGlossaryCache();
        } else {
            ASSERT_EQ(op, "say") << "unknown step";
            EXPECT_EQ(Translate(column[0].c_str()), AString(column[1].c_str()));
        }
    });
    EXPECT_GE(steps, 133);
    ClearGlossaryCache();
}

constexpr float kUntouched = -7.0f;

struct Colors {
    Colors(int count, int depth) : entries(count > 0 ? count : 1) {
        for (ColorEntry& e : entries) e.depth = depth;
        list = {count, entries.data(), static_cast<int32_t>(entries.size())};
    }
    std::vector<ColorEntry> entries;
    ColorList list{};
};

// Reads one case line of param_cases.txt against a fresh configuration root.
void RunParamCase(std::vector<std::string>& column) {
    column.resize(std::max<std::size_t>(column.size(), 6));  // a missing column reads ""
    TempConfigRoot root;
    ScopedMessageScript messages;
    const std::vector<std::string> call = Split(column[1], ' ');
    std::string model = "CP52", house = "Tarnwick Imaging";
    int media = call[0] == "screen" ? 0 : 1;
    bool withSetup = true;
    for (const std::string& word : call) {  // the named words after the call's numbers
        const std::string value = word.substr(word.find('=') + 1);
        if (word == "nosetup") withSetup = false;
        if (word.starts_with("model=")) model = value == "-" ? "" : value;
        if (word.starts_with("house=")) house = value == "-" ? "" : value;
        if (word.starts_with("media=")) media = std::stoi(value);
    }
    const PrintSetup setup = MakeSetup(model.c_str(), house.c_str(), media, 0, 0, 0);
    DitherParamRecord dither{};
    for (auto& row : dither.weights) std::fill(std::begin(row), std::end(row), kUntouched);
    dither.antiClogLevel = -1;
    dither.noiseLevel = -1.0f;
    auto screens = std::make_unique<ScreeningRecord>();
    std::memset(screens.get(), 0x5A, sizeof(ScreeningRecord));
    int result = -1;
    const auto write = [&](const char* name) { root.Write(name, column[2], false); };
    if (call[0] == "screen") {
        write("ScreeningParams.xml");
        result = LoadScreeningParamsWith(screens.get(), withSetup ? &setup : nullptr);
    } else if (call[0] == "file") {
        Colors colors(1, 1);
        SetDitherDefaults(colors.list, &dither);
        const std::string path = call[1] == "folder"
                                     ? root.Path("")
                                     : root.Write("m.xml", column[2], call[1] == "cipher");
        result = ReadDitherParams(AFilePath(path.c_str()), &setup, &dither);
    } else if (call[0] == "host") {
        write("Ditherparams.xml");
        dither.levelCount = std::stoi(call[1]);
        dither.inkCount = std::stoi(call[2]);
        result = LoadDitherParamsWith(model.c_str(), "", &setup, &dither, nullptr);
    } else {
        Colors colors(std::stoi(call[2]), std::stoi(call[1]));
        result = SetDitherDefaults(colors.list, &dither) ? 1 : 0;
        if (call[0] == "dither") {
            write("Ditherparams.xml");
            result =
                LoadDitherParamsWith(model.c_str(), house.c_str(), &setup, &dither, &colors.list);
        }
    }
    EXPECT_EQ(std::to_string(result), column[3]);
    std::vector<std::string> shown;
    for (const MessageRequest& r : messages.requests()) {
        shown.push_back(r.text);
        EXPECT_EQ(r.flags & MB_SETFOREGROUND, MB_SETFOREGROUND);
    }
    EXPECT_EQ(shown, column[4] == "-" ? std::vector<std::string>{} : Split(column[4], ';'));
    for (const std::string& check : Split(column[5], ';')) {
        SCOPED_TRACE(check);
        const std::string key = check.substr(0, check.find('=')),
                          value = check.substr(check.find('=') + 1);
        const auto digit = key.find_first_of("0123456789");
        const std::string name = key.substr(0, digit);
        const int n = digit == std::string::npos ? 0 : std::stoi(key.substr(digit));
        const ScreenEntry& e = screens->entries[n];
        if (name == "color" || name == "shape") {
            EXPECT_EQ(std::string(name == "color" ? e.colorName : e.shapeName), value);
        } else if (name == "host") {  // the bytes after the names are still the host's
            EXPECT_EQ(e.colorName[e.colorName[0] == 0x5A ? 0 : std::strlen(e.colorName) + 1], 0x5A);
            EXPECT_EQ(e.shapeName[e.shapeName[0] == 0x5A ? 0 : std::strlen(e.shapeName) + 1], 0x5A);
        } else {
            const float weight =
                name == "w" ? dither.weights[n][std::stoi(key.substr(key.find('.') + 1))] : 0;
            const std::map<std::string, float> numbers = {{"w", weight},
                                                          {"levels", float(dither.levelCount)},
                                                          {"inks", float(dither.inkCount)},
                                                          {"anticlog", float(dither.antiClogLevel)},
                                                          {"noise", dither.noiseLevel},
                                                          {"count", float(screens->count)},
                                                          {"angle", e.angle},
                                                          {"freq", e.frequency}};
            ASSERT_TRUE(numbers.contains(name));
            float expected = kUntouched;  // "u"; a number reads the same in every locale
            const auto read = std::from_chars(value.data(), value.data() + value.size(), expected);
            EXPECT_TRUE(value == "u" || read.ec == std::errc{}) << value;
            EXPECT_FLOAT_EQ(numbers.at(name), expected);
        }
    }
}

void RunParamTable() {
    EXPECT_GE(ForEachCase("param_cases.txt", RunParamCase), 50);
}

TEST(ParamFiles, CaseTable) {
    RunParamTable();
    EXPECT_FALSE(SetDitherDefaults(Colors(1, 1).list, nullptr));  // no record: nothing to fill
}

// Numbers in the files are written with a decimal point whatever the host's locale.
using ParamFilesUnderCommaLocale = test::CommaLocaleTest;
TEST_F(ParamFilesUnderCommaLocale, CaseTable) {
    RunParamTable();
}

// Every named model of both sample manufacturers gets parameters from its own file, for every
// print mode, colour mode and level count the printer offers.
TEST(SampleTree, EverySetupGetsParameters) {
    test::ScopedEnv sample("TARNWICK_ROOT", TARNWICK_SOURCE_DATADIR);
    ScopedMessageScript messages;
    const auto expect = [](const char* house, const std::string& model, int printMode,
                           int colorMode, int media) {
        SCOPED_TRACE(::testing::Message() << house << " " << model << " mode " << printMode
                                          << " colour " << colorMode << " media " << media);
        // Resolution IDs as the printer class gives them for each print mode.
        const int resolution = model != "CP52-LM" ? printMode : printMode == 0 ? 0 : 1;
        const PrintSetup setup =
            MakeSetup(model.c_str(), house, media, printMode, resolution, colorMode);
        // One- and two-bit colorants alternate so both level counts are read.
        const int inks[] = {4, 1, 6, 6}, depth = 1 + colorMode % 2;
        Colors colors(inks[colorMode], depth);
        DitherParamRecord dither{};
        ASSERT_EQ(LoadDitherParamsWith(model.c_str(), house, &setup, &dither, &colors.list), 1);
        // Read from the file: none of the defaults.
        EXPECT_TRUE(dither.levelCount == 1 << depth && dither.noiseLevel != 1.0f &&
                    dither.antiClogLevel > 0 &&
                    dither.weights[colors.list.count - 1][dither.levelCount - 2] < 1.0f);
        if (colorMode == 2 && media == 1 && std::string(house) == "Fellgate Systems") {
            EXPECT_LT(dither.weights[4][0], dither.weights[0][0] / 2) << "light inks weigh less";
        }
        auto screens = std::make_unique<ScreeningRecord>();
        ASSERT_EQ(LoadScreeningParamsWith(screens.get(), &setup), 1);
        EXPECT_TRUE(screens->count >= 4 && screens->entries[0].frequency != 55.0f);
    };
    for (const char* house : {"Tarnwick Imaging", "Fellgate Systems"}) {
        for (const char* model : {"ASBRU_V3C", "CP52", "CP52-LM", "Coldstream SP-1400C"}) {
            for (int printMode = 0; printMode < (std::string(model) == "CP52-LM" ? 2 : 7);
                 ++printMode) {
                for (int colorMode = 0; colorMode < 4; ++colorMode) {
                    for (int media : {1, 9}) expect(house, model, printMode, colorMode, media);
                }
            }
        }
    }
    for (int colorMode = 0; colorMode < 4; ++colorMode) {
        expect("Unknown House", "CP52", 3, colorMode, 0);
    }
    EXPECT_TRUE(messages.requests().empty());
}

}  // namespace
}  // namespace tarnwick
