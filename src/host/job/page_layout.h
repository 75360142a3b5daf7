// Where one page's rows lie in the job file, as found and checked by the parser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

struct ColorantLayout {
    std::string name;
    int bitsPerPixel = 1;
    uint64_t offsetInRow = 0;  // where this colorant's packed row starts inside a file row
    uint64_t rowBytes = 0;     // packed bytes of one row of this colorant
};

struct PageLayout {
    int width = 0;
    int height = 0;  // as announced; rows beyond availableRows are not in the file yet
    int offsetX = 0;
    int offsetY = 0;
    std::vector<ColorantLayout> colorants;
    uint64_t rowStride = 0;       // bytes of one file row (all colorants)
    uint64_t rowsFileOffset = 0;  // file offset of row 0
    int availableRows = 0;
};

}  // namespace tarnwick
