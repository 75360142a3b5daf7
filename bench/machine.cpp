#include "machine.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace tarnwick::bench {

MachineInfo DescribeMachine() {
    MachineInfo info;
    std::ifstream cpu("/proc/cpuinfo");
    for (std::string line; std::getline(cpu, line);) {
        if (line.rfind("model name", 0) != 0) continue;
        const auto colon = line.find(':');
        if (colon != std::string::npos && info.cpuModel.empty()) {
            info.cpuModel = line.substr(line.find_first_not_of(' ', colon + 1));
        }
        ++info.cores;
    }
    if (info.cores == 0) info.cores = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    std::ifstream mem("/proc/meminfo");
    for (std::string line; std::getline(mem, line);) {
        if (line.rfind("MemTotal:", 0) != 0) continue;
        std::istringstream fields(line.substr(9));
        int64_t kib = 0;
        fields >> kib;
        info.memoryMiB = kib / 1024;
    }
    return info;
}

double LoadAverage() {
    std::ifstream in("/proc/loadavg");
    double load = 0;
    in >> load;
    return load;
}

MemoryPass::MemoryPass()
    : m_src(std::make_unique_for_overwrite<uint64_t[]>(kBytes / 8)),
      m_dst(std::make_unique_for_overwrite<uint64_t[]>(kBytes / 8)) {
    // Touch every page up front so that no measurement pays for first faults.
    for (std::size_t i = 0; i < kBytes / 8; ++i) m_src[i] = i * 0x9E3779B97F4A7C15ull;
    std::memset(m_dst.get(), 0, kBytes);
}

void MemoryPass::Copy() {
    std::memcpy(m_dst.get(), m_src.get(), kBytes);
}

uint64_t MemoryPass::Read() const {
    // Four sums let the adds overlap; the compiler vectorises the rest.
    uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    const uint64_t* p = m_src.get();
    for (std::size_t i = 0; i < kBytes / 8; i += 4) {
        s0 += p[i];
        s1 += p[i + 1];
        s2 += p[i + 2];
        s3 += p[i + 3];
    }
    return s0 + s1 + s2 + s3;
}

}  // namespace tarnwick::bench
