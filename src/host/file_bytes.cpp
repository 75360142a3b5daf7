#include "host/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/replace_file.h"

namespace tarnwick {

namespace {

// Closes the descriptor when the scope ends.
class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

std::string LimitText(size_t bytes) {
    constexpr size_t kMiB = 1024 * 1024;
    if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

std::string Describe(const char* path, const char* what) {
    return std::string(path) + ": " + what + " (" + std::strerror(errno) + ")";
}

}  // namespace

bool ReadFileBytes(const char* path, size_t maxBytes, std::vector<uint8_t>& out,
                   std::string& error) {
    out.clear();
    if (!path || !*path) {
        error = "no file name given";
        return false;
    }
    // O_NONBLOCK: a FIFO must not hold the open until someone writes to it; it is refused below.
    // On a regular file the flag changes nothing.
    Fd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        error = Describe(path, "cannot open file");
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = Describe(path, "cannot read file status");
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = std::string(path) + ": not a regular file";
        return false;
    }
    const std::string tooLarge =
        std::string(path) + ": file is larger than the limit of " + LimitText(maxBytes);
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        error = tooLarge;
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    // The file may grow while it is read: stop at the limit, and notice growth past it.
    for (;;) {
        if (done == out.size()) {
            if (out.size() >= maxBytes) {
                uint8_t probe = 0;
                const ssize_t more = ::read(fd.get(), &probe, 1);
                if (more > 0) {
                    error = tooLarge;
                    out.clear();
                    return false;
                }
                break;
            }
            out.resize(std::min(maxBytes, out.size() + 65536));
        }
        const ssize_t got = ::read(fd.get(), out.data() + done, out.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = Describe(path, "cannot read file");
            out.clear();
            return false;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    out.resize(done);
    return true;
}

bool WriteFileBytes(const char* path, std::span<const uint8_t> data, std::string& error) {
    if (!path || !*path) {
        error = "no file name given";
        return false;
    }
    return ReplaceFileContent(path, data, error);
}

}  // namespace tarnwick
