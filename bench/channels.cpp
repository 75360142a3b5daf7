#include "channels.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::bench {

FileChannel::FileChannel(const std::string& path)
    : m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) {}

FileChannel::~FileChannel() {
    if (m_fd >= 0) ::close(m_fd);
}

int32_t FileChannel::Write(const uint8_t* data, int32_t length, int64_t) {
    ++m_writes;
    int32_t done = 0;
    while (m_fd >= 0 && done < length) {
        const ssize_t n = ::write(m_fd, data + done, static_cast<std::size_t>(length - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failed = true;
            break;
        }
        done += static_cast<int32_t>(n);
    }
    m_bytes += done;
    return done;
}

}  // namespace tarnwick::bench
