// TIFF input through libtiff's RGBA interface, which reads every common photometric and
// sample layout; alpha is laid over white paper. Only the first image of the file is read.
#pragma once

#include <string>

#include "raster_image.h"

namespace tarnwick::cli {

bool ReadTiff(const std::string& path, RgbImage& image, std::string& error);

}  // namespace tarnwick::cli
