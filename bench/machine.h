// What the machine is and what its memory can do: the ceiling every other figure is read against.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick::bench {

struct MachineInfo {
    std::string cpuModel;  // from /proc/cpuinfo
    int cores = 0;
    int64_t memoryMiB = 0;  // MemTotal from /proc/meminfo
};

MachineInfo DescribeMachine();

// The one-minute load average: other processes that shared the cores during the run.
double LoadAverage();

// Two touched 1 GiB buffers for the memcpy and the read-only pass; nothing else needs that
// much, so they live only as long as those measurements.
class MemoryPass {
  public:
    static constexpr std::size_t kBytes = std::size_t{1} << 30;

    MemoryPass();
    void Copy();
    // Adds up the source as 64-bit words; the sum keeps the loop from being dropped.
    uint64_t Read() const;

  private:
    std::unique_ptr<uint64_t[]> m_src;
    std::unique_ptr<uint64_t[]> m_dst;
};

}  // namespace tarnwick::bench
