// Writes 8-bit RGB images as PNG files (libpng). No time stamp or text chunk is written, so the
// same pixels always give the same file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarnwick::inspect {

// rgb holds width * height * 3 bytes, row after row. False with error set on failure.
bool WritePngRgb(const std::string& path, int width, int height, std::span<const uint8_t> rgb,
                 std::string& error);

}  // namespace tarnwick::inspect
