// CMutex / CSingleLock: named mutexes shared by threads and processes, in the shape of the MFC
// classes the driver was written against. Each name is one lock file in a private runtime folder
// ($TARNWICK_LOCK_DIR, else $XDG_RUNTIME_DIR/tarnwick, else /tmp/tarnwick-<uid>), locked with
// flock. flock belongs to the open file description, so two CMutex objects of one name exclude
// each other even inside one process, and the kernel frees the lock when its holder dies.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

class CMutex {
  public:
    // initiallyOwn takes the mutex if it is free at once (never waits). A null or empty name
    // gives a mutex private to this object. security is ignored.
    CMutex(bool initiallyOwn, const char* name, void* security = nullptr);
    ~CMutex();  // releases the lock if held
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    // 1 when acquired. A finite timeout polls in small steps through the clock seam's Sleep.
    // Locks taken through the same object nest; one object belongs to one thread at a time.
    int Lock(uint32_t timeoutMs = kInfinite);
    int Unlock();  // 1 when a level of ownership was given up
    bool IsLocked() const { return m_count > 0; }

    bool IsValid() const { return m_fd >= 0; }  // false when the lock file could not be made
    const std::string& lockPath() const { return m_path; }  // empty for a private mutex

  private:
    bool TryLockOnce();

    int m_fd = -1;
    int m_count = 0;
    std::string m_path;
};

class CSingleLock {
  public:
    CSingleLock(CMutex* mutex, bool initiallyLock = false);
    ~CSingleLock();  // unlocks if held
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    int Lock(uint32_t timeoutMs = kInfinite);  // 1 on success (also when already held)
    int Unlock();                              // 1 when the lock is not held afterwards
    bool IsLocked() const { return m_locked; }

  private:
    CMutex* m_mutex;
    bool m_locked = false;
};

// The folder that holds the lock files, created (0700) if missing; "" when it cannot be used.
std::string LockDirectory();

}  // namespace tarnwick
