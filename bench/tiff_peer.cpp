#include "tiff_peer.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tarnwick::bench {

// A growable in-memory file for libtiff's client procedures. Its buffer is kept from page to
// page, so the timed runs do not pay for growing it.
struct TiffPeer::Memory {
    std::vector<uint8_t> bytes;
    std::size_t size = 0;
    std::size_t pos = 0;

    static Memory& Of(thandle_t h) { return *static_cast<Memory*>(h); }

    static tmsize_t Read(thandle_t h, void* buf, tmsize_t n) {
        Memory& m = Of(h);
        if (m.pos >= m.size) return 0;
        const std::size_t got = std::min(static_cast<std::size_t>(n), m.size - m.pos);
        std::memcpy(buf, m.bytes.data() + m.pos, got);
        m.pos += got;
        return static_cast<tmsize_t>(got);
    }
    static tmsize_t Write(thandle_t h, void* buf, tmsize_t n) {
        Memory& m = Of(h);
        const std::size_t count = static_cast<std::size_t>(n);
        if (m.pos + count > m.bytes.size())
            m.bytes.resize(std::max(m.pos + count, 2 * m.bytes.size()));
        std::memcpy(m.bytes.data() + m.pos, buf, count);
        m.pos += count;
        m.size = std::max(m.size, m.pos);
        return n;
    }
    static toff_t Seek(thandle_t h, toff_t off, int whence) {
        Memory& m = Of(h);
        const int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(m.pos)
                             : whence == SEEK_END ? static_cast<int64_t>(m.size)
                                                  : 0;
        const int64_t to = base + static_cast<int64_t>(off);
        if (to < 0) return static_cast<toff_t>(-1);
        m.pos = static_cast<std::size_t>(to);
        return static_cast<toff_t>(m.pos);
    }
    static int Close(thandle_t) { return 0; }
    static toff_t Size(thandle_t h) { return Of(h).size; }
    static int Map(thandle_t, void**, toff_t*) { return 0; }
    static void Unmap(thandle_t, void*, toff_t) {}
};

namespace {

// libtiff reports through process-wide handlers; the last message explains a failure.
std::string g_lastTiffMessage;

void KeepMessage(const char* module, const char* fmt, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, args);
    g_lastTiffMessage = std::string(module != nullptr ? module : "libtiff") + ": " + text;
}

}  // namespace

TiffPeer::TiffPeer(uint16_t compression)
    : m_compression(compression), m_memory(std::make_unique<Memory>()) {
    TIFFSetErrorHandler(KeepMessage);
    TIFFSetWarningHandler(nullptr);
}

TiffPeer::~TiffPeer() = default;

std::span<const uint8_t> TiffPeer::Strip(std::size_t k) const {
    return {m_memory->bytes.data() + m_offsets[k], static_cast<std::size_t>(m_counts[k])};
}

bool TiffPeer::EncodePage(const Page& page, std::string& error) {
    m_memory->size = 0;
    m_memory->pos = 0;
    g_lastTiffMessage.clear();
    TIFF* tif =
        TIFFClientOpen("memory", "wm", m_memory.get(), Memory::Read, Memory::Write, Memory::Seek,
                       Memory::Close, Memory::Size, Memory::Map, Memory::Unmap);
    if (tif == nullptr) {
        error = "TIFFClientOpen failed: " + g_lastTiffMessage;
        return false;
    }
    const auto strips = static_cast<uint32_t>(page.planeRows());
    const auto rowBytes = static_cast<tmsize_t>(page.rowBytes());
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.rowBytes() * 8)) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, strips) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, m_compression);
    const uint8_t* data = page.All().data();
    for (uint32_t s = 0; ok && s < strips; ++s) {
        // libtiff's encoders take a non-const buffer, but PackBits only reads it.
        auto* row = const_cast<uint8_t*>(data + static_cast<std::size_t>(s) * page.rowBytes());
        ok = TIFFWriteEncodedStrip(tif, s, row, rowBytes) == rowBytes;
    }
    m_offsets.clear();
    m_counts.clear();
    m_stripBytes = 0;
    const uint64_t* offsets = nullptr;
    const uint64_t* counts = nullptr;
    if (ok && TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) &&
        TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts)) {
        m_offsets.assign(offsets, offsets + strips);
        m_counts.assign(counts, counts + strips);
        for (const uint64_t c : m_counts) m_stripBytes += static_cast<int64_t>(c);
    } else {
        ok = false;
    }
    TIFFClose(tif);
    if (!ok) error = "libtiff could not write the page: " + g_lastTiffMessage;
    return ok;
}

}  // namespace tarnwick::bench
