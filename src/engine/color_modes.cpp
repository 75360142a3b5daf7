// Colour mode names and the generic colour tables that printer classes
// replace with their own.
#include <strings.h>

#include <array>
#include <cstdio>
#include <span>

#include "engine/arow_base_rtl.h"
#include "engine/color_list_fill.h"
#include "platform/mfc/string_table.h"

namespace tarnwick {
namespace {

struct GenericColorMode {
    std::span<const int> inks;
    int16_t planes;
    int16_t layout;
};

constexpr int kCmyk[] = {0, 1, 2, 3};
constexpr int kCmy[] = {0, 1, 2};
constexpr int kBlack[] = {3};
constexpr int kCmykLcLm[] = {0, 1, 2, 3, 4, 5};
constexpr int kCmykGrOr[] = {0, 1, 2, 3, 6, 7};

constexpr std::array<GenericColorMode, 5> kGenericModes = {{
    {kCmyk, 4, 0},
    {kCmy, 3, 3},
    {kBlack, 1, 4},
    {kCmykLcLm, 6, 1},
    {kCmykGrOr, 6, 2},
}};

constexpr int kModeListSize = 512;

}  // namespace

int ARowBaseRTL::GetColorModeName(int32_t index, int32_t* count, char* name, PrintSetup*) {
    if (count != nullptr) *count = 1;
    char list[kModeListSize];
    LoadResourceList(IDS_COLOR_MODES, list, sizeof list);
    return GetListItem(index, list, name);
}

int ARowBaseRTL::FindColorMode(const char* name) {
    if (name == nullptr) return -1;
    char list[kModeListSize];
    char item[kModeListSize];
    LoadResourceList(IDS_COLOR_MODES, list, sizeof list);
    for (int i = 0; GetListItem(i, list, item) != 0; ++i) {
        if (strcasecmp(item, name) == 0) return i;
    }
    return -1;
}

int ARowBaseRTL::GetColorList(int32_t colorMode, ColorList* list) {
    if (list == nullptr || colorMode < 0 || colorMode >= static_cast<int>(kGenericModes.size())) {
        return 0;
    }
    return FillColorList(*list, kGenericModes[static_cast<std::size_t>(colorMode)].inks);
}

int ARowBaseRTL::GetDefaultColorMode(char* name, PrintSetup*) {
    char list[kModeListSize];
    char item[kModeListSize];
    LoadResourceList(IDS_COLOR_MODES, list, sizeof list);
    const int mode = GetListItem(3, list, item) != 0 ? 3 : 0;
    if (name != nullptr) GetListItem(mode, list, name);
    return mode;
}

void ARowBaseRTL::GetColorPlanes(int32_t colorMode, int16_t* planes, int16_t* layout) {
    const bool known = colorMode >= 0 && colorMode < static_cast<int>(kGenericModes.size());
    const GenericColorMode& mode = kGenericModes[known ? static_cast<std::size_t>(colorMode) : 0];
    *planes = mode.planes;
    *layout = mode.layout;
}

void ARowBaseRTL::InitPlaneOrder() {
    for (int i = 0; i < kMaxPlanes; ++i)
        m_PlaneOrder[static_cast<std::size_t>(i)] = static_cast<int8_t>(i);
}

}  // namespace tarnwick
