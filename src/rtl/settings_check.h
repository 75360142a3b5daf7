// The ranges of what the driver sends from a job's settings record and calibration text: a value
// outside them never reaches the printer. The option menus (driver_option_table.h) give the
// ranges of the bytes the user picks; the crop mark and the option switch are flags, the model
// class is 0 to 2.
#pragma once

#include <string>

#include "tarnwick/records.h"

namespace tarnwick {

// True when every field the driver reads lies in its range. A record whose tag is not 24 passes:
// the driver replaces it with its defaults before reading it. Otherwise false, with error naming
// the first field out of range, e.g. "Page Spacing (settings byte 3) is 200, out of its range 0
// to 10". reserved10 and reserved11 are never sent and not checked.
bool CheckSettingsRecord(const PrinterSettings& settings, std::string& error);

// The calibration value of a ticket's calibration text ("...~<number>") as the printer gets it:
// two decimals in the C locale, "0.00" when the text holds no number after its "~". False with
// error set when the value is not sent because, printed so, it is not inside (-2, 2): it rounds
// to -2.00 or 2.00 or beyond, or is not a number.
bool CalibrationCommandValue(const char* text, std::string& value, std::string& error);

}  // namespace tarnwick
