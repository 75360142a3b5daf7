#include "halftone_job.h"

#include <cstring>

#include "args.h"
#include "config/output_driver_folder.h"
#include "console.h"
#include "driver_queries.h"

namespace tarnwick::cli {

halftone::Method ParseHalftoneMethod(const std::string& text) {
    if (text == "diffusion") return halftone::Method::kDiffusion;
    if (text == "screen") return halftone::Method::kScreen;
    throw UsageError("--halftone '" + text + "' must be diffusion or screen");
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

std::unique_ptr<JobHalftoning> JobHalftoning::Prepare(ABasePrinterDriver& driver,
                                                      const HalftoneRequest& request) {
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
        Console::Get().Error("the driver has no dither parameters for " + request.model + " of " +
                             request.manufacturer);
        return nullptr;
    }
    if (request.method == halftone::Method::kScreen &&
        driver.LoadScreeningParams(screening.get(), &setup) == 0) {
        Console::Get().Error("the driver has no halftone screens for " + request.model);
        return nullptr;
    }
    std::unique_ptr<JobHalftoning> job(new JobHalftoning());
    job->m_inks = request.inks;
    std::string error;
    std::optional<halftone::DitherSettings> settings =
        halftone::DitherFromRecord(*dither, request.inks.size(), error);
    if (!settings) {
        Console::Get().Error("the driver's " + error);
        return nullptr;
    }
    job->m_setup.method = request.method;
    job->m_setup.dither = std::move(*settings);
    std::vector<std::string> warnings;
    if (request.method == halftone::Method::kScreen) {
        job->m_setup.tiles =
            halftone::TilesForInks(*screening, request.inks, request.dpiX, request.dpiY, warnings);
    }
    const std::filesystem::path outputDrivers = OutputDriverFolder().c_str();
    std::optional<halftone::InkData> data =
        halftone::LoadInkData((outputDrivers / "Halftone.xml").string(), error);
    if (!data) {
        Console::Get().Error(error);
        return nullptr;
    }
    job->m_data = std::move(*data);
    job->m_profile =
        halftone::FindPrinterProfile(outputDrivers, request.manufacturer, request.model);
    // A separator made once here reports the data's warnings and a bad profile before any page.
    const auto separator =
        halftone::Separator::Create({halftone::PixelFormat::kRgb8, {}, job->m_profile, job->m_inks},
                                    job->m_data, warnings, error);
    for (const std::string& warning : warnings) Console::Get().Warning(warning);
    if (!separator) {
        Console::Get().Error(error);
        return nullptr;
    }
    return job;
}

std::unique_ptr<halftone::Pipeline> JobHalftoning::MakePipeline(int width, int bandRows,
                                                                std::string& error) const {
    std::vector<std::string> ignored;  // Prepare printed them
    auto separator = halftone::Separator::Create(
        {halftone::PixelFormat::kRgb8, {}, m_profile, m_inks}, m_data, ignored, error);
    if (!separator) return nullptr;
    return std::make_unique<halftone::Pipeline>(std::move(separator), m_setup, width, bandRows);
}

std::string JobHalftoning::profileName() const {
    return m_profile.empty() ? "built-in CMYK" : m_profile.string();
}

std::string JobHalftoning::Describe() const {
    return halftone::Describe(m_setup, m_inks, profileName());
}

}  // namespace tarnwick::cli
