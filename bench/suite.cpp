#include "suite.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "channels.h"
#include "machine.h"
#include "module_print.h"
#include "phases.h"
#include "timing.h"

namespace tarnwick::bench {

int RunSuite(const Options& options, const std::string& self) {
    BenchState s(options, self);
    if (!s.scratch.ok()) {
        std::cerr << "cannot make a scratch folder under " << options.workBase << "\n";
        return 2;
    }
    // Lock files of our own, so that a test run elsewhere on the machine cannot hold the
    // print mutexes this bench's jobs wait for.
    setenv("TARNWICK_LOCK_DIR", s.scratch.File("locks").c_str(), 1);
    InitTiming(self.c_str());
    s.report.SetMachine(DescribeMachine());
    const double loadBefore = LoadAverage();

    RunMemoryPhase(s);
    RunMakeJobPhase(s);
    const PageList pages = MakeCheckedPages(s);
    std::string error;
    auto module = DriverModule::Load(ModulePath(), error);
    if (!module) s.Problem(error);
    // The job files were just written: their pages go to disk before anything is timed, so that
    // the kernel's writeback of gigabytes of dirty pages (and the throttling of writers that comes
    // with it) does not land in the first timed prints.
    Progress("writing the job files' pages to disk");
    sync();
    {
        Schedule schedule;
        AddMemoryTasks(s, schedule);
        AddCodecTasks(s, schedule, pages);
        if (module) AddPrintTasks(s, pages, *module, schedule);
        schedule.Run(options.runs, [&](int round) {
            Progress("timing, round " + std::to_string(round) + " of " +
                     std::to_string(options.runs));
        });
    }
    NoteCodecOverhead(s, pages);
    SplitPrintLayers(s);
    RunHalftonePhase(s);
    RemovePrintJobs(s);
    RunSyscallPhase(s);
    RemoveJob(s.DiffusedTicket());

    CheckTargets(s, pages);
    char load[160];
    std::snprintf(load, sizeof load,
                  "load average %.1f before and %.1f after the run: MB/s come from CPU time, "
                  "wall MB/s from the wall clock",
                  loadBefore, LoadAverage());
    s.report.AddNote(load);
    s.report.AddNote(
        "median of " + std::to_string(options.runs) +
        " runs, taken in turns; MB/s counts input plane bytes (10^6 bytes); ratios are taken pair "
        "by pair, same page kind and dpi; out/in is the compressed size over the "
        "plane bytes");
    s.report.AddNote(
        "whole prints: model CP52, 720 dpi, colour mode 2, colour bar off unless noted; " +
        std::to_string(s.PrintRows()) +
        " rows from the page repeated, the job in the page cache, the stream "
        "written to a file next to it");
    if (options.quick) s.report.AddNote("--quick: short prints, figures are only indicative");
    s.report.Print(std::cout);
    return s.report.AllPass() ? 0 : 1;
}

int PrintOnce(const Options& options) {
    std::string error;
    auto module = DriverModule::Load(ModulePath(), error);
    if (!module) {
        std::cerr << error << "\n";
        return 1;
    }
    FileChannel out(options.printOut);
    const PrintOutcome printed = PrintJob(*module, options.printTicket, out);
    if (!printed.ok || !out.ok()) {
        std::cerr << (printed.ok ? "cannot write " + options.printOut : printed.error) << "\n";
        return 1;
    }
    return 0;
}

}  // namespace tarnwick::bench
