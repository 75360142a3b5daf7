// The settings area as hex text, for the options tool's command line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/records.h"

namespace tarnwick {

// Reads two hex digits per byte, at most the 256 bytes of the area; the
// bytes not given are zero. Blanks are skipped. Returns nothing and sets
// error for an empty text, an odd number of digits, another character or
// too many bytes.
std::optional<SettingsArea> ParseSettingsHex(std::string_view text, std::string& error);

// The 14 bytes of the record as lower-case hex digits.
std::string FormatSettingsHex(const PrinterSettings& settings);

}  // namespace tarnwick
