#include "memory_probe.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "channels.h"
#include "module_print.h"

namespace tarnwick::bench {
namespace {

struct ChildReport {
    int32_t ok;
    int64_t startKiB;
    int64_t peakKiB;
    char error[200];
};

int64_t ResidentKiB() {
    long pages = 0;
    long resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return 0;
    const int got = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return got == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

[[noreturn]] void RunChild(int fd, const std::string& modulePath, const std::string& ticketPath) {
    ChildReport report{};
    report.startKiB = ResidentKiB();
    std::string error;
    if (auto module = DriverModule::Load(modulePath, error)) {
        FileChannel out("/dev/null");
        const PrintOutcome printed = PrintJob(*module, ticketPath, out);
        report.ok = printed.ok && out.ok() ? 1 : 0;
        error = printed.error;
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    report.peakKiB = usage.ru_maxrss;
    std::snprintf(report.error, sizeof report.error, "%s", error.c_str());
    const ssize_t n = write(fd, &report, sizeof report);
    _exit(n == static_cast<ssize_t>(sizeof report) ? 0 : 1);
}

}  // namespace

PeakRss MeasurePrintPeakRss(const std::string& modulePath, const std::string& ticketPath) {
    PeakRss result;
    int fds[2];
    if (pipe(fds) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    std::fflush(nullptr);  // the child must not write the parent's buffered output again
    const pid_t pid = fork();
    if (pid < 0) {
        result.error = std::string("fork: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        close(fds[0]);
        RunChild(fds[1], modulePath, ticketPath);
    }
    close(fds[1]);
    ChildReport report{};
    std::size_t got = 0;
    while (got < sizeof report) {
        const ssize_t n = read(fds[0], reinterpret_cast<char*>(&report) + got, sizeof report - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (got != sizeof report || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result.error = "the print child did not report";
        return result;
    }
    report.error[sizeof report.error - 1] = '\0';
    result.ok = report.ok != 0;
    result.error = report.error;
    result.startKiB = report.startKiB;
    result.peakKiB = report.peakKiB;
    return result;
}

}  // namespace tarnwick::bench
