#include "platform/afm_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick {

namespace {

constexpr size_t kMaxFileName = 256;

// Index of the last '\\' or '/' in path, or -1.
long LastSeparator(const char* path) {
    long last = -1;
    for (long i = 0; path[i]; ++i) {
        if (path[i] == '\\' || path[i] == '/') last = i;
    }
    return last;
}

void CopyCut(char* out, const char* from, size_t length, size_t capacity) {
    if (length >= capacity) length = capacity - 1;
    std::memcpy(out, from, length);
    out[length] = '\0';
}

int OpenFlags(int mode) {
    switch (mode) {
        case 0:
            return O_RDONLY;
        case 1:
            return O_WRONLY;
        default:
            return O_RDWR;
    }
}

}  // namespace

AFM_File::~AFM_File() {
    // Not through the virtual Close: a derived part is already gone here.
    if (IsOpen()) ::close(m_hFile);
}

int AFM_File::Open(const char* path, int mode) {
    Close();
    if (!path) {
        m_szPath[0] = '\0';
        return 0;
    }
    CopyCut(m_szPath, path, std::strlen(path), sizeof(m_szPath));
    if (mode >= 0 && mode <= 2) {
        // O_NONBLOCK: a FIFO must not hold the open until someone opens its other end; it is
        // refused below. On a regular file the flag changes nothing.
        m_hFile = ::open(path, OpenFlags(mode) | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    } else {
        // No data access wanted, but the file must still come into being. O_PATH cannot create,
        // so create first (O_EXCL: an existing file is left alone).
        const int created = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created >= 0) ::close(created);
        m_hFile = ::open(path, O_PATH | O_CLOEXEC);
    }
    if (m_hFile < 0) m_hFile = -1;
    // Job files are regular files; a FIFO, device or folder would block or mislead a reader.
    struct stat st {};
    if (IsOpen() && (::fstat(m_hFile, &st) != 0 || !S_ISREG(st.st_mode))) Close();
    return IsOpen() ? 1 : 0;
}

int AFM_File::GetPath(char* out) {
    if (!IsOpen() || !out) return 0;
    CopyCut(out, m_szPath, std::strlen(m_szPath), sizeof(m_szPath));
    return 1;
}

int AFM_File::GetDirectory(char* out) {
    if (!IsOpen() || !out) return 0;
    const long last = LastSeparator(m_szPath);
    CopyCut(out, m_szPath, last < 0 ? 0 : static_cast<size_t>(last), sizeof(m_szPath));
    return 1;
}

int AFM_File::GetHandle() {
    return m_hFile;
}

int AFM_File::GetFileName(char* out) {
    if (!IsOpen() || !out) return 0;
    const char* name = m_szPath + (LastSeparator(m_szPath) + 1);
    CopyCut(out, name, std::strlen(name), kMaxFileName);
    return 1;
}

int AFM_File::Seek(int64_t offset, int origin) {
    if (!IsOpen()) return 0;
    int whence = 0;
    switch (origin) {
        case 0:
            whence = SEEK_SET;
            break;
        case 1:
            whence = SEEK_CUR;
            break;
        case 2:
            whence = SEEK_END;
            break;
        default:
            return 0;
    }
    return ::lseek(m_hFile, static_cast<off_t>(offset), whence) == static_cast<off_t>(-1) ? 0 : 1;
}

int64_t AFM_File::Tell() {
    if (!IsOpen()) return -1;
    const off_t position = ::lseek(m_hFile, 0, SEEK_CUR);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

uint32_t AFM_File::Read(void* buffer, uint32_t count, int64_t offset, int origin) {
    if (!IsOpen()) return 0;
    if (!(offset == 0 && origin == 1) && !Seek(offset, origin)) return 0;
    if (count > 0 && !buffer) return 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(m_hFile, bytes + done, count - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (got == 0) break;
        done += static_cast<uint32_t>(got);
    }
    return done;
}

uint32_t AFM_File::Write(const void* buffer, uint32_t count, int64_t offset, int origin) {
    if (!IsOpen()) return 0;
    if (!(offset == 0 && origin == 1) && !Seek(offset, origin)) return 0;
    if (count > 0 && !buffer) return 0;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(m_hFile, bytes + done, count - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (put == 0) break;
        done += static_cast<uint32_t>(put);
    }
    return done;
}

void AFM_File::Close() {
    if (IsOpen()) ::close(m_hFile);
    m_hFile = -1;
}

int AFM_File::Delete() {
    if (!IsOpen()) return 0;
    // The kept path may have been cut, or the file replaced since: remove only what is open.
    struct stat opened {};
    const bool known = ::fstat(m_hFile, &opened) == 0;
    Close();
    struct stat named {};
    if (!known || ::lstat(m_szPath, &named) != 0) return 0;
    if (named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) return 0;
    return ::unlink(m_szPath) == 0 ? 1 : 0;
}

int AFM_File::Truncate() {
    if (!IsOpen()) return 0;
    const off_t position = ::lseek(m_hFile, 0, SEEK_CUR);
    if (position < 0) return 0;
    return ::ftruncate(m_hFile, position) == 0 ? 1 : 0;
}

}  // namespace tarnwick
