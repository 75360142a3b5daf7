// Whole prints through the loaded module: each 720 dpi page kind as a job of at least 0.7 GB,
// printed to a file; the job reader alone and a print into a channel that only counts show
// what the layers cost. Every print is checked against the reference encoder: a short job
// before any timing, the long job's stream after its first timed run.
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "channels.h"
#include "file_view.h"
#include "job_reader.h"
#include "module_print.h"
#include "phases.h"
#include "rtl/printer_models.h"

namespace tarnwick::bench {
namespace {

constexpr int kSixInkMode = 2;

struct PrintContext {
    BenchState& s;
    const DriverModule& module;
    std::span<const int8_t> order;  // page planes in the order the driver sends them
};

// One long job and what its measurements leave behind.
struct PrintJobRun {
    PrintJobRun(PageEntry& e, std::string t, std::string out, int64_t r)
        : entry(e), ticket(std::move(t)), outPath(std::move(out)), rows(r) {}

    PageEntry& entry;
    std::string ticket;
    std::string outPath;
    int64_t rows = 0;
    int64_t outputBytes = 0;
    int64_t counted = 0;
    int64_t readBytes = 0;
    std::string error;
};

Result PrintResult(const std::string& measurement, const PrintJobRun& job, const Samples& samples,
                   int64_t outputBytes) {
    const Page& page = job.entry.page;
    return MeasuredResult(measurement, page, samples, job.rows * kPlanes * page.rowBytes(),
                          job.rows * kPlanes, outputBytes);
}

// Prints a short job of the page into memory and checks every transfer.
bool CheckShortPrint(const PrintContext& p, const PageEntry& entry, std::string& error) {
    const Page& page = entry.page;
    const std::string ticket = p.s.scratch.File("check.tkt");
    const int64_t rows = 2 * page.rows();
    if (!WriteJob(ticket, {page.dpi(), false, page.rowBytes(), rows},
                  CycledRows(page, page.rowBytes()), error)) {
        return false;
    }
    KeepingChannel out;
    const PrintOutcome printed = PrintJob(p.module, ticket, out);
    RemoveJob(ticket);
    if (!printed.ok) {
        error = printed.error;
        return false;
    }
    const StreamCheck check = CheckStream(out.bytes, page, rows, p.order, entry.reference);
    error = check.error;
    return check.ok;
}

// The stream of a long print, checked row by row against the reference encoding.
void CheckLongPrint(const PrintContext& p, PrintJobRun& job) {
    const FileView printed(job.outPath);
    const StreamCheck check =
        CheckStream(printed.bytes(), job.entry.page, job.rows, p.order, job.entry.reference);
    if (!check.ok) {
        job.entry.printMatches = false;
        p.s.Problem("the long print: " + check.error + printed.error());
    }
}

// Printing the job to its file. With checkFirst the first stream is checked; every stream is
// deleted once done with, so that no run finds the page cache full of old ones.
Work FilePrint(const PrintContext& p, std::shared_ptr<PrintJobRun> job, bool checkFirst) {
    const DriverModule& module = p.module;
    return {[&module, job] {
                FileChannel out(job->outPath);
                const PrintOutcome printed = PrintJob(module, job->ticket, out);
                job->outputBytes = out.bytes();
                job->error =
                    printed.ok && !out.ok() ? "cannot write " + job->outPath : printed.error;
                return printed.ok && out.ok();
            },
            {},
            [p, job, checkFirst]() mutable {
                if (checkFirst) {
                    checkFirst = false;
                    CheckLongPrint(p, *job);
                }
                std::error_code ec;
                std::filesystem::remove(job->outPath, ec);
            }};
}

void AddPrints(const PrintContext& p, PageEntry& entry, Schedule& schedule) {
    BenchState& s = p.s;
    const Page& page = entry.page;
    const std::string kind = PageKindName(page.kind());
    Progress("whole print: checking a short job of " + kind + " 720");
    std::string error;
    entry.printMatches = CheckShortPrint(p, entry, error);
    if (!entry.printMatches) s.Problem("whole print of " + kind + ": " + error);

    auto job = std::make_shared<PrintJobRun>(entry, s.PrintTicket(kind),
                                             s.scratch.File(kind + ".prn"), s.PrintRows());
    if (!std::filesystem::exists(DataFileOf(job->ticket))) {
        Progress("whole print: writing the job of " + kind + " 720");
        if (!WriteJob(job->ticket, {page.dpi(), false, page.rowBytes(), job->rows},
                      CycledRows(page, page.rowBytes()), error)) {
            return s.Problem("cannot write the print job of " + kind + ": " + error);
        }
    }

    schedule.Add("whole print", 1, FilePrint(p, job, true), [&s, job](const Samples& samples) {
        if (!samples.ok()) return s.Problem("whole print: " + job->error);
        s.report.Add(PrintResult(kPrintName, *job, samples, job->outputBytes));
    });

    schedule.Add("job reader", 1, {[job] {
                     return ReadJobPage(DataFileOf(job->ticket), job->readBytes, job->error);
                 }},
                 [&s, job](const Samples& samples) {
                     const Page& page = job->entry.page;
                     if (!samples.ok() || job->readBytes != job->rows * kPlanes * page.rowBytes()) {
                         return s.Problem("job reader: " + job->error);
                     }
                     s.report.Add(PrintResult(kReaderName, *job, samples, -1));
                 });

    const DriverModule& module = p.module;
    schedule.Add("whole print counted", 1, {[&module, job] {
                     CountingChannel out;
                     const bool ok = PrintJob(module, job->ticket, out).ok;
                     job->counted = out.bytes;
                     return ok;
                 }},
                 [&s, job](const Samples& samples) {
                     if (!samples.ok()) return s.Problem("whole print into a counting channel");
                     s.report.Add(PrintResult(kCountedName, *job, samples, job->counted));
                 });

    if (page.kind() != PageKind::kDiffused) return;
    // The same data under a second ticket with the default settings (colour bar on).
    const std::string defaults = s.PrintTicket("defaults");
    if (link(DataFileOf(job->ticket).c_str(), DataFileOf(defaults).c_str()) != 0 ||
        !WriteTicket(defaults, {page.dpi(), true, page.rowBytes(), job->rows}, error)) {
        return s.Problem("cannot make the default-settings job");
    }
    auto withDefaults =
        std::make_shared<PrintJobRun>(entry, defaults, s.scratch.File("defaults.prn"), job->rows);
    schedule.Add(
        // Its rows carry the colour-bar strip, which the reference rows do not.
        "whole print defaults", 1, FilePrint(p, withDefaults, false),
        [&s, withDefaults](const Samples& samples) {
            if (!samples.ok()) {
                return s.Problem("default-settings print: " + withDefaults->error);
            }
            s.report.Add(PrintResult("whole print to a file, default settings (colour bar on)",
                                     *withDefaults, samples, withDefaults->outputBytes));
        });
}

}  // namespace

void AddPrintTasks(BenchState& s, const PageList& pages, const DriverModule& module,
                   Schedule& schedule) {
    const ColorModeInfo* mode = ColorModeFor(kSixInkMode);
    const PrintContext context{s, module, PlaneOrderFor(mode->planes, mode->layout)};
    for (const auto& e : pages) {
        if (e->page.dpi() != 720 || e->page.kind() == PageKind::kZeros) continue;
        AddPrints(context, *e, schedule);
    }
}

void RemovePrintJobs(BenchState& s) {
    for (const PageKind kind : {PageKind::kOrdered, PageKind::kSparse, PageKind::kRandom}) {
        RemoveJob(s.PrintTicket(PageKindName(kind)));
    }
    RemoveJob(s.PrintTicket("defaults"));
}

}  // namespace tarnwick::bench
