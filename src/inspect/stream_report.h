// What the stream inspector found in a printer stream.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::inspect {

struct PlotSize {
    int64_t length = 0;  // plotter units of 1/1016 inch
    int64_t width = 0;
};

// How a page was closed after its raster end (ESC*rC).
struct PageEnd {
    bool rasterEnd = false;  // ESC*rC was seen
    std::string plot;        // plot-language text after it, e.g. "PG;" or "!PG;"
    bool aborted = false;    // the abort form of the page end
    bool sheetCut = false;   // @PJL DO SHEETCUT
    bool reset = false;      // @PJL RESET
};

struct PageReport {
    int number = 0;       // 1-based
    uint64_t offset = 0;  // where its header began
    // @PJL SET lines: key and value, in order of first appearance (a repeated key keeps its
    // place and takes the later value).
    std::vector<std::pair<std::string, std::string>> pjl;
    std::vector<std::string> commands;  // other @PJL commands of the header, e.g. "RESET"
    std::string language;               // from @PJL ENTER LANGUAGE
    bool hasPlotSize = false;
    PlotSize plotSize;
    // Declared raster geometry; -1 when not declared.
    int64_t width = -1;                       // ESC*r#S, pixels
    int64_t height = -1;                      // ESC*r#T, rows
    int64_t resolution = -1;                  // ESC*t#R, dots per inch
    int64_t planes = -1;                      // ESC*r-#U
    int64_t compression = -1;                 // ESC*b#M
    int64_t rows = 0;                         // rows received (each ends with a W transfer)
    int64_t blankRows = 0;                    // rows sent as a single empty W transfer
    std::map<int64_t, int64_t> planesPerRow;  // planes in a row -> rows with that many
    int64_t longestPlaneRow = 0;              // bytes of the longest decoded plane row
    // Plane rows with data that decode shorter than the declared width: not a fault (the
    // printer pads them with blank pixels), but a sign of pixels deeper than the stream says.
    int64_t shortPlaneRows = 0;
    PageEnd end;
};

struct Fault {
    uint64_t offset = 0;
    int page = 0;  // 0 when outside any page
    std::string message;
};

struct StreamReport {
    uint64_t bytes = 0;
    int depth = 1;                  // bits per pixel assumed for the plane rows
    int64_t pageCount = 0;          // every page of the stream
    std::vector<PageReport> pages;  // the first kMaxListedPages of them
    std::vector<Fault> faults;      // at most kMaxFaults
    uint64_t faultCount = 0;        // all faults, also those not kept
};

inline constexpr std::size_t kMaxFaults = 100;
// The report keeps the details of this many pages and counts the rest, so that its memory does
// not grow with the stream: every page is still read and checked.
inline constexpr std::size_t kMaxListedPages = 1000;
// A page header keeps this many PJL settings and as many other PJL commands; more are a fault.
inline constexpr std::size_t kMaxPjlEntries = 64;

}  // namespace tarnwick::inspect
