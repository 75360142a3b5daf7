// Reading a printer stream back: the raster transfers "ESC * b <count> V|W" in order, and the
// check that every transfer is the reference encoding of the plane row it stands for.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pages.h"

namespace tarnwick::bench {

class TransferReader {
  public:
    explicit TransferReader(std::span<const uint8_t> stream) : m_stream(stream) {}

    // The next row transfer (V ends a plane, W a row). Other "ESC * b" commands, such as the
    // compression mode, are skipped. False at the end of the stream or, with error set, on a
    // transfer that runs past it.
    bool Next(std::span<const uint8_t>& data, char& end, std::string& error);

  private:
    std::span<const uint8_t> m_stream;
    std::size_t m_pos = 0;
};

// Reference encodings of every plane row of a page, checked to decode back to the row.
class ReferenceRows {
  public:
    // False with error when a reference encoding does not decode back to its row.
    bool Build(const Page& page, std::string& error);
    std::span<const uint8_t> Packed(int plane, int row) const;
    int64_t PackedBytes() const { return static_cast<int64_t>(m_bytes.size()); }

  private:
    std::vector<uint8_t> m_bytes;
    std::vector<std::size_t> m_start;  // per plane row in page order, plus the end
};

struct StreamCheck {
    bool ok = false;
    std::string error;
    int64_t rows = 0;
};

// Checks that the stream holds `rows` rows, row r being page row r % page.rows(); the transfers
// of a row come in planeOrder (page plane indexes) and each equals the reference encoding.
StreamCheck CheckStream(std::span<const uint8_t> stream, const Page& page, int64_t rows,
                        std::span<const int8_t> planeOrder, const ReferenceRows& reference);

}  // namespace tarnwick::bench
