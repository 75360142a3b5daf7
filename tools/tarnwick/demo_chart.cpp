#include "demo_chart.h"

#include <algorithm>

namespace tarnwick::cli {
namespace {

constexpr int kBandHeight = 40;
constexpr int kBandGap = 8;
constexpr int kSteps = 11;
constexpr int kLinesTop = 340;
constexpr int kLinesBottom = 480;
constexpr int kHairlinesTop = 500;
constexpr int kHairlinesBottom = 600;
constexpr int kMarkTop = 620;
constexpr int kMarkSize = 40;
constexpr int kMarkPitch = 60;

// 8x8 Bayer matrix: thresholds 0..63 spread evenly, for ordered dither.
constexpr int kBayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                              {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                              {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                              {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

bool IsBlack(const std::string& ink) {
    return ink == "Black";
}

class DemoPage : public PageSource {
  public:
    DemoPage(int pageIndex, const std::vector<std::string>& inks) : m_page(pageIndex) {
        for (const std::string& ink : inks) m_colorants.push_back({ink, 1});
    }

    int width() const override { return kDemoWidth; }
    int height() const override { return kDemoHeight; }
    const std::vector<ColorantFormat>& colorants() const override { return m_colorants; }

    bool NextRow(std::vector<std::vector<uint8_t>>& rows, std::string&) override {
        const int y = m_row++;
        rows.resize(m_colorants.size());
        for (std::size_t i = 0; i < m_colorants.size(); ++i) {
            std::vector<uint8_t>& row = rows[i];
            row.assign((kDemoWidth + 7) / 8, 0);
            for (int x = kDemoMargin; x < kDemoWidth - kDemoMargin; ++x) {
                if (Dot(static_cast<int>(i), x, y)) {
                    row[static_cast<std::size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
                }
            }
        }
        return true;
    }

  private:
    int m_row = 0;

    bool Dot(int ink, int x, int y) const {
        if (y < kDemoMargin || y >= kDemoHeight - kDemoMargin) return false;
        const int cx = x - kDemoMargin;
        const int contentWidth = kDemoWidth - 2 * kDemoMargin;
        const int band = (y - kDemoMargin) / (kBandHeight + kBandGap);
        const int inBand = (y - kDemoMargin) % (kBandHeight + kBandGap);
        const int inks = static_cast<int>(m_colorants.size());
        if (band < inks && inBand < kBandHeight) {
            if (band != ink) return false;
            int step = std::min(kSteps - 1, cx * kSteps / contentWidth);
            if (m_page % 2 == 1) step = kSteps - 1 - step;
            // Coverage step/10 against the threshold (t + 0.5) / 64.
            return (2 * kBayer[y % 8][x % 8] + 1) * (kSteps - 1) < step * 128;
        }
        const bool black = IsBlack(m_colorants[static_cast<std::size_t>(ink)].name);
        if (y >= kLinesTop && y < kLinesBottom) {
            if (!black) return false;
            const int width = 1 + cx * 4 / contentWidth;  // 1 to 4 pixels wide
            return cx % 8 < width;
        }
        if (y >= kHairlinesTop && y < kHairlinesBottom) {
            const int line = (y - kHairlinesTop) / 6;
            return (y - kHairlinesTop) % 6 == 0 && line % inks == ink;
        }
        if (y >= kMarkTop && y < kMarkTop + kMarkSize && black) {
            const int square = cx / kMarkPitch;
            return square <= m_page && cx % kMarkPitch < kMarkSize;
        }
        return false;
    }

    int m_page;
    std::vector<ColorantFormat> m_colorants;
};

}  // namespace

std::unique_ptr<PageSource> MakeDemoPage(int pageIndex, const std::vector<std::string>& inks) {
    return std::make_unique<DemoPage>(pageIndex, inks);
}

}  // namespace tarnwick::cli
