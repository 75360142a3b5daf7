// Colour separation through littleCMS: input pixels (sRGB, grey, CMYK, or any of them with an
// embedded ICC profile) become the colour mode's ink amounts, in the units of the dither weights.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "halftone/ink_data.h"

namespace tarnwick::halftone {

enum class PixelFormat { kRgb8, kGray8, kCmyk8 };

int Channels(PixelFormat format);

struct SeparationSetup {
    PixelFormat format = PixelFormat::kRgb8;
    std::vector<uint8_t> inputProfile;    // embedded ICC bytes; empty: sRGB, gamma-2.2 grey, or
                                          // the printer's own CMYK
    std::filesystem::path outputProfile;  // the printer's ICC file; empty: the built-in one
    std::vector<std::string> inks;        // the colour mode's colorants, in the driver's order
};

// The printer's own profile: OutputDrivers/<folder>/<model>.icc, where <folder> is the folder
// of the manufacturer's file in Ditherparams.xml's ManufacturerList. Empty when there is none.
std::filesystem::path FindPrinterProfile(const std::filesystem::path& outputDrivers,
                                         const std::string& manufacturer, const std::string& model);

// The built-in characterisation as an ICC file's bytes (tests and tools can save it).
std::vector<uint8_t> BuiltinProfileBytes(const BuiltinCmyk& builtin);

class Separator {
  public:
    static std::unique_ptr<Separator> Create(const SeparationSetup& setup, const InkData& data,
                                             std::vector<std::string>& warnings,
                                             std::string& error);
    ~Separator();
    Separator(const Separator&) = delete;
    Separator& operator=(const Separator&) = delete;

    const std::vector<std::string>& inks() const { return m_inks; }
    PixelFormat format() const { return m_format; }
    std::string profileName() const { return m_profileName; }

    // pixels: one row in the setup's format; amounts: inks().size() x width, ink after ink.
    // scratch: at least 4 x width values (one per thread), so no row allocates.
    void SeparateRow(std::span<const uint8_t> pixels, int width, std::span<float> amounts,
                     std::span<uint16_t> scratch) const;

  private:
    Separator() = default;
    void SeparatePixels(std::span<const uint16_t> scratch, std::size_t w,
                        std::span<float> amounts) const;
    // Clamps each ink of a separated row and applies the total ink limit.
    void LimitInks(std::span<float> amounts, std::size_t w) const;

    // Indices into the inks, -1 when the mode lacks the ink.
    struct Slots {
        int cyan = -1, magenta = -1, yellow = -1, black = -1;
    };
    struct LightSlot {
        const LightSplit* split;
        int full;
        int light;
    };
    struct SecondarySlot {
        const SecondarySplit* split;
        int ink, fromA, fromB;  // fromA/fromB index the CMYK working values (0..3)
    };

    std::vector<std::string> m_inks;
    PixelFormat m_format = PixelFormat::kRgb8;
    std::string m_profileName;
    InkData m_data;
    bool m_grayOnly = false;
    Slots m_slots;
    std::vector<LightSlot> m_light;
    std::vector<SecondarySlot> m_secondary;
    std::vector<float> m_max;
    void* m_transform = nullptr;  // cmsHTRANSFORM
};

}  // namespace tarnwick::halftone
