// Binary Netpbm files: PBM (P4), PGM (P5, maxval up to 255) and PPM (P6, maxval up to 255).
// The header is checked field by field and the file must hold every pixel it announces before
// any buffer is sized from the header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::cli {

struct PnmImage {
    char kind = 0;  // '4', '5' or '6'
    int width = 0;
    int height = 0;
    int maxval = 1;             // 1 for PBM
    std::vector<uint8_t> data;  // the raster as stored: PBM packed rows, else one byte a sample
};

// False with error set (one line naming the file) for anything else.
bool ReadPnm(const std::string& path, PnmImage& image, std::string& error);

// True when the file starts like a binary Netpbm file.
bool LooksLikePnm(const std::vector<uint8_t>& head);

}  // namespace tarnwick::cli
