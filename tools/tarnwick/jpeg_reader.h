// JPEG input through libjpeg(-turbo): grey and YCbCr images become 8-bit RGB, an embedded RGB
// ICC profile is kept. CMYK JPEGs are refused: their inks are not this printer's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster_image.h"

namespace tarnwick::cli {

bool IsJpeg(const std::vector<uint8_t>& head);

bool ReadJpeg(const std::string& path, RgbImage& image, std::string& error);

}  // namespace tarnwick::cli
