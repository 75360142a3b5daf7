// The stream inspector: reads a PJL/RTL printer stream through the scanner, gathers every page's
// settings and geometry, decodes every raster row and records whatever is malformed. It never
// trusts the stream: buffers are bounded whatever the counts in it say, and the report keeps
// the details of the first kMaxListedPages pages only (the rest are read, checked and counted),
// so the memory it takes does not grow with the number of pages. A sink sees the listed pages.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "inspect/stream_report.h"
#include "inspect/stream_scanner.h"

namespace tarnwick::inspect {

struct InspectOptions {
    // Bits per pixel of the plane rows (1, 2, 4 or 8). The stream does not say; the widths are
    // checked and the preview drawn with this depth.
    int depth = 1;
};

// Receives the decoded rows, e.g. to draw a preview.
class RowSink {
  public:
    virtual ~RowSink() = default;
    virtual void OnPageStart(const PageReport& page) = 0;
    // The planes of one row in the order sent; empty for a blank row.
    virtual void OnRow(std::span<const std::span<const uint8_t>> planes) = 0;
    virtual void OnPageEnd() = 0;
};

// Longest payload of one row transfer that is taken in; longer ones are reported, not read.
inline constexpr uint64_t kMaxTransferBytes = 16u << 20;
// Widest raster accepted, in pixels.
inline constexpr int64_t kMaxRasterWidth = 1'000'000;
inline constexpr int64_t kMaxRasterHeight = 10'000'000;
inline constexpr int kMaxPlanes = 16;

class StreamInspector : public ScanHandler {
  public:
    explicit StreamInspector(InspectOptions options = {}, RowSink* sink = nullptr);

    void OnText(uint64_t offset, std::string_view text, bool lineEnd) override;
    uint64_t OnCommand(const EscapeCommand& command) override;
    void OnData(std::span<const uint8_t> bytes) override;
    void OnDataEnd(uint64_t announced, uint64_t received) override;
    void OnMalformed(uint64_t offset, const std::string& message) override;

    // Call after the scanner's Finish; totalBytes is the stream's size.
    StreamReport Finish(uint64_t totalBytes);

  private:
    enum class Mode { kPjl, kRaster, kPlot };
    enum RowFaultKind { kPlaneCount, kTooLong, kBadData, kStrayBytes, kRowFaultKinds };

    // page -1: the page the inspector is in.
    void AddFault(uint64_t offset, std::string message, int page = -1);
    void StoreFault(uint64_t offset, std::string message, int page = -1);  // listed, not counted
    void RowFault(RowFaultKind kind, uint64_t offset, std::string message);
    void SummariseRowFaults();

    PageReport& Header(uint64_t offset);
    void CloseEndRegion();
    void RetirePage();  // the page is over: listed, or only counted
    void FlushLine();
    void ProcessPjlLine(uint64_t offset, std::string_view line);
    void FlushPlot();

    void StartRaster(const EscapeCommand& command);
    void EndRaster();
    uint64_t StartTransfer(const EscapeCommand& command);
    void SetGeometry(const EscapeCommand& command);
    void FinishPlane();
    void FinishRow();

    InspectOptions m_options;
    RowSink* m_sink;
    StreamReport m_report;
    Mode m_mode = Mode::kPjl;

    PageReport m_pending;  // the header being gathered
    bool m_hasPending = false;
    bool m_pendingFull = false;  // its PJL entries overflowed (reported once)
    PageReport m_page;           // the page in raster graphics or in its end region
    bool m_havePage = false;
    bool m_pageToSink = false;  // the sink saw m_page start
    bool m_inRaster = false;
    bool m_afterEnd = false;  // after a page's raster end, before the next header

    std::string m_line;  // PJL text of the current line
    uint64_t m_lineOffset = 0;
    std::string m_plot;  // plot-language text since the last escape
    uint64_t m_plotOffset = 0;

    // Rules of the page in raster graphics.
    bool m_widthChecked = false;  // the declared width is usable for the length check
    std::size_t m_rowLimit = 0;   // bytes a decoded plane row may hold
    int64_t m_declaredPlanes = 1;
    int64_t m_compression = 0;

    // The row transfer being read.
    bool m_transferOpen = false;
    bool m_transferSkip = false;  // outside raster graphics: read past, not decoded
    bool m_transferLast = false;
    uint64_t m_transferOffset = 0;
    uint64_t m_transferAnnounced = 0;
    std::vector<uint8_t> m_payload;

    // The row being gathered, one decoded buffer per plane.
    std::vector<std::vector<uint8_t>> m_planes;
    std::vector<std::size_t> m_planeLengths;
    int m_planeCount = 0;  // transfers of the current row so far
    uint64_t m_rowOffset = 0;
    int m_rowFaults[kRowFaultKinds] = {};
};

// Inspects a whole stream held in memory.
StreamReport InspectBytes(std::span<const uint8_t> bytes, const InspectOptions& options = {},
                          RowSink* sink = nullptr);

// Inspects a file, reading it in pieces. False with error set when it cannot be read.
bool InspectFile(const std::string& path, const InspectOptions& options, RowSink* sink,
                 StreamReport& report, std::string& error);

}  // namespace tarnwick::inspect
