// A small reader of the raster rows in a printer stream, for checking what
// a job sent: every "ESC *b <n> V|W" transfer, its data decoded.
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

// Splits the stream at each "ESC *r C" (end of raster graphics) into pages.
// A row ends with the W transfer. Fails the current test on a malformed row.
std::vector<StreamPage> ReadStreamRows(const std::vector<uint8_t>& stream);

// Occurrences of `needle` in the stream.
int CountOf(const std::vector<uint8_t>& stream, const std::string& needle);

}  // namespace tarnwick::test
