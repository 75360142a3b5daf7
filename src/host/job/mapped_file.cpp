#include "host/job/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick {

namespace {

std::string SystemError(const char* what, const std::string& path) {
    return std::string(what) + " job data file '" + path + "': " + std::strerror(errno);
}

}  // namespace

MappedFile::~MappedFile() {
    if (m_base) munmap(const_cast<uint8_t*>(m_base), m_size);
    if (m_fd >= 0) close(m_fd);
}

bool MappedFile::Open(const char* path, std::string& error) {
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
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize > 0) m_pageSize = static_cast<uint64_t>(pageSize);
    return true;
}

bool MappedFile::ReadHead(std::span<uint8_t> out, size_t& got, std::string& error) {
    got = 0;
    while (got < out.size()) {
        ssize_t n = pread(m_fd, out.data() + got, out.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = SystemError("cannot read", m_path);
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool MappedFile::Map(std::string& error) {
    struct stat st {};
    if (fstat(m_fd, &st) != 0) {
        error = SystemError("cannot examine", m_path);
        return false;
    }
    m_size = static_cast<size_t>(st.st_size);
    if (m_size > 0) {
        void* p = mmap(nullptr, m_size, PROT_READ, MAP_SHARED, m_fd, 0);
        if (p == MAP_FAILED) {
            m_size = 0;
            error = SystemError("cannot map", m_path);
            return false;
        }
        m_base = static_cast<const uint8_t*>(p);
        // Only a hint for read-ahead; a failure changes nothing that matters.
        madvise(p, m_size, MADV_SEQUENTIAL);
    }
    close(m_fd);
    m_fd = -1;
    return true;
}

void MappedFile::ReleaseBehind(uint64_t offset) {
    if (offset < m_releasedUpTo) {
        // The reader went back: pages from here on may be resident again.
        m_releasedUpTo = offset & ~(m_pageSize - 1);
        return;
    }
    if (offset - m_releasedUpTo < kReleaseStep || offset > m_size) return;
    uint64_t upTo = offset & ~(m_pageSize - 1);
    madvise(const_cast<uint8_t*>(m_base) + m_releasedUpTo, upTo - m_releasedUpTo, MADV_DONTNEED);
    m_releasedUpTo = upTo;
}

}  // namespace tarnwick
