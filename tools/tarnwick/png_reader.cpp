#include "png_reader.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// The steps that libpng may leave by longjmp hold no object with a destructor.
bool ReadHeader(png_structp png, png_infop info, std::FILE* file, int& passes) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_color_16 white = {0, 255, 255, 255, 255};
    png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadRow(png_structp png, png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_row(png, row, nullptr);
    return true;
}

bool ReadWhole(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

class PngRows : public RowImage {
  public:
    explicit PngRows(const std::string& path) : m_context{path, {}} {}
    ~PngRows() override {
        if (m_png != nullptr) png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr);
    }
    PngRows(const PngRows&) = delete;
    PngRows& operator=(const PngRows&) = delete;

    bool Open(std::string& error) {
        const std::string& path = m_context.path;
        m_file.reset(std::fopen(path.c_str(), "rb"));
        if (!m_file) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        // libpng refuses a size beyond the limits as "Invalid IHDR data"; the size itself is
        // the clearer reason, so it is read from the header chunk (bytes 16 to 23) first.
        uint8_t header[24] = {};
        if (std::fread(header, 1, sizeof header, m_file.get()) == sizeof header &&
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
        std::rewind(m_file.get());
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &m_context, OnPngError, OnPngWarning);
        if (m_png != nullptr) m_info = png_create_info_struct(m_png);
        if (m_png == nullptr || m_info == nullptr) {
            error = "cannot start the PNG reader";
            return false;
        }
        png_set_user_limits(m_png, static_cast<png_uint_32>(kMaxImageWidth),
                            static_cast<png_uint_32>(kMaxImageHeight));
        int passes = 1;
        if (!ReadHeader(m_png, m_info, m_file.get(), passes)) {
            error = m_context.error;
            return false;
        }
        const png_uint_32 width = png_get_image_width(m_png, m_info);
        const png_uint_32 height = png_get_image_height(m_png, m_info);
        if (std::string why = CheckImageSize(path, width, height); !why.empty()) {
            error = why;
            return false;
        }
        if (png_get_rowbytes(m_png, m_info) != static_cast<std::size_t>(width) * 3) {
            error = path + ": unsupported PNG layout";
            return false;
        }
        m_width = static_cast<int>(width);
        m_height = static_cast<int>(height);
        // A grey image's profile does not describe the RGB it became; it is left out.
        png_charp name = nullptr;
        int compression = 0;
        png_bytep profile = nullptr;
        png_uint_32 length = 0;
        if (png_get_iCCP(m_png, m_info, &name, &compression, &profile, &length) != 0 &&
            profile != nullptr) {
            std::vector<uint8_t> bytes(profile, profile + length);
            if (IsRgbIccProfile(bytes)) m_iccProfile = std::move(bytes);
        }
        return passes == 1 || ReadInterlaced(error);
    }

    bool NextRow(std::span<uint8_t> out, std::string& error) override {
        if (!m_whole.empty()) {
            const std::size_t bytes = RowBytes();
            std::memcpy(out.data(), m_whole.data() + m_row++ * bytes, bytes);
            return true;
        }
        if (!ReadRow(m_png, out.data())) {
            error = m_context.error;
            return false;
        }
        return true;
    }

  private:
    bool ReadInterlaced(std::string& error) {
        if (int64_t{m_width} * m_height > kMaxWholeImagePixels) {
            error = m_context.path + ": an interlaced PNG is read whole, and " +
                    std::to_string(m_width) + " x " + std::to_string(m_height) +
                    " is more than 100000000 pixels; save it without interlacing";
            return false;
        }
        const std::size_t bytes = RowBytes();
        m_whole.assign(bytes * static_cast<std::size_t>(m_height), 0xFF);
        std::vector<png_bytep> rows(static_cast<std::size_t>(m_height));
        for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = m_whole.data() + y * bytes;
        if (!ReadWhole(m_png, rows.data())) {
            error = m_context.error;
            return false;
        }
        return true;
    }

    ReadContext m_context;
    std::unique_ptr<std::FILE, FileCloser> m_file;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    std::vector<uint8_t> m_whole;  // an interlaced image, decoded whole
    std::size_t m_row = 0;
};

}  // namespace

std::unique_ptr<RowImage> OpenPng(const std::string& path, std::string& error) {
    auto image = std::make_unique<PngRows>(path);
    if (!image->Open(error)) return nullptr;
    return image;
}

}  // namespace tarnwick::cli
