// Draws what a printer stream would look like on paper: the planes of every row mixed
// subtractively with the inks' screen colours, the pages stacked top to bottom with a grey gap,
// scaled down by a whole factor to fit the width, the pixel budget and PNG's row limit. Only
// the pages the report lists are drawn (the first kMaxListedPages). When even the smallest
// scale, one pixel per page across and down, does not fit, nothing is drawn and failure() says
// why.
//
// The stream does not name its inks, so the planes are taken in the order this printer family
// sends them: one plane is Black; four are Black, Cyan, Magenta, Yellow; six are Black, Cyan,
// Magenta, Yellow, Light cyan, Light magenta. A CMYKOrGr job also sends six planes (its last two
// are Orange and Green): the caller who knows names the inks (PreviewOptions::inks).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "inspect/stream_inspector.h"

namespace tarnwick::inspect {

// The most rows libpng writes by default.
inline constexpr int64_t kMaxPreviewRows = 1'000'000;

struct PreviewOptions {
    int maxWidth = 2000;             // pixels of the preview at most
    int64_t maxPixels = 16'000'000;  // all pages together at most
    int gap = 16;                    // grey rows between pages, 0 to 64
    // The inks of the planes in the order they are sent, by name (see GetOxColorValue); empty
    // for the family's order. Planes past the list are not drawn.
    std::vector<std::string> inks;
};

class PreviewRenderer : public RowSink {
  public:
    // layout is the report of a first pass over the same stream: it gives every page's size.
    PreviewRenderer(const StreamReport& layout, const PreviewOptions& options);

    void OnPageStart(const PageReport& page) override;
    void OnRow(std::span<const std::span<const uint8_t>> planes) override;
    void OnPageEnd() override;

    int width() const { return m_width; }  // 0 when nothing can be drawn
    int height() const { return m_height; }
    int64_t scale() const { return m_scale; }
    const std::string& failure() const { return m_failure; }
    const std::vector<uint8_t>& pixels() const { return m_pixels; }

  private:
    struct PageBox {
        int64_t sourceWidth = 0;
        int64_t sourceRows = 0;
        int top = 0;  // first preview row
    };

    void FlushBlock();
    std::array<float, 3> Composite(std::span<const std::span<const uint8_t>> planes,
                                   int64_t x) const;

    int m_depth;
    int64_t m_scale = 1;
    int64_t m_samples = 1;     // sample points per block side
    int64_t m_sampleStep = 1;  // source pixels between sample points
    int m_width = 0;
    int m_height = 0;
    std::string m_failure;
    std::vector<uint8_t> m_pixels;
    std::vector<PageBox> m_pages;

    int m_page = -1;  // index into m_pages of the page being drawn
    int64_t m_row = 0;
    std::vector<float> m_sums;  // one block row: summed RGB per preview pixel
    int m_sampledRows = 0;
    std::vector<std::array<float, 3>> m_inks;  // transmission of each plane's ink, per channel
};

// Draws the stream at streamPath (already inspected into layout) and writes the PNG beside
// pngPath, renamed over it once complete: a failed preview leaves no file and any old one as it
// was.
bool WritePreview(const std::string& streamPath, const StreamReport& layout,
                  const std::string& pngPath, const PreviewOptions& options, std::string& error);

}  // namespace tarnwick::inspect
