#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"

namespace tarnwick {

namespace {

constexpr uint32_t kPollStepMs = 10;
constexpr size_t kMaxNameChars = 160;

// Uses path as a lock folder only if it is a real directory of ours that nobody else can write.
bool UsableDirectory(const std::string& path) {
    if (path.empty()) return false;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return st.st_uid == ::geteuid() && (st.st_mode & 0022) == 0;
}

uint32_t Fnv1a(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
    return hash;
}

// A file name that stands for the mutex name; names that had to be changed get a hash of the
// original so that "a/b" and "a_b" stay different mutexes.
std::string LockFileName(const std::string& name) {
    std::string safe;
    for (char c : name.substr(0, kMaxNameChars)) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        safe += plain ? c : '_';
    }
    if (safe != name) {
        char hash[16];
        std::snprintf(hash, sizeof(hash), "-%08x", Fnv1a(name));
        safe += hash;
    }
    return safe + ".lock";
}

}  // namespace

std::string LockDirectory() {
    if (const char* dir = std::getenv("TARNWICK_LOCK_DIR"); dir && *dir) {
        return UsableDirectory(dir) ? dir : "";
    }
    std::string dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        dir = std::string(runtime) + "/tarnwick";
    } else {
        dir = "/tmp/tarnwick-" + std::to_string(::geteuid());
    }
    return UsableDirectory(dir) ? dir : "";
}

CMutex::CMutex(bool initiallyOwn, const char* name, void* /*security*/) {
    const std::string dir = LockDirectory();
    if (dir.empty()) return;
    if (name && *name) {
        m_path = dir + "/" + LockFileName(name);
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } else {
        // A private mutex: an unnamed file nobody else can open.
        m_fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            std::string pattern = dir + "/private-XXXXXX";
            m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
            if (m_fd >= 0) ::unlink(pattern.c_str());
        }
    }
    if (m_fd < 0) m_fd = -1;
    if (initiallyOwn) Lock(0);
}

CMutex::~CMutex() {
    if (m_fd < 0) return;
    if (m_count > 0) ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
}

bool CMutex::TryLockOnce() {
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

int CMutex::Lock(uint32_t timeoutMs) {
    if (m_fd < 0) return 0;
    if (m_count > 0) {
        ++m_count;
        return 1;
    }
    bool acquired = TryLockOnce();
    if (!acquired && timeoutMs == kInfinite) {
        int rc;
        while ((rc = ::flock(m_fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        acquired = rc == 0;
    } else if (!acquired && timeoutMs > 0) {
        // Ends by the clock or by the sum of the sleeps, whichever says so first, so a clock
        // that stands still cannot make the wait endless.
        const uint32_t start = GetTickCount();
        uint32_t slept = 0;
        for (;;) {
            const uint32_t waited = std::max(GetTickCount() - start, slept);
            if (waited >= timeoutMs) break;
            const uint32_t step = std::min(kPollStepMs, timeoutMs - waited);
            Sleep(step);
            slept += step;
            if ((acquired = TryLockOnce())) break;
        }
    }
    if (acquired) m_count = 1;
    return acquired ? 1 : 0;
}

int CMutex::Unlock() {
    if (m_count <= 0) return 0;
    if (--m_count == 0) ::flock(m_fd, LOCK_UN);
    return 1;
}

CSingleLock::CSingleLock(CMutex* mutex, bool initiallyLock) : m_mutex(mutex) {
    if (initiallyLock) Lock();
}

CSingleLock::~CSingleLock() {
    Unlock();
}

int CSingleLock::Lock(uint32_t timeoutMs) {
    if (m_locked) return 1;
    if (!m_mutex) return 0;
    m_locked = m_mutex->Lock(timeoutMs) != 0;
    return m_locked ? 1 : 0;
}

int CSingleLock::Unlock() {
    if (m_locked && m_mutex) m_mutex->Unlock();
    m_locked = false;
    return 1;
}

}  // namespace tarnwick
