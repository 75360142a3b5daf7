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

// The RGBA interface hands out premultiplied samples, so paper shows through by 255 - alpha.
uint8_t OverWhite(uint32_t value, uint32_t alpha) {
    return static_cast<uint8_t>(std::min<uint32_t>(255, value + 255 - alpha));
}

}  // namespace

bool ReadTiff(const std::string& path, RgbImage& image, std::string& error) {
    image = RgbImage{};
    t_lastMessage.clear();
    const TIFFErrorHandler oldError = TIFFSetErrorHandler(OnTiffMessage);
    const TIFFErrorHandler oldWarning = TIFFSetWarningHandler(nullptr);
    const auto restore = [&] {
        TIFFSetErrorHandler(oldError);
        TIFFSetWarningHandler(oldWarning);
    };
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff) {
        restore();
        error = path + ": cannot read the TIFF file" +
                (t_lastMessage.empty() ? std::string() : " (" + t_lastMessage + ")");
        return false;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    if (std::string why = CheckImageSize(path, width, height); !why.empty()) {
        restore();
        error = why;
        return false;
    }
    std::vector<uint32_t> raster(static_cast<std::size_t>(width) * height);
    if (TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.data(), ORIENTATION_TOPLEFT,
                                  0) == 0) {
        restore();
        error = path + ": damaged or unsupported TIFF file" +
                (t_lastMessage.empty() ? std::string() : " (" + t_lastMessage + ")");
        return false;
    }
    restore();
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.resize(raster.size() * 3);
    for (std::size_t i = 0; i < raster.size(); ++i) {
        const uint32_t p = raster[i];
        const uint32_t alpha = TIFFGetA(p);
        image.rgb[i * 3] = OverWhite(TIFFGetR(p), alpha);
        image.rgb[i * 3 + 1] = OverWhite(TIFFGetG(p), alpha);
        image.rgb[i * 3 + 2] = OverWhite(TIFFGetB(p), alpha);
    }
    return true;
}

}  // namespace tarnwick::cli
