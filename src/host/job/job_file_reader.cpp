#include "host/job/job_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tarnwick {

namespace {

std::string SystemError(const char* what, const std::string& path) {
    return std::string(what) + " job data file '" + path + "': " + std::strerror(errno);
}

}  // namespace

JobFileReader::~JobFileReader() {
    if (m_fd >= 0) close(m_fd);
}

bool JobFileReader::Open(const char* path, std::string& error) {
    m_path = path;
    // O_NONBLOCK keeps open() from waiting for a writer should the name be a FIFO.
    m_fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        error = SystemError("cannot open", m_path);
        return false;
    }
    struct stat st {};
    if (fstat(m_fd, &st) != 0) {
        error = SystemError("cannot examine", m_path);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "job data file '" + m_path + "' is not a regular file";
        return false;
    }
    return true;
}

bool JobFileReader::ReadHead(std::span<uint8_t> out, size_t& got, std::string& error) {
    // A short head is the parser's to judge, so nothing is required here.
    return ReadAtLeast(0, out, 0, got, error);
}

bool JobFileReader::TakeSize(std::string& error) {
    struct stat st {};
    if (fstat(m_fd, &st) != 0) {
        error = SystemError("cannot examine", m_path);
        return false;
    }
    m_size = static_cast<uint64_t>(st.st_size);
    // The window is made here, once per load, so that reading rows never allocates.
    m_capacity = static_cast<size_t>(std::min<uint64_t>(m_size, kWindowBytes));
    m_window = std::make_unique_for_overwrite<uint8_t[]>(std::max<size_t>(m_capacity, 1));
    return true;
}

bool JobFileReader::ReadAtLeast(uint64_t offset, std::span<uint8_t> out, size_t need, size_t& got,
                                std::string& error) {
    got = 0;
    while (got < out.size()) {
        const ssize_t n =
            pread(m_fd, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = SystemError("cannot read", m_path);
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    if (got >= need) return true;
    error = "job data file '" + m_path + "' ended at byte " + std::to_string(offset + got) +
            " although " + std::to_string(offset + need) +
            " were announced: it was cut short while it was read";
    return false;
}

bool JobFileReader::ReadExact(uint64_t offset, std::span<uint8_t> out, std::string& error) {
    size_t got = 0;
    return ReadAtLeast(offset, out, out.size(), got, error);
}

bool JobFileReader::Fill(uint64_t offset, size_t n) {
    // Never read past the size taken at load: beyond it may be a writer's unfinished bytes.
    const size_t len = static_cast<size_t>(
        std::min<uint64_t>(std::max(n, kWindowBytes), m_size > offset ? m_size - offset : 0));
    m_windowLen = 0;
    if (len < n) {
        m_error = "job data file '" + m_path + "' has no bytes " + std::to_string(offset) + " to " +
                  std::to_string(offset + n);
        return false;
    }
    // Only a row longer than the window needs a larger one; the parser bounded it by the file.
    if (len > m_capacity) {
        m_window = std::make_unique_for_overwrite<uint8_t[]>(len);
        m_capacity = len;
    }
    // What a cut has taken is missing only if a view needs it.
    size_t got = 0;
    if (!ReadAtLeast(offset, {m_window.get(), len}, n, got, m_error)) return false;
    m_windowAt = offset;
    m_windowLen = got;
    return true;
}

const uint8_t* JobFileReader::View(uint64_t offset, size_t n) {
    const bool inside = offset >= m_windowAt && offset - m_windowAt <= m_windowLen &&
                        n <= m_windowLen - (offset - m_windowAt);
    if (!inside && !Fill(offset, n)) return nullptr;
    return m_window.get() + (offset - m_windowAt);
}

}  // namespace tarnwick
