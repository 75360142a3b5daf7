// Reads the text tables of the rtl, engine, driver and job tests: one case per line, '#' starts a
// comment line, words split at blanks; "..." quotes a word, with the escapes \n, \e (ESC), \",
// \\ and \xHH. A byte list is hex bytes split at blanks, "HH*N" repeating one N times.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tarnwick/records.h"

namespace tarnwick::test {

struct TableRow {
    std::string where;  // file:line, for SCOPED_TRACE
    std::vector<std::string> words;
    const std::string& operator[](std::size_t i) const { return words.at(i); }
    int Int(std::size_t i) const { return std::stoi(words.at(i), nullptr, 0); }
    double Real(std::size_t i) const { return std::stod(words.at(i)); }
};

// The rows of `name` in the folder of `here` (pass __FILE__); fails the test when unreadable.
inline std::vector<TableRow> ReadTable(const char* here, const std::string& name) {
    const auto path = std::filesystem::path(here).parent_path() / name;
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot read " << path;
    std::vector<TableRow> rows;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        TableRow row{name + ":" + std::to_string(number), {}};
        for (std::size_t i = 0; i < line.size();) {
            if (line[i] == ' ' || line[i] == '\t') {
                ++i;
            } else if (line[i] != '"') {
                const std::size_t end = line.find_first_of(" \t", i);
                row.words.push_back(line.substr(i, end - i));
                i = end == std::string::npos ? line.size() : end;
            } else {
                std::string word;
                for (++i; i < line.size() && line[i] != '"'; ++i) {
                    char c = line[i];
                    if (c == '\\' && i + 1 < line.size()) {
                        c = line[++i];
                        if (c == 'x') {
                            c = static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                            i += 2;
                        } else if (c == 'n' || c == 'e') {
                            c = c == 'n' ? '\n' : '\x1b';
                        }
                    }
                    word += c;
                }
                EXPECT_LT(i, line.size()) << row.where << ": unterminated quote";
                ++i;
                row.words.push_back(word);
            }
        }
        if (!row.words.empty() && row.words[0][0] != '#') rows.push_back(std::move(row));
    }
    EXPECT_FALSE(rows.empty()) << path;
    return rows;
}

inline std::vector<uint8_t> HexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::istringstream items(text);
    for (std::string item; items >> item;) {
        const std::size_t star = item.find('*');
        const auto count = star == std::string::npos ? 1 : std::stoul(item.substr(star + 1));
        bytes.insert(bytes.end(), count, static_cast<uint8_t>(std::stoul(item, nullptr, 16)));
    }
    return bytes;
}

// The parts of text between the separators; an empty text is one empty part.
inline std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text + separator);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

// The byte of the settings record a table names by its field name; null for no such field.
inline uint8_t* SettingsField(PrinterSettings& s, const std::string& name) {
    const std::vector<std::string> fields = Split(
        "tag mediaFeedCalibration printDirection pageSpacing overprint cutSheet dryTime cropMark "
        "driverOptionsOff advanceAfterPrint reserved10 reserved11 modelClass colorBar",
        ' ');
    EXPECT_EQ(fields.size(), sizeof(PrinterSettings));
    const auto at = std::find(fields.begin(), fields.end(), name) - fields.begin();
    return at < std::ssize(fields) ? reinterpret_cast<uint8_t*>(&s) + at : nullptr;
}

}  // namespace tarnwick::test
