#include "platform/named_mutex.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/clock.h"

namespace tarnwick {

// One per lock file and process. All fields are guarded by the registry mutex.
struct LockEntry {
    explicit LockEntry(int descriptor) : fd(descriptor) {}
    ~LockEntry() { ::close(fd); }
    LockEntry(const LockEntry&) = delete;
    LockEntry& operator=(const LockEntry&) = delete;

    int fd;
    pid_t pid = ::getpid();  // a forked child must not use its parent's descriptor
    std::thread::id owner;   // valid while count > 0
    int count = 0;
    bool busy = false;   // a thread owns the flock or is blocked taking it
    uint64_t epoch = 0;  // counts the times the mutex was taken afresh
    std::condition_variable freed;
};

namespace {

constexpr uint32_t kPollStepMs = 10;
constexpr size_t kMaxNameChars = 160;

struct Registry {
    Registry() {
        // A fork while another thread is inside the registry would leave the child's copy of
        // the mutex locked for good.
        ::pthread_atfork([] { Get().mutex.lock(); }, [] { Get().mutex.unlock(); },
                         [] { Get().mutex.unlock(); });
    }
    static Registry& Get() {
        static Registry registry;
        return registry;
    }

    std::mutex mutex;
    std::map<std::string, std::weak_ptr<LockEntry>> entries;  // by lock file path
};

// Usable only if the entry was opened by this process (not inherited through fork).
bool Ours(const LockEntry& entry) {
    return entry.pid == ::getpid();
}

bool OwnedByCaller(const LockEntry& entry) {
    return entry.count > 0 && entry.owner == std::this_thread::get_id();
}

// Ends an ownership: the flock goes and the waiting threads look again.
bool Release(LockEntry& entry) {
    const bool unlocked = ::flock(entry.fd, LOCK_UN) == 0;
    entry.count = 0;
    entry.busy = false;
    entry.freed.notify_all();
    return unlocked;
}

// Why path cannot hold lock files, or "" when it can.
std::string RefuseDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::string("cannot be created (") + std::strerror(errno) + ")";
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::string("cannot be read (") + std::strerror(errno) + ")";
    }
    if (S_ISLNK(st.st_mode)) return "a symbolic link, not a real directory";
    if (!S_ISDIR(st.st_mode)) return "not a directory";
    if (st.st_uid != ::geteuid()) return "owned by another user";
    if ((st.st_mode & 0022) != 0) return "group- or world-writable";
    return "";
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

// A private mutex: an unnamed file nobody else can open.
int OpenPrivateFile(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::string pattern = dir + "/private-XXXXXX";
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0) ::unlink(pattern.c_str());
    }
    return fd;
}

}  // namespace

std::string LockDirectory(std::string* refused) {
    std::string candidates[3];
    int count = 0;
    if (const char* dir = std::getenv("TARNWICK_LOCK_DIR"); dir && *dir) candidates[count++] = dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        candidates[count++] = std::string(runtime) + "/tarnwick";
    }
    candidates[count++] = "/tmp/tarnwick-" + std::to_string(::geteuid());

    std::string reasons;
    std::string chosen;
    for (int i = 0; i < count && chosen.empty(); ++i) {
        const std::string reason = RefuseDirectory(candidates[i]);
        if (reason.empty()) {
            chosen = candidates[i];
        } else {
            reasons += (reasons.empty() ? "" : "; ") + candidates[i] + ": " + reason;
        }
    }
    if (refused) *refused = reasons;
    return chosen;
}

CMutex::CMutex(bool initiallyOwn, const char* name, void* /*security*/) {
    std::string refused;
    const std::string dir = LockDirectory(&refused);
    if (dir.empty()) {
        m_strError = "no usable lock folder: " + refused;
        return;
    }
    if (!name || !*name) {
        const int fd = OpenPrivateFile(dir);
        if (fd < 0) {
            m_strError = "cannot make a private lock file in " + dir + ": " + std::strerror(errno);
            return;
        }
        m_pEntry = std::make_shared<LockEntry>(fd);
    } else {
        m_strPath = dir + "/" + LockFileName(name);
        Registry& registry = Registry::Get();
        std::lock_guard<std::mutex> lock(registry.mutex);
        std::weak_ptr<LockEntry>& slot = registry.entries[m_strPath];
        m_pEntry = slot.lock();
        if (!m_pEntry || !Ours(*m_pEntry)) {
            m_pEntry.reset();
            const int fd =
                ::open(m_strPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0) {
                m_strError = "cannot open " + m_strPath + ": " + std::strerror(errno);
                registry.entries.erase(m_strPath);
                return;
            }
            m_pEntry = std::make_shared<LockEntry>(fd);
            slot = m_pEntry;
        }
    }
    if (initiallyOwn) Lock(0);  // never waits; IsLocked() tells whether it was free
}

