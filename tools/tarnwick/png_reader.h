// PNG input through libpng: any bit depth and colour type becomes 8-bit RGB (alpha is laid over
// white paper, 16-bit samples are cut to 8). Rows are decoded one at a time; an interlaced PNG,
// whose rows come in seven passes, is decoded whole and may hold at most kMaxWholeImagePixels.
#pragma once

#include <memory>
#include <string>

#include "raster_image.h"

namespace tarnwick::cli {

std::unique_ptr<RowImage> OpenPng(const std::string& path, std::string& error);

}  // namespace tarnwick::cli
