#include "engine/color_list_fill.h"

#include <cstdio>

#include "host/ox_colors.h"
#include "platform/mfc/string_table.h"

namespace tarnwick {

int FillColorList(ColorList& list, std::span<const int> inks) {
    if (list.entries == nullptr || list.capacity < static_cast<int>(inks.size())) return 0;
    char names[256];
    LoadResourceList(IDS_INK_NAMES, names, sizeof names);
    for (std::size_t i = 0; i < inks.size(); ++i) {
        ColorEntry& entry = list.entries[i];
        entry = ColorEntry{};
        std::snprintf(entry.name, sizeof entry.name, "%s", GetOxColorName(inks[i]));
        GetListItem(inks[i], names, entry.displayName);
        entry.isSpot = 0;
        entry.print = 1;
        entry.depth = 1;
        entry.colorValue = GetOxColorValue(entry.name);
    }
    list.count = static_cast<int32_t>(inks.size());
    return 1;
}

}  // namespace tarnwick
