// A small JSON reader for checking the tool's JSON output in tests. Numbers keep their text so
// that tests can check how they were written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::test {

struct JsonValue {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    Kind kind = Kind::kNull;
    bool boolean = false;
    double number = 0.0;
    std::string text;  // a string's value, or a number as written
    std::vector<JsonValue> items;
    // An object's members in document order: names[i] names values[i]. (A vector of pairs
    // would need the complete type.)
    std::vector<std::string> names;
    std::vector<JsonValue> values;

    // The member named key, or null.
    const JsonValue* Find(std::string_view key) const;
    std::vector<std::string> Keys() const;
};

// False with error set when text is not exactly one JSON value (blanks around it allowed).
bool ParseJson(std::string_view text, JsonValue& value, std::string& error);

}  // namespace tarnwick::test
