// The host's halftoning stage beside the driver's own print speed: littleCMS's transform alone
// (the ceiling of any separation through it), our separation, and separation with error
// diffusion or with AM screens (both cores), on a band-by-band 36-inch page at 720 dpi in CMYK.
#include <lcms2.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "halftone/dither.h"
#include "halftone/ink_data.h"
#include "halftone/pipeline.h"
#include "halftone/separation.h"
#include "phases.h"

namespace tarnwick::bench {
namespace {

constexpr int kDpi = 720;
constexpr int kWidth = 36 * kDpi;
constexpr int kBandRows = 32;
constexpr int kBands = 12;
const std::vector<std::string> kInks = {"Cyan", "Magenta", "Yellow", "Black"};

// A band of RGB pixels with smooth colour changes, the kind of content a poster has.
std::vector<uint8_t> Band(int band) {
    std::vector<uint8_t> rgb(static_cast<std::size_t>(kWidth) * kBandRows * 3);
    for (int y = 0; y < kBandRows; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
            const double t = (band * kBandRows + y) / 97.0;
            p[0] = static_cast<uint8_t>(127 + 120 * std::sin(x / 700.0 + t));
            p[1] = static_cast<uint8_t>(127 + 120 * std::sin(x / 1300.0 - t));
            p[2] = static_cast<uint8_t>(x * 255 / kWidth);
        }
    }
    return rgb;
}

std::unique_ptr<halftone::Separator> MakeSeparator(std::string& error) {
    const auto data = halftone::LoadInkData(
        std::string(TARNWICK_SOURCE_DATADIR) + "/OutputDrivers/Halftone.xml", error);
    if (!data) return nullptr;
    halftone::SeparationSetup setup;
    setup.inks = kInks;
    std::vector<std::string> warnings;
    return halftone::Separator::Create(setup, *data, warnings, error);
}

// Mpx/s of the whole run, by the wall clock: the work spreads over both cores.
template <typename Work>
double MegapixelsPerSecond(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    if (!work()) return 0.0;
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    return static_cast<double>(kWidth) * kBandRows * kBands / 1e6 / seconds.count();
}

// sRGB to the built-in CMYK characterisation, the transform our separation makes, on both
// cores (a band each in turn); Mpx/s, 0 when littleCMS cannot make it.
double LittleCmsAlone(const std::vector<std::vector<uint8_t>>& bands, std::string& error) {
    const auto data = halftone::LoadInkData(
        std::string(TARNWICK_SOURCE_DATADIR) + "/OutputDrivers/Halftone.xml", error);
    if (!data) return 0.0;
    const std::vector<uint8_t> icc = halftone::BuiltinProfileBytes(data->builtin);
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE cmyk = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    cmsHTRANSFORM transform = srgb && cmyk
                                  ? cmsCreateTransform(srgb, TYPE_RGB_8, cmyk, TYPE_CMYK_16,
                                                       INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE)
                                  : nullptr;
    double mpx = 0.0;
    if (transform) {
        mpx = MegapixelsPerSecond([&] {
            std::vector<std::thread> threads;
            for (unsigned t = 0; t < 2; ++t) {
                threads.emplace_back([&, t] {
                    std::vector<uint16_t> out(4 * kWidth);
                    for (std::size_t b = t; b < bands.size(); b += 2) {
                        for (int y = 0; y < kBandRows; ++y) {
                            cmsDoTransform(transform, bands[b].data() + std::size_t(y) * kWidth * 3,
                                           out.data(), kWidth);
                        }
                    }
                });
            }
            for (std::thread& thread : threads) thread.join();
            return true;
        });
        cmsDeleteTransform(transform);
    } else {
        error = "littleCMS could not make the transform to the built-in profile";
    }
    if (cmyk) cmsCloseProfile(cmyk);
    if (srgb) cmsCloseProfile(srgb);
    return mpx;
}

}  // namespace

void RunHalftonePhase(BenchState& s) {
    Progress("halftoning");
    std::vector<std::vector<uint8_t>> bands;
    for (int b = 0; b < kBands; ++b) bands.push_back(Band(b));
    std::string error;
    auto separator = MakeSeparator(error);
    if (!separator) return s.Problem("halftoning: " + error);

    const double lcms = LittleCmsAlone(bands, error);
    if (lcms == 0.0) return s.Problem("halftoning: " + error);

    std::vector<float> amounts(kInks.size() * kWidth);
    std::vector<uint16_t> scratch(4 * kWidth);
    const double separation = MegapixelsPerSecond([&] {
        for (const auto& band : bands) {
            for (int y = 0; y < kBandRows; ++y) {
                const std::size_t row = static_cast<std::size_t>(y) * kWidth * 3;
                separator->SeparateRow(std::span(band).subspan(row, kWidth * 3), kWidth, amounts,
                                       scratch);
            }
        }
        return true;
    });

    double methods[2] = {};
    for (const halftone::Method method :
         {halftone::Method::kDiffusion, halftone::Method::kScreen}) {
        halftone::HalftoneSetup setup;
        setup.method = method;
        setup.dither.amounts.assign(kInks.size(), {0.0f, 1.0f});
        std::vector<std::string> warnings;
        for (std::size_t i = 0; i < kInks.size(); ++i) {
            setup.tiles.push_back(halftone::BuildScreenTile(
                "Round", 60, 15 + 30 * static_cast<double>(i), kDpi, kDpi, warnings));
        }
        auto inks = MakeSeparator(error);
        if (!inks) return s.Problem("halftoning: " + error);
        auto pipeline =
            std::make_unique<halftone::Pipeline>(std::move(inks), setup, kWidth, kBandRows);
        methods[method == halftone::Method::kScreen ? 1 : 0] = MegapixelsPerSecond([&] {
            for (const auto& band : bands) {
                if (!pipeline->Band(band, kBandRows)) return false;
            }
            return true;
        });
    }

    // The driver's print of the six-ink error-diffusion page: six one-bit planes a pixel.
    const Result* print = s.report.Find(kPrintName, "diffused", kDpi);
    const double driver = print ? Report::WallMBps(*print) * 8.0 / 6.0 : 0.0;
    char line[320];
    std::snprintf(line, sizeof line,
                  "halftoning, 36-inch CMYK page at %d dpi (Mpx/s, wall clock): littleCMS's "
                  "transform alone %.1f (both cores), separation alone %.1f, separation + "
                  "diffusion %.1f, separation + screens %.1f; the driver prints %.1f Mpx/s of "
                  "six-ink plane data",
                  kDpi, lcms, separation, methods[0], methods[1], driver);
    s.report.AddNote(line);
    if (driver > 0) {
        std::snprintf(line, sizeof line,
                      "halftoning keeps up with the driver's print: diffusion %.3fx, screens %.3fx "
                      "of its speed (target at least 1x)",
                      methods[0] / driver, methods[1] / driver);
        s.report.AddTarget(methods[0] >= driver && methods[1] >= driver, line);
    }
}

}  // namespace tarnwick::bench
