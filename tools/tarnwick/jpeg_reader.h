// JPEG input through libjpeg(-turbo), a scanline at a time: grey and YCbCr images become 8-bit
// RGB, an embedded RGB ICC profile is kept. CMYK JPEGs are refused: their inks are not this
// printer's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "raster_image.h"

namespace tarnwick::cli {

bool IsJpeg(const std::vector<uint8_t>& head);

std::unique_ptr<RowImage> OpenJpeg(const std::string& path, std::string& error);

}  // namespace tarnwick::cli
