#include "file_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick::cli {
namespace {

// New stream files are readable by everyone, as printer spool files are.
constexpr unsigned kStreamFileMode = 0644;

}  // namespace

std::unique_ptr<FileChannel> FileChannel::Prepare(const std::string& path, std::string& error) {
    if (path == "-") return std::make_unique<FileChannel>(Key{}, path, OutputKind::kDevice);
    OutputKind kind = OutputKind::kOther;
    if (!ClassifyOutput(path, kind, error)) return nullptr;
    return std::make_unique<FileChannel>(Key{}, path, kind);
}

FileChannel::FileChannel(Key, std::string path, OutputKind kind)
    : m_path(std::move(path)), m_kind(kind) {}

FileChannel::~FileChannel() {
    if (m_owned && m_fd >= 0) ::close(m_fd);
}

bool FileChannel::Open(std::string& error) {
    if (m_fd >= 0) return true;
    if (m_path == "-") {
        m_fd = 1;
        return true;
    }
    if (m_kind == OutputKind::kFile) {
        m_file = ReplacementFile::Create(m_path, error, kStreamFileMode);
        if (!m_file) return false;
        m_fd = m_file->fd();
        return true;
    }
    // A FIFO waits here for its reader; a signal ends the wait (no SA_RESTART).
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write " + m_path + ": " + std::strerror(errno);
        return false;
    }
    m_fd = fd;
    m_owned = true;
    return true;
}

int32_t FileChannel::Write(const uint8_t* data, int32_t length, int64_t /*tag*/) {
    if (data == nullptr || length <= 0) return 0;
    if (failed()) return 0;  // a broken output stays broken
    if (m_fd < 0) {
        m_failure = "cannot write " + m_path + ": it is not open";
        return 0;
    }
    int32_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, data + done, static_cast<std::size_t>(length - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_failure = "cannot write " +
                        (m_path == "-" ? std::string("standard output") : m_path) + ": " +
                        (n < 0 ? std::strerror(errno) : "nothing was written");
            break;
        }
        if (m_observer) m_observer(std::span(data + done, static_cast<std::size_t>(n)));
        done += static_cast<int32_t>(n);
        m_written += static_cast<uint64_t>(n);
    }
    return done;
}

bool FileChannel::Finish(bool complete, std::string& error) {
    const int fd = m_fd;
    m_fd = -1;
    if (m_file) {
        // The replacement owns its descriptor.
        std::unique_ptr<ReplacementFile> file = std::move(m_file);
        if (failed()) {
            error = m_failure;
            return false;
        }
        if (!complete) return true;  // dropped with its temporary file
        return file->Commit(error);
    }
    if (m_owned && fd >= 0 && ::close(fd) != 0 && !failed()) {
        m_failure = "cannot write " + m_path + ": " + std::strerror(errno);
    }
    if (failed()) {
        error = m_failure;
        return false;
    }
    return true;
}

}  // namespace tarnwick::cli
