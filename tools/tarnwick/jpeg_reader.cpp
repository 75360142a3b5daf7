#include "jpeg_reader.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The steps libjpeg may leave by longjmp hold no object with a destructor.
bool Start(jpeg_decompress_struct& cinfo, ErrorManager& errors, bool& created, std::FILE* file) {
    if (setjmp(errors.jump)) return false;
    jpeg_create_decompress(&cinfo);
    created = true;
    jpeg_stdio_src(&cinfo, file);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);  // ICC profile chunks
    jpeg_read_header(&cinfo, TRUE);
    return true;
}

bool ReadProfile(jpeg_decompress_struct& cinfo, ErrorManager& errors, JOCTET** data,
                 unsigned int* length) {
    if (setjmp(errors.jump)) return false;
    return jpeg_read_icc_profile(&cinfo, data, length) != 0;
}

bool StartDecoding(jpeg_decompress_struct& cinfo, ErrorManager& errors) {
    if (setjmp(errors.jump)) return false;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    return true;
}

bool ReadScanline(jpeg_decompress_struct& cinfo, ErrorManager& errors, JSAMPROW row) {
    if (setjmp(errors.jump)) return false;
    return jpeg_read_scanlines(&cinfo, &row, 1) == 1;
}

class JpegRows : public RowImage {
  public:
    explicit JpegRows(std::string path) : m_path(std::move(path)) {}
    ~JpegRows() override {
        if (m_created) jpeg_destroy_decompress(&m_cinfo);
    }
    JpegRows(const JpegRows&) = delete;
    JpegRows& operator=(const JpegRows&) = delete;

    bool Open(std::string& error) {
        m_file.reset(std::fopen(m_path.c_str(), "rb"));
        if (!m_file) {
            error = "cannot read " + m_path + ": " + std::strerror(errno);
            return false;
        }
        m_cinfo.err = jpeg_std_error(&m_errors.base);
        m_errors.base.error_exit = OnJpegError;
        m_errors.base.emit_message = OnJpegMessage;
        if (!Start(m_cinfo, m_errors, m_created, m_file.get())) return Damaged(error);
        if (m_cinfo.jpeg_color_space == JCS_CMYK || m_cinfo.jpeg_color_space == JCS_YCCK) {
            error = m_path + ": a CMYK JPEG is not taken; give an RGB or grey image";
            return false;
        }
        if (std::string why = CheckImageSize(m_path, m_cinfo.image_width, m_cinfo.image_height);
            !why.empty()) {
            error = why;
            return false;
        }
        // Read while the header is current; a profile that cannot be read is left out, and the
        // image is then taken as sRGB. A grey image's profile does not describe its RGB.
        JOCTET* data = nullptr;
        unsigned int length = 0;
        if (m_cinfo.jpeg_color_space != JCS_GRAYSCALE &&
            ReadProfile(m_cinfo, m_errors, &data, &length) && data != nullptr) {
            m_iccProfile.assign(data, data + length);
            if (!IsRgbIccProfile(m_iccProfile)) m_iccProfile.clear();
        }
        std::free(data);
        if (!StartDecoding(m_cinfo, m_errors)) return Damaged(error);
        m_width = static_cast<int>(m_cinfo.output_width);
        m_height = static_cast<int>(m_cinfo.output_height);
        return true;
    }

    bool NextRow(std::span<uint8_t> out, std::string& error) override {
        if (!ReadScanline(m_cinfo, m_errors, out.data()) || m_errors.warned) return Damaged(error);
        return true;
    }

  private:
    bool Damaged(std::string& error) const {
        error = m_path + ": damaged JPEG file (" + m_errors.message + ")";
        return false;
    }

    std::string m_path;
    std::unique_ptr<std::FILE, FileCloser> m_file;
    jpeg_decompress_struct m_cinfo{};
    ErrorManager m_errors{};
    bool m_created = false;
};

}  // namespace

bool IsJpeg(const std::vector<uint8_t>& head) {
    return head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

std::unique_ptr<RowImage> OpenJpeg(const std::string& path, std::string& error) {
    auto image = std::make_unique<JpegRows>(path);
    if (!image->Open(error)) return nullptr;
    return image;
}

}  // namespace tarnwick::cli
