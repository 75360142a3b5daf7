// Text tables run as scripts (commands.txt, hardening/bad_inputs.txt), read by rtl/text_table.h:
// "[Name]" starts a section, run as one test, its lines in order; the lines before the first
// section start every section. "set NAME TEXT [REPEATED COUNT [TAIL]]" gives $NAME to later lines.
#pragma once

#include <map>
#include <sstream>

#include "rtl/text_table.h"
#include "support/job_fixture.h"

namespace tarnwick::test {

struct Script {
    std::string name;
    std::vector<TableRow> rows;
};
inline void PrintTo(const Script& script, std::ostream* out) {
    *out << script.name;
}

inline std::vector<Script> ReadScripts(const char* here, const std::string& name) {
    std::vector<Script> scripts;
    std::vector<TableRow> preamble;
    for (TableRow& row : ReadTable(here, name)) {
        if (row[0][0] == '[') {
            scripts.push_back({row[0].substr(1, row[0].find(']') - 1), preamble});
        } else {
            (scripts.empty() ? preamble : scripts.back().rows).push_back(std::move(row));
        }
    }
    return scripts;
}

// TEXT [REPEATED COUNT [TAIL]] from word `at` on.
inline std::string TextOf(const std::vector<std::string>& w, std::size_t at) {
    std::string text = w.at(at), piece = w.size() > at + 1 ? w[at + 1] : "";
    for (long n = w.size() > at + 2 ? std::stol(w[at + 2]) : 0; n > 0; n >>= 1, piece += piece) {
        if (n & 1) text += piece;  // COUNT in binary: the piece doubles at every digit
    }
    return text + (w.size() > at + 3 ? w[at + 3] : "");
}

// The $NAME values of a running script.
struct ScriptVars {
    std::map<std::string, std::string> values;
    // False when the row is no "set".
    bool Set(const std::vector<std::string>& w) {
        if (w[0] != "set") return false;
        values["$" + w.at(1)] = TextOf(w, 2);
        return true;
    }
    std::vector<std::string> Expand(std::vector<std::string> words) const {
        for (std::string& word : words) {
            // Longer names first, so that $TOP is not read as $T and "OP".
            for (auto v = values.rbegin(); v != values.rend(); ++v) {
                for (std::size_t at = 0; (at = word.find(v->first, at)) != std::string::npos;) {
                    word.replace(at, v->first.size(), v->second);
                    at += v->second.size();
                }
            }
        }
        return words;
    }
};

// A page: WIDTHxHEIGHT[+X+Y]:Ink,Ink...[:blank] (blank: every byte 0).
inline TestPage PageOf(const std::string& word) {
    TestPage page;
    char sign = 0;
    std::istringstream size(word.substr(0, word.find(':')));
    size >> page.width >> sign >> page.height >> page.offsetX >> page.offsetY;
    std::istringstream inks(word.substr(word.find(':') + 1));
    for (std::string ink; std::getline(inks, ink, ',');) {
        page.colorants.push_back({ink.substr(0, ink.find(':'))});
        if (ink.ends_with(":blank")) page.content = [](int, int, int) -> uint8_t { return 0; };
    }
    return page;
}

}  // namespace tarnwick::test
