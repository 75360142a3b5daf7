#include "image_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jpeg_reader.h"
#include "png_reader.h"
#include "pnm_reader.h"
#include "tiff_reader.h"

namespace tarnwick::cli {
namespace {

// More than any image within the pixel limit takes as a file.
constexpr std::size_t kMaxStandardInput = std::size_t{512} << 20;

// "-" is standard input. The readers seek and a pipe cannot, so it is copied once into a
// temporary file that is unlinked at once (nothing is left behind) and read as /dev/fd/N.
bool StandardInputPath(std::string& path, std::string& error) {
    static int spooled = -1;
    if (spooled < 0) {
        if (::isatty(0) == 1) {
            error = "standard input is a terminal; pipe an image into it or name a file";
            return false;
        }
        const char* dir = std::getenv("TMPDIR");
        std::string name =
            std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tarnwick-stdin-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd < 0) {
            error = "cannot keep standard input in " + name + ": " + std::strerror(errno);
            return false;
        }
        ::unlink(name.c_str());
        std::vector<char> buffer(1 << 16);
        std::size_t total = 0;
        for (;;) {
            const ssize_t got = ::read(0, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = std::string("cannot read standard input: ") + std::strerror(errno);
                ::close(fd);
                return false;
            }
            if (got == 0) break;
            total += static_cast<std::size_t>(got);
            if (total > kMaxStandardInput) {
                error = "standard input holds more than 512 MiB; no image that large is taken";
                ::close(fd);
                return false;
            }
            for (ssize_t done = 0; done < got;) {
                const ssize_t put =
                    ::write(fd, buffer.data() + done, static_cast<std::size_t>(got - done));
                if (put < 0 && errno == EINTR) continue;
                if (put <= 0) {
                    error = std::string("cannot keep standard input: ") + std::strerror(errno);
                    ::close(fd);
                    return false;
                }
                done += put;
            }
        }
        spooled = fd;
    }
    path = "/dev/fd/" + std::to_string(spooled);
    return true;
}

// Messages name standard input as such, not by the descriptor it was read through.
bool Named(bool ok, const std::string& path, const std::string& shown, std::string& error) {
    if (!ok) {
        for (std::size_t at = error.find(path); at != std::string::npos;
             at = error.find(path, at)) {
            error.replace(at, path.size(), shown);
            at += shown.size();
        }
    }
    return ok;
}

// The first bytes of an image file. Anything but a regular file is refused without waiting on
// it: a FIFO would hold the open until someone writes to it.
bool ReadHead(const std::string& path, std::vector<uint8_t>& head, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = path + ": not a regular file";
        return false;
    }
    head.resize(8);
    const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
    ::close(fd);
    head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return true;
}

bool IsPng(const std::vector<uint8_t>& head) {
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return head.size() == 8 && std::memcmp(head.data(), kSignature, 8) == 0;
}

