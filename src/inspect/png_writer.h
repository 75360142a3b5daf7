// Writes 8-bit RGB images as PNG files (libpng). No time stamp or text chunk is written, so the
// same pixels always give the same file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarnwick::inspect {

// libpng's default limit on either side of an image.
inline constexpr int kMaxPngSide = 1'000'000;

// rgb holds width * height * 3 bytes, row after row. A file is written beside path and renamed
// over it once complete; a device or FIFO is written in place. False with error set on failure,
// and then no file is left and an old one is as it was.
bool WritePngRgb(const std::string& path, int width, int height, std::span<const uint8_t> rgb,
                 std::string& error);

}  // namespace tarnwick::inspect
