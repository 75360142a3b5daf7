#include "separation.h"

#include <strings.h>

#include <algorithm>
#include <array>

namespace tarnwick::cli {
namespace {

struct NamedInk {
    const char* name;
    Ink ink;
};

constexpr std::array<NamedInk, 8> kNames = {{{"Cyan", Ink::kCyan},
                                             {"Magenta", Ink::kMagenta},
                                             {"Yellow", Ink::kYellow},
                                             {"Black", Ink::kBlack},
                                             {"LCyan", Ink::kLightCyan},
                                             {"LMagenta", Ink::kLightMagenta},
                                             {"Green", Ink::kGreen},
                                             {"Orange", Ink::kOrange}}};

bool Has(const std::vector<Ink>& inks, Ink ink) {
    return std::find(inks.begin(), inks.end(), ink) != inks.end();
}

// Splits v between a light ink (strength L) and the full ink, keeping L * light + full = v.
void SplitLight(float v, float& full, float& light) {
    constexpr float L = kLightInkStrength;
    if (v <= L) {
        light = v / L;
        full = 0.0f;
    } else {
        light = (1.0f - v) / (1.0f - L);
        full = (v - L) / (1.0f - L);
    }
}

}  // namespace

Ink InkFromName(std::string_view name) {
    const std::string text(name);
    for (const NamedInk& named : kNames) {
        if (strcasecmp(named.name, text.c_str()) == 0) return named.ink;
    }
    return Ink::kOther;
}

Separator::Separator(std::vector<Ink> inks) : m_inks(std::move(inks)) {
    m_black = Has(m_inks, Ink::kBlack);
    m_grayOnly = m_black && !Has(m_inks, Ink::kCyan) && !Has(m_inks, Ink::kMagenta) &&
                 !Has(m_inks, Ink::kYellow);
    m_lightCyan = Has(m_inks, Ink::kLightCyan);
    m_lightMagenta = Has(m_inks, Ink::kLightMagenta);
    m_orange = Has(m_inks, Ink::kOrange);
    m_green = Has(m_inks, Ink::kGreen);
}

void Separator::SeparateRow(std::span<const uint8_t> rgb,
                            std::vector<std::vector<float>>& coverage) const {
    const std::size_t width = rgb.size() / 3;
    coverage.resize(m_inks.size());
    for (auto& row : coverage) row.assign(width, 0.0f);
    for (std::size_t x = 0; x < width; ++x) {
        const float r = rgb[x * 3] / 255.0f;
        const float g = rgb[x * 3 + 1] / 255.0f;
        const float b = rgb[x * 3 + 2] / 255.0f;
        std::array<float, 8> amount{};  // indexed by Ink
        auto at = [&amount](Ink ink) -> float& { return amount[static_cast<std::size_t>(ink)]; };
        if (m_grayOnly) {
            at(Ink::kBlack) = 1.0f - (0.299f * r + 0.587f * g + 0.114f * b);
        } else {
            float c = 1.0f - r;
            float m = 1.0f - g;
            float y = 1.0f - b;
            if (m_black) {
                const float k = std::min({c, m, y});
                c -= k;
                m -= k;
                y -= k;
                at(Ink::kBlack) = k;
            }
            if (m_orange) {
                const float o = std::min(m, y);
                m -= o;
                y -= o;
                at(Ink::kOrange) = o;
            }
            if (m_green) {
                const float gr = std::min(c, y);
                c -= gr;
                y -= gr;
                at(Ink::kGreen) = gr;
            }
            if (m_lightCyan) SplitLight(c, c, at(Ink::kLightCyan));
            if (m_lightMagenta) SplitLight(m, m, at(Ink::kLightMagenta));
            at(Ink::kCyan) = c;
            at(Ink::kMagenta) = m;
            at(Ink::kYellow) = y;
        }
        for (std::size_t i = 0; i < m_inks.size(); ++i) {
            if (m_inks[i] == Ink::kOther) continue;
            coverage[i][x] = std::clamp(at(m_inks[i]), 0.0f, 1.0f);
        }
    }
}

ErrorDiffuser::ErrorDiffuser(int width)
    : m_width(width),
      m_current(static_cast<std::size_t>(width) + 2, 0.0f),
      m_next(static_cast<std::size_t>(width) + 2, 0.0f) {}

void ErrorDiffuser::Row(std::span<const float> coverage, std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), uint8_t{0});
    std::fill(m_next.begin(), m_next.end(), 0.0f);
    for (int x = 0; x < m_width; ++x) {
        const auto i = static_cast<std::size_t>(x) + 1;
        const float value = coverage[static_cast<std::size_t>(x)] + m_current[i];
        const bool dot = value >= 0.5f;
        if (dot) out[static_cast<std::size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        const float error = value - (dot ? 1.0f : 0.0f);
        m_current[i + 1] += error * 7.0f / 16.0f;
        m_next[i - 1] += error * 3.0f / 16.0f;
        m_next[i] += error * 5.0f / 16.0f;
        m_next[i + 1] += error * 1.0f / 16.0f;
    }
    std::swap(m_current, m_next);
}

}  // namespace tarnwick::cli
