// TIFF input through libtiff's RGBA interface, which reads every common photometric and sample
// layout; alpha is laid over white paper. Only the first image of the file is read.
//
// Memory stays bounded whatever the file claims: rows are decoded in bands of at most 16 MiB of
// RGBA pixels, in the order the page needs them (from the file's last band first when its rows
// run bottom to top), and a strip or tile that would decode to more than 64 MiB is refused
// before libtiff allocates it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "raster_image.h"

namespace tarnwick::cli {

inline constexpr uint64_t kMaxTiffBandBytes = 16u << 20;
inline constexpr uint64_t kMaxTiffStripBytes = 64u << 20;

std::unique_ptr<RowImage> OpenTiff(const std::string& path, std::string& error);

}  // namespace tarnwick::cli
