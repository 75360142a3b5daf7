// Binary Netpbm files: PBM (P4), PGM (P5, maxval up to 255) and PPM (P6, maxval up to 255). The
// header is checked field by field and the file must hold every pixel it announces before the
// first row is handed out; rows are then read one at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "raster_image.h"

namespace tarnwick::cli {

enum class PnmUse {
    kColor,  // any of the three as RGB (PBM and PGM as grey)
    kPlane,  // a colorant: PBM (a 1 bit is a dot) or PGM with maxval 3, 15 or 255 (2, 4 or 8
             // bits); a PGM value v is the ink level maxval - v, so white is no ink
};

// Null with error set (one line naming the file) for anything else.
std::unique_ptr<RowImage> OpenPnm(const std::string& path, PnmUse use, std::string& error);

// True when the file starts like a binary Netpbm file.
bool LooksLikePnm(const std::vector<uint8_t>& head);

}  // namespace tarnwick::cli
