// The driver's option menus: what the options page offers and which settings byte each choice
// goes to. The position in the table is the option index the host sends back
// ("DriverOption<index>=<value>"), and an option's values are its menu entries, so a value lies
// between 0 and the entry count less one.
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

#include "tarnwick/records.h"

namespace tarnwick {

struct DriverOption {
    const char* entry;                // "label:value,value,...;"
    uint8_t PrinterSettings::*field;  // where the chosen index goes
    bool namedOnly;                   // offered by named-option models only
};

inline constexpr DriverOption kDriverOptions[] = {
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
inline constexpr int kDriverOptionCount = static_cast<int>(std::size(kDriverOptions));

// The menu label, e.g. "Page Spacing".
constexpr std::string_view OptionLabel(const DriverOption& option) {
    const std::string_view entry = option.entry;
    return entry.substr(0, entry.find(':'));
}

// The largest value the option takes.
constexpr int OptionMaxValue(const DriverOption& option) {
    const std::string_view entry = option.entry;
    int commas = 0;
    for (std::size_t i = entry.find(':'); i < entry.size() && entry[i] != ';'; ++i) {
        if (entry[i] == ',') ++commas;
    }
    return commas;
}

static_assert(OptionMaxValue(kDriverOptions[3]) == 10, "page spacing runs from 0 to 10");

}  // namespace tarnwick
