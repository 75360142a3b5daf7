// tarnwick_bench: how fast the driver turns plane rows into a printer stream, against the
// machine's memory limit and libtiff's PackBits, with the targets checked at the end.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "options.h"
#include "suite.h"

namespace {

std::string SelfPath(const char* argv0) {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string(argv0);
}

// --peak-rss-of PROGRAM ARGS...: runs the program with its output dropped and prints its peak
// resident set (KiB), wall seconds and exit status. The bench execs itself for this, so that the
// child starts from this small process, not from the bench's own resident set.
int PeakRssOf(char** argv) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return 2;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return 2;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld %.3f %d\n", usage.ru_maxrss, seconds,
                WIFEXITED(status) ? WEXITSTATUS(status) : 128);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--peak-rss-of") == 0) return PeakRssOf(argv + 2);
    std::string error;
    const auto options = tarnwick::bench::ParseOptions(argc, argv, error);
    if (!options) {
        std::cerr << error << "\n";
        return 2;
    }
    if (!options->printTicket.empty()) return tarnwick::bench::PrintOnce(*options);
    return tarnwick::bench::RunSuite(*options, SelfPath(argv[0]));
}
