// The host's halftoning stage for a job of the tool: asks the driver for its dither and
// screening records for the job's setup, and makes one pipeline per page from them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "halftone/ink_data.h"
#include "halftone/pipeline.h"
#include "tarnwick/printer_driver.h"

namespace tarnwick::hostkit {

inline constexpr const char* kDefaultManufacturer = "Tarnwick Imaging";

// The method named "diffusion" or "screen"; nothing for any other text.
std::optional<halftone::Method> HalftoneMethodNamed(const std::string& text);

struct HalftoneRequest {
    std::string model;
    std::string manufacturer;
    int32_t colorMode = 0;
    int32_t printMode = 0;
    int32_t resolution = 0;  // the driver's resolution id
    int dpiX = 360;
    int dpiY = 360;
    std::vector<std::string> inks;  // the colour mode's colorants, in the driver's order
    halftone::Method method = halftone::Method::kDiffusion;
};

// The print mode and resolution id whose resolution is dpiX x dpiY; the first print mode's
// first resolution when none is.
void MatchPrintMode(ABasePrinterDriver& driver, HalftoneRequest& request);

// Rows halftoned at once for a page of this width: about a million pixels, so that a wide page
// keeps its memory bounded.
int BandRowsFor(int width);

class JobHalftoning {
  public:
    // Nothing, with error set, when the records, the data file or the profile cannot be used.
    // Screens are built for Method::kScreen, and always when withScreens is set. warnings:
    // unknown dot shapes, inks without a screen or a separation rule. The driver sets the
    // level count from the colour mode's plane depth.
    static std::unique_ptr<JobHalftoning> Prepare(ABasePrinterDriver& driver,
                                                  const HalftoneRequest& request,
                                                  std::vector<std::string>& warnings,
                                                  std::string& error, bool withScreens = false);

    // A pipeline for one page of pixels in format (RGB unless said), described by iccProfile
    // (the image's own) or else taken as sRGB or gamma-2.2 grey; nothing with error set when it
    // cannot be made.
    std::unique_ptr<halftone::Pipeline> MakePipeline(
        int width, int bandRows, const std::vector<uint8_t>& iccProfile, std::string& error,
        halftone::PixelFormat format = halftone::PixelFormat::kRgb8) const;

    const halftone::HalftoneSetup& setup() const { return m_setup; }
    const std::vector<std::string>& inks() const { return m_inks; }
    std::string profileName() const;
    std::string Describe() const;
    // The same as JSON, for tarnwick params: every ink's level amounts and applied screen.
    std::string Json() const;

  private:
    JobHalftoning() = default;

    std::vector<std::string> m_inks;
    halftone::HalftoneSetup m_setup;
    halftone::InkData m_data;
    std::filesystem::path m_profile;
};

}  // namespace tarnwick::hostkit
