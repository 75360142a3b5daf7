// Milliseconds and sleeping, through a replaceable clock so that tests never wait for real.
#pragma once

#include <cstdint>

namespace tarnwick {

class Clock {
  public:
    virtual ~Clock();
    virtual uint32_t Ticks() = 0;  // milliseconds, wrapping at 2^32
    virtual void Sleep(uint32_t ms) = 0;
};

// Installs clock (not owned) and returns the previous one. nullptr restores the default clock:
// the monotonic system clock, or, when the environment variable TARNWICK_VIRTUAL_CLOCK is "1" at
// first use in a debug build, a virtual clock whose Sleep only yields and moves its time forward
// by the sleep. The virtual clock lets out-of-process tests drive the module without real waits;
// a release build never reads the variable.
Clock* SetClock(Clock* clock);

uint32_t GetTickCount();  // the current clock's Ticks()
void Sleep(uint32_t ms);  // the current clock's Sleep()

}  // namespace tarnwick
