#include "inspect/preview_renderer.h"

#include <algorithm>
#include <cmath>

#include "host/ox_colors.h"
#include "inspect/png_writer.h"

namespace tarnwick::inspect {
namespace {

constexpr uint8_t kGapGrey = 0xB0;
constexpr int64_t kMaxSamples = 4;
constexpr int kMaxGap = 64;
constexpr std::array<const char*, 6> kPlaneInks = {"Black",  "Cyan",  "Magenta",
                                                   "Yellow", "LCyan", "LMagenta"};

int64_t CeilDiv(int64_t a, int64_t b) {
    return (a + b - 1) / b;
}

int64_t SourceWidth(const PageReport& page, int depth) {
    if (page.width >= 1 && page.width <= kMaxRasterWidth) return page.width;
    const int64_t fromRows = page.longestPlaneRow * 8 / depth;
    return std::clamp<int64_t>(fromRows, 1, kMaxRasterWidth);
}

}  // namespace

PreviewRenderer::PreviewRenderer(const StreamReport& layout, const PreviewOptions& options)
    : m_depth(layout.depth) {
    std::vector<std::string> inks = options.inks;
    if (inks.empty()) inks.assign(kPlaneInks.begin(), kPlaneInks.end());
    for (const std::string& ink : inks) {
        const uint32_t rgb = GetOxColorValue(ink.c_str());
        m_inks.push_back({static_cast<float>((rgb >> 16) & 0xFF) / 255.0f,
                          static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
                          static_cast<float>(rgb & 0xFF) / 255.0f});
    }
    int64_t widest = 1;
    for (const PageReport& page : layout.pages) {
        PageBox box;
        box.sourceWidth = SourceWidth(page, m_depth);
        box.sourceRows = std::max<int64_t>(page.rows, 1);
        widest = std::max(widest, box.sourceWidth);
        m_pages.push_back(box);
    }
    if (m_pages.empty()) {
        m_failure = "the stream holds no raster page";
        return;
    }

    const int64_t gap = std::clamp(options.gap, 0, kMaxGap);
    const auto pages = static_cast<int64_t>(m_pages.size());
    int64_t tallest = 1;
    for (const PageBox& box : m_pages) tallest = std::max(tallest, box.sourceRows);
    const auto previewSize = [&](int64_t scale, int64_t& w, int64_t& h) {
        w = CeilDiv(widest, scale);
        h = gap * (pages - 1);
        for (const PageBox& box : m_pages) h += CeilDiv(box.sourceRows, scale);
    };
    const int64_t budget = std::max<int64_t>(1, options.maxPixels);
    // Past this scale every page is one pixel: the preview shrinks no further.
    const int64_t lastScale = std::max(widest, tallest);
    int64_t scale =
        std::clamp<int64_t>(CeilDiv(widest, std::max(1, options.maxWidth)), 1, lastScale);
    int64_t w = 0;
    int64_t h = 0;
    for (;;) {
        previewSize(scale, w, h);
        // w is at most kMaxRasterWidth, so the product is taken only for a bounded h.
        if (h <= kMaxPreviewRows && w * h <= budget) break;
        if (scale == lastScale) {
            m_failure = std::to_string(pages) + " pages do not fit in a preview of " +
                        std::to_string(budget) + " pixels and " + std::to_string(kMaxPreviewRows) +
                        " rows even at one pixel per page";
            m_pages.clear();
            return;
        }
        scale = std::min(lastScale, scale + std::max<int64_t>(1, scale / 8));
    }
    m_scale = scale;
    m_width = static_cast<int>(w);
    m_height = static_cast<int>(h);
    m_samples = std::min<int64_t>(scale, kMaxSamples);
    m_sampleStep = scale / m_samples;

    m_pixels.assign(static_cast<std::size_t>(w * h * 3), kGapGrey);
    int top = 0;
    for (PageBox& box : m_pages) {
        box.top = top;
        const int64_t rows = CeilDiv(box.sourceRows, scale);
        const int64_t cols = CeilDiv(box.sourceWidth, scale);
        for (int64_t y = 0; y < rows; ++y) {
            auto* row = m_pixels.data() + ((top + y) * w) * 3;
            std::fill_n(row, cols * 3, uint8_t{0xFF});
        }
        top += static_cast<int>(rows + gap);
    }
}

void PreviewRenderer::OnPageStart(const PageReport& page) {
    m_page = page.number - 1;
    if (m_page < 0 || m_page >= static_cast<int>(m_pages.size())) m_page = -1;
    m_row = 0;
    m_sampledRows = 0;
    if (m_page >= 0) m_sums.assign(static_cast<std::size_t>(m_width) * 3, 0.0f);
}

std::array<float, 3> PreviewRenderer::Composite(std::span<const std::span<const uint8_t>> planes,
                                                int64_t x) const {
    std::array<float, 3> light = {1.0f, 1.0f, 1.0f};
    const int mask = (1 << m_depth) - 1;
    const int64_t bit = x * m_depth;
    const auto byte = static_cast<std::size_t>(bit / 8);
    const int shift = 8 - m_depth - static_cast<int>(bit % 8);
    const std::size_t count = std::min(planes.size(), m_inks.size());
    for (std::size_t p = 0; p < count; ++p) {
        if (byte >= planes[p].size()) continue;
        const int level = (planes[p][byte] >> shift) & mask;
        if (level == 0) continue;
        const float coverage = static_cast<float>(level) / static_cast<float>(mask);
        for (int c = 0; c < 3; ++c) light[c] *= 1.0f - coverage * (1.0f - m_inks[p][c]);
    }
    return light;
}

void PreviewRenderer::OnRow(std::span<const std::span<const uint8_t>> planes) {
    if (m_page < 0) return;
    const PageBox& box = m_pages[static_cast<std::size_t>(m_page)];
    const int64_t row = m_row++;
    if (row >= box.sourceRows) return;
    const int64_t inBlock = row % m_scale;
    const bool sampled = inBlock % m_sampleStep == 0 && inBlock / m_sampleStep < m_samples;
    if (sampled) {
        ++m_sampledRows;
        const int64_t cols = CeilDiv(box.sourceWidth, m_scale);
        for (int64_t ox = 0; ox < cols; ++ox) {
            float* sum = &m_sums[static_cast<std::size_t>(ox) * 3];
            for (int s = 0; s < m_samples; ++s) {
                const int64_t x = ox * m_scale + s * m_sampleStep;
                // Past the page's right edge a sample counts as paper.
                const auto rgb = x < box.sourceWidth && !planes.empty()
                                     ? Composite(planes, x)
                                     : std::array<float, 3>{1.0f, 1.0f, 1.0f};
                for (int c = 0; c < 3; ++c) sum[c] += rgb[c];
            }
        }
    }
    if (inBlock == m_scale - 1 || row == box.sourceRows - 1) FlushBlock();
}

void PreviewRenderer::FlushBlock() {
    if (m_page < 0 || m_sampledRows == 0) return;
    const PageBox& box = m_pages[static_cast<std::size_t>(m_page)];
    const int64_t y = box.top + (m_row - 1) / m_scale;
    const int64_t cols = CeilDiv(box.sourceWidth, m_scale);
    const float samples = static_cast<float>(m_sampledRows * m_samples);
    uint8_t* out = m_pixels.data() + static_cast<std::size_t>(y * m_width) * 3;
    for (int64_t i = 0; i < cols * 3; ++i) {
        const float value = m_sums[static_cast<std::size_t>(i)] / samples;
        out[i] = static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
        m_sums[static_cast<std::size_t>(i)] = 0.0f;
    }
    m_sampledRows = 0;
}

void PreviewRenderer::OnPageEnd() {
    FlushBlock();
    m_page = -1;
}

bool WritePreview(const std::string& streamPath, const StreamReport& layout,
                  const std::string& pngPath, const PreviewOptions& options, std::string& error) {
    PreviewRenderer renderer(layout, options);
    if (renderer.width() <= 0 || renderer.height() <= 0) {
        error = "no preview of " + streamPath + ": " + renderer.failure();
        return false;
    }
    StreamReport again;
    InspectOptions inspect;
    inspect.depth = layout.depth;
    if (!InspectFile(streamPath, inspect, &renderer, again, error)) return false;
    return WritePngRgb(pngPath, renderer.width(), renderer.height(), renderer.pixels(), error);
}

}  // namespace tarnwick::inspect
