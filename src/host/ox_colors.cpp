#include "host/ox_colors.h"

#include <array>
#include <cstddef>

namespace tarnwick {

namespace {

struct Ink {
    const char* name;
    uint32_t rgb;
};

constexpr std::array<Ink, 8> kInks{{
    {"Cyan", 0x00AEEF},
    {"Magenta", 0xEC008C},
    {"Yellow", 0xFFF200},
    {"Black", 0x231F20},
    {"LCyan", 0x8FD8F8},
    {"LMagenta", 0xF49AC1},
    {"Green", 0x00A651},
    {"Orange", 0xF7941D},
}};

// ASCII only: the result must not depend on the process locale.
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoreCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (Lower(*a) != Lower(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

const char* GetOxColorName(int id) {
    if (id < 0 || id >= static_cast<int>(kInks.size())) return "";
    return kInks[static_cast<size_t>(id)].name;
}

uint32_t GetOxColorValue(const char* name) {
    if (!name) return 0;
    for (const Ink& ink : kInks) {
        if (EqualsIgnoreCase(ink.name, name)) return ink.rgb;
    }
    return 0;
}

}  // namespace tarnwick
