// The option definition string shown by the host, and the user's choices
// ("DriverOption<index>=<value>" pairs) applied back to the settings record.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "host/kv_log.h"
#include "rtl/driver_option_table.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/rtl_log.h"
#include "rtl/settings_check.h"

namespace tarnwick {
namespace {

constexpr uint8_t kNotGiven = 255;
// The host's buffer for the option string, terminating zero included.
constexpr std::size_t kOptionStringSize = 1024;

}  // namespace

int RTL::GetDriverOptionString(char* out, const char* model) {
    if (out == nullptr) return 0;
    const bool named = HasNamedOptions(model);
    std::string entries;
    std::array<uint8_t, kDriverOptionCount> defaults{};
    std::size_t offered = 0;
    for (const DriverOption& option : kDriverOptions) {
        if (option.namedOnly && !named) continue;
        entries += option.entry;
        defaults[offered++] = kDefaultSettings.*option.field;
    }
    // The default index of each entry goes right after its colon.
    std::array<char, kOptionStringSize> text{};
    entries.copy(text.data(), text.size() - 1);
    InsertOptionValues(text.data(), defaults.data());
    text.back() = '\0';
    std::memcpy(out, text.data(), std::strlen(text.data()) + 1);
    return 1;
}

int RTL::ParseDriverOptions(const char* text, uint8_t* out, PrintSetup* setup) {
    if (text == nullptr || out == nullptr) return 1;
    uint8_t bytes[kBinaryOptionBytes] = {};
    const int given = ReadBinaryOptions(text, bytes);
    if (given < 0) return ABaseRTL::ParseDriverOptions(text, out, setup);
    // A text that puts a setting out of its range is refused whole. Only the bytes the text
    // gives are checked: the rest of the record was there before.
    PrinterSettings settings = kDefaultSettings;
    std::memcpy(&settings, bytes, std::min(sizeof settings, static_cast<std::size_t>(given)));
    if (std::string why; !CheckSettingsRecord(settings, why)) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("DriverOptionBinary is refused: settings record: %s", why.c_str());
        return 1;
    }
    std::memcpy(out, bytes, static_cast<std::size_t>(given));
    return 1;
}

int RTL::ApplyDriverOptions(const char* text, uint8_t* settings, const char* model) {
    m_pSettings = reinterpret_cast<PrinterSettings*>(settings);
    if (m_pSettings == nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("ApplyDriverOptions without a settings record");
        return 0;
    }
    std::array<uint8_t, kDriverOptionCount> values;
    values.fill(kNotGiven);
    if (text != nullptr) ParseDriverOptionPairs(text, values.data(), kDriverOptionCount);
    const bool named = HasNamedOptions(model);
    for (int i = 0; i < kDriverOptionCount; ++i) {
        const DriverOption& option = kDriverOptions[i];
        if (values[i] == kNotGiven || (option.namedOnly && !named)) continue;
        // A value past the option's menu would reach the printer as a setting it does not have.
        if (values[i] > OptionMaxValue(option)) {
            const std::string_view label = OptionLabel(option);
            KVLogHelper(kRtlLogSource, __LINE__, 'E')
                .Log("DriverOption%d (%.*s) value %d is refused: out of its range 0 to %d", i,
                     static_cast<int>(label.size()), label.data(), values[i],
                     OptionMaxValue(option));
            continue;
        }
        m_pSettings->*option.field = values[i];
    }
    return 1;
}

}  // namespace tarnwick
