// Locale-independent number parsing and formatting for readers that have no ALocaleSwitcher
// scope: they always behave as in the "C" locale, whatever the process or thread locale is.
#pragma once

#include <cstdarg>
#include <string>

namespace tarnwick {

// strtod in the C locale: leading blanks skipped, stops at the first character that does not
// fit. *ok (if given) is false when no number was found; the result is then 0.
double ParseDoubleC(const char* text, bool* ok);

// sscanf(text, "%f") in the C locale; *out is left untouched when no number was found.
bool ScanFloatC(const char* text, float* out);

// sscanf(text, "%d"): leading white space, optional sign, digits up to the first non-digit.
// Values beyond the int range clamp to INT_MIN / INT_MAX. *out untouched when no number.
bool ScanIntC(const char* text, int* out);

// printf in the C locale.
std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string VFormatC(const char* fmt, va_list args);

}  // namespace tarnwick
