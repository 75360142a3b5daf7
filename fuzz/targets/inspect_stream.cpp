// The stream inspector: any bytes give a report, the same whether the stream arrives whole or
// in small pieces, with rows handed out only inside pages and a preview that keeps to its
// budget.
#include <algorithm>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "inspect/preview_renderer.h"
#include "inspect/report_format.h"
#include "inspect/stream_inspector.h"

namespace tarnwick::fuzz {
namespace {

constexpr std::size_t kLongestPlaneRow = (inspect::kMaxRasterWidth * 8 + 7) / 8;

// Checks the order of what the inspector hands to a sink.
class OrderCheck : public inspect::RowSink {
  public:
    explicit OrderCheck(Invariants& check) : m_check(check) {}
    void OnPageStart(const inspect::PageReport&) override {
        m_check.Check(!m_inPage, "a page starts only after the last one ended");
        m_inPage = true;
        ++m_pages;
    }
    void OnRow(std::span<const std::span<const uint8_t>> planes) override {
        m_check.Check(m_inPage, "rows come only inside a page");
        for (const auto& plane : planes) {
            m_check.Check(plane.size() <= kLongestPlaneRow, "a plane row is at most 1,000,000 px");
        }
    }
    void OnPageEnd() override {
        m_check.Check(m_inPage, "a page ends only after it started");
        m_inPage = false;
    }
    bool inPage() const { return m_inPage; }
    int pages() const { return m_pages; }

  private:
    Invariants& m_check;
    bool m_inPage = false;
    int m_pages = 0;
};

inspect::StreamReport InPieces(std::span<const uint8_t> bytes, const inspect::InspectOptions& o) {
    inspect::StreamInspector inspector(o);
    inspect::StreamScanner scanner(inspector);
    std::size_t at = 0;
    for (std::size_t piece = 1; at < bytes.size(); piece = piece % 7 + 1) {
        const std::size_t n = std::min(piece, bytes.size() - at);
        scanner.Feed(bytes.subspan(at, n));
        at += n;
    }
    scanner.Finish();
    return inspector.Finish(bytes.size());
}

}  // namespace

int FuzzInspectStream(const uint8_t* data, size_t size) {
    Invariants check("inspect_stream");
    const std::span<const uint8_t> bytes(data, size);
    // The last byte picks the depth the rows are read with.
    inspect::InspectOptions options;
    options.depth = size == 0 ? 1 : 1 << (data[size - 1] % 4);

    OrderCheck order(check);
    const inspect::StreamReport report = inspect::InspectBytes(bytes, options, &order);
    check.Check(!order.inPage(), "every page the sink saw start also ended");
    check.Check(order.pages() == static_cast<int>(report.pages.size()),
                "the sink saw every page of the report");
    check.Check(report.bytes == size, "the report counts every byte");
    check.Check(
        report.faults.size() <= inspect::kMaxFaults && report.faultCount >= report.faults.size(),
        "faults are kept up to the limit and all counted");
    for (std::size_t i = 0; i < report.pages.size(); ++i) {
        check.Check(report.pages[i].number == static_cast<int>(i) + 1, "pages are numbered");
    }
    check.Check(inspect::FormatReportJson(report, "") ==
                    inspect::FormatReportJson(InPieces(bytes, options), ""),
                "a stream fed in pieces gives the same report");

    inspect::PreviewOptions preview;
    preview.maxWidth = 300;
    preview.maxPixels = 200'000;
    inspect::PreviewRenderer renderer(report, preview);
    inspect::InspectBytes(bytes, options, &renderer);
    check.Check(renderer.width() <= preview.maxWidth, "the preview keeps to its width");
    check.Check(static_cast<int64_t>(renderer.width()) * renderer.height() <=
                    preview.maxPixels + int64_t{preview.gap} * preview.maxWidth *
                                            static_cast<int64_t>(report.pages.size()),
                "the preview keeps to its pixel budget");
    return check.failures();
}

}  // namespace tarnwick::fuzz
