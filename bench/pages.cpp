#include "pages.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>

#include "support/rng.h"

namespace tarnwick::bench {
namespace {

// The halftones sit around 30% ink: a mean level of 77 out of 256.
constexpr double kMeanInk = 0.30;

// Smooth ink levels (0..255) that vary gently across and along the page, differently per
// plane: a page-wide gradient with a ripple of a few inches on top, so that halftone rows are
// neither flat for metres nor noise.
class SmoothField {
  public:
    SmoothField(int width, int rows, int dpi, int plane)
        : m_across(static_cast<std::size_t>(width)) {
        const double phase = 0.9 * plane;
        const double ripple = 2 * std::numbers::pi / (2.0 * dpi);  // a 2-inch period
        for (int x = 0; x < width; ++x) {
            const double t = 2 * std::numbers::pi * x / width;
            m_across[static_cast<std::size_t>(x)] =
                Levels(0.08 * std::sin(t + phase) + 0.05 * std::sin(ripple * x + 2 * phase));
        }
        m_along.resize(static_cast<std::size_t>(rows));
        for (int y = 0; y < rows; ++y) {
            // Whole periods along the page, so that the mean stays at kMeanInk.
            const double t = 2 * std::numbers::pi * y / std::max(rows, 1);
            m_along[static_cast<std::size_t>(y)] =
                Levels(kMeanInk + 0.06 * std::sin(2 * t + phase) + 0.03 * std::sin(8 * t));
        }
    }

    int Level(int x, int y) const {
        return std::clamp(
            m_across[static_cast<std::size_t>(x)] + m_along[static_cast<std::size_t>(y)], 0, 255);
    }

  private:
    static int Levels(double share) { return static_cast<int>(std::lround(share * 256.0)); }

