#include "pnm_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "raster_image.h"

namespace tarnwick::cli {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads one header number, skipping blanks and # comments. Refuses numbers of more than nine
// digits instead of letting them overflow.
bool ReadHeaderNumber(std::FILE* file, int64_t& value) {
    int c = std::fgetc(file);
    for (;;) {
        if (c == '#') {
            while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(file);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            c = std::fgetc(file);
        } else {
            break;
        }
    }
    if (c < '0' || c > '9') return false;
    value = 0;
    int digits = 0;
    while (c >= '0' && c <= '9') {
        if (++digits > 9) return false;
        value = value * 10 + (c - '0');
        c = std::fgetc(file);
    }
    // Exactly one blank ends the header's last number; it is consumed here.
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == EOF;
}

}  // namespace

bool LooksLikePnm(const std::vector<uint8_t>& head) {
    return head.size() >= 2 && head[0] == 'P' &&
           (head[1] == '4' || head[1] == '5' || head[1] == '6');
}

bool ReadPnm(const std::string& path, PnmImage& image, std::string& error) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    char magic[2] = {0, 0};
    if (std::fread(magic, 1, 2, file.get()) != 2 || magic[0] != 'P' ||
        (magic[1] != '4' && magic[1] != '5' && magic[1] != '6')) {
        error = path + ": not a binary PBM, PGM or PPM file (bad PNM header)";
        return false;
    }
    image.kind = magic[1];
    int64_t width = 0;
    int64_t height = 0;
    int64_t maxval = 1;
    if (!ReadHeaderNumber(file.get(), width) || !ReadHeaderNumber(file.get(), height) ||
        (image.kind != '4' && !ReadHeaderNumber(file.get(), maxval))) {
        error = path + ": bad PNM header (width, height or maxval missing or malformed)";
        return false;
    }
    if (maxval < 1 || maxval > 255) {
        error = path + ": bad PNM header (maxval " + std::to_string(maxval) +
                ", only 1 to 255 are read)";
        return false;
    }
    if (const std::string why = CheckImageSize(path, width, height); !why.empty()) {
        error = why;
        return false;
    }
    const int64_t rowBytes = image.kind == '4'   ? (width + 7) / 8
                             : image.kind == '5' ? width
                                                 : width * 3;
    const int64_t need = rowBytes * height;
    const long start = std::ftell(file.get());
    if (start < 0 || std::fseek(file.get(), 0, SEEK_END) != 0) {
        error = "cannot read " + path;
        return false;
    }
    const long size = std::ftell(file.get());
    if (size < 0 || size - start < need) {
        error = path + ": truncated (the header announces " + std::to_string(need) +
                " bytes of pixels, " + std::to_string(size < start ? 0 : size - start) +
                " are there)";
        return false;
    }
    std::fseek(file.get(), start, SEEK_SET);
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.maxval = static_cast<int>(maxval);
    image.data.resize(static_cast<std::size_t>(need));
    if (std::fread(image.data.data(), 1, image.data.size(), file.get()) != image.data.size()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

}  // namespace tarnwick::cli
