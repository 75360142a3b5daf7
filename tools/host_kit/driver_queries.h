// The questions the tool asks the driver, each through its slot, with the host's records set up
// the way the driver expects them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tarnwick/printer_driver.h"

namespace tarnwick::hostkit {

// A zero-filled setup naming the model (and manufacturer); the text field stays null.
PrintSetup MakeSetup(const std::string& model, const std::string& manufacturer = {});

// Slot 41 on a record whose tag is not 24: the driver's default settings.
SettingsArea DefaultSettings(ABasePrinterDriver& driver);

// Slot 9 with "DriverOption<i>=<v>" pairs, applied to area.
void ApplyDriverOptions(ABasePrinterDriver& driver, const std::string& model,
                        const std::vector<std::string>& pairs, SettingsArea& area);

// Slot 15 for index 0, 1, ... until the driver has no name.
std::vector<std::string> ColorModeNames(ABasePrinterDriver& driver, const std::string& model);

// Slot 17 with a list of 4096 entries; nothing when the driver does not know the mode.
std::optional<std::vector<ColorEntry>> ColorModeInks(ABasePrinterDriver& driver, int32_t mode);

// Slot 19: the default colour mode's index and name.
int32_t DefaultColorMode(ABasePrinterDriver& driver, const std::string& model, std::string* name);

// Slots 24 and 25.
std::vector<PrintModeEntry> PrintModes(ABasePrinterDriver& driver, const std::string& model);
std::vector<ResolutionEntry> Resolutions(ABasePrinterDriver& driver, const std::string& model,
                                         int32_t printMode);

// Slot 13.
std::string DriverOptionString(ABasePrinterDriver& driver, const std::string& model);

// One option of the options page: its label, the value the driver chose by default and its
// menu, in the order of the option's values.
struct OptionMenu {
    std::string label;
    int defaultValue = 0;
    std::vector<std::string> values;
};

// "Label:default,value,value,...;" per option, in index order; an entry without a label is
// skipped.
std::vector<OptionMenu> OptionMenus(const std::string& definition);

}  // namespace tarnwick::hostkit
