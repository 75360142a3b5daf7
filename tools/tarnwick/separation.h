// Turns RGB into ink coverage for the inks of a colour mode, the simple way a proof would:
//   CMY = 1 - RGB; with Black among the inks, K = min(C, M, Y) is taken out of all three (full
//   grey-component replacement);
//   with Orange, O = min(M, Y) is taken out of magenta and yellow; with Green, then
//   G = min(C, Y) out of cyan and yellow (after K at most one of the two is non-zero);
//   with Light cyan / Light magenta, a light ink of strength L = 0.42 takes the lower part of
//   C / M: up to L the light ink alone prints v / L; above, the light ink fades out as
//   (1 - v) / (1 - L) while the full ink fades in as (v - L) / (1 - L), which keeps the ink
//   density at v;
//   a mode with Black alone prints K = 1 - luminance (0.299 R + 0.587 G + 0.114 B).
// Inks with other names get no coverage.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::cli {

enum class Ink {
    kCyan,
    kMagenta,
    kYellow,
    kBlack,
    kLightCyan,
    kLightMagenta,
    kGreen,
    kOrange,
    kOther
};

// By the driver's internal colorant names, ignoring case.
Ink InkFromName(std::string_view name);

inline constexpr float kLightInkStrength = 0.42f;

class Separator {
  public:
    explicit Separator(std::vector<Ink> inks);

    // coverage[i][x] in 0..1 for ink i of the list; each vector is resized to the row's width.
    void SeparateRow(std::span<const uint8_t> rgb, std::vector<std::vector<float>>& coverage) const;

  private:
    std::vector<Ink> m_inks;
    bool m_grayOnly = false;
    bool m_black = false;
    bool m_lightCyan = false;
    bool m_lightMagenta = false;
    bool m_orange = false;
    bool m_green = false;
};

// Floyd-Steinberg error diffusion of one ink to 1 bit per pixel, row after row, left to right.
class ErrorDiffuser {
  public:
    explicit ErrorDiffuser(int width);
    // Writes the row as packed bits (a 1 is a dot) into out, (width + 7) / 8 bytes.
    void Row(std::span<const float> coverage, std::span<uint8_t> out);

  private:
    int m_width;
    std::vector<float> m_current;  // error carried into this row (index x + 1)
    std::vector<float> m_next;
};

}  // namespace tarnwick::cli
