#include "tiff_reader.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

namespace tarnwick::cli {
namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// libtiff reports through handlers; the last message is kept for the error line.
thread_local std::string t_lastMessage;

void OnTiffMessage(const char* /*module*/, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    t_lastMessage = text;
}

// Puts libtiff's handlers back however the read ends.
class TiffHandlers {
  public:
    TiffHandlers()
        : m_error(TIFFSetErrorHandler(OnTiffMessage)), m_warning(TIFFSetWarningHandler(nullptr)) {
        t_lastMessage.clear();
    }
    ~TiffHandlers() {
        TIFFSetErrorHandler(m_error);
        TIFFSetWarningHandler(m_warning);
    }
    TiffHandlers(const TiffHandlers&) = delete;
    TiffHandlers& operator=(const TiffHandlers&) = delete;

  private:
    TIFFErrorHandler m_error;
    TIFFErrorHandler m_warning;
};

std::string LibtiffSays() {
    return t_lastMessage.empty() ? std::string() : " (" + t_lastMessage + ")";
}

// The RGBA interface hands out premultiplied samples, so paper shows through by 255 - alpha.
uint8_t OverWhite(uint32_t value, uint32_t alpha) {
    return static_cast<uint8_t>(std::min<uint32_t>(255, value + 255 - alpha));
}

// The largest block of decoded data libtiff will hold while reading the image.
uint64_t LargestBlock(TIFF* tiff) {
    return TIFFIsTiled(tiff) ? static_cast<uint64_t>(TIFFTileSize64(tiff))
                             : static_cast<uint64_t>(TIFFStripSize64(tiff));
}

class TiffRows : public RowImage {
  public:
    explicit TiffRows(std::string path) : m_path(std::move(path)) {}
    ~TiffRows() override {
        if (m_begun) TIFFRGBAImageEnd(&m_rgba);
    }
    TiffRows(const TiffRows&) = delete;
    TiffRows& operator=(const TiffRows&) = delete;

    bool Open(std::string& error) {
        TiffHandlers handlers;
        m_tiff.reset(TIFFOpen(m_path.c_str(), "r"));
        if (!m_tiff) {
            error = m_path + ": cannot read the TIFF file" + LibtiffSays();
            return false;
        }
        TIFF* tiff = m_tiff.get();
        uint32_t width = 0;
        uint32_t height = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        if (std::string why = CheckImageSize(m_path, width, height); !why.empty()) {
            error = why;
            return false;
        }
        const uint64_t block = LargestBlock(tiff);
        if (block > kMaxTiffStripBytes) {
            error = m_path + ": a TIFF " + (TIFFIsTiled(tiff) ? "tile" : "strip") + " of " +
                    std::to_string(block) + " bytes is larger than the " +
                    std::to_string(kMaxTiffStripBytes >> 20) + " MiB the tool reads at once";
            return false;
        }
        char why[1024] = {};
        m_begun = TIFFRGBAImageOK(tiff, why) != 0 && TIFFRGBAImageBegin(&m_rgba, tiff, 0, why) != 0;
        if (!m_begun) {
            error = m_path + ": unsupported TIFF file (" + why + ")";
            return false;
        }
        // Bands are read in the file's own row order and placed here, so that libtiff never
        // turns a band upside down on its own.
        const uint16_t orientation = m_rgba.orientation;
        m_rgba.req_orientation = orientation;
        m_bottomUp = orientation == ORIENTATION_BOTLEFT || orientation == ORIENTATION_BOTRIGHT ||
                     orientation == ORIENTATION_LEFTBOT || orientation == ORIENTATION_RIGHTBOT;
        m_rightToLeft = orientation == ORIENTATION_TOPRIGHT ||
                        orientation == ORIENTATION_BOTRIGHT ||
                        orientation == ORIENTATION_RIGHTTOP || orientation == ORIENTATION_RIGHTBOT;
        m_width = static_cast<int>(width);
        m_height = static_cast<int>(height);
        m_bandRows = static_cast<uint32_t>(
            std::clamp<uint64_t>(kMaxTiffBandBytes / (uint64_t{4} * width), 1, height));
        // Whole strips per band where they fit, so that no strip is decoded twice.
        uint32_t rowsPerStrip = 0;
        if (!TIFFIsTiled(tiff) &&
            TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) == 1 &&
            rowsPerStrip > 0 && rowsPerStrip < m_bandRows) {
            m_bandRows -= m_bandRows % rowsPerStrip;
        }
        m_band.resize(std::size_t{width} * m_bandRows);
        // Only an RGB file's profile still describes the pixels libtiff hands over.
        uint32_t length = 0;
        const uint8_t* profile = nullptr;
        uint16_t photometric = 0;
        if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) == 1 &&
            photometric == PHOTOMETRIC_RGB &&
            TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &length, &profile) == 1 && profile) {
            std::vector<uint8_t> bytes(profile, profile + length);
            if (IsRgbIccProfile(bytes)) m_iccProfile = std::move(bytes);
        }
        return true;
    }

    bool NextRow(std::span<uint8_t> out, std::string& error) override {
        const auto height = static_cast<uint32_t>(m_height);
        const uint32_t fileRow = m_bottomUp ? height - 1 - m_row : m_row;
        ++m_row;
        if (!m_loaded || fileRow < m_bandStart || fileRow >= m_bandStart + m_loadedRows) {
            // The band that holds the row, reaching forward in the page's direction.
            const uint32_t start =
                m_bottomUp ? (fileRow + 1 > m_bandRows ? fileRow + 1 - m_bandRows : 0) : fileRow;
            const uint32_t rows = std::min(m_bandRows, height - start);
            TiffHandlers handlers;
            m_rgba.row_offset = static_cast<int>(start);
            m_rgba.col_offset = 0;
            if (TIFFRGBAImageGet(&m_rgba, m_band.data(), static_cast<uint32_t>(m_width), rows) ==
                0) {
                error = m_path + ": damaged or unsupported TIFF file" + LibtiffSays();
                return false;
            }
            m_loaded = true;
            m_bandStart = start;
            m_loadedRows = rows;
        }
        const std::size_t w = static_cast<std::size_t>(m_width);
        const uint32_t* row = m_band.data() + (fileRow - m_bandStart) * w;
        for (std::size_t x = 0; x < w; ++x) {
            const uint32_t p = row[m_rightToLeft ? w - 1 - x : x];
            const uint32_t alpha = TIFFGetA(p);
            out[x * 3] = OverWhite(TIFFGetR(p), alpha);
            out[x * 3 + 1] = OverWhite(TIFFGetG(p), alpha);
            out[x * 3 + 2] = OverWhite(TIFFGetB(p), alpha);
        }
        return true;
    }

  private:
    std::string m_path;
    std::unique_ptr<TIFF, TiffCloser> m_tiff;
    TIFFRGBAImage m_rgba{};
    bool m_begun = false;
    bool m_bottomUp = false;
    bool m_rightToLeft = false;
    uint32_t m_bandRows = 1;
    std::vector<uint32_t> m_band;  // decoded RGBA rows [m_bandStart, + m_loadedRows)
    bool m_loaded = false;
    uint32_t m_bandStart = 0;
    uint32_t m_loadedRows = 0;
    uint32_t m_row = 0;  // the next row of the page
};

}  // namespace

std::unique_ptr<RowImage> OpenTiff(const std::string& path, std::string& error) {
    auto image = std::make_unique<TiffRows>(path);
    if (!image->Open(error)) return nullptr;
    return image;
}

}  // namespace tarnwick::cli
