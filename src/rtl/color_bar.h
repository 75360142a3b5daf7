// The colour-bar strip: 16 mm of test patches appended to every plane row
// when the "Color Bar" option is on. The header declares its width and the
// row sender draws it; both take the numbers from here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tarnwick {

inline constexpr double kStripInches = 0.62992;  // 16 mm
inline constexpr double kPatchInches = 0.07874;  // 2 mm, eight patches per strip
inline constexpr int kStripPatches = 8;
// Patches 0 and 1 stay blank; the planes mark patches 2 to 7.
inline constexpr int kFirstMarkedPatch = 2;
// Every second pixel set.
inline constexpr uint8_t kPatchMark = 0xAA;
// With the strip on, the printer always gets this many planes per row.
inline constexpr int kStripPlanes = 6;

inline constexpr uint8_t kColorBarNone = 0;
inline constexpr uint8_t kColorBarPure = 1;
inline constexpr uint8_t kColorBarMixed = 2;

// Strip width in job pixels, truncated (rx: effective dpi).
int64_t StripPixels(int32_t rx);
// Strip width in device pixels, truncated after the horizontal repetition.
int64_t StripDevicePixels(int32_t rx, int32_t scaleX);

struct ByteRange {
    int64_t begin;
    int64_t end;  // one past the last byte
};

class ColorBarPatches {
  public:
    // Patch layout of a row whose image part is imageBytes long. Nothing
    // when the patch width comes out negative or absurd (broken geometry).
    static std::optional<ColorBarPatches> Make(int32_t rx, int32_t scaleX, int32_t imageBytes,
                                               uint8_t colorBar);

    // Bytes that the plane sent at position 0..5 marks. With mixed colour
    // two neighbouring positions share two patches, so their inks overlap.
    ByteRange Marks(int position) const;
    // One past the last byte any position marks.
    int64_t End() const { return m_imageBytes + m_offset[kStripPatches]; }
    int64_t PatchWidth() const { return m_patchWidth; }

  private:
    ColorBarPatches() = default;

    int64_t m_imageBytes = 0;
    int64_t m_patchWidth = 0;
    std::array<int64_t, kStripPatches + 1> m_offset{};  // byte offset of each patch in the strip
    bool m_mixed = false;
};

}  // namespace tarnwick
