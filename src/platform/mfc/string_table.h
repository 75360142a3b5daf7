// The module's string resources and the helpers that read comma lists out
// of them.
#pragma once

#include <optional>
#include <string_view>

namespace tarnwick {

inline constexpr int IDS_OVERPRINT = 2;
inline constexpr int IDS_SPACE = 4;
inline constexpr int IDS_DRY_TIME = 5;
inline constexpr int IDS_COLORBAR = 6;
inline constexpr int IDS_INK_NAMES = 8001;
inline constexpr int IDS_COLOR_MODES = 8002;

// The text of a string resource, or nothing when the module has none.
std::optional<std::string_view> FindStringResource(int id);

// Copies resource `id` into `buffer` (at most size - 1 characters and a
// NUL); nonzero when the resource exists.
int LoadResourceList(int id, char* buffer, int size);

// Copies item `index` of a comma-terminated list into `dst` (which must hold
// the longest item); returns its length + 1, or 0 for an empty or absent item.
int GetListItem(int index, const char* list, char* dst);

// How many times the text's last character occurs in it.
int CountListItems(const char* text);

}  // namespace tarnwick
