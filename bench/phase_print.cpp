// Whole prints through the loaded module: each 720 dpi page kind as a job of at least 0.7 GB,
// printed to a file (and once more into a channel that only counts, to show what the file
// costs), checked against the reference encoder before and after the timed runs.
#include <unistd.h>

#include <filesystem>

#include "channels.h"
#include "file_view.h"
#include "module_print.h"
#include "phases.h"
#include "rtl/printer_models.h"
#include "timing.h"

namespace tarnwick::bench {
namespace {

constexpr int kSixInkMode = 2;

struct PrintContext {
    BenchState& s;
    const DriverModule& module;
    std::span<const int8_t> order;  // page planes in the order the driver sends them
};

Result PrintResult(const std::string& measurement, const Page& page, int64_t rows,
                   const Samples& samples, int64_t outputBytes) {
    Result r;
    r.measurement = measurement;
    r.page = PageKindName(page.kind());
    r.dpi = page.dpi();
    r.seconds = samples.Median();
    r.inputBytes = rows * kPlanes * page.rowBytes();
    r.planeRows = rows * kPlanes;
    r.outputBytes = outputBytes;
    return r;
}

// Prints a short job of the page into memory and checks every transfer.
bool CheckShortPrint(const PrintContext& p, const PageEntry& entry, std::string& error) {
    const Page& page = entry.page;
    const std::string ticket = p.s.scratch.File("check.tkt");
    const int64_t rows = 2 * page.rows();
    if (!WriteJob(ticket, {page.dpi(), false, page.rowBytes(), rows}, CycledRows(page, page.rowBytes()),
                  error)) {
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

// Times printing the ticket's job to a file; outputBytes gets the size of the stream.
Samples TimeFilePrint(const PrintContext& p, const std::string& ticket, const std::string& outPath,
                      int64_t& outputBytes) {
    std::string error;
    Samples samples = Measure("whole print", p.s.options.runs, 1,
                              {[&] {
                                   FileChannel out(outPath);
                                   const PrintOutcome printed = PrintJob(p.module, ticket, out);
                                   outputBytes = out.bytes();
                                   error = printed.error;
                                   return printed.ok && out.ok();
                               },
                               [&] {
                                   // Dropping the last run's stream is not part of a print.
                                   std::error_code ec;
                                   std::filesystem::remove(outPath, ec);
                               }});
    if (!samples.ok()) samples.error = error.empty() ? "the output file failed" : error;
    return samples;
}

void PrintPage(const PrintContext& p, PageEntry& entry) {
    BenchState& s = p.s;
    const Page& page = entry.page;
    const std::string kind = PageKindName(page.kind());
    const int64_t rows = s.PrintRows();
    Progress("whole print: " + kind + " 720, checking a short job");
    std::string error;
    entry.printMatches = CheckShortPrint(p, entry, error);
    if (!entry.printMatches) s.Problem("whole print of " + kind + ": " + error);

    const bool diffused = page.kind() == PageKind::kDiffused;
    const std::string ticket = diffused ? s.DiffusedTicket() : s.scratch.File(kind + ".tkt");
    if (!std::filesystem::exists(DataFileOf(ticket)) &&
        !WriteJob(ticket, {page.dpi(), false, page.rowBytes(), rows}, CycledRows(page, page.rowBytes()),
                  error)) {
        return s.Problem("cannot write the print job of " + kind + ": " + error);
    }

    Progress("whole print: " + kind + " 720, timing to a file");
    const std::string outPath = s.scratch.File("print.prn");
    int64_t outputBytes = 0;
    const Samples toFile = TimeFilePrint(p, ticket, outPath, outputBytes);
    if (!toFile.ok()) return s.Problem("whole print of " + kind + ": " + toFile.error);
    s.report.Add(PrintResult("whole print to a file", page, rows, toFile, outputBytes));
    {
        const FileView printed(outPath);
        const StreamCheck check = CheckStream(printed.bytes(), page, rows, p.order, entry.reference);
        if (!check.ok) {
            entry.printMatches = false;
            s.Problem("the long print of " + kind + ": " + check.error + printed.error());
        }
    }
    std::filesystem::remove(outPath);

    Progress("whole print: " + kind + " 720, timing into a counting channel");
    int64_t counted = 0;
    const Samples toCounter = Measure("whole print counted", s.options.runs, 1,
                                      {[&] {
                                           CountingChannel out;
                                           const bool ok = PrintJob(p.module, ticket, out).ok;
                                           counted = out.bytes;
                                           return ok;
                                       },
                                       {}});
    if (!toCounter.ok()) return s.Problem("whole print of " + kind + " into a counting channel");
    s.report.Add(PrintResult("whole print, output only counted", page, rows, toCounter, counted));

    if (diffused) {
        // The same data under a second ticket with the default settings (colour bar on).
        const std::string defaults = s.scratch.File("defaults.tkt");
        if (link(DataFileOf(ticket).c_str(), DataFileOf(defaults).c_str()) != 0 ||
            !WriteTicket(defaults, {page.dpi(), true, page.rowBytes(), rows}, error)) {
            return s.Problem("cannot make the default-settings job");
        }
        Progress("whole print: " + kind + " 720, timing with the default settings");
        const Samples withDefaults = TimeFilePrint(p, defaults, outPath, outputBytes);
        RemoveJob(defaults);
        std::filesystem::remove(outPath);
        if (!withDefaults.ok()) return s.Problem("default-settings print: " + withDefaults.error);
        s.report.Add(PrintResult("whole print to a file, default settings (colour bar on)", page,
                                 rows, withDefaults, outputBytes));
    } else {
        RemoveJob(ticket);
    }
}

}  // namespace

void RunPrintPhase(BenchState& s, const PageList& pages, const DriverModule& module) {
    const ColorModeInfo* mode = ColorModeFor(kSixInkMode);
    const PrintContext context{s, module, PlaneOrderFor(mode->planes, mode->layout)};
    for (const auto& e : pages) {
        if (e->page.dpi() != 720 || e->page.kind() == PageKind::kZeros) continue;
        PrintPage(context, *e);
    }
}

}  // namespace tarnwick::bench
