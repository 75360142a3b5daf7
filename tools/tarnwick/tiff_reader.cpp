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

// Ends the RGBA reader however the read ends.
struct RgbaImage {
    TIFFRGBAImage image{};
    bool begun = false;
    ~RgbaImage() {
        if (begun) TIFFRGBAImageEnd(&image);
    }
};

// The RGBA interface hands out premultiplied samples, so paper shows through by 255 - alpha.
uint8_t OverWhite(uint32_t value, uint32_t alpha) {
    return static_cast<uint8_t>(std::min<uint32_t>(255, value + 255 - alpha));
}

// The largest block of decoded data libtiff will hold while reading the image.
uint64_t LargestBlock(TIFF* tiff) {
    return TIFFIsTiled(tiff) ? static_cast<uint64_t>(TIFFTileSize64(tiff))
                             : static_cast<uint64_t>(TIFFStripSize64(tiff));
}

}  // namespace

bool ReadTiff(const std::string& path, RgbImage& image, std::string& error) {
    image = RgbImage{};
    TiffHandlers handlers;
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff) {
        error = path + ": cannot read the TIFF file" + LibtiffSays();
        return false;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    if (std::string why = CheckImageSize(path, width, height); !why.empty()) {
        error = why;
        return false;
    }
    const uint64_t block = LargestBlock(tiff.get());
    if (block > kMaxTiffStripBytes) {
        error = path + ": a TIFF " + (TIFFIsTiled(tiff.get()) ? "tile" : "strip") + " of " +
                std::to_string(block) + " bytes is larger than the " +
                std::to_string(kMaxTiffStripBytes >> 20) + " MiB the tool reads at once";
        return false;
    }
    char why[1024] = {};
    RgbaImage rgba;
    rgba.begun = TIFFRGBAImageOK(tiff.get(), why) != 0 &&
                 TIFFRGBAImageBegin(&rgba.image, tiff.get(), 0, why) != 0;
    if (!rgba.begun) {
        error = path + ": unsupported TIFF file (" + why + ")";
        return false;
    }
    // Bands are read in the file's own row order and placed here, so that libtiff never turns a
    // band upside down on its own.
    const uint16_t orientation = rgba.image.orientation;
    rgba.image.req_orientation = orientation;
    const bool bottomUp = orientation == ORIENTATION_BOTLEFT ||
                          orientation == ORIENTATION_BOTRIGHT ||
                          orientation == ORIENTATION_LEFTBOT || orientation == ORIENTATION_RIGHTBOT;
    const bool rightToLeft =
        orientation == ORIENTATION_TOPRIGHT || orientation == ORIENTATION_BOTRIGHT ||
        orientation == ORIENTATION_RIGHTTOP || orientation == ORIENTATION_RIGHTBOT;

    const std::size_t w = width;
    uint32_t bandRows = static_cast<uint32_t>(
        std::clamp<uint64_t>(kMaxTiffBandBytes / (uint64_t{4} * w), 1, height));
    // Whole strips per band where they fit, so that no strip is decoded twice.
    uint32_t rowsPerStrip = 0;
    if (!TIFFIsTiled(tiff.get()) &&
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &rowsPerStrip) == 1 &&
        rowsPerStrip > 0 && rowsPerStrip < bandRows) {
        bandRows -= bandRows % rowsPerStrip;
    }
    std::vector<uint32_t> band(w * bandRows);
    image.rgb.resize(w * height * 3);
    for (uint32_t row = 0; row < height; row += bandRows) {
        const uint32_t rows = std::min(bandRows, height - row);
        rgba.image.row_offset = static_cast<int>(row);
        rgba.image.col_offset = 0;
        if (TIFFRGBAImageGet(&rgba.image, band.data(), width, rows) == 0) {
            image = RgbImage{};
            error = path + ": damaged or unsupported TIFF file" + LibtiffSays();
            return false;
        }
        for (uint32_t r = 0; r < rows; ++r) {
            const std::size_t y = bottomUp ? height - 1 - (row + r) : row + r;
            uint8_t* out = image.rgb.data() + y * w * 3;
            for (std::size_t x = 0; x < w; ++x) {
                const uint32_t p = band[r * w + (rightToLeft ? w - 1 - x : x)];
                const uint32_t alpha = TIFFGetA(p);
                out[x * 3] = OverWhite(TIFFGetR(p), alpha);
                out[x * 3 + 1] = OverWhite(TIFFGetG(p), alpha);
                out[x * 3 + 2] = OverWhite(TIFFGetB(p), alpha);
            }
        }
    }
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    // Only an RGB file's profile still describes the pixels libtiff handed over.
    uint32_t length = 0;
    const uint8_t* profile = nullptr;
    uint16_t photometric = 0;
    if (TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric) == 1 &&
        photometric == PHOTOMETRIC_RGB &&
        TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &length, &profile) == 1 && profile) {
        std::vector<uint8_t> bytes(profile, profile + length);
        if (IsRgbIccProfile(bytes)) image.iccProfile = std::move(bytes);
    }
    return true;
}

}  // namespace tarnwick::cli
