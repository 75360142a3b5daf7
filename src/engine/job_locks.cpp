#include "engine/job_locks.h"

#include <cstdio>

#include "platform/named_mutex.h"

namespace tarnwick {

JobLocks::JobLocks() = default;

JobLocks::~JobLocks() {
    ReleaseAll();
}

bool JobLocks::Acquire(int id, std::string& error) {
    ReleaseAll();
    char name[64];
    std::snprintf(name, sizeof name, "QRM_PRINT_START%d", id);
    m_pStartMutex = std::make_unique<CMutex>(false, name, nullptr);
    const std::string startName = name;
    std::snprintf(name, sizeof name, "QRM_PRINT_MAKELAYOUT%d", id);
    m_pLayoutMutex = std::make_unique<CMutex>(false, name, nullptr);
    const std::string layoutName = name;
    for (const auto* mutex : {m_pStartMutex.get(), m_pLayoutMutex.get()}) {
        if (!mutex->IsValid()) {
            error = "the job's named mutexes cannot be made: " + mutex->error();
            ReleaseAll();
            return false;
        }
    }
    m_pStartLock = std::make_unique<CSingleLock>(m_pStartMutex.get(), false);
    m_pLayoutLock = std::make_unique<CSingleLock>(m_pLayoutMutex.get(), false);

    // Block on one mutex while holding nothing, then only try the other; on a miss give the
    // first back and block on the busy one instead.
    CSingleLock* first = m_pStartLock.get();
    CSingleLock* second = m_pLayoutLock.get();
    const std::string* firstName = &startName;
    const std::string* secondName = &layoutName;
    for (;;) {
        if (!first->Lock()) {
            error = "the wait for the named mutex " + *firstName + " was interrupted";
            ReleaseAll();
            return false;
        }
        if (second->Lock(0)) return true;
        first->Unlock();
        std::swap(first, second);
        std::swap(firstName, secondName);
    }
}

void JobLocks::ReleaseStart() {
    if (m_pStartLock) m_pStartLock->Unlock();
}

bool JobLocks::TryRetakeStart() {
    return m_pStartLock && m_pStartLock->Lock(0) != 0;
}

void JobLocks::ReleaseAll() {
    // The start mutex goes first, as the host expects.
    m_pStartLock.reset();
    m_pStartMutex.reset();
    m_pLayoutLock.reset();
    m_pLayoutMutex.reset();
}

bool JobLocks::HoldsStart() const {
    return m_pStartLock && m_pStartLock->IsLocked();
}

bool JobLocks::HoldsLayout() const {
    return m_pLayoutLock && m_pLayoutLock->IsLocked();
}

}  // namespace tarnwick
