#include "host/progress_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tarnwick {

std::string FormatProgressText(int percent) {
    char text[16];
    std::snprintf(text, sizeof text, "%3d%%", std::clamp(percent, 0, 100));
    return text;
}

int ParseProgressText(const char* text) {
    if (text == nullptr) return -1;
    const char* p = text;
    while (*p == ' ') ++p;
    char* end = nullptr;
    const long value = std::strtol(p, &end, 10);
    if (end == p || *end != '%') return -1;
    return static_cast<int>(std::clamp(value, 0L, 100L));
}

}  // namespace tarnwick
