#include "png_reader.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace tarnwick::cli {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct ReadContext {
    std::string path;
    std::string error;
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* context = static_cast<ReadContext*>(png_get_error_ptr(png));
    context->error = context->path + ": damaged PNG file (" + message + ")";
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Owns libpng's two structures.
struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader() {
        if (png != nullptr) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

// The two steps that libpng may leave by longjmp hold no object with a destructor; the pixel
// buffers live in the caller's frame, which a longjmp never skips.
bool ReadHeader(PngReader& reader, std::FILE* file, png_uint_32& width, png_uint_32& height) {
    png_structp png = reader.png;
    png_infop info = reader.info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_color_16 white = {0, 255, 255, 255, 255};
    png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadPixels(PngReader& reader, png_bytepp rows) {
    if (setjmp(png_jmpbuf(reader.png))) return false;
    png_read_image(reader.png, rows);
    png_read_end(reader.png, nullptr);
    return true;
}

}  // namespace

bool ReadPng(const std::string& path, RgbImage& image, std::string& error) {
    image = RgbImage{};
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    // libpng refuses a size beyond the limits as "Invalid IHDR data"; the size itself is the
    // clearer reason, so it is read from the header chunk (bytes 16 to 23) and checked first.
    uint8_t header[24] = {};
    if (std::fread(header, 1, sizeof header, file.get()) == sizeof header &&
        std::memcmp(header + 12, "IHDR", 4) == 0) {
        const auto number = [&](int at) {
            return int64_t{header[at]} << 24 | header[at + 1] << 16 | header[at + 2] << 8 |
                   header[at + 3];
        };
        if (std::string why = CheckImageSize(path, number(16), number(20));
            !why.empty() && number(16) > 0 && number(20) > 0) {
            error = why;
            return false;
        }
    }
    std::rewind(file.get());
    ReadContext context{path, {}};
    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, OnPngError, OnPngWarning);
    if (reader.png != nullptr) reader.info = png_create_info_struct(reader.png);
    if (reader.png == nullptr || reader.info == nullptr) {
        error = "cannot start the PNG reader";
        return false;
    }
    png_set_user_limits(reader.png, static_cast<png_uint_32>(kMaxImageSide),
                        static_cast<png_uint_32>(kMaxImageSide));
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    if (!ReadHeader(reader, file.get(), width, height)) {
        error = context.error;
        return false;
    }
    if (std::string why = CheckImageSize(path, width, height); !why.empty()) {
        error = why;
        return false;
    }
    if (png_get_rowbytes(reader.png, reader.info) != static_cast<std::size_t>(width) * 3) {
        error = path + ": unsupported PNG layout";
        return false;
    }
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height * 3, 0xFF);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = pixels.data() + static_cast<std::size_t>(y) * width * 3;
    }
    if (!ReadPixels(reader, rows.data())) {
        error = context.error;
        return false;
    }
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb = std::move(pixels);
    // A grey image's profile does not describe the RGB it became; it is left out.
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(reader.png, reader.info, &name, &compression, &profile, &length) != 0 &&
        profile != nullptr) {
        std::vector<uint8_t> bytes(profile, profile + length);
        if (IsRgbIccProfile(bytes)) image.iccProfile = std::move(bytes);
    }
    return true;
}

}  // namespace tarnwick::cli