CMutex::~CMutex() {
    if (!m_pEntry) return;
    Registry& registry = Registry::Get();
    std::lock_guard<std::mutex> lock(registry.mutex);
    LockEntry& entry = *m_pEntry;
    // Levels of an ownership that has since ended are not ours to give back.
    if (Ours(entry) && m_nHeld > 0 && entry.count > 0 && entry.epoch == m_nEpoch) {
        entry.count -= std::min(m_nHeld, entry.count);
        // Nobody is left to tell of a failed unlock; the kernel frees the lock at the latest
        // when the last descriptor of the file closes.
        if (entry.count == 0) static_cast<void>(Release(entry));
    }
    m_pEntry.reset();
    if (m_strPath.empty()) return;
    if (const auto it = registry.entries.find(m_strPath);
        it != registry.entries.end() && it->second.expired()) {
        registry.entries.erase(it);
    }
}

void CMutex::Took() {
    if (m_nEpoch != m_pEntry->epoch) {
        m_nEpoch = m_pEntry->epoch;
        m_nHeld = 0;
    }
    ++m_nHeld;
}

bool CMutex::TryLockOnce() {
    std::lock_guard<std::mutex> lock(Registry::Get().mutex);
    LockEntry& entry = *m_pEntry;
    if (!Ours(entry)) return false;
    if (OwnedByCaller(entry)) {
        ++entry.count;
        Took();
        return true;
    }
    if (entry.busy) return false;
    int rc;
    while ((rc = ::flock(entry.fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) return false;
    entry.busy = true;
    entry.owner = std::this_thread::get_id();
    entry.count = 1;
    ++entry.epoch;
    Took();
    return true;
}

int CMutex::LockWaiting() {
    std::unique_lock<std::mutex> lock(Registry::Get().mutex);
    LockEntry& entry = *m_pEntry;
    if (!Ours(entry)) return 0;
    if (OwnedByCaller(entry)) {
        ++entry.count;
        Took();
        return 1;
    }
    entry.freed.wait(lock, [&] { return !entry.busy; });
    // This thread alone now goes for the flock; the others of the process wait on freed.
    entry.busy = true;
    lock.unlock();
    // No retry on EINTR: a signal is how the user ends the wait.
    const int rc = ::flock(entry.fd, LOCK_EX);
    lock.lock();
    if (rc != 0) {
        entry.busy = false;
        entry.freed.notify_all();
        return 0;
    }
    entry.owner = std::this_thread::get_id();
    entry.count = 1;
    ++entry.epoch;
    Took();
    return 1;
}

int CMutex::Lock(uint32_t timeoutMs) {
    if (!m_pEntry) return 0;
    if (timeoutMs == kInfinite) return LockWaiting();
    if (TryLockOnce()) return 1;
    // Ends by the clock or by the sum of the sleeps, whichever says so first, so a clock that
    // stands still cannot make the wait endless.
    const uint32_t start = GetTickCount();
    uint32_t slept = 0;
    for (;;) {
        const uint32_t waited = std::max(GetTickCount() - start, slept);
        if (waited >= timeoutMs) return 0;
        const uint32_t step = std::min(kPollStepMs, timeoutMs - waited);
        Sleep(step);
        slept += step;
        if (TryLockOnce()) return 1;
    }
}

int CMutex::Unlock() {
    if (!m_pEntry) return 0;
    std::lock_guard<std::mutex> lock(Registry::Get().mutex);
    LockEntry& entry = *m_pEntry;
    if (!Ours(entry) || !OwnedByCaller(entry)) return 0;
    if (m_nEpoch == entry.epoch && m_nHeld > 0) --m_nHeld;
    if (--entry.count == 0) return Release(entry) ? 1 : 0;
    return 1;
}

bool CMutex::IsLocked() const {
    if (!m_pEntry) return false;
    std::lock_guard<std::mutex> lock(Registry::Get().mutex);
    return Ours(*m_pEntry) && OwnedByCaller(*m_pEntry);
}

CSingleLock::CSingleLock(CMutex* mutex, bool initiallyLock) : m_pMutex(mutex) {
    if (initiallyLock) Lock();
}

CSingleLock::~CSingleLock() {
    Unlock();
}

int CSingleLock::Lock(uint32_t timeoutMs) {
    if (m_bLocked) return 1;
    if (!m_pMutex) return 0;
    m_bLocked = m_pMutex->Lock(timeoutMs) != 0;
    return m_bLocked ? 1 : 0;
}

int CSingleLock::Unlock() {
    // As in MFC: a release the mutex refuses (another thread owns it) leaves this lock held.
    if (m_bLocked && m_pMutex) m_bLocked = m_pMutex->Unlock() == 0;
    return m_bLocked ? 0 : 1;
}

}  // namespace tarnwick
