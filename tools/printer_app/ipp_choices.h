// How a model's driver answers become IPP attributes, and how a job's IPP attributes become the
// driver's choices: the colour mode, the print mode at the page's resolution and the
// "DriverOption<i>=<v>" pairs of the settings record. One mapping, used both to describe the
// printer and to read its jobs, so the two cannot disagree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model_description.h"

namespace tarnwick::app {

// A text as an IPP keyword: lower case, every run of other characters one "-".
std::string Keyword(const std::string& text);

// The print mode and ink set choosers, then one attribute per driver option (index i of the
// options is attribute i + kFirstOptionAttribute), then the record's settings that only the
// options page offers (crop marks on the models that draw them, the driver options switch).
inline constexpr std::size_t kFirstOptionAttribute = 2;
std::vector<VendorAttribute> VendorAttributes(const ModelDescription& model);

// name -> keyword of vendor attributes.
using VendorValues = std::vector<std::pair<std::string, std::string>>;

// What vendor values ask of the settings record.
struct SettingsChoice {
    std::vector<std::string> optionPairs;  // "DriverOption<i>=<v>", for the driver to apply
    std::vector<std::pair<uint8_t PrinterSettings::*, uint8_t>> fields;  // set as they are
};

// Nothing, with error set, when a value is not one of its attribute's; names that are not the
// model's attributes are left alone.
std::optional<SettingsChoice> ChooseSettings(const ModelDescription& model,
                                             const VendorValues& values, std::string& error);
void ApplySettings(ABasePrinterDriver& driver, const ModelDescription& model,
                   const SettingsChoice& choice, SettingsArea& area);
// The record as vendor values of its settings: for a driver option, the menu value the driver
// turns into the record's own (a value outside every menu is left out).
VendorValues SettingsValues(ABasePrinterDriver& driver, const ModelDescription& model,
                            const SettingsArea& area);

// What a job asks for, in IPP terms.
struct JobRequest {
    bool monochrome = false;
    int quality = 4;  // IPP print-quality: 3 draft, 4 normal, 5 high
    int dpiX = 0;     // the page's resolution
    int dpiY = 0;
    // The vendor attributes the job (or the printer's defaults) gave.
    VendorValues vendor;
};

struct DriverChoice {
    int32_t colorMode = 0;
    int32_t printMode = 0;
    int32_t resolution = 0;  // the driver's resolution id
    SettingsChoice settings;
};

// Nothing, with error set, when the model cannot print the request (a resolution none of its
// print modes has, an unknown value).
std::optional<DriverChoice> ChooseForJob(const ModelDescription& model, const JobRequest& request,
                                         std::string& error);

}  // namespace tarnwick::app
