#include "syscalls.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

extern char** environ;

namespace tarnwick::bench {
namespace {

// Reads the "-U name,calls" summary: a header, a dashed line, one line per call, a dashed line
// and the total.
void ParseSummary(std::istream& in, SyscallCounts& counts) {
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string name;
        int64_t calls = 0;
        if (!(fields >> name >> calls) || name.starts_with("-")) continue;
        if (name == "total") {
            counts.total = calls;
        } else {
            counts.calls[name] += calls;
        }
    }
}

}  // namespace

SyscallCounts CountSyscalls(const std::string& self, const std::string& ticket,
                            const std::string& out, const std::string& log) {
    SyscallCounts counts;
    std::vector<std::string> args = {"strace", "-f", "-c",          "-U",   "name,calls", "-o",
                                     log,      self, "--print-job", ticket, out};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "strace", nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        counts.note = rc == ENOENT ? "strace is not installed; system calls not counted"
                                   : std::string("cannot run strace: ") + std::strerror(rc);
        return counts;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        counts.note = "the print under strace failed (exit status " +
                      std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
        return counts;
    }
    std::ifstream summary(log);
    ParseSummary(summary, counts);
    counts.ran = counts.total > 0;
    if (!counts.ran) counts.note = "strace wrote no summary";
    return counts;
}

}  // namespace tarnwick::bench
