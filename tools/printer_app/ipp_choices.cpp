#include "ipp_choices.h"

#include <cctype>
#include <cstring>

#include "host_kit/driver_queries.h"
#include "rtl/printer_models.h"

namespace tarnwick::app {
namespace {

constexpr const char* kAuto = "auto";

// The record's settings that no option menu of the driver offers, and their keywords for the
// values 0 and 1.
struct RecordSwitch {
    const char* name;
    uint8_t PrinterSettings::*field;
    const char* values[2];
    bool namedModelsOnly;  // the generic printer has no such thing
};
constexpr RecordSwitch kRecordSwitches[] = {
    {"tarnwick-crop-marks", &PrinterSettings::cropMark, {"no", "yes"}, true},
    {"tarnwick-driver-options", &PrinterSettings::driverOptionsOff, {"on", "off"}, false},
};

const VendorAttribute* Find(const std::vector<VendorAttribute>& attributes,
                            const std::string& name) {
    for (const VendorAttribute& attribute : attributes) {
        if (attribute.name == name) return &attribute;
    }
    return nullptr;
}

// The index of value in the attribute's keywords, or -1.
int IndexOf(const VendorAttribute& attribute, const std::string& value) {
    for (std::size_t i = 0; i < attribute.values.size(); ++i) {
        if (attribute.values[i] == value) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

std::string Keyword(const std::string& text) {
    std::string keyword;
    bool gap = false;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            if (gap && !keyword.empty()) keyword += '-';
            keyword += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            gap = false;
        } else {
            gap = true;
        }
    }
    return keyword;
}

std::vector<VendorAttribute> VendorAttributes(const ModelDescription& model) {
    std::vector<VendorAttribute> attributes;
    VendorAttribute printMode{"tarnwick-print-mode", {kAuto}, 0};
    for (const PrintModeInfo& mode : model.printModes) {
        const std::string keyword = Keyword(mode.name);
        if (IndexOf(printMode, keyword) < 0) printMode.values.push_back(keyword);
    }
    VendorAttribute inkSet{"tarnwick-ink-set", {kAuto}, 0};
    for (const ColorModeInfo& mode : model.colorModes) inkSet.values.push_back(Keyword(mode.name));
    attributes.push_back(std::move(printMode));
    attributes.push_back(std::move(inkSet));
    for (const hostkit::OptionMenu& menu : model.options) {
        VendorAttribute option{"tarnwick-" + Keyword(menu.label), {}, menu.defaultValue};
        for (const std::string& value : menu.values) option.values.push_back(Keyword(value));
        attributes.push_back(std::move(option));
    }
    const bool named = DetectModelClass(model.model.c_str()) != kModelGeneric;
    for (const RecordSwitch& entry : kRecordSwitches) {
        if (entry.namedModelsOnly && !named) continue;
        const int value = model.defaultSettings.settings.*entry.field != 0 ? 1 : 0;
        attributes.push_back({entry.name, {entry.values[0], entry.values[1]}, value, entry.field});
    }
    return attributes;
}

namespace {

const std::vector<VendorAttribute>& AttributesOf(const ModelDescription& model,
                                                 std::vector<VendorAttribute>& made) {
    if (!model.vendorAttributes.empty()) return model.vendorAttributes;
    made = VendorAttributes(model);
    return made;
}

// The value chosen for each of the model's attributes ("" where none is), or nothing.
std::optional<std::vector<std::string>> Chosen(const std::vector<VendorAttribute>& attributes,
                                               const VendorValues& values, std::string& error) {
    std::vector<std::string> chosen(attributes.size());
    for (const auto& [name, value] : values) {
        const VendorAttribute* attribute = Find(attributes, name);
        if (attribute == nullptr) continue;  // not one of ours
        if (IndexOf(*attribute, value) < 0) {
            error = name + " '" + value + "' is not one of the printer's values";
            return std::nullopt;
        }
        chosen[static_cast<std::size_t>(attribute - attributes.data())] = value;
    }
    return chosen;
}

SettingsChoice SettingsOf(const std::vector<VendorAttribute>& attributes,
                          const std::vector<std::string>& chosen) {
    SettingsChoice choice;
    for (std::size_t i = kFirstOptionAttribute; i < attributes.size(); ++i) {
        if (chosen[i].empty()) continue;
        const int value = IndexOf(attributes[i], chosen[i]);
        if (attributes[i].field != nullptr) {
            choice.fields.emplace_back(attributes[i].field, static_cast<uint8_t>(value));
        } else {
            choice.optionPairs.push_back("DriverOption" +
                                         std::to_string(i - kFirstOptionAttribute) + "=" +
                                         std::to_string(value));
        }
    }
    return choice;
}

}  // namespace

std::optional<SettingsChoice> ChooseSettings(const ModelDescription& model,
                                             const VendorValues& values, std::string& error) {
    std::vector<VendorAttribute> made;
    const std::vector<VendorAttribute>& attributes = AttributesOf(model, made);
    const auto chosen = Chosen(attributes, values, error);
    if (!chosen) return std::nullopt;
    return SettingsOf(attributes, *chosen);
}

void ApplySettings(ABasePrinterDriver& driver, const ModelDescription& model,
                   const SettingsChoice& choice, SettingsArea& area) {
    hostkit::ApplyDriverOptions(driver, model.model, choice.optionPairs, area);
    for (const auto& [field, value] : choice.fields) area.settings.*field = value;
}

VendorValues SettingsValues(ABasePrinterDriver& driver, const ModelDescription& model,
                            const SettingsArea& area) {
    std::vector<VendorAttribute> made;
    const std::vector<VendorAttribute>& attributes = AttributesOf(model, made);
    VendorValues values;
    for (std::size_t i = kFirstOptionAttribute; i < attributes.size(); ++i) {
        const VendorAttribute& attribute = attributes[i];
        for (std::size_t v = 0; v < attribute.values.size(); ++v) {
            bool same = false;
            if (attribute.field != nullptr) {
                same = area.settings.*attribute.field == v;
            } else {
                // The driver alone knows which field an option sets: the value that leaves the
                // record as it is, is the record's.
                SettingsArea trial = area;
                hostkit::ApplyDriverOptions(
                    driver, model.model,
                    {"DriverOption" + std::to_string(i - kFirstOptionAttribute) + "=" +
                     std::to_string(v)},
                    trial);
                same = std::memcmp(&trial.settings, &area.settings, sizeof area.settings) == 0;
            }
            if (!same) continue;
            values.emplace_back(attribute.name, attribute.values[v]);
            break;
        }
    }
    return values;
}

std::optional<DriverChoice> ChooseForJob(const ModelDescription& model, const JobRequest& request,
                                         std::string& error) {
    std::vector<VendorAttribute> made;
    const std::vector<VendorAttribute>& attributes = AttributesOf(model, made);
    const auto given = Chosen(attributes, request.vendor, error);
    if (!given) return std::nullopt;
    const std::vector<std::string>& chosen = *given;

    DriverChoice choice;
    // The ink set named wins; else monochrome asks for the one-ink mode and colour for the
    // driver's default.
    const std::string& inkSet = chosen[1];
    choice.colorMode = model.defaultColorMode;
    if (!inkSet.empty() && inkSet != kAuto) {
        choice.colorMode =
            model.colorModes[static_cast<std::size_t>(IndexOf(attributes[1], inkSet) - 1)].index;
    } else if (request.monochrome && model.MonochromeMode() >= 0) {
        choice.colorMode = model.MonochromeMode();
    }

    // The print mode named, if it prints at the page's resolution; else the modes at that
    // resolution in the driver's order: the first for draft and normal, the last for high.
    const std::string& modeName = chosen[0];
    const PrintModeInfo* mode = nullptr;
    for (const PrintModeInfo& candidate : model.printModes) {
        if (candidate.dpiX != request.dpiX || candidate.dpiY != request.dpiY) continue;
        if (!modeName.empty() && modeName != kAuto) {
            if (Keyword(candidate.name) == modeName) mode = &candidate;
            continue;
        }
        if (mode == nullptr || request.quality >= 5) mode = &candidate;
    }
    if (mode == nullptr) {
        std::string dpis;
        for (const int dpi : model.Resolutions()) {
            dpis += (dpis.empty() ? "" : ", ") + std::to_string(dpi);
        }
        error = model.model + " has no print mode " +
                (modeName.empty() || modeName == kAuto ? std::string() : "'" + modeName + "' ") +
                "at " + std::to_string(request.dpiX) + "x" + std::to_string(request.dpiY) +
                " dpi; it prints at " + dpis + " dpi";
        return std::nullopt;
    }
    choice.printMode = mode->index;
    choice.resolution = mode->resolution;

    choice.settings = SettingsOf(attributes, chosen);
    return choice;
}

}  // namespace tarnwick::app
