// The printer settings record: defaults, validation, comparison and the
// model class of the job's printer.
#include <string_view>

#include "host/kv_log.h"
#include "rtl/driver_option_table.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/rtl_log.h"
#include "rtl/settings_check.h"

namespace tarnwick {
namespace {

// Bytes whose change means the job must be set up again; the tag, the sheet
// cut and the advance after print are not among them.
constexpr uint8_t PrinterSettings::*kComparedFields[] = {
    &PrinterSettings::mediaFeedCalibration,
    &PrinterSettings::printDirection,
    &PrinterSettings::pageSpacing,
    &PrinterSettings::overprint,
    &PrinterSettings::dryTime,
    &PrinterSettings::cropMark,
    &PrinterSettings::driverOptionsOff,
    &PrinterSettings::reserved10,
    &PrinterSettings::reserved11,
    &PrinterSettings::modelClass,
    &PrinterSettings::colorBar,
};

struct FieldRange {
    std::string_view name;
    uint8_t PrinterSettings::*field;
    int max;
};

// The fields outside the option menus that the driver reads.
constexpr FieldRange kOtherFields[] = {
    {"Crop Mark", &PrinterSettings::cropMark, 1},
    {"Driver Options Off", &PrinterSettings::driverOptionsOff, 1},
    {"Model Class", &PrinterSettings::modelClass, kModelCp52Lm},
};

bool InRange(const PrinterSettings& settings, const FieldRange& range, std::string& error) {
    const uint8_t value = settings.*range.field;
    if (value <= range.max) return true;
    const auto byte = reinterpret_cast<const uint8_t*>(&(settings.*range.field)) -
                      reinterpret_cast<const uint8_t*>(&settings);
    error = std::string(range.name) + " (settings byte " + std::to_string(byte) + ") is " +
            std::to_string(value) + ", out of its range 0 to " + std::to_string(range.max);
    return false;
}

}  // namespace

bool CheckSettingsRecord(const PrinterSettings& settings, std::string& error) {
    if (settings.tag != kDefaultSettings.tag) return true;
    for (const DriverOption& option : kDriverOptions) {
        if (!InRange(settings, {OptionLabel(option), option.field, OptionMaxValue(option)},
                     error)) {
            return false;
        }
    }
    for (const FieldRange& range : kOtherFields) {
        if (!InRange(settings, range, error)) return false;
    }
    return true;
}

void RTL::ResetSettings(PrinterSettings* settings) {
    if (settings == nullptr) return;
    const uint8_t reserved10 = settings->reserved10;
    const uint8_t modelClass = settings->modelClass;
    *settings = kDefaultSettings;
    settings->reserved10 = reserved10;
    settings->modelClass = modelClass;
}

int RTL::ValidateSettings(PrinterSettings* settings) {
    if (settings != nullptr && settings->tag != kDefaultSettings.tag) ResetSettings(settings);
    return 1;
}

int RTL::SettingsDiffer(const PrinterSettings* a, const PrinterSettings* b) {
    if (a == nullptr || b == nullptr) return a != b ? 1 : 0;
    for (const auto field : kComparedFields) {
        if (a->*field != b->*field) return 1;
    }
    return 0;
}

int RTL::IdentifyPrinterModel(PrinterSettings* settings) {
    m_pSettings = settings;
    if (settings == nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("IdentifyPrinterModel without a settings record");
        return 0;
    }
    ValidateSettings(settings);
    const char* model = m_pCtx != nullptr ? m_pCtx->m_szPrinterModel : nullptr;
    settings->modelClass = static_cast<uint8_t>(DetectModelClass(model));
    // A value out of its range is refused where it enters, so the job does not start at all.
    if (std::string why; !CheckSettingsRecord(*settings, why)) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("the job's settings record: %s", why.c_str());
        return 0;
    }
    return 1;
}

}  // namespace tarnwick
