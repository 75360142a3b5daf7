// Fills a colour list from ink ids, the way every colour table of the
// engine describes its colorants.
#pragma once

#include <span>

#include "tarnwick/records.h"

namespace tarnwick {

// Entry i describes ink inks[i]: its internal name and colour value from the
// host's colour library, its display name from the ink name resource, one bit
// per pixel, printed, not a spot colour. Returns 1; 0 when the list is too
// small to hold the inks.
int FillColorList(ColorList& list, std::span<const int> inks);

}  // namespace tarnwick
