// The raster rows of a printer stream, read through the stream inspector, for checking what
// a job sent: every "ESC *b <n> V|W" transfer of every page, its data decoded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::test {

struct StreamRow {
    std::vector<std::vector<uint8_t>> planes;  // decoded, in the order sent
};

struct StreamPage {
    std::vector<StreamRow> rows;
};

// One page per raster graphics (from its start to "ESC *r C", or to the end of a cut stream);
// a row ends with its W transfer. Fails the current test on damaged or overlong row data.
std::vector<StreamPage> ReadStreamRows(const std::vector<uint8_t>& stream);

// Occurrences of `needle` in the stream.
int CountOf(const std::vector<uint8_t>& stream, const std::string& needle);

}  // namespace tarnwick::test
