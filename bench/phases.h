// The steps of a bench run, in the order the suite calls them.
#pragma once

#include "bench_state.h"
#include "timing.h"

namespace tarnwick::bench {

class DriverModule;

// Peak RSS of whole prints in child processes. Runs first, while this process is small, since
// a forked child starts with its parent's resident set. Also writes the job of the 64-inch
// error-diffusion page that the print and system call phases use.
void RunMemoryPhase(BenchState& s);

// make-job's and the print's peak RSS on pages one inch and a banner long (child processes, so
// it runs while this process is small too), and make-job's time per megapixel.
void RunMakeJobPhase(BenchState& s);

// Makes the four page kinds at 720 and 1,440 dpi (and a page of zeros) and checks, before
// anything is timed, that PackBitsEncode, the row path and libtiff all give back the rows.
PageList MakeCheckedPages(BenchState& s);

// Measurements for the schedule: the machine's memory limit; libtiff, PackBitsEncode and the
// row path on every page; whole prints of the 720 dpi pages (whose short checks run and whose
// jobs are written here, before any timing).
void AddMemoryTasks(BenchState& s, Schedule& schedule);
void AddCodecTasks(BenchState& s, Schedule& schedule, const PageList& pages);
void AddPrintTasks(BenchState& s, const PageList& pages, const DriverModule& module,
                   Schedule& schedule);

// After the schedule has run: libtiff's own share of its time, and the print jobs removed
// (all but the error-diffusion job, which the system call count still needs).
void NoteCodecOverhead(BenchState& s, const PageList& pages);
void RemovePrintJobs(BenchState& s);

// The whole print of each 720 dpi page split into its layers, from the measurements.
void SplitPrintLayers(BenchState& s);

// The host's halftoning stage (separation, diffusion, screens) beside the driver's print
// speed; after SplitPrintLayers, whose print figures it compares with.
void RunHalftonePhase(BenchState& s);

// strace counts of a whole print, per row.
void RunSyscallPhase(BenchState& s);

// One row of the report for a measurement of `page`: the medians of the samples, and the plane
// bytes and rows it worked on.
inline Result MeasuredResult(const std::string& measurement, const Page& page,
                             const Samples& samples, int64_t inputBytes, int64_t planeRows,
                             int64_t outputBytes) {
    Result r;
    r.measurement = measurement;
    r.page = PageKindName(page.kind());
    r.dpi = page.dpi();
    r.seconds = samples.MedianCpu();
    r.wallSeconds = samples.MedianWall();
    r.inputBytes = inputBytes;
    r.planeRows = planeRows;
    r.outputBytes = outputBytes;
    return r;
}

// Adds PASS/FAIL for every target to the report.
void CheckTargets(BenchState& s, const PageList& pages);

}  // namespace tarnwick::bench