bool IsTiff(const std::vector<uint8_t>& head) {
    return head.size() >= 4 &&
           ((head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
            (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42));
}

void PnmToRgb(PnmImage& pnm, RgbImage& image) {
    image.width = pnm.width;
    image.height = pnm.height;
    const std::size_t pixels = static_cast<std::size_t>(pnm.width) * pnm.height;
    if (pnm.kind == '6') {
        // Scaled where it lies: a colour image never sits in memory twice.
        for (uint8_t& sample : pnm.data) {
            sample = static_cast<uint8_t>(std::min(255, sample * 255 / pnm.maxval));
        }
        image.rgb = std::move(pnm.data);
        return;
    }
    image.rgb.resize(pixels * 3);
    const std::size_t pbmRow = (static_cast<std::size_t>(pnm.width) + 7) / 8;
    for (std::size_t i = 0; i < pixels; ++i) {
        uint8_t r = 0;
        uint8_t g = 0;
        uint8_t b = 0;
        if (pnm.kind == '4') {
            const std::size_t y = i / pnm.width;
            const std::size_t x = i % pnm.width;
            const bool dot = (pnm.data[y * pbmRow + x / 8] >> (7 - x % 8)) & 1;
            r = g = b = dot ? 0 : 255;
        } else {
            r = g = b = static_cast<uint8_t>(std::min(255, pnm.data[i] * 255 / pnm.maxval));
        }
        image.rgb[i * 3] = r;
        image.rgb[i * 3 + 1] = g;
        image.rgb[i * 3 + 2] = b;
    }
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

}  // namespace

namespace {

bool LoadColorFile(const std::string& path, RgbImage& image, std::string& error) {
    std::vector<uint8_t> head;
    if (!ReadHead(path, head, error)) return false;
    if (IsPng(head)) return ReadPng(path, image, error);
    if (IsTiff(head)) return ReadTiff(path, image, error);
    if (IsJpeg(head)) return ReadJpeg(path, image, error);
    if (LooksLikePnm(head)) {
        PnmImage pnm;
        if (!ReadPnm(path, pnm, error)) return false;
        PnmToRgb(pnm, image);
        return true;
    }
    error = path + ": not a PNG, TIFF, JPEG or binary PNM image";
    return false;
}

bool LoadPlaneFile(const std::string& path, PlaneImage& plane, std::string& error) {
    std::vector<uint8_t> head;
    if (!ReadHead(path, head, error)) return false;
    PnmImage pnm;
    if (!ReadPnm(path, pnm, error)) return false;
    plane.width = pnm.width;
    plane.height = pnm.height;
    if (pnm.kind == '4') {
        plane.bits = 1;
        plane.data = std::move(pnm.data);
        // The bits after the last pixel of a row are padding and stay clear.
        const std::size_t rowBytes = plane.RowBytes();
        const int spare = static_cast<int>(rowBytes * 8 - static_cast<std::size_t>(plane.width));
        if (spare > 0) {
            const auto keep = static_cast<uint8_t>(0xFF << spare);
            for (int y = 0; y < plane.height; ++y) plane.data[(y + 1) * rowBytes - 1] &= keep;
        }
        return true;
    }
    if (pnm.kind != '5') {
        error = path + ": a colorant plane must be a PBM (P4) or PGM (P5) file";
        return false;
    }
    plane.bits = BitsForMaxval(pnm.maxval);
    if (plane.bits == 0) {
        error = path + ": PGM maxval " + std::to_string(pnm.maxval) +
                " is not one of 3, 15 or 255 (2, 4 or 8 bits per pixel)";
        return false;
    }
    const std::size_t rowBytes = plane.RowBytes();
    plane.data.assign(rowBytes * static_cast<std::size_t>(plane.height), 0);
    for (int y = 0; y < plane.height; ++y) {
        uint8_t* row = plane.data.data() + static_cast<std::size_t>(y) * rowBytes;
        for (int x = 0; x < plane.width; ++x) {
            const int value = pnm.data[static_cast<std::size_t>(y) * plane.width + x];
            const int level = pnm.maxval - std::min(value, pnm.maxval);
            const int bit = x * plane.bits;
            row[bit / 8] |= static_cast<uint8_t>(level << (8 - plane.bits - bit % 8));
        }
    }
    return true;
}

}  // namespace

bool LoadColorImage(const std::string& name, RgbImage& image, std::string& error) {
    std::string path = name;
    if (name == "-" && !StandardInputPath(path, error)) return false;
    if (name != "-") return LoadColorFile(path, image, error);
    return Named(LoadColorFile(path, image, error), path, "standard input", error);
}

bool LoadPlane(const std::string& name, PlaneImage& plane, std::string& error) {
    std::string path = name;
    if (name == "-" && !StandardInputPath(path, error)) return false;
    if (name != "-") return LoadPlaneFile(path, plane, error);
    return Named(LoadPlaneFile(path, plane, error), path, "standard input", error);
}

}  // namespace tarnwick::cli
