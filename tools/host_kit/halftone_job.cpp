#include "host_kit/halftone_job.h"

#include <algorithm>
#include <cstring>

#include "config/output_driver_folder.h"
#include "host_kit/driver_queries.h"
#include "host_kit/number_format.h"
#include "inspect/report_format.h"

namespace tarnwick::hostkit {

std::optional<halftone::Method> HalftoneMethodNamed(const std::string& text) {
    if (text == "diffusion") return halftone::Method::kDiffusion;
    if (text == "screen") return halftone::Method::kScreen;
    return std::nullopt;
}

void MatchPrintMode(ABasePrinterDriver& driver, HalftoneRequest& request) {
    const std::vector<PrintModeEntry> modes = PrintModes(driver, request.model);
    for (const PrintModeEntry& mode : modes) {
        if (mode.index < 0) continue;
        for (const ResolutionEntry& resolution : Resolutions(driver, request.model, mode.index)) {
            if (static_cast<int>(resolution.xDpi) == request.dpiX &&
                static_cast<int>(resolution.yDpi) == request.dpiY) {
                request.printMode = mode.index;
                request.resolution = resolution.id;
                return;
            }
        }
    }
    request.printMode = modes.empty() || modes.front().index < 0 ? 0 : modes.front().index;
    const std::vector<ResolutionEntry> resolutions =
        Resolutions(driver, request.model, request.printMode);
    request.resolution = resolutions.empty() ? request.printMode : resolutions.front().id;
}

int BandRowsFor(int width) {
    return std::clamp((1 << 20) / std::max(width, 1), 1, 32);
}

std::unique_ptr<JobHalftoning> JobHalftoning::Prepare(ABasePrinterDriver& driver,
                                                      const HalftoneRequest& request,
                                                      std::vector<std::string>& warnings,
                                                      std::string& error, bool withScreens) {
    const bool screens = withScreens || request.method == halftone::Method::kScreen;
    PrintSetup setup = MakeSetup(request.model, request.manufacturer);
    setup.colorMode = request.colorMode;
    setup.printMode = request.printMode;
    setup.resolution = request.resolution;
    // Both records are large and zero-filled before the driver sees them.
    auto dither = std::make_unique<DitherParamRecord>();
    std::memset(dither.get(), 0, sizeof(DitherParamRecord));
    auto screening = std::make_unique<ScreeningRecord>();
    std::memset(screening.get(), 0, sizeof(ScreeningRecord));
    if (driver.LoadDitherParams(request.model.c_str(), request.manufacturer.c_str(), &setup,
                                dither.get(), nullptr) == 0) {
        error = "the driver has no dither parameters for " + request.model + " of " +
                request.manufacturer;
        return nullptr;
    }
    if (screens && driver.LoadScreeningParams(screening.get(), &setup) == 0) {
        error = "the driver has no halftone screens for " + request.model;
        return nullptr;
    }
    std::unique_ptr<JobHalftoning> job(new JobHalftoning());
    job->m_inks = request.inks;
    std::optional<halftone::DitherSettings> settings =
        halftone::DitherFromRecord(*dither, request.inks.size(), error);
    if (!settings) {
        error = "the driver's " + error;
        return nullptr;
    }
    job->m_setup.method = request.method;
    job->m_setup.dither = std::move(*settings);
    if (screens) {
        job->m_setup.tiles =
            halftone::TilesForInks(*screening, request.inks, request.dpiX, request.dpiY, warnings);
    }
    const std::filesystem::path outputDrivers = OutputDriverFolder().c_str();
    std::optional<halftone::InkData> data =
        halftone::LoadInkData((outputDrivers / "Halftone.xml").string(), error);
    if (!data) return nullptr;
    job->m_data = std::move(*data);
    job->m_profile =
        halftone::FindPrinterProfile(outputDrivers, request.manufacturer, request.model);
    // A separator made once here reports the data's warnings and a bad profile before any page.
    const auto separator =
        halftone::Separator::Create({halftone::PixelFormat::kRgb8, {}, job->m_profile, job->m_inks},
                                    job->m_data, warnings, error);
    if (!separator) return nullptr;
    return job;
}

std::unique_ptr<halftone::Pipeline> JobHalftoning::MakePipeline(
    int width, int bandRows, const std::vector<uint8_t>& iccProfile, std::string& error,
    halftone::PixelFormat format) const {
    std::vector<std::string> ignored;  // Prepare printed them
    auto separator = halftone::Separator::Create({format, iccProfile, m_profile, m_inks}, m_data,
                                                 ignored, error);
    if (!separator) return nullptr;
    return std::make_unique<halftone::Pipeline>(std::move(separator), m_setup, width, bandRows);
}

std::string JobHalftoning::profileName() const {
    return m_profile.empty() ? "built-in CMYK" : m_profile.string();
}

std::string JobHalftoning::Describe() const {
    return halftone::Describe(m_setup, m_inks, profileName());
}

std::string JobHalftoning::Json() const {
    const halftone::DitherSettings& dither = m_setup.dither;
    std::string out =
        "{\"profile\": " + inspect::JsonString(profileName()) +
        ", \"levelCount\": " + std::to_string(dither.levelCount) +
        ", \"planeBits\": " + std::to_string(halftone::PlaneBits(dither.levelCount)) +
        ", \"noiseLevel\": " + JsonFloat(dither.noiseLevel) +
        ", \"antiClogLevel\": " + std::to_string(dither.antiClogLevel) + ", \"antiClogStretch\": " +
        std::to_string(halftone::AntiClogStretch(dither.antiClogLevel)) + ",\n    \"inks\": [";
    for (std::size_t i = 0; i < m_inks.size(); ++i) {
        out += i == 0 ? "\n      " : ",\n      ";
        out += "{\"name\": " + inspect::JsonString(m_inks[i]) + ", \"amounts\": [";
        for (std::size_t k = 0; k < dither.amounts[i].size(); ++k) {
            out += (k == 0 ? "" : ", ") + JsonFloat(dither.amounts[i][k]);
        }
        out += "]";
        if (i < m_setup.tiles.size()) {
            const halftone::ScreenTile& tile = m_setup.tiles[i];
            out += ", \"screen\": {\"shape\": " + inspect::JsonString(tile.shape) +
                   ", \"frequency\": " + JsonFloat(static_cast<float>(tile.frequency)) +
                   ", \"angle\": " + JsonFloat(static_cast<float>(tile.angle)) +
                   ", \"tile\": " + std::to_string(tile.size) + "}";
        }
        out += "}";
    }
    return out + "\n    ]}";
}

}  // namespace tarnwick::hostkit
