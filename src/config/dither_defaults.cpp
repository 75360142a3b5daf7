#include <algorithm>

#include "config/dither_params.h"

namespace tarnwick {
namespace {

// Depths of six bits and more already give the record's 64 levels.
constexpr int kMaxDepthForLevels = 6;

}  // namespace

bool SetDitherDefaults(const ColorList& list, DitherParamRecord* record) {
    if (record == nullptr) return false;
    // Lists are made with room for their entries, so the first entry exists
    // even in a list that counts none; only a list without storage has none.
    const int depth = (list.entries != nullptr && list.capacity > 0) ? list.entries[0].depth : 1;
    const int levelCount = 1 << std::clamp(depth, 0, kMaxDepthForLevels);
    const int inkCount = std::clamp(list.count, 0, kDitherInks);

    record->levelCount = levelCount;
    record->antiClogLevel = 0;
    record->noiseLevel = 1.0f;
    record->inkCount = inkCount;
    if (levelCount > 1) {
        const float step = 1.0f / static_cast<float>(levelCount - 1);
        for (int ink = 0; ink < inkCount; ++ink) {
            for (int level = 0; level <= levelCount - 2; ++level) {
                record->weights[ink][level] = static_cast<float>(level + 1) * step;
            }
        }
    }
    return depth == 8 || depth == 16;
}

}  // namespace tarnwick
