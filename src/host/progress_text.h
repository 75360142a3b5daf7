// The progress text of the host job record: what the driver writes into m_szStatus with the
// code kStatusProgress, and how a host reads the percentage back.
#pragma once

#include <string>

namespace tarnwick {

// "  7%": the percentage, clamped to 0..100, right-aligned in three places.
std::string FormatProgressText(int percent);

// The percentage of a progress text (leading spaces allowed); -1 when the text is not one.
int ParseProgressText(const char* text);

}  // namespace tarnwick
