#include "host/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace tarnwick {
namespace {

// Room for ".", the suffix and the NUL within a file name of 255 bytes.
constexpr std::size_t kMaxBaseInTemp = 200;
constexpr int kNameAttempts = 100;

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Reason(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

// The file a path names once symbolic links are followed; false when the link leads nowhere.
bool Resolve(const std::string& path, std::string& resolved, std::string& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        resolved = path;
        return true;
    }
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        error = path + " is a symbolic link to nothing that can be written (" +
                std::strerror(errno) + ")";
        return false;
    }
    resolved = real;
    std::free(real);
    return true;
}

bool FolderTakesFiles(const std::string& path, std::string& error) {
    if (::access(Folder(path).c_str(), W_OK | X_OK) == 0) return true;
    error = Reason(path, errno);
    return false;
}

std::string Suffix(std::mt19937& random) {
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string suffix(6, 'x');
    for (char& c : suffix) c = kChars[pick(random)];
    return suffix;
}

}  // namespace

// The temporary files under way, for a signal handler to remove. A slot is claimed by the
// thread that sets its state from 0 to 1; the handler reads only slots whose state is 2.
struct PendingTemporary {
    std::atomic<int> state{0};  // 0 free, 1 being filled or emptied, 2 holds a path
    char path[PATH_MAX];
};

namespace {

PendingTemporary g_pending[8];
static_assert(std::atomic<int>::is_always_lock_free);

PendingTemporary* Remember(const std::string& path) {
    if (path.size() >= PATH_MAX) return nullptr;
    for (PendingTemporary& slot : g_pending) {
        int expected = 0;
        if (!slot.state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(2);
        return &slot;
    }
    return nullptr;  // the file is still removed by the replacement itself
}

void Forget(PendingTemporary* slot) {
    if (slot == nullptr) return;
    slot->state.store(1);
    slot->path[0] = '\0';
    slot->state.store(0);
}

}  // namespace

void RemovePendingTemporaries() {
    for (PendingTemporary& slot : g_pending) {
        if (slot.state.load() == 2) ::unlink(slot.path);
    }
}

bool ClassifyOutput(const std::string& path, OutputKind& kind, std::string& error) {
    kind = OutputKind::kOther;
    std::string target;
    if (!Resolve(path, target, error)) return false;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            error = Reason(path, errno);
            return false;
        }
        kind = OutputKind::kFile;
        return FolderTakesFiles(target, error);
    }
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode)) {
        kind = OutputKind::kDevice;
        return true;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + (S_ISDIR(st.st_mode) ? " is a folder" : " is not a regular file") +
                "; nothing is written to it";
        return false;
    }
    kind = OutputKind::kFile;
    if (::access(target.c_str(), W_OK) != 0) {
        error = path + " is read-only (" + std::strerror(errno) + "); it is left as it is";
        return false;
    }
    return FolderTakesFiles(target, error);
}

std::unique_ptr<ReplacementFile> ReplacementFile::Create(const std::string& path,
                                                         std::string& error, unsigned mode) {
    std::string target;
    if (!Resolve(path, target, error)) return nullptr;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        error = Reason(path, errno);
        return nullptr;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        error = path + " exists and is not a regular file (" +
                (S_ISDIR(st.st_mode) ? "a folder" : "a device, FIFO or socket") +
                "); it is left as it is";
        return nullptr;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        error = path + " is read-only (" + std::strerror(errno) + "); it is left as it is";
        return nullptr;
    }
    const std::string stem =
        Folder(target) + "/." + BaseName(target).substr(0, kMaxBaseInTemp) + ".";
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string temp = stem + Suffix(random);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              exists ? 0600 : static_cast<mode_t>(mode));
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            error = Reason(path, errno);
            return nullptr;
        }
        // The replacement keeps the permissions the old file had.
        if (exists) (void)::fchmod(fd, st.st_mode & 07777);
        return std::make_unique<ReplacementFile>(Key{}, target, std::move(temp), fd);
    }
    error = "cannot write " + path + ": no free temporary name beside it";
    return nullptr;
}

ReplacementFile::ReplacementFile(Key, std::string target, std::string temp, int fd)
    : m_target(std::move(target)), m_temp(std::move(temp)), m_fd(fd), m_pending(Remember(m_temp)) {}

ReplacementFile::~ReplacementFile() {
    if (!m_done) Discard();
}

bool ReplacementFile::Write(std::span<const uint8_t> data, std::string& error) {
    if (m_fd < 0) {
        error = Reason(m_target, EBADF);
        return false;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t put = ::write(m_fd, data.data() + done, data.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            error = put < 0 ? Reason(m_target, errno)
                            : "cannot write " + m_target + ": nothing was written";
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool ReplacementFile::CloseFd(std::string& error) {
    if (m_fd < 0) return true;
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        error = Reason(m_target, errno);
        return false;
    }
    return true;
}

bool ReplacementFile::Commit(std::string& error) {
    if (m_done) {
        error = "cannot write " + m_target + ": the replacement is already over";
        return false;
    }
    if (!CloseFd(error)) {
        Discard();
        return false;
    }
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        error = Reason(m_target, errno);
        Discard();
        return false;
    }
    m_done = true;
    Forget(m_pending);
    m_pending = nullptr;
    return true;
}

void ReplacementFile::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_done) ::unlink(m_temp.c_str());
    m_done = true;
    Forget(m_pending);
    m_pending = nullptr;
}

bool ReplaceFileContent(const std::string& path, std::span<const uint8_t> data,
                        std::string& error) {
    std::unique_ptr<ReplacementFile> file = ReplacementFile::Create(path, error);
    return file && file->Write(data, error) && file->Commit(error);
}

}  // namespace tarnwick
