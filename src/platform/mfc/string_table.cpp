#include "platform/mfc/string_table.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {
namespace {

struct StringResource {
    int id;
    std::string_view text;
};

constexpr StringResource kStrings[] = {
    {IDS_OVERPRINT, "1,2,3,"},
    {IDS_SPACE, "None,10 mm,20 mm,30 mm,40 mm,50 mm,60 mm,70 mm,80 mm,90 mm,100 mm, "},
    {IDS_DRY_TIME, "None,1 min,3 min,5 min,7 min,10 min,15 min,"},
    {IDS_COLORBAR, "None,Pure color,Mixed color,"},
    {IDS_INK_NAMES, "Cyan,Magenta,Yellow,Black,Light cyan,Light magenta,Green,Orange,"},
    {IDS_COLOR_MODES, "CMYK,Grayscale,CMYKLcLm,CMYKOrGr,"},
};

}  // namespace

std::optional<std::string_view> FindStringResource(int id) {
    for (const auto& s : kStrings) {
        if (s.id == id) return s.text;
    }
    return std::nullopt;
}

int LoadResourceList(int id, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    buffer[0] = '\0';
    auto text = FindStringResource(id);
    if (!text) return 0;
    const std::size_t n = std::min<std::size_t>(text->size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text->data(), n);
    buffer[n] = '\0';
    return 1;
}

int GetListItem(int index, const char* list, char* dst) {
    dst[0] = '\0';
    if (list == nullptr || index < 0) return 0;
    const char* p = list;
    for (int i = 0; i < index; ++i) {
        p = std::strchr(p, ',');
        if (p == nullptr) return 0;
        ++p;
    }
    const char* end = std::strchr(p, ',');
    // An item is only complete when a comma ends it.
    if (end == nullptr || end == p) return 0;
    const auto len = static_cast<std::size_t>(end - p);
    std::memcpy(dst, p, len);
    dst[len] = '\0';
    return static_cast<int>(len) + 1;
}

int CountListItems(const char* text) {
    if (text == nullptr || *text == '\0') return 0;
    const char last = text[std::strlen(text) - 1];
    return static_cast<int>(std::count(text, text + std::strlen(text), last));
}

}  // namespace tarnwick
