// What the RTL printer family can do, kept as plain tables: model classes,
// print modes with their resolutions and pass counts, colour modes with their
// inks and plane layout, and the dry time table. The printer class and the
// options page read these instead of repeating the numbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "tarnwick/records.h"

namespace tarnwick {

// The settings a record gets when it is new or damaged; reserved10 and
// modelClass are not part of the defaults (ResetSettings keeps them).
inline constexpr PrinterSettings kDefaultSettings{
    .tag = kSettingsTag,
    .mediaFeedCalibration = 1,
    .printDirection = 1,
    .pageSpacing = 1,
    .overprint = 0,
    .cutSheet = 0,
    .dryTime = 0,
    .cropMark = 0,
    .driverOptionsOff = 0,
    .advanceAfterPrint = 1,
    .reserved10 = 0,
    .reserved11 = 3,
    .modelClass = 0,
    .colorBar = 1,
};

// Model class stored in PrinterSettings::modelClass.
inline constexpr int kModelGeneric = 0;  // plain RTL, no plot language
inline constexpr int kModelNamed = 1;    // takes RDGL3, drying time and crop marks
inline constexpr int kModelCp52Lm = 2;   // a named model with its own pass table

// Model names live in 64-byte host fields; nothing past that is looked at,
// so an unterminated field cannot be read beyond.
inline constexpr std::size_t kModelNameSize = 64;

// The model class of a printer model name (substring match, first rule
// wins). A null name is a generic printer.
int DetectModelClass(const char* modelName);

// The names the model rules are written for, in the order a host shows them; any other name is
// a generic RTL printer.
std::span<const std::string_view> NamedModels();

// Whether the model offers the "Dry Time" and "Advance After Print" options.
bool HasNamedOptions(const char* modelName);

// Whether the name is exactly the CP52-LM, which has its own mode lists.
bool IsExactlyCp52Lm(const char* modelName);

struct PrintModeInfo {
    const char* name;
    int32_t resolution;   // dpi the mode prints at
    int32_t namedPasses;  // passes on a named (class 1) printer
};

// Print modes by index: NORMAL, SUPER, DRAFT, FAST, FINE2, FINE, PHOTO.
std::span<const PrintModeInfo> PrintModes();

// The resolution a print mode index prints at; indexes outside the table
// print at 720 dpi.
int32_t ModeResolution(int printMode);

// The CP52-LM offers only the first two modes.
inline constexpr std::size_t kCp52LmModeCount = 2;

// Passes announced in the job header for a model class and print mode
// index; unknown mode indexes fall back to the class's own default.
int PassCount(int modelClass, int printMode);

// The PHOTO mode doubles the announced resolution at 720 dpi.
inline constexpr int32_t kPhotoPasses = 16;
inline constexpr int32_t kPhotoBaseResolution = 720;

// Seconds of drying time for the "Dry Time" option index (read as a signed
// byte); out-of-range indexes mean no drying time.
int DryTimeSeconds(int index);

// Ink (colour) ids, which index the ink name resource and the host's colour
// name table.
inline constexpr int kInkCyan = 0;
inline constexpr int kInkMagenta = 1;
inline constexpr int kInkYellow = 2;
inline constexpr int kInkBlack = 3;
inline constexpr int kInkLightCyan = 4;
inline constexpr int kInkLightMagenta = 5;
inline constexpr int kInkGreen = 6;
inline constexpr int kInkOrange = 7;

inline constexpr std::size_t kMaxModeInks = 6;

struct ColorModeInfo {
    int inkCount;
    std::array<int, kMaxModeInks> inks;  // colour list order
    int16_t planes;
    int16_t layout;
    std::array<int8_t, kMaxModeInks> planeOrder;  // colour list positions, first sent first
};

// Colour modes 0 to 3 (CMYK, Grayscale, CMYKLcLm, CMYKOrGr), or null.
const ColorModeInfo* ColorModeFor(int colorMode);

// The mode whose plane count and layout a job falls back to.
inline constexpr int kFallbackColorMode = 0;
// The colour mode offered by default (CMYKLcLm).
inline constexpr int kDefaultColorMode = 2;
// The layout code of the six-plane mode that sends orange before green.
inline constexpr int16_t kLayoutOrangeGreen = 2;

// The plane order for a job's plane count and layout code.
std::span<const int8_t> PlaneOrderFor(int planes, int layout);

}  // namespace tarnwick
