// The peer a user would otherwise reach for: libtiff's PackBits encoder, driven through the
// TIFF codec into memory. Every plane row of a page becomes one strip, written with
// TIFFWriteEncodedStrip, so the real encoder runs together with libtiff's per-strip work.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pages.h"

namespace tarnwick::bench {

class TiffPeer {
  public:
    // compression: COMPRESSION_PACKBITS, or COMPRESSION_NONE to see libtiff's own cost.
    explicit TiffPeer(uint16_t compression);
    ~TiffPeer();
    TiffPeer(const TiffPeer&) = delete;
    TiffPeer& operator=(const TiffPeer&) = delete;

    // Writes the page as one TIFF image into memory; false with error on any libtiff failure.
    bool EncodePage(const Page& page, std::string& error);

    // Of the last page: the compressed bytes of all strips, and strip k's bytes.
    int64_t StripBytes() const { return m_stripBytes; }
    std::span<const uint8_t> Strip(std::size_t k) const;
    std::size_t StripCount() const { return m_offsets.size(); }

    struct Memory;

  private:
    uint16_t m_compression;
    std::unique_ptr<Memory> m_memory;
    std::vector<uint64_t> m_offsets;
    std::vector<uint64_t> m_counts;
    int64_t m_stripBytes = 0;
};

}  // namespace tarnwick::bench
