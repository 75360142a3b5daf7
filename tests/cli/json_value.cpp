#include "cli/json_value.h"

#include <cstdlib>

namespace tarnwick::test {
namespace {

class Parser {
  public:
    explicit Parser(std::string_view text) : m_text(text) {}

    bool Document(JsonValue& value, std::string& error) {
        if (!Value(value, 0)) {
            error = m_error + " at offset " + std::to_string(m_pos);
            return false;
        }
        Blanks();
        if (m_pos != m_text.size()) {
            error = "text after the value at offset " + std::to_string(m_pos);
            return false;
        }
        return true;
    }

  private:
    void Blanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\n' ||
                                         m_text[m_pos] == '\r' || m_text[m_pos] == '\t')) {
            ++m_pos;
        }
    }

    bool Fail(const char* why) {
        m_error = why;
        return false;
    }

    bool Literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) return Fail("unknown literal");
        m_pos += word.size();
        return true;
    }

    bool Value(JsonValue& value, int depth) {
        if (depth > 64) return Fail("nested too deeply");
        Blanks();
        if (m_pos >= m_text.size()) return Fail("value expected");
        const char c = m_text[m_pos];
        if (c == '{') return Object(value, depth);
        if (c == '[') return Array(value, depth);
        if (c == '"') {
            value.kind = JsonValue::Kind::kString;
            return String(value.text);
        }
        if (c == 't' || c == 'f') {
            value.kind = JsonValue::Kind::kBool;
            value.boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            value.kind = JsonValue::Kind::kNull;
            return Literal("null");
        }
        return Number(value);
    }

    bool Number(JsonValue& value) {
        const std::size_t start = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '-') ++m_pos;
        const auto digits = [&] {
            const std::size_t from = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') ++m_pos;
            return m_pos > from;
        };
        if (!digits()) return Fail("number expected");
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            ++m_pos;
            if (!digits()) return Fail("digits expected after the point");
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) ++m_pos;
            if (!digits()) return Fail("digits expected in the exponent");
        }
        value.kind = JsonValue::Kind::kNumber;
        value.text = std::string(m_text.substr(start, m_pos - start));
        value.number = std::strtod(value.text.c_str(), nullptr);
        return true;
    }

    bool String(std::string& out) {
        ++m_pos;  // the opening quote
        out.clear();
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size()) break;
            const char e = m_text[m_pos++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u': {
                    if (m_pos + 4 > m_text.size()) return Fail("short \\u escape");
                    const std::string hex(m_text.substr(m_pos, 4));
                    m_pos += 4;
                    char* end = nullptr;
                    const long code = std::strtol(hex.c_str(), &end, 16);
                    if (end != hex.c_str() + 4) return Fail("bad \\u escape");
                    // The tool only escapes single bytes; larger code points are kept as '?'.
                    out += code < 0x100 ? static_cast<char>(code) : '?';
                    break;
                }
                default:
                    return Fail("unknown escape");
            }
        }
        return Fail("unterminated string");
    }

    bool Array(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::kArray;
        ++m_pos;
        Blanks();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            value.items.emplace_back();
            if (!Value(value.items.back(), depth + 1)) return false;
            Blanks();
            if (m_pos >= m_text.size()) return Fail("unterminated array");
            const char c = m_text[m_pos++];
            if (c == ']') return true;
            if (c != ',') return Fail("',' or ']' expected");
        }
    }

    bool Object(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::kObject;
        ++m_pos;
        Blanks();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            Blanks();
            if (m_pos >= m_text.size() || m_text[m_pos] != '"') return Fail("member name expected");
            std::string key;
            if (!String(key)) return false;
            Blanks();
            if (m_pos >= m_text.size() || m_text[m_pos++] != ':') return Fail("':' expected");
            value.names.push_back(key);
            value.values.emplace_back();
            if (!Value(value.values.back(), depth + 1)) return false;
            Blanks();
            if (m_pos >= m_text.size()) return Fail("unterminated object");
            const char c = m_text[m_pos++];
            if (c == '}') return true;
            if (c != ',') return Fail("',' or '}' expected");
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == key) return &values[i];
    }
    return nullptr;
}

std::vector<std::string> JsonValue::Keys() const {
    return names;
}

bool ParseJson(std::string_view text, JsonValue& value, std::string& error) {
    value = JsonValue{};
    return Parser(text).Document(value, error);
}

}  // namespace tarnwick::test
