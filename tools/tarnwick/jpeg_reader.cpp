#include "jpeg_reader.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace tarnwick::cli {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// libjpeg leaves a failed call by longjmp; the message is kept for the caller.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool warned = false;
};

void OnJpegError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

// A warning means damaged data (a truncated file decodes to grey): the first one fails the read.
void OnJpegMessage(j_common_ptr cinfo, int level) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && !manager->warned) {
        manager->warned = true;
        (*cinfo->err->format_message)(cinfo, manager->message);
    }
}

// Owns the decompressor.
struct JpegReader {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    bool created = false;
    ~JpegReader() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// The steps libjpeg may leave by longjmp hold no object with a destructor: the reader and the
// pixels live in the caller's frame.
bool Start(JpegReader& reader, std::FILE* file) {
    if (setjmp(reader.errors.jump)) return false;
    jpeg_create_decompress(&reader.cinfo);
    reader.created = true;
    jpeg_stdio_src(&reader.cinfo, file);
    jpeg_save_markers(&reader.cinfo, JPEG_APP0 + 2, 0xFFFF);  // ICC profile chunks
    jpeg_read_header(&reader.cinfo, TRUE);
    return true;
}

bool Decode(JpegReader& reader, uint8_t* pixels) {
    if (setjmp(reader.errors.jump)) return false;
    jpeg_decompress_struct& cinfo = reader.cinfo;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * 3;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + static_cast<std::size_t>(cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

bool ReadProfile(JpegReader& reader, JOCTET** data, unsigned int* length) {
    if (setjmp(reader.errors.jump)) return false;
    return jpeg_read_icc_profile(&reader.cinfo, data, length) != 0;
}

}  // namespace

bool IsJpeg(const std::vector<uint8_t>& head) {
    return head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

bool ReadJpeg(const std::string& path, RgbImage& image, std::string& error) {
    image = RgbImage{};
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    JpegReader reader;
    reader.cinfo.err = jpeg_std_error(&reader.errors.base);
    reader.errors.base.error_exit = OnJpegError;
    reader.errors.base.emit_message = OnJpegMessage;
    if (!Start(reader, file.get())) {
        error = path + ": damaged JPEG file (" + reader.errors.message + ")";
        return false;
    }
    const jpeg_decompress_struct& cinfo = reader.cinfo;
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        error = path + ": a CMYK JPEG is not taken; give an RGB or grey image";
        return false;
    }
    if (std::string why = CheckImageSize(path, cinfo.image_width, cinfo.image_height);
        !why.empty()) {
        error = why;
        return false;
    }
    // Read while the header is current; a profile that cannot be read is left out, and the
    // image is then taken as sRGB. A grey image's profile does not describe the RGB it becomes.
    std::vector<uint8_t> profile;
    JOCTET* data = nullptr;
    unsigned int length = 0;
    if (cinfo.jpeg_color_space != JCS_GRAYSCALE && ReadProfile(reader, &data, &length) &&
        data != nullptr) {
        profile.assign(data, data + length);
        if (!IsRgbIccProfile(profile)) profile.clear();
    }
    std::free(data);
    std::vector<uint8_t> pixels(
        static_cast<std::size_t>(cinfo.image_width) * cinfo.image_height * 3, 0xFF);
    if (!Decode(reader, pixels.data()) || reader.errors.warned) {
        error = path + ": damaged JPEG file (" + reader.errors.message + ")";
        return false;
    }
    image.width = static_cast<int>(cinfo.output_width);
    image.height = static_cast<int>(cinfo.output_height);
    image.rgb = std::move(pixels);
    image.iccProfile = std::move(profile);
    return true;
}

}  // namespace tarnwick::cli
