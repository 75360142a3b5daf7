// System calls per row of a whole print: strace counts of the long print minus those of a
// one-row print of the same width, so that loading and starting cancel out.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "phases.h"
#include "syscalls.h"

namespace tarnwick::bench {

void RunSyscallPhase(BenchState& s) {
    const std::string big = s.DiffusedTicket();
    if (!std::filesystem::exists(DataFileOf(big))) {
        s.report.AddSyscallLine("not counted: the print job is missing");
        return;
    }
    Progress("counting system calls with strace");
    const int rowBytes = RollRowBytes(720);
    const std::vector<uint8_t> blank(static_cast<std::size_t>(rowBytes));
    const std::string tiny = s.scratch.File("one-row.tkt");
    std::string error;
    if (!WriteJob(
            tiny, {720, false, rowBytes, 1}, [&](int, int64_t) { return std::span(blank); },
            error)) {
        return s.Problem("cannot write the one-row job: " + error);
    }
    const std::string out = s.scratch.File("strace.prn");
    const SyscallCounts one = CountSyscalls(s.self, tiny, out, s.scratch.File("strace-1.txt"));
    RemoveJob(tiny);
    if (!one.ran) return s.report.AddSyscallLine(one.note);
    const SyscallCounts all = CountSyscalls(s.self, big, out, s.scratch.File("strace-n.txt"));
    std::filesystem::remove(out);
    if (!all.ran) return s.report.AddSyscallLine(all.note);

    const int64_t rows = s.PrintRows() - 1;
    char line[256];
    std::snprintf(line, sizeof line,
                  "%lld rows: %lld calls; 1 row: %lld calls; %.4f calls per row for the extra "
                  "%lld rows",
                  static_cast<long long>(s.PrintRows()), static_cast<long long>(all.total),
                  static_cast<long long>(one.total),
                  static_cast<double>(all.total - one.total) / static_cast<double>(rows),
                  static_cast<long long>(rows));
    s.report.AddSyscallLine(line);
    std::vector<std::pair<int64_t, std::string>> extra;
    for (const auto& [name, calls] : all.calls) {
        const auto it = one.calls.find(name);
        const int64_t more = calls - (it != one.calls.end() ? it->second : 0);
        if (more != 0) extra.emplace_back(more, name);
    }
    std::sort(extra.rbegin(), extra.rend());
    for (const auto& [more, name] : extra) {
        std::snprintf(line, sizeof line, "%s: %+lld calls (%.4f per row)", name.c_str(),
                      static_cast<long long>(more),
                      static_cast<double>(more) / static_cast<double>(rows));
        s.report.AddSyscallLine(line);
    }
}

}  // namespace tarnwick::bench
