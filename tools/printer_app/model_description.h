// What the printer application knows of a printer model: only what the driver answers through
// its slots (print modes and their resolutions, colour modes and their inks, the option menus
// and the default settings), gathered once when the application starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host_kit/driver_queries.h"
#include "tarnwick/printer_driver.h"

namespace tarnwick::app {

struct PrintModeInfo {
    int32_t index;
    std::string name;  // e.g. "NORMAL"
    int32_t resolution;
    int dpiX;
    int dpiY;
};

struct ColorModeInfo {
    int32_t index;
    std::string name;  // e.g. "CMYKLcLm"
    std::vector<std::string> inks;
    std::vector<int> depths;  // bits per pixel of each ink's plane
};

// A vendor attribute of a model's IPP printer: "tarnwick-" and a name as a keyword.
struct VendorAttribute {
    std::string name;                 // e.g. "tarnwick-page-spacing"
    std::vector<std::string> values;  // keywords, in the driver's order
    int defaultValue = 0;             // index into values
    // Set for a setting of the record that no option menu of the driver offers (the options page
    // alone sets it): the value's index is the field's value.
    uint8_t PrinterSettings::*field = nullptr;
};

struct ModelDescription {
    std::string model;       // the driver's spelling, e.g. "CP52"
    std::string driverName;  // the application's driver name, e.g. "tarnwick_cp52"
    std::vector<PrintModeInfo> printModes;
    std::vector<ColorModeInfo> colorModes;
    int32_t defaultColorMode = 0;
    std::vector<hostkit::OptionMenu> options;  // index i is "DriverOption<i>"
    SettingsArea defaultSettings{};
    // The vendor attributes of the model's IPP printer (see ipp_choices.h), made once.
    std::vector<VendorAttribute> vendorAttributes;

    // The distinct resolutions of the print modes, lowest first.
    std::vector<int> Resolutions() const;
    // The one-ink (grey) colour mode, or -1.
    int32_t MonochromeMode() const;
    const ColorModeInfo* ColorMode(int32_t index) const;
};

// The application's driver name for a model: "tarnwick_" and the name in lower case, with
// every run of other characters as one "_" ("Coldstream SP-1400C" ->
// "tarnwick_coldstream_sp_1400c").
std::string DriverNameFor(const std::string& model);

// Asks the driver about every model it knows, the generic printer first.
std::vector<ModelDescription> DescribeModels(ABasePrinterDriver& driver,
                                             const std::vector<std::string>& models);

}  // namespace tarnwick::app
