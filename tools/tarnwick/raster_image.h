// Images read from files, and the limits every reader enforces before it allocates anything.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::cli {

inline constexpr int64_t kMaxImageSide = 1'000'000;
// All pixels of one image; keeps a colour image below 300 MB in memory.
inline constexpr int64_t kMaxImagePixels = 100'000'000;

// One colorant: packed rows of 1, 2, 4 or 8 bits per pixel, most significant bits first, the
// job data file's row layout. A set pixel (or a higher level) is more ink.
struct PlaneImage {
    int width = 0;
    int height = 0;
    int bits = 1;
    std::vector<uint8_t> data;  // height rows of RowBytes() bytes

    std::size_t RowBytes() const {
        return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 7) / 8;
    }
};

// A colour image as 8-bit RGB, three bytes per pixel, row after row.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> iccProfile;  // embedded in the file when it describes RGB pixels
};

// True when bytes look like an ICC profile of RGB data (the header's colour space "RGB ").
bool IsRgbIccProfile(const std::vector<uint8_t>& bytes);

// Empty when width x height is acceptable, else the reason (naming the file).
std::string CheckImageSize(const std::string& path, int64_t width, int64_t height);

}  // namespace tarnwick::cli
