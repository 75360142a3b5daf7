#include "support/fake_clock.h"

namespace tarnwick {

uint32_t FakeClock::Ticks() {
    return m_now.fetch_add(m_autoAdvance.load());
}

void FakeClock::Sleep(uint32_t ms) {
    m_now += ms;
    {
        std::lock_guard<std::mutex> lock(m_sleepsMutex);
        m_sleeps.push_back(ms);
    }
    if (onSleep) onSleep(ms);
}

std::vector<uint32_t> FakeClock::sleeps() const {
    std::lock_guard<std::mutex> lock(m_sleepsMutex);
    return m_sleeps;
}

}  // namespace tarnwick
