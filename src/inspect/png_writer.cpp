#include "inspect/png_writer.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/replace_file.h"

namespace tarnwick::inspect {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error != nullptr) *error = message;
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Kept apart from WritePngRgb so that no object with a destructor lives across the setjmp.
bool WriteRows(std::FILE* file, int width, int height, const uint8_t* rgb, std::string& error) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
    if (png == nullptr) {
        error = "cannot start the PNG writer";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        error = "cannot start the PNG writer";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rgb + static_cast<std::size_t>(y) * stride);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePngRgb(const std::string& path, int width, int height, std::span<const uint8_t> rgb,
                 std::string& error) {
    if (width <= 0 || height <= 0 ||
        rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
        error = "no image to write to " + path;
        return false;
    }
    if (width > kMaxPngSide || height > kMaxPngSide) {
        error = "cannot write " + path + ": an image of " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels is past libpng's limit of " +
                std::to_string(kMaxPngSide) + " pixels a side";
        return false;
    }
    OutputKind kind = OutputKind::kOther;
    if (!ClassifyOutput(path, kind, error)) return false;
    // A file is written beside its name and renamed over it once whole; a device or FIFO is
    // written in place.
    std::unique_ptr<ReplacementFile> replacement;
    int fd = -1;
    if (kind == OutputKind::kFile) {
        replacement = ReplacementFile::Create(path, error);
        if (!replacement) return false;
        fd = ::dup(replacement->fd());
    } else {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    }
    std::unique_ptr<std::FILE, FileCloser> file(fd < 0 ? nullptr : ::fdopen(fd, "wb"));
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    std::string why;
    if (!WriteRows(file.get(), width, height, rgb.data(), why)) {
        error = "cannot write " + path + ": " + why;
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return !replacement || replacement->Commit(error);
}

}  // namespace tarnwick::inspect
