// Reads the images named on the make-job command line. The kind of file is told by its first
// bytes, never by its name.
#pragma once

#include <string>

#include "raster_image.h"

namespace tarnwick::cli {

// A colour image for separation: PNG, TIFF, or binary PNM (PPM; PGM and PBM count as grey).
bool LoadColorImage(const std::string& path, RgbImage& image, std::string& error);

// One colorant: a PBM (P4, a 1 bit is a dot) or a PGM (P5) with maxval 3, 15 or 255, which
// gives 2, 4 or 8 bits per pixel; a PGM value v becomes the ink level maxval - v, so white is
// no ink.
bool LoadPlane(const std::string& path, PlaneImage& plane, std::string& error);

}  // namespace tarnwick::cli
