#include "raster_image.h"

namespace tarnwick::cli {

std::string CheckImageSize(const std::string& path, int64_t width, int64_t height) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width < 1 || height < 1) return path + ": image size " + size + " is empty";
    if (width > kMaxImageWidth) {
        return path + ": image size " + size + " is too large (at most 1000000 pixels wide)";
    }
    if (height > kMaxImageHeight) {
        return path + ": image size " + size + " is too large (at most 10000000 rows)";
    }
    return {};
}

bool IsRgbIccProfile(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 128 && bytes[16] == 'R' && bytes[17] == 'G' && bytes[18] == 'B' &&
           bytes[19] == ' ';
}

}  // namespace tarnwick::cli
