// Error diffusion and AM screens against what the driver's parameters promise: coverage and dot
// mix from the weights, noise, the anti-clog rule, a screen's frequency and angle.
#include "halftone/dither.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace tarnwick::halftone {
namespace {

// Levels of a width x height flat tint, row after row.
std::vector<uint8_t> Diffuse(const std::vector<float>& amounts, float tint, float noise,
                             uint32_t seed, int width = 256, int height = 256) {
    LevelDiffuser diffuser(width, amounts, 0, noise, seed);
    const std::vector<float> target(static_cast<std::size_t>(width), tint);
    std::vector<uint8_t> levels(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        diffuser.Row(target, std::span(levels).subspan(static_cast<std::size_t>(y * width),
                                                       static_cast<std::size_t>(width)));
    }
    return levels;
}

TEST(LevelDiffuserTest, FlatTintKeepsCoverageAndTheWeightsSetTheDotMix) {
    struct Case {
        std::vector<float> amounts;
        float tint;
        float noise;
    };
    const Case cases[] = {
        {{0.0f, 0.94f}, 0.05f, 0.0f},
        {{0.0f, 0.94f}, 0.5f, 0.5f},
        {{0.0f, 0.395f}, 0.2f, 0.0f},
        {{0.0f, 0.5f, 1.0f}, 0.3f, 0.0f},
        {{0.0f, 0.3f, 1.0f}, 0.3f, 0.0f},
        {{0.0f, 0.3f, 1.0f}, 0.65f, 0.8f},
        {{0.0f, 0.3f, 0.62f, 0.9f}, 0.45f, 0.0f},
        {{0.0f, 0.2f, 0.62f, 0.9f}, 0.45f, 1.0f},
        {{0.0f, 0.3f, 0.62f, 0.9f}, 0.8f, 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.amounts.size() << " levels, tint " << c.tint << ", weight 1 "
                     << c.amounts[1] << ", noise " << c.noise);
        const std::vector<uint8_t> levels = Diffuse(c.amounts, c.tint, c.noise, 7);
        std::vector<double> share(c.amounts.size(), 0.0);
        double ink = 0.0;
        for (const uint8_t level : levels) {
            ink += c.amounts[level];
            share[level] += 1.0 / static_cast<double>(levels.size());
        }
        EXPECT_NEAR(ink / static_cast<double>(levels.size()), c.tint, 0.01);
        // Without noise the tint is made of the two levels around it, in the ratio that gives
        // its amount.
        if (c.noise == 0.0f) {
            std::size_t k = 0;
            while (c.amounts[k + 1] < c.tint) ++k;
            const double upper = (c.tint - c.amounts[k]) / (c.amounts[k + 1] - c.amounts[k]);
            EXPECT_NEAR(share[k + 1], upper, 0.02);
            EXPECT_NEAR(share[k], 1.0 - upper, 0.02);
        }
    }
}

TEST(LevelDiffuserTest, NoiseZeroIsDeterministicAndNoiseChangesTheResult) {
    const std::vector<float> amounts = {0.0f, 0.3f, 0.62f, 0.9f};
    const auto base = Diffuse(amounts, 0.4f, 0.0f, 1, 64, 64);
    struct Case {
        float noise;
        uint32_t seed;
        bool same;
    };
    for (const Case& c :
         {Case{0.0f, 1, true}, Case{0.0f, 99, true}, Case{0.1f, 1, false}, Case{0.8f, 99, false}}) {
        SCOPED_TRACE(::testing::Message() << "noise " << c.noise << " seed " << c.seed);
        EXPECT_EQ(Diffuse(amounts, 0.4f, c.noise, c.seed, 64, 64) == base, c.same);
    }
    EXPECT_NE(Diffuse(amounts, 0.4f, 0.5f, 1, 64, 64), Diffuse(amounts, 0.4f, 0.5f, 2, 64, 64));
}

TEST(LevelDiffuserTest, AntiClogPutsDotsIntoLongBlankStretchesOfUsedInks) {
    constexpr int kWidth = 3000;
    constexpr int kTinted = 100;  // the ink is used in the first 100 pixels only
    struct Case {
        int antiClogLevel;
        float tint;
        int minDotsPerRow;  // in the blank stretch
    };
    for (const Case& c : {Case{1, 0.3f, 2}, Case{2, 0.3f, 5}, Case{3, 0.3f, 8}, Case{0, 0.3f, 0},
                          Case{2, 0.0f, 0}}) {
        SCOPED_TRACE(::testing::Message() << "anti-clog " << c.antiClogLevel << " tint " << c.tint);
        const int stretch = AntiClogStretch(c.antiClogLevel);
        LevelDiffuser diffuser(kWidth, {0.0f, 0.94f}, stretch, 0.5f, 3);
        std::vector<float> target(kWidth, 0.0f);
        std::fill_n(target.begin(), kTinted, c.tint);
        std::vector<uint8_t> levels(kWidth);
        for (int y = 0; y < 40; ++y) {
            diffuser.Row(target, levels);
            const auto dots = std::count(levels.begin() + kTinted, levels.end(), 1);
            if (c.minDotsPerRow == 0) {
                EXPECT_EQ(dots, 0) << "row " << y;
                continue;
            }
            EXPECT_GE(dots, c.minDotsPerRow) << "row " << y;
            int run = 0, longest = 0;
            for (const uint8_t level : levels) {
                run = level == 0 ? run + 1 : 0;
                longest = std::max(longest, run);
            }
            EXPECT_LT(longest, stretch) << "row " << y;
        }
    }
}

// The strongest component of the tile's pattern away from DC, by a direct DFT (rows first).
std::pair<int, int> StrongestFrequency(const std::vector<uint8_t>& dots, int n, int reach) {
    std::vector<std::complex<double>> twiddle(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        twiddle[static_cast<std::size_t>(i)] = std::polar(1.0, -2.0 * std::numbers::pi * i / n);
    const int span = 2 * reach + 1;
    std::vector<std::complex<double>> rows(static_cast<std::size_t>(n * span));
    for (int y = 0; y < n; ++y) {
        for (int kx = -reach; kx <= reach; ++kx) {
            std::complex<double> sum;
            for (int x = 0; x < n; ++x) {
                if (dots[static_cast<std::size_t>(y * n + x)]) {
                    sum += twiddle[static_cast<std::size_t>(((kx * x) % n + n) % n)];
                }
            }
            rows[static_cast<std::size_t>(y * span + kx + reach)] = sum;
        }
    }
    double best = -1.0;
    std::pair<int, int> at{0, 0};
    for (int kx = -reach; kx <= reach; ++kx) {
        for (int ky = 0; ky <= reach; ++ky) {
            if (kx * kx + ky * ky < 4) continue;
            std::complex<double> sum;
            for (int y = 0; y < n; ++y) {
                sum += rows[static_cast<std::size_t>(y * span + kx + reach)] *
                       twiddle[static_cast<std::size_t>((ky * y) % n)];
            }
            if (std::abs(sum) > best + 1e-6) {
                best = std::abs(sum);
                at = {kx, ky};
            }
        }
    }
    return at;
}

TEST(ScreenTileTest, FlatTintShowsTheEntrysFrequencyAngleAndCoverage) {
    struct Case {
        const char* shape;
        double frequency;
        double angle;
        int dpi;
        float tint;
        double symmetry;  // the angle repeats every this many degrees for the shape
    };
    const Case cases[] = {
        {"Round", 60, 15, 360, 0.3f, 90},   {"round", 60, 75, 720, 0.5f, 90},
        {"Diamond", 57, 45, 360, 0.2f, 90}, {"Ellipse", 66, 0, 720, 0.4f, 90},
        {"Line", 50, 30, 360, 0.5f, 180},   {"Line", 80, 105, 720, 0.3f, 180},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.shape << " " << c.frequency << " lpi at " << c.angle
                                          << " deg, " << c.dpi << " dpi");
        std::vector<std::string> warnings;
        const ScreenTile tile =
            BuildScreenTile(c.shape, c.frequency, c.angle, c.dpi, c.dpi, warnings);
        EXPECT_TRUE(warnings.empty());
        const int n = tile.size;
        const std::vector<float> amounts = {0.0f, 1.0f};
        const std::vector<float> target(static_cast<std::size_t>(n), c.tint);
        std::vector<uint8_t> dots(static_cast<std::size_t>(n * n));
        for (int y = 0; y < n; ++y) {
            ScreenRow(tile, amounts, y, target,
                      std::span(dots).subspan(static_cast<std::size_t>(y * n),
                                              static_cast<std::size_t>(n)));
        }
        const double coverage = static_cast<double>(std::count(dots.begin(), dots.end(), 1)) /
                                static_cast<double>(dots.size());
        EXPECT_NEAR(coverage, c.tint, 0.01);
        const double cycles = c.frequency * n / c.dpi;
        const auto [kx, ky] = StrongestFrequency(dots, n, static_cast<int>(cycles * 1.3) + 2);
        const double measured = std::hypot(kx, ky) * c.dpi / n;
        EXPECT_NEAR(measured, c.frequency, 0.02 * c.frequency);
        const double angle = std::atan2(ky, kx) * 180.0 / std::numbers::pi;
        const double off = std::remainder(angle - c.angle, c.symmetry);
        EXPECT_LE(std::abs(off), std::max(0.02 * c.angle, 0.5)) << "measured " << angle;
    }
}

TEST(ScreenTileTest, UnknownShapeFallsBackToRoundWithAWarning) {
    std::vector<std::string> warnings;
    const ScreenTile tile = BuildScreenTile("Star", 60, 45, 360, 360, warnings);
    EXPECT_EQ(tile.shape, "Round");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Star"), std::string::npos);
}

TEST(DitherFromRecordTest, RefusesRecordsThatCannotBePrinted) {
    struct Case {
        int levelCount;
        float weight1;  // of level 2
        float noise;
        const char* error;  // nullptr: accepted
    };
    for (const Case& c : {Case{4, 0.6f, 0.5f, nullptr}, Case{1, 0.6f, 0.5f, "levelCount"},
                          Case{17, 0.6f, 0.5f, "levelCount"}, Case{4, 0.2f, 0.5f, "rise"},
                          Case{4, 0.6f, NAN, "noiseLevel"}, Case{4, 1.5f, 0.5f, "rise"}}) {
        SCOPED_TRACE(c.levelCount);
        DitherParamRecord record{};
        record.levelCount = c.levelCount;
        record.inkCount = 2;
        record.noiseLevel = c.noise;
        for (int ink = 0; ink < 2; ++ink) {
            const float weights[] = {0.3f, c.weight1, 0.9f};
            std::copy(std::begin(weights), std::end(weights), record.weights[ink]);
        }
        std::string error;
        const auto settings = DitherFromRecord(record, 3, error);
        if (!c.error) {
            ASSERT_TRUE(settings) << error;
            EXPECT_EQ(settings->amounts.size(), 3u);
            EXPECT_EQ(settings->amounts[2], (std::vector<float>{0.0f, 0.3f, 0.6f, 0.9f}));
            EXPECT_EQ(PlaneBits(settings->levelCount), 2);
        } else {
            EXPECT_FALSE(settings);
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

TEST(PackLevelsTest, PacksMostSignificantBitsFirst) {
    const std::vector<uint8_t> levels = {1, 0, 3, 2, 1};
    struct Case {
        int bits;
        std::vector<uint8_t> packed;
    };
    for (const Case& c :
         {Case{1, {0b10111000}}, Case{2, {0b01001110, 0b01000000}}, Case{4, {0x10, 0x32, 0x10}}}) {
        std::vector<uint8_t> out(c.packed.size(), 0xFF);
        std::vector<uint8_t> in = levels;
        if (c.bits == 1)
            std::replace_if(
                in.begin(), in.end(), [](uint8_t v) { return v > 1; }, 1);
        PackLevels(in, c.bits, out);
        EXPECT_EQ(out, c.packed) << c.bits << " bits";
    }
}

}  // namespace
}  // namespace tarnwick::halftone
