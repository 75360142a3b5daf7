// Peak memory of whole prints: a page of N rows, of 10 N rows, and the 64-inch page.
#include <cstdio>

#include "memory_probe.h"
#include "module_print.h"
#include "phases.h"

namespace tarnwick::bench {
namespace {

constexpr int kNarrowRowBytes = 1'440;  // 16 inches at 720 dpi
constexpr int64_t kShortRows = 2'000;

struct MemoryJob {
    std::string label;
    std::string ticket;
    int rowBytes;
    int64_t rows;
};

// Writes the jobs from one generated page, which is gone again when this returns.
bool WriteMemoryJobs(BenchState& s, const std::vector<MemoryJob>& jobs) {
    const Page page = MakePage(PageKind::kDiffused, 720, RollRowBytes(720), RollRows(720));
    for (const MemoryJob& job : jobs) {
        std::string error;
        const JobShape shape{720, false, job.rowBytes, job.rows};
        if (!WriteJob(job.ticket, shape, CycledRows(page, job.rowBytes), error)) {
            s.Problem("cannot write the job for " + job.label + ": " + error);
            return false;
        }
    }
    return true;
}

}  // namespace

void RunMemoryPhase(BenchState& s) {
    Progress("memory: writing the jobs");
    const int64_t shortRows = s.options.quick ? kShortRows / 4 : kShortRows;
    const std::vector<MemoryJob> jobs = {
        {"16-inch page, N rows", s.scratch.File("mem-1x.tkt"), kNarrowRowBytes, shortRows},
        {"16-inch page, 10 N rows", s.scratch.File("mem-10x.tkt"), kNarrowRowBytes, 10 * shortRows},
        {"64-inch page (print job)", s.DiffusedTicket(), RollRowBytes(720), s.PrintRows()},
    };
    if (!WriteMemoryJobs(s, jobs)) return;

    std::vector<PeakRss> peaks;
    for (const MemoryJob& job : jobs) {
        Progress("memory: printing " + job.label + " in a child process");
        const PeakRss peak = MeasurePrintPeakRss(ModulePath(), job.ticket);
        if (!peak.ok) {
            s.Problem("memory child for " + job.label + ": " + peak.error);
            return;
        }
        peaks.push_back(peak);
        s.report.AddMemory(
            {job.label, job.rows, job.rows * kPlanes * job.rowBytes, peak.startKiB, peak.peakKiB});
    }
    RemoveJob(jobs[0].ticket);
    RemoveJob(jobs[1].ticket);

    const double growth =
        static_cast<double>(peaks[1].peakKiB) / static_cast<double>(peaks[0].peakKiB);
    char text[200];
    std::snprintf(text, sizeof text,
                  "peak RSS of the 10 N-row page within 10%% of the N-row page (%.3fx)", growth);
    s.report.AddTarget(growth <= 1.10, text);
    int64_t largest = 0;
    for (const PeakRss& p : peaks) largest = std::max(largest, p.peakKiB);
    std::snprintf(text, sizeof text,
                  "peak RSS of every whole print under 64 MiB (largest %.1f MiB)",
                  static_cast<double>(largest) / 1024.0);
    s.report.AddTarget(largest < 64 * 1024, text);
}

}  // namespace tarnwick::bench
