#include "config_test_root.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <span>
#include <sstream>
#include <stdexcept>

#include "config/fixed_text.h"
#include "host/xml_cipher.h"

namespace tarnwick::config_test {
namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& path, std::span<const uint8_t> bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

TempConfigRoot::TempConfigRoot()
    : m_root(m_dir.path()), m_rootVariable("TARNWICK_ROOT", m_dir.path()) {
    fs::create_directories(m_root / "OutputDrivers");
}

std::string TempConfigRoot::Path(std::string_view relative) const {
    return (m_root / "OutputDrivers" / relative).string();
}

std::string TempConfigRoot::WritePlain(std::string_view relative, std::string_view text) const {
    const std::string path = Path(relative);
    WriteBytes(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    return path;
}

std::string TempConfigRoot::WriteEnciphered(std::string_view relative,
                                            std::string_view text) const {
    const std::string path = Path(relative);
    WriteBytes(path, EncipherXml({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
    return path;
}

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

std::string Hardware(std::string_view body) {
    return "<RootElement><PrinterHardware>" + std::string(body) +
           "</PrinterHardware></RootElement>";
}

std::vector<std::string> Split(const std::string& s, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, separator);) {
        const auto first = part.find_first_not_of(' ');
        part = first == std::string::npos
                   ? ""
                   : part.substr(first, part.find_last_not_of(' ') - first + 1);
        if (part.size() >= 2 && part.front() == '"' && part.back() == '"') {
            part = part.substr(1, part.size() - 2);
        }
        parts.push_back(part);
    }
    if (!s.empty() && s.back() == separator) parts.emplace_back();
    return parts;
}

namespace {

std::string Expand(std::string line, const std::map<std::string, std::string>& defines) {
    for (bool again = true; again;) {
        again = false;
        for (const auto& [name, text] : defines) {
            for (auto at = line.find(name); at != std::string::npos; at = line.find(name)) {
                line.replace(at, name.size(), text);
                again = true;
            }
        }
    }
    static const std::regex repeat(R"(\{(\d+)\*([^}]*)\})"), byte(R"(\\x([0-9A-Fa-f]{2}))");
    for (std::smatch m; std::regex_search(line, m, repeat);) {
        std::string copies;
        for (int i = 0; i < std::stoi(m[1]); ++i) {
            copies += std::regex_replace(m[2].str(), std::regex("#"), std::to_string(i));
        }
        line.replace(m.position(), m.length(), copies);
    }
    for (std::smatch m; std::regex_search(line, m, byte);) {
        line.replace(m.position(), m.length(), 1, static_cast<char>(std::stoi(m[1], nullptr, 16)));
    }
    return line;
}

}  // namespace

int ForEachCase(const char* name, const std::function<void(std::vector<std::string>&)>& each) {
    const auto file = fs::path(__FILE__).parent_path() / name;
    std::ifstream in(file);
    EXPECT_TRUE(in) << file;
    std::map<std::string, std::string> defines;
    int count = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.starts_with("define ")) {
            const auto space = line.find(' ', 7);
            defines["{" + line.substr(7, space - 7) + "}"] = line.substr(space + 1);
            continue;
        }
        std::vector<std::string> columns = Split(Expand(line, defines), '|');
        SCOPED_TRACE(line.substr(0, 100));
        each(columns);
        ++count;
    }
    return count;
}

}  // namespace tarnwick::config_test
