#include <cstring>

#include "config/screening_params.h"

namespace tarnwick {

const char HalftoneShapeNames[kHalftoneShapeCount][kHalftoneShapeNameSize] = {
    "CosineDot",         "Cross",   "Diamond",        "Double",
    "DoubleDot",         "Ellipse", "InvertedDouble", "InvertedDoubleDot",
    "InvertedSimpleDot", "Line",    "LineX",          "LineY",
    "Rhomboid",          "Round",   "SimpleDot",      "Square",
};

namespace {

struct DefaultScreen {
    const char* colorName;
    float angle;
};

// The light and extra inks reuse the angles of the process inks, so they add
// no new screen angle that could beat against the others.
constexpr DefaultScreen kDefaultScreens[] = {
    {"Cyan", 105.0f}, {"Magenta", 75.0f},   {"Yellow", 90.0f},  {"Black", 45.0f},
    {"LCyan", 75.0f}, {"LMagenta", 105.0f}, {"Orange", 105.0f}, {"Green", 75.0f},
};
constexpr float kDefaultFrequency = 55.0f;

void CopyName(char* field, const char* name) {
    std::memcpy(field, name, std::strlen(name) + 1);
}

}  // namespace

void WriteDefaultScreening(ScreeningRecord* record) {
    if (record == nullptr) return;
    int i = 0;
    for (const DefaultScreen& screen : kDefaultScreens) {
        ScreenEntry& entry = record->entries[i++];
        CopyName(entry.colorName, screen.colorName);
        CopyName(entry.shapeName, HalftoneShapeNames[kDefaultHalftoneShape]);
        entry.frequency = kDefaultFrequency;
        entry.angle = screen.angle;
    }
    record->count = i;
}

}  // namespace tarnwick
