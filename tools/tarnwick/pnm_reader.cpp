#include "pnm_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

int BitsForMaxval(int maxval) {
    switch (maxval) {
        case 3:
            return 2;
        case 15:
            return 4;
        case 255:
            return 8;
        default:
            return 0;
    }
}

class PnmRows : public RowImage {
  public:
    PnmRows(File file, std::string path, char kind, int width, int height, int maxval, PnmUse use)
        : m_file(std::move(file)), m_path(std::move(path)), m_kind(kind), m_maxval(maxval) {
        m_width = width;
        m_height = height;
        m_bits = use == PnmUse::kColor ? 24 : kind == '4' ? 1 : BitsForMaxval(maxval);
        const std::size_t w = static_cast<std::size_t>(width);
        m_raw.resize(kind == '4' ? (w + 7) / 8 : kind == '5' ? w : w * 3);
    }

    bool NextRow(std::span<uint8_t> out, std::string& error) override {
        if (std::fread(m_raw.data(), 1, m_raw.size(), m_file.get()) != m_raw.size()) {
            error = m_path + ": truncated (cut short while it was read)";
            return false;
        }
        if (m_bits == 24) {
            ToRgb(out);
        } else if (m_kind == '4') {
            std::copy(m_raw.begin(), m_raw.end(), out.begin());
            // The bits after the last pixel of a row are padding and stay clear.
            const int spare =
                static_cast<int>(m_raw.size() * 8 - static_cast<std::size_t>(m_width));
            if (spare > 0) out[m_raw.size() - 1] &= static_cast<uint8_t>(0xFF << spare);
        } else {
            std::fill(out.begin(), out.end(), uint8_t{0});
            for (int x = 0; x < m_width; ++x) {
                const int level =
                    m_maxval - std::min<int>(m_raw[static_cast<std::size_t>(x)], m_maxval);
                const int bit = x * m_bits;
                out[static_cast<std::size_t>(bit / 8)] |=
                    static_cast<uint8_t>(level << (8 - m_bits - bit % 8));
            }
        }
        return true;
    }

  private:
    uint8_t Scaled(uint8_t sample) const {
        return static_cast<uint8_t>(std::min(255, sample * 255 / m_maxval));
    }

    void ToRgb(std::span<uint8_t> out) const {
        for (int x = 0; x < m_width; ++x) {
            const auto i = static_cast<std::size_t>(x);
            uint8_t* pixel = out.data() + i * 3;
            if (m_kind == '6') {
                for (int c = 0; c < 3; ++c)
                    pixel[c] = Scaled(m_raw[i * 3 + static_cast<std::size_t>(c)]);
            } else {
                const uint8_t grey = m_kind == '4' ? ((m_raw[i / 8] >> (7 - i % 8)) & 1 ? 0 : 255)
                                                   : Scaled(m_raw[i]);
                pixel[0] = pixel[1] = pixel[2] = grey;
            }
        }
    }

    File m_file;
    std::string m_path;
    char m_kind;
    int m_maxval;
    std::vector<uint8_t> m_raw;  // one row as stored
};

}  // namespace

bool LooksLikePnm(const std::vector<uint8_t>& head) {
    return head.size() >= 2 && head[0] == 'P' &&
           (head[1] == '4' || head[1] == '5' || head[1] == '6');
}

std::unique_ptr<RowImage> OpenPnm(const std::string& path, PnmUse use, std::string& error) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    char magic[2] = {0, 0};
    if (std::fread(magic, 1, 2, file.get()) != 2 || magic[0] != 'P' ||
        (magic[1] != '4' && magic[1] != '5' && magic[1] != '6')) {
        error = path + ": not a binary PBM, PGM or PPM file (bad PNM header)";
        return nullptr;
    }
    const char kind = magic[1];
    int64_t width = 0;
    int64_t height = 0;
    int64_t maxval = 1;
    if (!ReadHeaderNumber(file.get(), width) || !ReadHeaderNumber(file.get(), height) ||
        (kind != '4' && !ReadHeaderNumber(file.get(), maxval))) {
        error = path + ": bad PNM header (width, height or maxval missing or malformed)";
        return nullptr;
    }
    if (maxval < 1 || maxval > 255) {
        error = path + ": bad PNM header (maxval " + std::to_string(maxval) +
                ", only 1 to 255 are read)";
        return nullptr;
    }
    if (const std::string why = CheckImageSize(path, width, height); !why.empty()) {
        error = why;
        return nullptr;
    }
    if (use == PnmUse::kPlane) {
        if (kind == '6') {
            error = path + ": a colorant plane must be a PBM (P4) or PGM (P5) file";
            return nullptr;
        }
        if (kind == '5' && BitsForMaxval(static_cast<int>(maxval)) == 0) {
            error = path + ": PGM maxval " + std::to_string(maxval) +
                    " is not one of 3, 15 or 255 (2, 4 or 8 bits per pixel)";
            return nullptr;
        }
    }
    // A file cut short is told before the first row is written, not deep into a long page.
    const int64_t rowBytes = kind == '4' ? (width + 7) / 8 : kind == '5' ? width : width * 3;
    const int64_t need = rowBytes * height;
    const long start = std::ftell(file.get());
    if (start < 0 || std::fseek(file.get(), 0, SEEK_END) != 0) {
        error = "cannot read " + path;
        return nullptr;
    }
    const long size = std::ftell(file.get());
    if (size < 0 || size - start < need) {
        error = path + ": truncated (the header announces " + std::to_string(need) +
                " bytes of pixels, " + std::to_string(size < start ? 0 : size - start) +
                " are there)";
        return nullptr;
    }
    if (std::fseek(file.get(), start, SEEK_SET) != 0) {
        error = "cannot read " + path;
        return nullptr;
    }
    return std::make_unique<PnmRows>(std::move(file), path, kind, static_cast<int>(width),
                                     static_cast<int>(height), static_cast<int>(maxval), use);
}

}  // namespace tarnwick::cli
