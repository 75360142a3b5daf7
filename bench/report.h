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

// Measurement names that more than one step looks up. kMemcpyName is the row every "x memcpy"
// figure divides by.
inline constexpr const char* kMemcpyName = "memcpy 1 GiB";
inline constexpr const char* kEncoderName = "PackBitsEncode";
inline constexpr const char* kRowPathName = "RTL row path (SendAllColorData)";
inline constexpr const char* kPrintName = "whole print to a file";
inline constexpr const char* kReaderName = "job reader alone (OXJob, ReadRows)";
inline constexpr const char* kCountedName = "whole print, output only counted";

struct Result {
    std::string measurement;
    std::string page;          // page kind, or empty
    int dpi = 0;               // 0 when the measurement has no page
    double seconds = 0;        // median CPU time of one iteration
    double wallSeconds = 0;    // median wall time of one iteration
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

// A whole print split into its layers, in ns per plane row: the job reader alone, the rest of
// the engine (line buffers, PackBits, framing, output buffer: the print into a counting channel
// less the reader), and writing the stream to a file (the print to a file less the counted one).
struct LayerSplit {
    std::string page;
    double reader = 0;
    double engine = 0;
    double file = 0;
    double total = 0;
};

class Report {
  public:
    void SetMachine(const MachineInfo& machine) { m_machine = machine; }
    void Add(const Result& result) { m_results.push_back(result); }
    void AddMemory(const MemoryResult& result) { m_memory.push_back(result); }
    void AddLayers(const LayerSplit& split) { m_layers.push_back(split); }
    void AddSyscallLine(const std::string& line) { m_syscalls.push_back(line); }
    void AddNote(const std::string& note) { m_notes.push_back(note); }
    void AddTarget(bool pass, const std::string& text) { m_targets.push_back({pass, text}); }

    // MB/s (10^6 bytes) of a result by CPU time, and of the matching memcpy and libtiff rows.
    static double MBps(const Result& r);
    static double WallMBps(const Result& r);
    static double NsPerPlaneRow(const Result& r);
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
    std::vector<LayerSplit> m_layers;
    std::vector<std::string> m_syscalls;
    std::vector<std::string> m_notes;
    std::vector<Target> m_targets;
};

}  // namespace tarnwick::bench
