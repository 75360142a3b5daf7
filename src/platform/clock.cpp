#include "platform/clock.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tarnwick {

namespace {

uint32_t MonotonicMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

class SystemClock : public Clock {
  public:
    uint32_t Ticks() override { return MonotonicMs(); }
    void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// Real time plus every sleep it skipped: time still passes for code that polls without sleeping,
// and a sleep ends at once as far as the caller can tell.
class VirtualClock : public Clock {
  public:
    uint32_t Ticks() override { return MonotonicMs() + m_skipped.load(); }
    void Sleep(uint32_t ms) override {
        m_skipped += ms;
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

  private:
    std::atomic<uint32_t> m_skipped{0};
};

Clock* DefaultClock() {
    static SystemClock systemClock;
    static VirtualClock virtualClock;
    static Clock* const chosen = [] {
#ifdef NDEBUG
        // A release build takes no test switch from its environment.
        (void)virtualClock;
        return static_cast<Clock*>(&systemClock);
#else
        const char* value = std::getenv("TARNWICK_VIRTUAL_CLOCK");
        return value && std::strcmp(value, "1") == 0 ? static_cast<Clock*>(&virtualClock)
                                                     : static_cast<Clock*>(&systemClock);
#endif
    }();
    return chosen;
}

std::atomic<Clock*> g_clock{nullptr};

Clock* Current() {
    Clock* clock = g_clock.load();
    return clock ? clock : DefaultClock();
}

}  // namespace

Clock::~Clock() = default;

Clock* SetClock(Clock* clock) {
    Clock* previous = g_clock.exchange(clock);
    return previous ? previous : DefaultClock();
}

uint32_t GetTickCount() {
    return Current()->Ticks();
}

void Sleep(uint32_t ms) {
    Current()->Sleep(ms);
}

}  // namespace tarnwick
