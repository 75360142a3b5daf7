// TIFF input through libtiff's RGBA interface, which reads every common photometric and
// sample layout; alpha is laid over white paper. Only the first image of the file is read.
//
// Memory stays bounded whatever the file claims: the image is read in bands of at most 16 MiB
// of RGBA pixels straight into the 3-byte RGB image (at most kMaxImagePixels, 300 MB), and a
// strip or tile that would decode to more than 64 MiB is refused before libtiff allocates it.
// A file of any size thus needs at most the RGB image plus about 80 MiB (and libtiff's copy of
// one compressed strip or tile).
#pragma once

#include <cstdint>
#include <string>

#include "raster_image.h"

namespace tarnwick::cli {

inline constexpr uint64_t kMaxTiffBandBytes = 16u << 20;
inline constexpr uint64_t kMaxTiffStripBytes = 64u << 20;

bool ReadTiff(const std::string& path, RgbImage& image, std::string& error);

}  // namespace tarnwick::cli
