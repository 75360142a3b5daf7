// Name comparison for configuration lookups: manufacturer and model names in
// the configuration files are matched regardless of the case of ASCII
// letters, the way the Windows run-time's _stricmp compares them.
#pragma once

namespace tarnwick {

// Compares two NUL-terminated texts byte by byte after folding ASCII
// upper-case letters to lower case. Returns a negative value, 0 or a
// positive value like strcmp. A null pointer compares as the empty text.
int AsciiCaseCompare(const char* a, const char* b);

}  // namespace tarnwick
