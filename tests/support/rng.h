// A fixed-seed generator whose sequence does not depend on the standard library, so that every
// run and every machine makes the same test data and bench pages.
#pragma once

#include <cstdint>

namespace tarnwick::test {

class SplitMix64 {
  public:
    explicit SplitMix64(uint64_t seed) : m_state(seed) {}

    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A value in [0, bound), bound below 2^32; the tiny bias does not matter for test data.
    uint32_t Below(uint64_t bound) { return static_cast<uint32_t>((Next() >> 32) * bound >> 32); }

  private:
    uint64_t m_state;
};

}  // namespace tarnwick::test
