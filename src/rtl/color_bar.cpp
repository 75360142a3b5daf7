#include "rtl/color_bar.h"

namespace tarnwick {
namespace {

// Far beyond any real printer (a patch of 2 mm at 2^24 dpi); keeps the byte
// arithmetic below well inside 64 bits.
constexpr double kMaxPatchWidth = 1 << 28;

}  // namespace

int64_t StripPixels(int32_t rx) {
    return static_cast<int64_t>(kStripInches * rx);
}

int64_t StripDevicePixels(int32_t rx, int32_t scaleX) {
    return static_cast<int64_t>(kStripInches * rx * scaleX);
}

std::optional<ColorBarPatches> ColorBarPatches::Make(int32_t rx, int32_t scaleX, int32_t imageBytes,
                                                     uint8_t colorBar) {
    const double width = rx * kPatchInches * scaleX;
    if (!(width >= 0.0 && width <= kMaxPatchWidth) || imageBytes < 0) return std::nullopt;
    ColorBarPatches patches;
    patches.m_imageBytes = imageBytes;
    patches.m_patchWidth = static_cast<int64_t>(width);
    for (int k = 0; k <= kStripPatches; ++k) {
        patches.m_offset[k] = (7 + k * patches.m_patchWidth) / 8;
    }
    // Values other than mixed colour draw like pure colour.
    patches.m_mixed = colorBar == kColorBarMixed;
    return patches;
}

ByteRange ColorBarPatches::Marks(int position) const {
    if (position < 0 || position >= kStripPlanes) return {m_imageBytes, m_imageBytes};
    int first = kFirstMarkedPatch + position;
    int last = first + 1;
    if (m_mixed) {
        first = kFirstMarkedPatch + position / 2 * 2;
        last = first + 2;
    }
    return {m_imageBytes + m_offset[first], m_imageBytes + m_offset[last]};
}

}  // namespace tarnwick
