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

// A bound on what a pipe may fill the temporary folder with; a banner larger than this as a
// compressed file is better named as a file.
constexpr std::size_t kMaxStandardInput = std::size_t{4} << 30;

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
                error = "standard input holds more than 4 GiB; name so large an image as a file";
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

}  // namespace

namespace {

std::unique_ptr<RowImage> OpenColorFile(const std::string& path, std::string& error) {
    std::vector<uint8_t> head;
    if (!ReadHead(path, head, error)) return nullptr;
    if (IsPng(head)) return OpenPng(path, error);
    if (IsTiff(head)) return OpenTiff(path, error);
    if (IsJpeg(head)) return OpenJpeg(path, error);
    if (LooksLikePnm(head)) return OpenPnm(path, PnmUse::kColor, error);
    error = path + ": not a PNG, TIFF, JPEG or binary PNM image";
    return nullptr;
}

std::unique_ptr<RowImage> OpenPlaneFile(const std::string& path, std::string& error) {
    std::vector<uint8_t> head;
    if (!ReadHead(path, head, error)) return nullptr;
    return OpenPnm(path, PnmUse::kPlane, error);
}

// Standard input's image, read through the file it was kept in, and named as such.
class StandardInputRows : public RowImage {
  public:
    StandardInputRows(std::unique_ptr<RowImage> image, std::string path)
        : m_image(std::move(image)), m_path(std::move(path)) {
        m_width = m_image->width();
        m_height = m_image->height();
        m_bits = m_image->bits();
        m_iccProfile = m_image->iccProfile();
    }
    bool NextRow(std::span<uint8_t> out, std::string& error) override {
        return Named(m_image->NextRow(out, error), m_path, "standard input", error);
    }

  private:
    std::unique_ptr<RowImage> m_image;
    std::string m_path;
};

template <typename Open>
std::unique_ptr<RowImage> OpenNamed(const std::string& name, Open open, std::string& error) {
    if (name != "-") return open(name, error);
    std::string path;
    if (!StandardInputPath(path, error)) return nullptr;
    std::unique_ptr<RowImage> image = open(path, error);
    if (!image) {
        Named(false, path, "standard input", error);
        return nullptr;
    }
    return std::make_unique<StandardInputRows>(std::move(image), path);
}

}  // namespace

std::unique_ptr<RowImage> OpenColorImage(const std::string& name, std::string& error) {
    return OpenNamed(name, OpenColorFile, error);
}

std::unique_ptr<RowImage> OpenPlane(const std::string& name, std::string& error) {
    return OpenNamed(name, OpenPlaneFile, error);
}

}  // namespace tarnwick::cli
