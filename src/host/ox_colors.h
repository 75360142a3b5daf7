// Ink ids, internal colorant names and the colour each ink looks like on screen.
#pragma once

#include <cstdint>

namespace tarnwick {

// Ids 0..7: "Cyan", "Magenta", "Yellow", "Black", "LCyan", "LMagenta", "Green", "Orange";
// any other id gives "" (never null).
const char* GetOxColorName(int id);

// 0x00RRGGBB of the named ink (case-insensitive); 0 for an unknown or null name.
uint32_t GetOxColorValue(const char* name);

}  // namespace tarnwick
