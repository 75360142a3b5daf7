#include "config/dither_weights.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "config/text_compare.h"
#include "host/c_locale.h"

namespace tarnwick {
namespace {

// Ink index of a "ColorInk" attribute: "Default" (any case) is ink 0.
bool ReadInk(const AString& text, int& ink) {
    if (AsciiCaseCompare(text.c_str(), "Default") == 0) {
        ink = 0;
        return true;
    }
    return ScanIntC(text.c_str(), &ink) && ink >= 0 && ink < kDitherInks;
}

bool ReadLevelIndex(const AString& text, int& level) {
    return ScanIntC(text.c_str(), &level) && level >= 0 && level < kDitherLevels;
}

}  // namespace

void ReadLevelWeights(const AXMLTree& tree, const AXMLTreeNode& level, DitherParamRecord& record) {
    std::array<bool, kDitherInks> inkGiven{};
    int firstInk = -1;

    const int childCount = tree.getChildCount(level);
    AXMLTreeNode child;
    for (int i = 0; i < childCount; ++i) {
        if (!tree.getChild(i, level, child)) continue;
        if (!(tree.getName(child) == "Weight")) continue;
        int ink = 0;
        int entry = 0;
        if (!ReadInk(tree.getAttribute(child, "ColorInk"), ink)) continue;
        if (!ReadLevelIndex(tree.getAttribute(child, "Level"), entry)) continue;
        inkGiven[ink] = true;
        if (firstInk < 0) firstInk = ink;
        float weight = 0.0f;
        if (ScanFloatC(tree.getAttribute(child, "Value").c_str(), &weight)) {
            record.weights[ink][entry] = weight;
        }
    }

    // A file may give one ink's row and mean it for all inks; a full table
    // (one child per ink and level) is taken as it stands. The host's record
    // may carry any counts, so they are held to the record's size here.
    const int inkCount = std::clamp(record.inkCount, 0, kDitherInks);
    const int64_t levelsAboveZero = static_cast<int64_t>(record.levelCount) - 1;
    const auto entries = static_cast<int>(std::clamp<int64_t>(levelsAboveZero, 0, kDitherLevels));
    const int64_t fullTable = levelsAboveZero * inkCount;
    if (firstInk < 0 || childCount >= fullTable) return;
    const float* source = record.weights[firstInk];
    for (int ink = 0; ink < inkCount; ++ink) {
        if (inkGiven[ink]) continue;
        std::copy(source, source + entries, record.weights[ink]);
    }
}

}  // namespace tarnwick
