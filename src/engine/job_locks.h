// The two named mutexes of a job, "QRM_PRINT_START<id>" and "QRM_PRINT_MAKELAYOUT<id>", shared
// with the host's other processes and with other jobs of the same id.
//
// The rule that keeps two jobs of one id from deadlocking: a job blocks only while it holds
// neither mutex. Acquire blocks on one, then only tries the other, and backs off (gives the
// first up and blocks on the one that was busy) when the try fails. During a wait for data the
// start mutex is given up and later only tried again, never waited for, while the layout mutex
// is held. So no job ever waits while holding what another job waits for.
#pragma once

#include <memory>
#include <string>

namespace tarnwick {

class CMutex;
class CSingleLock;

class JobLocks {
  public:
    JobLocks();
    ~JobLocks();  // releases whatever is held
    JobLocks(const JobLocks&) = delete;
    JobLocks& operator=(const JobLocks&) = delete;

    // Makes the mutexes of job id and takes both. False when a mutex cannot be made or a wait
    // was interrupted by a signal; error then says which and why, and nothing is held.
    bool Acquire(int id, std::string& error);
    // Gives the start mutex up for a wait; the layout mutex stays held.
    void ReleaseStart();
    // Takes the start mutex back if it is free now; never waits.
    bool TryRetakeStart();
    // Releases both and forgets the mutexes.
    void ReleaseAll();

    bool HoldsStart() const;
    bool HoldsLayout() const;

  private:
    std::unique_ptr<CMutex> m_pStartMutex;
    std::unique_ptr<CSingleLock> m_pStartLock;
    std::unique_ptr<CMutex> m_pLayoutMutex;
    std::unique_ptr<CSingleLock> m_pLayoutLock;
};

}  // namespace tarnwick
