#include "file_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick::cli {

std::unique_ptr<FileChannel> FileChannel::Open(const std::string& path, std::string& error) {
    if (path == "-") return std::make_unique<FileChannel>(Key{}, 1, false, "standard output");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<FileChannel>(Key{}, fd, true, path);
}

FileChannel::FileChannel(Key, int fd, bool owned, std::string name)
    : m_fd(fd), m_owned(owned), m_name(std::move(name)) {}

FileChannel::~FileChannel() {
    if (m_owned && m_fd >= 0) ::close(m_fd);
}

int32_t FileChannel::Write(const uint8_t* data, int32_t length, int64_t /*tag*/) {
    if (data == nullptr || length <= 0) return 0;
    if (failed()) return 0;  // a broken output stays broken
    int32_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, data + done, static_cast<std::size_t>(length - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failure = "cannot write " + m_name + ": " +
                        (n < 0 ? std::strerror(errno) : "nothing was written");
            break;
        }
        if (m_observer) m_observer(std::span(data + done, static_cast<std::size_t>(n)));
        done += static_cast<int32_t>(n);
        m_written += static_cast<uint64_t>(n);
    }
    return done;
}

bool FileChannel::Close(std::string& error) {
    if (failed()) {
        error = m_failure;
        return false;
    }
    if (!m_owned || m_fd < 0) return true;
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        error = "cannot write " + m_name + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tarnwick::cli
