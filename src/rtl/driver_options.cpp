// The option definition string shown by the host, and the user's choices
// ("DriverOption<index>=<value>" pairs) applied back to the settings record.
#include <array>
#include <cstring>
#include <string>

#include "host/kv_log.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/rtl_log.h"

namespace tarnwick {
namespace {

struct DriverOption {
    const char* entry;                // "label:value,value,...;"
    uint8_t PrinterSettings::*field;  // where the chosen index goes
    bool namedOnly;                   // offered by named-option models only
};

// The position in this table is the option index the host sends back.
constexpr DriverOption kDriverOptions[] = {
    {"Cut sheet after printing:No,Yes;", &PrinterSettings::cutSheet, false},
    {"Overprint:1,2,3;", &PrinterSettings::overprint, false},
    {"Print Direction:Unidirectional,Bidirectional;", &PrinterSettings::printDirection, false},
    {"Page Spacing:None,10 mm,20 mm,30 mm,40 mm,50 mm,60 mm,70 mm,80 mm,90 mm,100 mm;",
     &PrinterSettings::pageSpacing, false},
    {"Media Feed Calibration:Off,On;", &PrinterSettings::mediaFeedCalibration, false},
    {"Color Bar:None,Pure Color,Mixed Color;", &PrinterSettings::colorBar, false},
    {"Dry Time:None,1 min,3 min,5 min,7 min,10 min,15 min;", &PrinterSettings::dryTime, true},
    {"Advance After Print:No,Yes;", &PrinterSettings::advanceAfterPrint, true},
};
constexpr int kOptionCount = static_cast<int>(std::size(kDriverOptions));

constexpr uint8_t kNotGiven = 255;
// The host's buffer for the option string, terminating zero included.
constexpr std::size_t kOptionStringSize = 1024;

}  // namespace

int RTL::GetDriverOptionString(char* out, const char* model) {
    if (out == nullptr) return 0;
    const bool named = HasNamedOptions(model);
    std::string entries;
    std::array<uint8_t, kOptionCount> defaults{};
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

int RTL::ApplyDriverOptions(const char* text, uint8_t* settings, const char* model) {
    m_pSettings = reinterpret_cast<PrinterSettings*>(settings);
    if (m_pSettings == nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("ApplyDriverOptions without a settings record");
        return 0;
    }
    std::array<uint8_t, kOptionCount> values;
    values.fill(kNotGiven);
    if (text != nullptr) ParseDriverOptionPairs(text, values.data(), kOptionCount);
    const bool named = HasNamedOptions(model);
    for (int i = 0; i < kOptionCount; ++i) {
        const DriverOption& option = kDriverOptions[i];
        if (values[i] == kNotGiven || (option.namedOnly && !named)) continue;
        m_pSettings->*option.field = values[i];
    }
    return 1;
}

}  // namespace tarnwick
