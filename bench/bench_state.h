// What the phases of a bench run share: the options, the report being filled, the scratch
// folder with the job files, and the problems met on the way.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "job_files.h"
#include "options.h"
#include "pages.h"
#include "report.h"
#include "stream_check.h"

namespace tarnwick::bench {

struct BenchState {
    BenchState(const Options& o, std::string selfPath)
        : options(o), self(std::move(selfPath)), scratch(o.workBase) {}

    Options options;
    std::string self;  // this program, for the strace run
    Report report;
    ScratchDir scratch;
    std::vector<std::string> problems;  // failures outside the targets; any one fails the run

    // Rows of the whole-print job: at 34,560 bytes a row, 21,000 rows make 0.73 GB.
    int64_t PrintRows() const { return options.quick ? 2'000 : 21'000; }
    // The ticket of a whole-print job, named after its page kind.
    std::string PrintTicket(const std::string& name) const { return scratch.File(name + ".tkt"); }
    // The job of the 64-inch error-diffusion page, written by the memory phase and kept for
    // the print and system call phases.
    std::string DiffusedTicket() const { return PrintTicket("diffused"); }

    void Problem(const std::string& what);
};

// A measured page and the reference encoding of each of its plane rows.
struct PageEntry {
    explicit PageEntry(Page p) : page(std::move(p)) {}
    Page page;
    ReferenceRows reference;
    // Outcomes of the checks against the reference encoder.
    bool encoderMatches = false;
    bool rowPathMatches = false;
    bool printMatches = false;
};
using PageList = std::vector<std::unique_ptr<PageEntry>>;

// One line on stderr, so that a long run shows where it is; stdout carries only the report.
void Progress(const std::string& text);

// A RowSource that repeats the page's rows, using the first rowBytes bytes of each.
RowSource CycledRows(const Page& page, int rowBytes);

}  // namespace tarnwick::bench
