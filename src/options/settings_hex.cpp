#include "options/settings_hex.h"

#include <cstring>

namespace tarnwick {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

std::optional<SettingsArea> ParseSettingsHex(std::string_view text, std::string& error) {
    SettingsArea area;
    std::memset(&area, 0, sizeof area);
    auto* bytes = reinterpret_cast<uint8_t*>(&area);
    std::size_t count = 0;
    int high = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsBlank(c)) continue;
        const int digit = HexDigit(c);
        if (digit < 0) {
            error = "settings: not a hex digit at position " + std::to_string(i);
            return std::nullopt;
        }
        if (high < 0) {
            high = digit;
            continue;
        }
        if (count == kSettingsAreaSize) {
            error = "settings: more than " + std::to_string(kSettingsAreaSize) + " bytes";
            return std::nullopt;
        }
        bytes[count++] = static_cast<uint8_t>(high * 16 + digit);
        high = -1;
    }
    if (high >= 0) {
        error = "settings: odd number of hex digits";
        return std::nullopt;
    }
    if (count == 0) {
        error = "settings: no bytes given";
        return std::nullopt;
    }
    return area;
}

std::string FormatSettingsHex(const PrinterSettings& settings) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const uint8_t*>(&settings);
    std::string text;
    text.reserve(sizeof settings * 2);
    for (std::size_t i = 0; i < sizeof settings; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace tarnwick
