// The separation's data: the built-in CMYK characterisation, the light-ink and secondary-ink
// splits as curves, and the ink limits, all read from Halftone.xml under OutputDrivers so that
// tuning a printer never needs a rebuild.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::halftone {

// Piecewise linear through (in, out) points sorted by in; flat beyond the ends.
// Inline: separation calls it several times per pixel.
struct Curve {
    std::vector<std::pair<float, float>> points;
    float operator()(float v) const {
        const std::size_t n = points.size();
        if (n == 0) return v;
        const std::pair<float, float>* p = points.data();
        if (v <= p[0].first) return p[0].second;
        for (std::size_t i = 1; i < n; ++i) {
            if (v <= p[i].first) {
                return p[i - 1].second + (p[i].second - p[i - 1].second) * (v - p[i - 1].first) /
                                             (p[i].first - p[i - 1].first);
            }
        }
        return p[n - 1].second;
    }
};

// The lower part of a colorant's amount goes to its light ink. Both curves map the colorant's
// amount to ink amounts in the units of the dither weights (full-ink density).
struct LightSplit {
    std::string fullInk;
    std::string lightInk;
    Curve full;
    Curve light;
};

// An ink that replaces the overlap of two others: amount(min(a, b)) is added to `ink` and
// taken out of both a and b.
struct SecondarySplit {
    std::string ink;
    std::string fromA;
    std::string fromB;
    Curve amount;
};

// The printer characterisation used when a printer folder has no ICC profile: sRGB device
// values become CMY = 1 - RGB with grey-component replacement, sampled by littleCMS into an
// in-memory CMYK output profile.
struct BuiltinCmyk {
    float gcrStart = 0.25f;    // grey component below which no black is used
    float gcrStrength = 0.9f;  // share of the grey component above the start moved to black
    float blackLimit = 1.0f;   // most black the profile asks for
};

struct InkLimit {
    std::string ink;
    float max = 1.0f;
};

struct InkData {
    BuiltinCmyk builtin;
    float grayGamma = 1.8f;   // the Black-only mode: amount = 1 - grey^(1/gamma) of luminance
    float totalLimit = 4.0f;  // sum of all ink amounts of a pixel
    std::vector<InkLimit> limits;
    std::vector<LightSplit> lightSplits;
    std::vector<SecondarySplit> secondaries;

    float MaxFor(const std::string& ink) const;  // 1 when the file names no limit
};

std::optional<InkData> LoadInkData(const std::string& path, std::string& error);

// Case-insensitive ink name comparison, as the driver names colorants.
bool SameInk(const std::string& a, const std::string& b);

}  // namespace tarnwick::halftone
