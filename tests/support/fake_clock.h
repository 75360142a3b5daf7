// A clock that stands still unless a test moves it, and the scope that installs a clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace tarnwick {

// For tests: time stands still unless moved by Sleep, Advance or the auto-advance step.
class FakeClock : public Clock {
  public:
    explicit FakeClock(uint32_t start = 0) : m_now(start) {}

    // Returns the current time, then moves it on by the auto-advance step, so a loop that
    // polls the ticks makes progress.
    uint32_t Ticks() override;
    // Moves time on by ms without waiting, records the sleep and calls onSleep.
    void Sleep(uint32_t ms) override;

    void SetTicks(uint32_t now) { m_now = now; }
    void Advance(uint32_t ms) { m_now += ms; }
    void SetAutoAdvance(uint32_t msPerTick) { m_autoAdvance = msPerTick; }
    std::vector<uint32_t> sleeps() const;

    // Called on every Sleep with its duration (after time has moved on).
    std::function<void(uint32_t)> onSleep;

  private:
    std::atomic<uint32_t> m_now;
    std::atomic<uint32_t> m_autoAdvance{0};
    mutable std::mutex m_sleepsMutex;
    std::vector<uint32_t> m_sleeps;
};

// For tests: installs a clock for the lifetime of a scope.
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
