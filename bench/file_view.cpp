#include "file_view.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick::bench {

FileView::FileView(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        m_error = path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return;
    }
    if (st.st_size > 0) {
        void* p =
            mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            m_error = path + ": " + std::strerror(errno);
        } else {
            m_base = static_cast<const uint8_t*>(p);
            m_size = static_cast<std::size_t>(st.st_size);
        }
    }
    ::close(fd);
}

FileView::~FileView() {
    if (m_base != nullptr) munmap(const_cast<uint8_t*>(m_base), m_size);
}

}  // namespace tarnwick::bench
