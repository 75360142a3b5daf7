// tarnwick inspect: reports what a printer stream holds and whether anything in it is broken.
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "host/ox_colors.h"
#include "inspect/preview_renderer.h"
#include "inspect/report_format.h"
#include "inspect/stream_inspector.h"

namespace tarnwick::cli {
namespace {

constexpr const char* kUsage =
    "Usage: tarnwick inspect OUT.prn [--json] [--preview OUT.png [--inks LIST]] [--depth N]\n"
    "Reads a PJL/RTL printer stream and reports its PJL settings, language entry, raster\n"
    "geometry, compression, pages, rows and planes per row. Every row is decoded; anything\n"
    "malformed is reported as a fault (a count that overruns the data, a row with the wrong\n"
    "number of planes, a decoded row longer than the declared width, a missing page end,\n"
    "unknown escape sequences ...). The report lists the first 1000 pages and counts the\n"
    "rest, which are read and checked all the same. The text report ends with each page's\n"
    "physical size (inches and millimetres, from the plot size) and the resolution of each\n"
    "axis that the raster's columns and rows over it give.\n"
    "\n"
    "Options:\n"
    "  --json             the report as JSON\n"
    "  --preview OUT.png  draw the pages as printed (inks mixed subtractively; planes taken as\n"
    "                     K; K,C,M,Y; or K,C,M,Y,Lc,Lm for 1, 4 or 6 planes), stacked, scaled\n"
    "                     down to at most 2000 pixels wide, 16 million pixels and 1 million\n"
    "                     rows; only the listed pages are drawn. The PNG is written beside its\n"
    "                     name and renamed over it when complete; a failed preview leaves no\n"
    "                     file\n"
    "  --inks LIST        the inks of the planes in the order they are sent, for the preview,\n"
    "                     e.g. Black,Cyan,Magenta,Yellow,Orange,Green for a CMYKOrGr job,\n"
    "                     whose six planes are otherwise drawn as the light inks; names: Cyan,\n"
    "                     Magenta, Yellow, Black, LCyan, LMagenta, Green, Orange\n"
    "  --depth N          bits per pixel of the plane rows, 1, 2, 4 or 8 (default 1); the\n"
    "                     stream does not say\n"
    "\n"
    "Exit status: 0 no fault, 1 faults found (or the file cannot be read), 2 bad usage.\n";

const std::array<OptionDef, 4> kOptions = {
    {{"json", 0, false}, {"preview", 0, true}, {"inks", 0, true}, {"depth", 0, true}}};

// The ink names of --inks, each one the family knows.
std::vector<std::string> ParseInks(const std::string& list) {
    std::vector<std::string> inks;
    std::string known;
    for (int id = 0; *GetOxColorName(id) != '\0'; ++id) {
        known += (known.empty() ? "" : ", ") + std::string(GetOxColorName(id));
    }
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, end - start);
        if (GetOxColorValue(name.c_str()) == 0) {
            throw UsageError("--inks: '" + name + "' is not an ink; the inks are " + known);
        }
        inks.push_back(name);
        start = end + 1;
    }
    return inks;
}

// What each page measures on paper and the resolution of each axis.
std::string PhysicalSizes(const inspect::StreamReport& report) {
    constexpr double kMillimetresPerInch = 25.4;
    std::string out;
    for (const inspect::PageReport& page : report.pages) {
        const std::optional<inspect::PhysicalSize> size = inspect::PagePhysicalSize(page);
        if (!size) continue;
        char line[256];
        std::snprintf(line, sizeof line, "  page %d: %.2f x %.2f in (%.1f x %.1f mm)", page.number,
                      size->acrossInches, size->downInches,
                      size->acrossInches * kMillimetresPerInch,
                      size->downInches * kMillimetresPerInch);
        out += line;
        if (size->dpiAcross > 0) {
            std::snprintf(line, sizeof line, ", %.0f dpi across x %.0f dpi down", size->dpiAcross,
                          size->dpiDown);
            out += line;
        }
        out += "\n";
    }
    return out.empty() ? out : "physical size (across x down):\n" + out;
}

}  // namespace

int RunInspect(CommandArgs argv) {
    const ParsedArgs args = ParseArgs(argv, kOptions);
    if (args.Has("help")) return WriteOut(kUsage) ? kExitOk : kExitFailure;
    args.ExpectPositionals(1, 1, "the stream to inspect");
    inspect::InspectOptions options;
    if (const auto depth = args.Get("depth")) {
        options.depth = static_cast<int>(ParseInteger(*depth, "--depth", 1, 8));
        if (options.depth != 1 && options.depth != 2 && options.depth != 4 && options.depth != 8) {
            throw UsageError("--depth must be 1, 2, 4 or 8");
        }
    }
    const std::string path = args.positionals()[0];
    const std::optional<std::string> preview = args.Get("preview");
    if (preview && preview->empty()) throw UsageError("--preview needs a file name");
    inspect::PreviewOptions previewOptions;
    if (const auto inks = args.Get("inks")) {
        if (!preview) throw UsageError("--inks names the inks of a --preview");
        previewOptions.inks = ParseInks(*inks);
    }

    inspect::StreamReport report;
    std::string error;
    if (!inspect::InspectFile(path, options, nullptr, report, error)) {
        Console::Get().Error(error);
        return kExitFailure;
    }
    const std::string text = args.Has("json")
                                 ? inspect::FormatReportJson(report, path)
                                 : inspect::FormatReportText(report, path) + PhysicalSizes(report);
    if (!WriteOut(text)) return kExitFailure;
    if (preview) {
        if (report.pageCount == 0) {
            Console::Get().Error("no preview: the stream holds no raster page");
            return kExitFailure;
        }
        if (!inspect::WritePreview(path, report, *preview, previewOptions, error)) {
            Console::Get().Error(error);
            return kExitFailure;
        }
        if (report.pageCount > static_cast<int64_t>(report.pages.size())) {
            Console::Get().Info("the preview " + *preview + " shows the first " +
                                std::to_string(report.pages.size()) + " of " +
                                std::to_string(report.pageCount) + " pages");
        }
    }
    return report.faultCount == 0 ? kExitOk : kExitFailure;
}

}  // namespace tarnwick::cli
