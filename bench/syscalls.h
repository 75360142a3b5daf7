// System calls of a whole print, counted by strace -c -f around a separate run of this program
// that only prints one job.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tarnwick::bench {

struct SyscallCounts {
    bool ran = false;
    std::string note;  // why nothing was counted
    std::map<std::string, int64_t> calls;
    int64_t total = 0;
};

// Runs `strace -f -c -o log self --print-job ticket out`. Without strace installed the result
// says so in note.
SyscallCounts CountSyscalls(const std::string& self, const std::string& ticket,
                            const std::string& out, const std::string& log);

}  // namespace tarnwick::bench
