// Colour modes: the inks of each, its plane count and layout, and the
// order in which the printer wants the planes.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "host/kv_log.h"
#include "host/ox_colors.h"
#include "platform/mfc/string_table.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/rtl_log.h"

namespace tarnwick {
namespace {

constexpr int kResourceBufferSize = 256;

// Zero-fills the field and copies as much of the text as fits before the
// terminating zero.
template <std::size_t N>
void CopyField(char (&dst)[N], std::string_view text) {
    std::memset(dst, 0, N);
    std::memcpy(dst, text.data(), std::min(text.size(), N - 1));
}

// Item `index` of a comma list resource, or an empty text.
std::string ResourceItem(int resource, int index) {
    std::array<char, kResourceBufferSize> list{};
    std::array<char, kResourceBufferSize> item{};
    if (LoadResourceList(resource, list.data(), static_cast<int>(list.size())) == 0) return {};
    GetListItem(index, list.data(), item.data());
    return item.data();
}

}  // namespace

int RTL::GetColorList(int32_t colorMode, ColorList* list) {
    const ColorModeInfo* mode = ColorModeFor(colorMode);
    if (mode == nullptr) return 0;
    if (list == nullptr || list->entries == nullptr || list->capacity < mode->inkCount) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("colour list too small for colour mode %d", colorMode);
        return 0;
    }
    for (int i = 0; i < mode->inkCount; ++i) {
        const int ink = mode->inks[static_cast<std::size_t>(i)];
        ColorEntry& entry = list->entries[i];
        CopyField(entry.name, GetOxColorName(ink));
        CopyField(entry.displayName, ResourceItem(IDS_INK_NAMES, ink));
        entry.isSpot = 0;
        entry.print = 1;
        entry.depth = 1;
        entry.colorValue = GetOxColorValue(entry.name);
    }
    list->count = mode->inkCount;
    return 1;
}

int RTL::GetDefaultColorMode(char* name, PrintSetup* /*setup*/) {
    if (name != nullptr) {
        const std::string text = ResourceItem(IDS_COLOR_MODES, kDefaultColorMode);
        std::memcpy(name, text.c_str(), text.size() + 1);
    }
    return kDefaultColorMode;
}

void RTL::GetColorPlanes(int32_t colorMode, int16_t* planes, int16_t* layout) {
    const ColorModeInfo* mode = ColorModeFor(colorMode);
    if (mode == nullptr) mode = ColorModeFor(kFallbackColorMode);
    if (planes != nullptr) *planes = mode->planes;
    if (layout != nullptr) *layout = mode->layout;
}

void RTL::InitPlaneOrder() {
    if (m_pCtx == nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("InitPlaneOrder without a job context");
        return;
    }
    const std::span<const int8_t> order = PlaneOrderFor(m_pCtx->m_nPlanes, m_pCtx->m_nPlaneLayout);
    std::copy(order.begin(), order.end(), m_PlaneOrder.begin());
}

}  // namespace tarnwick
