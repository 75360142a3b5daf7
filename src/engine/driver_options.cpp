// Parsers of the option texts the host sends back and the writer of the
// current values into an option definition string.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "engine/abase_rtl.h"
#include "host/c_locale.h"
#include "host/kv_log.h"

namespace tarnwick {
namespace {

constexpr char kSource[] = "PrinterDriver/Common/Xsrc/ABaseRTL";
// An option value is one byte of the settings record.
constexpr int kMaxOptionValue = 255;
constexpr std::size_t kOptionStringMax = 1023;

// Two characters read as one hexadecimal number, exactly as "%x" reads them
// on their own; 0 when they hold no number.
uint8_t HexPair(char high, char low) {
    const char pair[3] = {high, low, '\0'};
    unsigned value = 0;
    if (std::sscanf(pair, "%x", &value) != 1) return 0;
    return static_cast<uint8_t>(value);
}

}  // namespace

int ABaseRTL::ReadBinaryOptions(const char* text, std::span<uint8_t, kBinaryOptionBytes> bytes) {
    const char* binary = std::strstr(text, "DriverOptionBinary");
    if (binary == nullptr) return -1;
    const char* eq = std::strchr(binary, '=');
    if (eq == nullptr) return 0;
    const std::size_t available = std::strlen(eq + 1);
    int given = 0;
    for (; given < kBinaryOptionBytes; ++given) {
        const std::size_t at = 2 * static_cast<std::size_t>(given);
        // The value is read up to the end of the text only.
        if (at >= available) break;
        const char high = eq[1 + at];
        const char low = at + 1 < available ? eq[2 + at] : '\0';
        bytes[static_cast<std::size_t>(given)] = HexPair(high, low);
    }
    return given;
}

int ABaseRTL::ParseDriverOptions(const char* text, uint8_t* out, PrintSetup* setup) {
    if (text == nullptr || out == nullptr) return 1;
    uint8_t bytes[kBinaryOptionBytes] = {};
    const int given = ReadBinaryOptions(text, bytes);
    if (given >= 0) {
        std::memcpy(out, bytes, static_cast<std::size_t>(given));
        return 1;
    }
    ApplyDriverOptions(text, out, setup != nullptr ? setup->modelName : nullptr);
    return 1;
}

int ABaseRTL::ParseDriverOptionPairs(const char* text, uint8_t* out, int n) {
    static constexpr char kKey[] = "DriverOption";
    static constexpr std::size_t kKeyLen = sizeof kKey - 1;
    if (text == nullptr || out == nullptr) return 1;
    const char* p = std::strstr(text, kKey);
    while (p != nullptr) {
        int index = 0;
        if (!ScanIntC(p + kKeyLen, &index)) break;
        const char* eq = std::strchr(p + kKeyLen, '=');
        if (eq == nullptr) break;
        int value = 0;
        if (!ScanIntC(eq + 1, &value)) break;
        if (index < 0 || index >= n) break;
        if (value < 0 || value > kMaxOptionValue) {
            // Cut to a byte it would be another value than the one asked for.
            KVLogHelper(kSource, __LINE__, 'E')
                .Log("DriverOption%d value %d is refused: out of its range 0 to %d", index, value,
                     kMaxOptionValue);
        } else {
            out[index] = static_cast<uint8_t>(value);
        }
        p = std::strstr(eq + 1, kKey);
    }
    return 1;
}

int ABaseRTL::InsertOptionValues(char* text, const uint8_t* values) {
    if (text == nullptr || values == nullptr) return 1;
    std::string result;
    int k = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        result.push_back(*p);
        if (*p == ':') {
            result.push_back(static_cast<char>(values[k++] + '0'));
            result.push_back(',');
        }
    }
    if (result.size() > kOptionStringMax) result.resize(kOptionStringMax);
    std::memcpy(text, result.c_str(), result.size() + 1);
    return 1;
}

}  // namespace tarnwick
