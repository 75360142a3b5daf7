// A small JSON reader for checking the tool's JSON output. Numbers keep their text, so that tests
// can check how they were written; string escapes other than \" and \\ are kept as written.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::test {

struct JsonValue {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    Kind kind = Kind::kNull;
    double number = 0.0;
    std::string text;  // a string's value, a number or true/false as written
    std::vector<JsonValue> items;
    std::vector<std::string> names;  // an object's member names, in order, naming items[i]

    const JsonValue* Find(std::string_view key) const {
        const auto at = std::find(names.begin(), names.end(), key);
        return at == names.end() ? nullptr : &items[static_cast<std::size_t>(at - names.begin())];
    }
};

namespace json_detail {

inline void Blanks(std::string_view s, std::size_t& at) {
    while (at < s.size() && std::string_view(" \n\r\t").find(s[at]) != std::string_view::npos) ++at;
}

inline bool String(std::string_view s, std::size_t& at, std::string& out) {
    for (++at; at < s.size() && s[at] != '"'; ++at) {
        if (s[at] == '\\' && ++at < s.size() && s[at] != '"' && s[at] != '\\') out += '\\';
        if (static_cast<unsigned char>(s[at]) < 0x20) return false;
        out += s[at];
    }
    return at++ < s.size();
}

inline bool Value(std::string_view s, std::size_t& at, JsonValue& v, int depth) {
    Blanks(s, at);
    if (at >= s.size() || depth > 64) return false;
    const char c = s[at];
    if (c == '"') return v.kind = JsonValue::Kind::kString, String(s, at, v.text);
    if (c == '{' || c == '[') {  // members or elements up to the closing bracket
        v.kind = c == '{' ? JsonValue::Kind::kObject : JsonValue::Kind::kArray;
        const char close = c == '{' ? '}' : ']';
        Blanks(s, ++at);
        if (at < s.size() && s[at] == close) return ++at, true;
        for (;;) {
            Blanks(s, at);
            if (close == '}') {
                v.names.emplace_back();
                if (at >= s.size() || s[at] != '"' || !String(s, at, v.names.back())) return false;
                Blanks(s, at);
                if (at >= s.size() || s[at++] != ':') return false;
            }
            if (!Value(s, at, v.items.emplace_back(), depth + 1)) return false;
            Blanks(s, at);
            if (at >= s.size()) return false;
            if (s[at++] == close) return true;
            if (s[at - 1] != ',') return false;
        }
    }
    for (const std::string_view word : {"true", "false", "null"}) {
        if (s.substr(at, word.size()) == word) {
            v.kind = word == "null" ? JsonValue::Kind::kNull : JsonValue::Kind::kBool;
            v.text = word;
            return at += word.size(), true;
        }
    }
    const std::size_t end = s.find_first_not_of("-+.eE0123456789", at);
    v.text = std::string(s.substr(at, end - at));
    char* stop = nullptr;
    v.number = std::strtod(v.text.c_str(), &stop);
    v.kind = JsonValue::Kind::kNumber;
    at = end == std::string_view::npos ? s.size() : end;
    return !v.text.empty() && *stop == '\0';
}

}  // namespace json_detail

// False when text is not exactly one JSON value (blanks around it allowed).
inline bool ParseJson(std::string_view text, JsonValue& value) {
    std::size_t at = 0;
    if (!json_detail::Value(text, at, value, 0)) return false;
    json_detail::Blanks(text, at);
    return at == text.size();
}

}  // namespace tarnwick::test