    std::vector<int> m_across;
    std::vector<int> m_along;
};

constexpr std::array<std::array<int, 8>, 8> kBayer8 = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

void FillOrdered(Page& page, auto rowOf) {
    const int width = page.rowBytes() * 8;
    for (int p = 0; p < kPlanes; ++p) {
        const SmoothField field(width, page.rows(), page.dpi(), p);
        for (int y = 0; y < page.rows(); ++y) {
            uint8_t* row = rowOf(p, y);
            const auto& thresholds = kBayer8[static_cast<std::size_t>(y % 8)];
            for (int b = 0; b < page.rowBytes(); ++b) {
                unsigned byte = 0;
                for (int k = 0; k < 8; ++k) {
                    const int t = thresholds[static_cast<std::size_t>(k)] * 4 + 2;
                    byte = byte << 1 | (field.Level(b * 8 + k, y) > t ? 1u : 0u);
                }
                row[b] = static_cast<uint8_t>(byte);
            }
        }
    }
}

// Floyd-Steinberg in integers; errors are kept in sixteenths of a level.
void FillDiffused(Page& page, auto rowOf) {
    const int width = page.rowBytes() * 8;
    for (int p = 0; p < kPlanes; ++p) {
        const SmoothField field(width, page.rows(), page.dpi(), p);
        std::vector<int> cur(static_cast<std::size_t>(width) + 2);
        std::vector<int> next(cur.size());
        for (int y = 0; y < page.rows(); ++y) {
            uint8_t* row = rowOf(p, y);
            std::fill(next.begin(), next.end(), 0);
            for (int x = 0; x < width; ++x) {
                const std::size_t i = static_cast<std::size_t>(x) + 1;
                const int v = field.Level(x, y) * 16 + cur[i];
                const bool on = v >= 128 * 16;
                const int e = v - (on ? 255 * 16 : 0);
                cur[i + 1] += (e * 7) >> 4;
                next[i - 1] += (e * 3) >> 4;
                next[i] += (e * 5) >> 4;
                next[i + 1] += e >> 4;
                if (x % 8 == 0) row[x / 8] = 0;
                if (on) row[x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
            }
            std::swap(cur, next);
        }
    }
}

void SetSpan(uint8_t* row, int x0, int x1) {
    for (int x = x0; x < x1; ++x) row[x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
}

// Lines of small text in three columns: black carries every line, the colour planes only
// the odd heading. Sizes are in 720 dpi pixels and scale with the resolution.
void FillSparse(Page& page, auto rowOf) {
    const int width = page.rowBytes() * 8;
    const double s = page.dpi() / 720.0;
    const auto px = [s](int v) { return std::max(1, static_cast<int>(v * s + 0.5)); };
    const int pitch = px(120);
    const int band = px(36);
    const int stroke = px(5);
    const int margin = page.dpi();  // one inch
    const int columnWidth = (width - 4 * margin) / 3;
    for (int p = 0; p < kPlanes; ++p) {
        test::SplitMix64 rng(0x5A11 + static_cast<uint64_t>(p));
        const bool black = p == 3;
        for (int line = 0, top = px(40); top < page.rows(); ++line, top += pitch) {
            if (!black && (line + p) % 5 != 0) continue;
            for (int c = 0; c < 3; ++c) {
                const int left = margin + c * (columnWidth + margin);
                // A paragraph's last line stops early.
                const int right =
                    left + (rng.Below(10) < 3
                                ? static_cast<int>(rng.Below(static_cast<uint32_t>(columnWidth)))
                                : columnWidth);
                int x = left;
                while (x < right) {
                    const int letters = 2 + static_cast<int>(rng.Below(7));
                    for (int g = 0; g < letters && x < right; ++g) {
                        const int w = px(28 + static_cast<int>(rng.Below(17)));
                        const bool tall = rng.Below(4) == 0;
                        const int y0 = tall ? top - band / 2 : top;
                        const int y1 = top + band;
                        const unsigned shape = static_cast<unsigned>(rng.Below(8));
                        const int x1 = std::min(x + w, right);
                        for (int y = std::max(y0, 0); y < std::min(y1, page.rows()); ++y) {
                            uint8_t* row = rowOf(p, y);
                            SetSpan(row, x, std::min(x + stroke, x1));  // stem
                            if (shape & 1) SetSpan(row, std::max(x1 - stroke, x), x1);
                            const bool bar =
                                (y - top < stroke && (shape & 2)) ||
                                (y1 - y <= stroke && (shape & 4)) ||
                                (std::abs(y - (top + band / 2)) < stroke / 2 + 1 && shape == 0);
                            if (bar) SetSpan(row, x, x1);
                        }
                        x += w + px(8);
                    }
                    x += px(24);  // word gap
                }
            }
        }
    }
}

void FillRandom(Page& page, auto rowOf) {
    test::SplitMix64 rng(0x7A4E);
    for (int y = 0; y < page.rows(); ++y) {
        for (int p = 0; p < kPlanes; ++p) {
            uint8_t* row = rowOf(p, y);
            for (int b = 0; b < page.rowBytes(); b += 8) {
                const uint64_t v = rng.Next();
                const int n = std::min(8, page.rowBytes() - b);
                for (int k = 0; k < n; ++k) row[b + k] = static_cast<uint8_t>(v >> (8 * k));
            }
        }
    }
}

}  // namespace

const char* PageKindName(PageKind kind) {
    switch (kind) {
        case PageKind::kOrdered:
            return "ordered";
        case PageKind::kDiffused:
            return "diffused";
        case PageKind::kSparse:
            return "sparse";
        case PageKind::kRandom:
            return "random";
        case PageKind::kZeros:
            return "zeros";
    }
    return "?";
}

int RollRowBytes(int dpi) {
    return kRollInches * dpi / 8;
}

int RollRows(int dpi) {
    return 1000 * 720 / dpi;
}

Page::Page(PageKind kind, int dpi, int rowBytes, int rows)
    : m_kind(kind),
      m_dpi(dpi),
      m_rowBytes(rowBytes),
      m_rows(rows),
      m_data(static_cast<std::size_t>(rows) * kPlanes * static_cast<std::size_t>(rowBytes)) {}

double Page::InkShare() const {
    if (m_data.empty()) return 0;
    uint64_t bits = 0;
    for (const uint8_t b : m_data) bits += static_cast<uint64_t>(std::popcount(b));
    return static_cast<double>(bits) / (8.0 * static_cast<double>(m_data.size()));
}

Page MakePage(PageKind kind, int dpi, int rowBytes, int rows) {
    Page page(kind, dpi, rowBytes, rows);
    const auto rowOf = [&page](int p, int y) { return page.MutableRow(p, y); };
    switch (kind) {
        case PageKind::kOrdered:
            FillOrdered(page, rowOf);
            break;
        case PageKind::kDiffused:
            FillDiffused(page, rowOf);
            break;
        case PageKind::kSparse:
            FillSparse(page, rowOf);
            break;
        case PageKind::kRandom:
            FillRandom(page, rowOf);
            break;
        case PageKind::kZeros:
            break;
    }
    return page;
}

}  // namespace tarnwick::bench
