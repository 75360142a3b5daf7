// CMutex / CSingleLock: named mutexes shared by threads and processes, in the shape of the MFC
// classes the driver was written against, and owned the way the host's mutexes are: by a
// thread, re-entrantly. Each name is one lock file in a private lock folder (see LockDirectory),
// locked with flock. Inside one process every CMutex of a name shares one descriptor and one
// ownership record (owner thread and count), so the owning thread can take the mutex again
// through any object of that name while other threads wait; other processes are kept out by
// flock, and the kernel frees the lock when the holding process dies.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

struct LockEntry;  // the shared descriptor and ownership record of one name

class CMutex {
  public:
    // initiallyOwn takes the mutex if it is free at once (never waits). A null or empty name
    // gives a mutex private to this object. security is ignored.
    CMutex(bool initiallyOwn, const char* name, void* security = nullptr);
    // Gives back the levels still held through this object, from whichever thread it goes on;
    // the last object of a name closes the shared descriptor.
    ~CMutex();
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    // 1 when the calling thread owns the mutex afterwards. The owning thread takes it again at
    // once (one more level); others wait. Lock(0) tries once and never blocks; a finite timeout
    // polls in small steps through the clock seam's Sleep. An infinite wait for another
    // process ends with 0 when a signal handled without SA_RESTART interrupts it, so Ctrl-C can
    // end a print waiting for another job; a wait for another thread of this process cannot see
    // signals and goes on until that thread lets go.
    int Lock(uint32_t timeoutMs = kInfinite);
    // 1 when the calling thread owned the mutex and gave up one level; the last level frees it
    // (0 also when the lock file then could not be unlocked).
    int Unlock();
    bool IsLocked() const;  // the calling thread owns the mutex

    // False when no lock file could be had; error() then says why and Lock returns 0.
    bool IsValid() const { return m_pEntry != nullptr; }
    const std::string& error() const { return m_strError; }
    const std::string& lockPath() const { return m_strPath; }  // empty for a private mutex

  private:
    bool TryLockOnce();
    int LockWaiting();
    void Took();

    std::shared_ptr<LockEntry> m_pEntry;
    int m_nHeld = 0;        // levels taken through this object and not given back
    uint64_t m_nEpoch = 0;  // the ownership those levels belong to
    std::string m_strPath;
    std::string m_strError;
};

class CSingleLock {
  public:
    CSingleLock(CMutex* mutex, bool initiallyLock = false);
    ~CSingleLock();  // unlocks if held
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    int Lock(uint32_t timeoutMs = kInfinite);  // 1 on success (also when already held)
    int Unlock();                              // 1 when the lock is not held afterwards
    bool IsLocked() const { return m_bLocked; }

  private:
    CMutex* m_pMutex;
    bool m_bLocked = false;
};

// The folder that holds the lock files, created (0700) if missing: the first usable of
// $TARNWICK_LOCK_DIR, $XDG_RUNTIME_DIR/tarnwick and /tmp/tarnwick-<euid> (the variables when
// set). A folder is refused when it cannot be created, is not a real directory (a symlink
// counts), is not owned by the effective uid, or is group- or world-writable, since a lock file
// there could be swapped or held by anyone. "" when none is usable. refused, when given,
// receives each refused folder with its reason ("path: reason; ...").
std::string LockDirectory(std::string* refused = nullptr);

}  // namespace tarnwick
