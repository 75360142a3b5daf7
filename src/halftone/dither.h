// Halftoning of ink amounts into printer levels: multi-level error diffusion driven by the
// driver's dither parameters, and clustered-dot AM screens driven by its screening entries.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tarnwick/records.h"

namespace tarnwick::halftone {

// The dither parameters as they are applied to the colour mode's inks.
struct DitherSettings {
    int levelCount = 2;
    // amounts[ink][level]: the ink amount of each output level, amounts[ink][0] == 0; level k
    // (k >= 1) deposits weights[ink][k - 1] of the record.
    std::vector<std::vector<float>> amounts;
    int antiClogLevel = 0;
    float noiseLevel = 0.0f;
};

// The record's ink i drives the mode's ink i. Refuses level counts outside 2..16, weights that
// do not rise or lie outside (0, 1], and a record with no ink.
std::optional<DitherSettings> DitherFromRecord(const DitherParamRecord& record, std::size_t inks,
                                               std::string& error);

// 1, 2 or 4: the plane depth that holds levelCount levels.
int PlaneBits(int levelCount);

// A maintenance dot lands at least once every this many pixels of a nozzle row (an image row)
// of an ink that has printed a dot on the page; 0 turns the rule off.
int AntiClogStretch(int antiClogLevel);
inline constexpr int kAntiClogBase = 1024;

// One ink, row after row. Serpentine Floyd-Steinberg between the two levels around each value;
// the noise level jitters the threshold by up to +-noise/2 of the step between them.
class LevelDiffuser {
  public:
    LevelDiffuser(int width, std::vector<float> amounts, int antiClogStretch, float noise,
                  uint32_t seed);
    // levels: one level index per pixel.
    void Row(std::span<const float> target, std::span<uint8_t> levels);

  private:
    template <int Step, bool TwoLevels>
    void RowInDirection(const float* target, uint8_t* levels);

    int m_width;
    std::vector<float> m_amounts;
    int m_stretch;
    float m_noise;
    uint32_t m_state;
    bool m_used = false;
    bool m_reverse = false;
    std::vector<float> m_current;  // error carried into this row, index x + 1
    std::vector<float> m_next;
};

struct ScreenTile {
    int size = 0;                     // the tile repeats every `size` pixels in x and y
    std::vector<uint16_t> threshold;  // size x size, fraction of 65536
    std::string shape;                // the shape used
    double frequency = 0.0;           // lines per inch the tile carries, along x
    double angle = 0.0;               // degrees
};

// Dot shapes: Round, Diamond, Ellipse, Line (case ignored). Any other name gets Round and a
// warning.
ScreenTile BuildScreenTile(const std::string& shape, double frequency, double angle, int dpiX,
                           int dpiY, std::vector<std::string>& warnings);

// One ink through its tile: the value's fraction between the two levels around it, against
// the tile's threshold.
void ScreenRow(const ScreenTile& tile, std::span<const float> amounts, int y,
               std::span<const float> target, std::span<uint8_t> levels);

// Packs level indices at `bits` per pixel, most significant bits first.
void PackLevels(std::span<const uint8_t> levels, int bits, std::span<uint8_t> out);

}  // namespace tarnwick::halftone
