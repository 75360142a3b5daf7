// A clock that stands still unless a test moves it, and the scope that installs a clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace tarnwick {

// Time moves only by Sleep or the auto-advance step.
class FakeClock : public Clock {
  public:
    // The current time; then moves on by the auto-advance step, so a polling loop makes progress.
    uint32_t Ticks() override { return m_now.fetch_add(m_autoAdvance.load()); }
    // Moves time on without waiting, records the sleep, then calls onSleep.
    void Sleep(uint32_t ms) override {
        m_now += ms;
        std::unique_lock<std::mutex> lock(m_sleepsMutex);
        m_sleeps.push_back(ms);
        lock.unlock();
        if (onSleep) onSleep(ms);
    }
    void SetAutoAdvance(uint32_t msPerTick) { m_autoAdvance = msPerTick; }
    std::vector<uint32_t> sleeps() const {
        std::lock_guard<std::mutex> lock(m_sleepsMutex);
        return m_sleeps;
    }

    std::function<void(uint32_t)> onSleep;

  private:
    std::atomic<uint32_t> m_now{0};
    std::atomic<uint32_t> m_autoAdvance{0};
    mutable std::mutex m_sleepsMutex;
    std::vector<uint32_t> m_sleeps;
};

// Installs a clock for the lifetime of a scope.
class ScopedClock {
  public:
    explicit ScopedClock(Clock* clock) : m_previous(SetClock(clock)) {}
    ~ScopedClock() { SetClock(m_previous); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    Clock* m_previous;
};

}  // namespace tarnwick
