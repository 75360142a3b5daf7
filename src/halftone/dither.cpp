#include "halftone/dither.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <numeric>

#include "halftone/ink_data.h"

namespace tarnwick::halftone {
namespace {

// The level interval [k, k + 1] that holds v, or k == last when v reaches the top level.
std::size_t LowerLevel(std::span<const float> amounts, float v) {
    std::size_t k = 0;
    while (k + 1 < amounts.size() && v >= amounts[k + 1]) ++k;
    return k;
}

uint32_t NextRandom(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

double SpotValue(const std::string& shape, double u, double v) {
    if (shape == "Diamond") return 1.0 - (std::abs(u) + std::abs(v)) / 2.0;
    if (shape == "Ellipse") return 1.0 - (u * u + (v / 0.6) * (v / 0.6)) / 2.0;
    if (shape == "Line") return 1.0 - std::abs(u);
    return 1.0 - (u * u + v * v) / 2.0;
}

}  // namespace

std::optional<DitherSettings> DitherFromRecord(const DitherParamRecord& record, std::size_t inks,
                                               std::string& error) {
    if (record.levelCount < 2 || record.levelCount > 16) {
        error = "dither levelCount " + std::to_string(record.levelCount) +
                " is outside 2 to 16 (a plane holds at most 4 bits)";
        return std::nullopt;
    }
    if (record.inkCount < 1 || record.inkCount > kDitherInks) {
        error = "dither inkCount " + std::to_string(record.inkCount) + " is outside 1 to 16";
        return std::nullopt;
    }
    if (record.antiClogLevel < 0 || !(record.noiseLevel >= 0.0f && record.noiseLevel <= 1.0f)) {
        error = "dither antiClogLevel must be 0 or more and noiseLevel 0 to 1";
        return std::nullopt;
    }
    DitherSettings settings;
    settings.levelCount = record.levelCount;
    settings.antiClogLevel = record.antiClogLevel;
    settings.noiseLevel = record.noiseLevel;
    for (std::size_t ink = 0; ink < inks; ++ink) {
        // A mode with more inks than the record reuses the record's last ink.
        const auto source = std::min(ink, static_cast<std::size_t>(record.inkCount - 1));
        std::vector<float> amounts = {0.0f};
        for (int level = 0; level + 1 < record.levelCount; ++level) {
            const float weight = record.weights[source][level];
            if (!(weight > amounts.back() && weight <= 1.0f)) {
                error =
                    "dither weights of ink " + std::to_string(source) + " must rise within (0, 1]";
                return std::nullopt;
            }
            amounts.push_back(weight);
        }
        settings.amounts.push_back(std::move(amounts));
    }
    return settings;
}

int PlaneBits(int levelCount) {
    if (levelCount <= 2) return 1;
    return levelCount <= 4 ? 2 : 4;
}

int AntiClogStretch(int antiClogLevel) {
    return antiClogLevel <= 0 ? 0 : std::max(1, kAntiClogBase / antiClogLevel);
}

LevelDiffuser::LevelDiffuser(int width, std::vector<float> amounts, int antiClogStretch,
                             float noise, uint32_t seed)
    : m_width(width),
      m_amounts(std::move(amounts)),
      m_stretch(antiClogStretch),
      m_noise(noise),
      m_state(seed == 0 ? 0x9E3779B9u : seed),
      m_current(static_cast<std::size_t>(width) + 2, 0.0f),
      m_next(static_cast<std::size_t>(width) + 2, 0.0f) {}

void LevelDiffuser::Row(std::span<const float> target, std::span<uint8_t> levels) {
    std::fill(m_next.begin(), m_next.end(), 0.0f);
    const bool two = m_amounts.size() == 2 && m_amounts[0] == 0.0f;
    if (m_reverse) {
        two ? RowInDirection<-1, true>(target.data(), levels.data())
            : RowInDirection<-1, false>(target.data(), levels.data());
    } else {
        two ? RowInDirection<1, true>(target.data(), levels.data())
            : RowInDirection<1, false>(target.data(), levels.data());
    }
    std::swap(m_current, m_next);
    m_reverse = !m_reverse;
}

// Step is the scan direction and TwoLevels the common plane of levels 0 and one weight, both
// template arguments so that the stage's innermost loop carries no branch on them. The error
// carried to the next pixel stays in a register instead of making a round trip through memory on
// the loop's critical path; every sum is the same as in the plain form, in the same order.
template <int Step, bool TwoLevels>
void LevelDiffuser::RowInDirection(const float* target, uint8_t* levels) {
    const float* amounts = m_amounts.data();
    const float top = m_amounts.back();
    const std::size_t last = m_amounts.size() - 1;
    const float* current = m_current.data() + 1;  // index x
    float* next = m_next.data() + 1;
    const float noise = m_noise;
    uint32_t state = m_state;
    bool used = m_used;
    int run = 0;         // blank pixels in a row along the scan
    float carry = 0.0f;  // this row's error for the next pixel along the scan
    const int first = Step > 0 ? 0 : m_width - 1;
    for (int n = 0, x = first; n < m_width; ++n, x += Step) {
        // The first pixel gets nothing from this row.
        const float v = target[x] + (n == 0 ? current[x] : current[x] + carry);
        std::size_t level = 0;
        float error = 0.0f;
        if constexpr (TwoLevels) {
            // The sums below with the lower amount 0.
            if (v >= top) {
                level = 1;
                error = v - top;
            } else {
                float threshold = top / 2.0f;
                if (noise > 0.0f) {
                    const float u = static_cast<float>(NextRandom(state) >> 8) / 16777216.0f;
                    threshold += noise * (u - 0.5f) * top;
                }
                level = v >= threshold ? 1 : 0;
                error = level != 0 ? v - top : v;
            }
        } else {
            while (level < last && v >= amounts[level + 1]) ++level;
            if (level < last) {
                const float low = amounts[level];
                const float high = amounts[level + 1];
                float threshold = (low + high) / 2.0f;
                if (noise > 0.0f) {
                    const float u = static_cast<float>(NextRandom(state) >> 8) / 16777216.0f;
                    threshold += noise * (u - 0.5f) * (high - low);
                }
                if (v >= threshold) ++level;
            }
            error = v - amounts[level];
        }
        if (level > 0) used = true;
        run = level == 0 ? run + 1 : 0;
        if (used && m_stretch > 0 && run >= m_stretch) {
            // A maintenance dot keeps the nozzle wet; it is not part of the tone, so its ink is
            // not taken out of the neighbours.
            level = 1;
            run = 0;
        }
        levels[x] = static_cast<uint8_t>(level);
        error = std::clamp(error, -top, top);
        carry = error * (7.0f / 16.0f);
        next[x - Step] += error * (3.0f / 16.0f);
        next[x] += error * (5.0f / 16.0f);
        next[x + Step] += error * (1.0f / 16.0f);
    }
    m_state = state;
    m_used = used;
}

ScreenTile BuildScreenTile(const std::string& shape, double frequency, double angle, int dpiX,
                           int dpiY, std::vector<std::string>& warnings) {
    ScreenTile tile;
    for (const char* known : {"Round", "Diamond", "Ellipse", "Line"}) {
        if (SameInk(shape, known)) tile.shape = known;
    }
    if (tile.shape.empty()) {
        warnings.push_back("dot shape '" + shape + "' is unknown; Round is used");
        tile.shape = "Round";
    }
    dpiX = std::max(dpiX, 1);
    dpiY = std::max(dpiY, 1);
    // A screen of 1 pixel per cell or less has no dot to shape: frequency is capped at half
    // the resolution, and a cell holds at most 128 pixels across.
    const double cap = std::min(dpiX, dpiY) / 2.0;
    const double floor = std::max(dpiX, dpiY) / 128.0;
    frequency =
        std::clamp(frequency > 0.0 && std::isfinite(frequency) ? frequency : 60.0, floor, cap);
    angle = std::isfinite(angle) ? angle : 0.0;
    const double rad = angle * std::numbers::pi / 180.0;
    // Both screen vectors in cycles per pixel; a tile of N pixels repeats exactly when N times
    // each is whole, so N is picked to bring the rounded vectors closest to the asked ones.
    const double k1x = frequency * std::cos(rad) / dpiX, k1y = frequency * std::sin(rad) / dpiY;
    const double k2x = -frequency * std::sin(rad) / dpiX, k2y = frequency * std::cos(rad) / dpiY;
    int best = 0;
    double bestError = 1e9;
    for (int n = 16; n <= 512; ++n) {
        double error = 0.0;
        for (const auto& [kx, ky] : {std::pair{k1x, k1y}, std::pair{k2x, k2y}}) {
            const double ex = (std::round(kx * n) / n - kx) * dpiX;
            const double ey = (std::round(ky * n) / n - ky) * dpiY;
            error = std::max(error, std::hypot(ex, ey) / frequency);
        }
        if (error < bestError - 1e-12) {
            bestError = error;
            best = n;
        }
        if (bestError < 0.002) break;
    }
    const int n = best;
    const double a1 = std::round(k1x * n), b1 = std::round(k1y * n);
    const double a2 = std::round(k2x * n), b2 = std::round(k2y * n);
    tile.size = n;
    tile.frequency = std::hypot(a1 / n * dpiX, b1 / n * dpiY);
    tile.angle = std::atan2(b1 / n * dpiY, a1 / n * dpiX) * 180.0 / std::numbers::pi;

    const std::size_t count = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    std::vector<double> spot(count);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double u = (a1 * px + b1 * py) / n;
            const double v = (a2 * px + b2 * py) / n;
            spot[static_cast<std::size_t>(y * n + x)] = SpotValue(
                tile.shape, 2.0 * (u - std::floor(u)) - 1.0, 2.0 * (v - std::floor(v)) - 1.0);
        }
    }
    // Thresholds by rank make a flat tint's coverage exact whatever the spot function's spread.
    std::vector<uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&spot](uint32_t a, uint32_t b) { return spot[a] > spot[b]; });
    tile.threshold.resize(count);
    for (std::size_t rank = 0; rank < count; ++rank) {
        tile.threshold[order[rank]] = static_cast<uint16_t>((rank * 65536 + 32768) / count);
    }
    return tile;
}

