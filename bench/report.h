// The one table the bench prints, the memory and system call figures under it, and the targets
// with PASS or FAIL. Markdown, so that docs/benchmarks.md can take it as it is.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "machine.h"

namespace tarnwick::bench {

struct Result {
    std::string measurement;
    std::string page;  // page kind, or empty
    int dpi = 0;       // 0 when the measurement has no page
    double seconds = 0;        // median time of one iteration
    int64_t inputBytes = 0;    // plane bytes (or copied bytes) of one iteration
    int64_t planeRows = 0;     // 0 when rows mean nothing
    int64_t outputBytes = -1;  // -1 when nothing is produced
    bool peer = false;         // libtiff's PackBits: what the "x libtiff" column divides by
};

struct MemoryResult {
    std::string page;
    int64_t rows = 0;
    int64_t planeBytes = 0;
    int64_t startKiB = 0;
    int64_t peakKiB = 0;
};

class Report {
  public:
    void SetMachine(const MachineInfo& machine) { m_machine = machine; }
    void Add(const Result& result) { m_results.push_back(result); }
    void AddMemory(const MemoryResult& result) { m_memory.push_back(result); }
    void AddSyscallLine(const std::string& line) { m_syscalls.push_back(line); }
    void AddNote(const std::string& note) { m_notes.push_back(note); }
    void AddTarget(bool pass, const std::string& text) { m_targets.push_back({pass, text}); }

    // MB/s (10^6 bytes) of a result, and of the matching memcpy and libtiff rows.
    static double MBps(const Result& r);
    std::optional<double> MemcpyMBps() const;
    std::optional<double> PeerMBps(const std::string& page, int dpi) const;
    const Result* Find(const std::string& measurement, const std::string& page, int dpi) const;

    bool AllPass() const;
    void Print(std::ostream& out) const;

  private:
    struct Target {
        bool pass;
        std::string text;
    };

    MachineInfo m_machine;
    std::vector<Result> m_results;
    std::vector<MemoryResult> m_memory;
    std::vector<std::string> m_syscalls;
    std::vector<std::string> m_notes;
    std::vector<Target> m_targets;
};

}  // namespace tarnwick::bench
