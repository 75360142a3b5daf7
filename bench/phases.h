// The steps of a bench run, in the order the suite calls them.
#pragma once

#include "bench_state.h"

namespace tarnwick::bench {

class DriverModule;

// Peak RSS of whole prints in child processes. Runs first, while this process is small, since
// a forked child starts with its parent's resident set. Also writes the job of the 64-inch
// error-diffusion page that the print phase times.
void RunMemoryPhase(BenchState& s);

// Makes the four page kinds at 720 and 1,440 dpi and checks, before anything is timed, that
// PackBitsEncode, the row path and libtiff all give back the rows.
PageList MakeCheckedPages(BenchState& s);

// The machine's memory limit, then libtiff, PackBitsEncode and the row path on every page.
void TimeMemory(BenchState& s);
void TimeCodecs(BenchState& s, const PageList& pages);

// Whole prints through the module of the 720 dpi pages.
void RunPrintPhase(BenchState& s, const PageList& pages, const DriverModule& module);

// strace counts of a whole print, per row.
void RunSyscallPhase(BenchState& s);

// Adds PASS/FAIL for every target to the report.
void CheckTargets(BenchState& s, const PageList& pages);

}  // namespace tarnwick::bench