void ScreenRow(const ScreenTile& tile, std::span<const float> amounts, int y,
               std::span<const float> target, std::span<uint8_t> levels) {
    const std::size_t n = static_cast<std::size_t>(tile.size);
    const uint16_t* row = tile.threshold.data() + (static_cast<std::size_t>(y) % n) * n;
    const std::size_t last = amounts.size() - 1;
    // The tile column wraps by a compare, not a division per pixel.
    for (std::size_t x = 0, column = 0; x < target.size();
         ++x, column = column + 1 == n ? 0 : column + 1) {
        const float v = std::clamp(target[x], 0.0f, amounts[last]);
        std::size_t level = LowerLevel(amounts, v);
        if (level < last) {
            const float fraction = (v - amounts[level]) / (amounts[level + 1] - amounts[level]);
            if (fraction * 65536.0f > row[column]) ++level;
        }
        levels[x] = static_cast<uint8_t>(level);
    }
}

void PackLevels(std::span<const uint8_t> levels, int bits, std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), uint8_t{0});
    const std::size_t count = levels.size();
    const uint8_t* in = levels.data();
    if (bits == 1) {
        // The common plane depth, eight pixels a byte without a shift computed per pixel.
        std::size_t x = 0;
        for (; x + 8 <= count; x += 8) {
            out[x / 8] =
                static_cast<uint8_t>(in[x] << 7 | in[x + 1] << 6 | in[x + 2] << 5 | in[x + 3] << 4 |
                                     in[x + 4] << 3 | in[x + 5] << 2 | in[x + 6] << 1 | in[x + 7]);
        }
        for (; x < count; ++x) out[x / 8] |= static_cast<uint8_t>(in[x] << (7 - x % 8));
        return;
    }
    const int perByte = 8 / bits;
    for (std::size_t x = 0; x < count; ++x) {
        const int shift = 8 - bits * (static_cast<int>(x % perByte) + 1);
        out[x / perByte] |= static_cast<uint8_t>(in[x] << shift);
    }
}

}  // namespace tarnwick::halftone
