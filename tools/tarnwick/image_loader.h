// Opens the images named on the make-job command line, to be read row by row. The kind of file
// is told by its first bytes, never by its name.
#pragma once

#include <memory>
#include <string>

#include "raster_image.h"

namespace tarnwick::cli {

// A colour image for separation: PNG, TIFF, JPEG, or binary PNM (PPM; PGM and PBM count as
// grey). Null with error set when it cannot be read.
std::unique_ptr<RowImage> OpenColorImage(const std::string& path, std::string& error);

// One colorant: a PBM (P4, a 1 bit is a dot) or a PGM (P5) with maxval 3, 15 or 255, which
// gives 2, 4 or 8 bits per pixel; a PGM value v becomes the ink level maxval - v, so white is
// no ink.
std::unique_ptr<RowImage> OpenPlane(const std::string& path, std::string& error);

}  // namespace tarnwick::cli
