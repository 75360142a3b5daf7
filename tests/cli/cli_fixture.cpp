#include "cli/cli_fixture.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tarnwick::test {

void ToolTest::SetUp() {
    if (ToolPath().empty()) {
        GTEST_SKIP() << "TARNWICK_TOOL is not set (ctest sets it to the built tool)";
    }
    m_lockDir = m_dir.file("locks");
    ::mkdir(m_lockDir.c_str(), 0700);
}

ToolEnv ToolTest::Env() const {
    return {{"TARNWICK_ROOT", std::string(TARNWICK_SOURCE_DATADIR)},
            {"TARNWICK_LOCK_DIR", m_lockDir},
            {"TARNWICK_VIRTUAL_CLOCK", std::nullopt},
            {"TARNWICK_MESSAGE_ANSWER", std::nullopt}};
}

std::vector<std::string> ToolTest::Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.front() == '.') names.push_back(name);
    }
    return names;
}

ToolResult ToolTest::Run(const std::vector<std::string>& args, const ToolEnv& extra) const {
    ToolEnv env = Env();
    for (const auto& [name, value] : extra) env[name] = value;
    return RunTool(args, env);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void WritePbm(const std::string& path, int width, int height,
              const std::function<bool(int x, int y)>& dot) {
    const std::string header =
        "P4\n# test plane\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    const int rowBytes = (width + 7) / 8;
    for (int y = 0; y < height; ++y) {
        std::vector<uint8_t> row(static_cast<std::size_t>(rowBytes), 0);
        for (int x = 0; x < width; ++x) {
            if (dot(x, y))
                row[static_cast<std::size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    WriteBytes(path, bytes);
}

void WritePpm(const std::string& path, int width, int height,
              const std::function<uint32_t(int x, int y)>& rgb) {
    const std::string header =
        "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = rgb(x, y);
            bytes.push_back(static_cast<uint8_t>(c >> 16));
            bytes.push_back(static_cast<uint8_t>(c >> 8));
            bytes.push_back(static_cast<uint8_t>(c));
        }
    }
    WriteBytes(path, bytes);
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

bool EndsWith(const std::vector<uint8_t>& bytes, const std::string& tail) {
    return bytes.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(),
                      bytes.end() - static_cast<std::ptrdiff_t>(tail.size()));
}

}  // namespace tarnwick::test
