// PNG input through libpng: any bit depth and colour type becomes 8-bit RGB (alpha is laid over
// white paper, 16-bit samples are cut to 8).
#pragma once

#include <string>

#include "raster_image.h"

namespace tarnwick::cli {

bool ReadPng(const std::string& path, RgbImage& image, std::string& error);

}  // namespace tarnwick::cli
