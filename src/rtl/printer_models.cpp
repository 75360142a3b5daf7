#include "rtl/printer_models.h"

#include <cstring>

namespace tarnwick {
namespace {

struct ModelRule {
    std::string_view namePart;
    int modelClass;
};

// Checked in order: "CP52-LM" must be seen before the plain "CP52" rule.
constexpr ModelRule kModelRules[] = {
    {"ASBRU_V3C", kModelNamed},
    {"CP52-LM", kModelCp52Lm},
    {"CP52", kModelNamed},
    {"Coldstream SP-1400C", kModelNamed},
};

// As hosts show them.
constexpr std::string_view kNamedModels[] = {"ASBRU_V3C", "CP52", "CP52-LM", "Coldstream SP-1400C"};

// The Coldstream is a named model for the printer language but keeps the
// short option list.
constexpr std::string_view kNamedOptionModels[] = {"ASBRU_V3C", "CP52"};

constexpr std::string_view kCp52LmName = "CP52-LM";

constexpr PrintModeInfo kPrintModes[] = {
    {"NORMAL", 360, 4},
    {"SUPER", 720, 8},
    {"DRAFT", 180, 1},
    {"FAST", 360, 2},
    {"FINE2", 540, 6},
    {"FINE", 720, 4},
    {"PHOTO", 720, kPhotoPasses},
};

constexpr int32_t kOtherModeResolution = 720;

constexpr int kCp52LmPasses[] = {4, 8, 8, 8, 8, 8, 8};
// Passes for a mode index outside the table.
constexpr int kNamedOtherModePasses = 6;
constexpr int kCp52LmOtherModePasses = 8;
constexpr int kGenericPasses = 4;

constexpr int kDryTimeSeconds[] = {0, 60, 180, 300, 420, 600, 900};

constexpr ColorModeInfo kColorModes[] = {
    // CMYK
    {4, {kInkCyan, kInkMagenta, kInkYellow, kInkBlack}, 4, 0, {0, 1, 2, 3}},
    // Grayscale
    {1, {kInkBlack}, 1, 3, {0}},
    // CMYKLcLm: black goes first, then the light inks
    {6,
     {kInkCyan, kInkMagenta, kInkYellow, kInkBlack, kInkLightCyan, kInkLightMagenta},
     6,
     1,
     {3, 0, 1, 2, 4, 5}},
    // CMYKOrGr: orange is sent before green
    {6,
     {kInkCyan, kInkMagenta, kInkYellow, kInkBlack, kInkGreen, kInkOrange},
     6,
     kLayoutOrangeGreen,
     {3, 0, 1, 2, 5, 4}},
};

constexpr int kSixPlaneMode = 2;
constexpr int kSixPlaneOrangeGreenMode = 3;
constexpr std::size_t kFourPlaneOrderLength = 4;

std::string_view BoundedName(const char* name) {
    if (name == nullptr) return {};
    return {name, strnlen(name, kModelNameSize)};
}

}  // namespace

std::span<const std::string_view> NamedModels() {
    return kNamedModels;
}

int DetectModelClass(const char* modelName) {
    const std::string_view name = BoundedName(modelName);
    for (const auto& rule : kModelRules) {
        if (name.find(rule.namePart) != std::string_view::npos) return rule.modelClass;
    }
    return kModelGeneric;
}

bool HasNamedOptions(const char* modelName) {
    const std::string_view name = BoundedName(modelName);
    for (const auto part : kNamedOptionModels) {
        if (name.find(part) != std::string_view::npos) return true;
    }
    return false;
}

bool IsExactlyCp52Lm(const char* modelName) {
    return BoundedName(modelName) == kCp52LmName;
}

std::span<const PrintModeInfo> PrintModes() {
    return kPrintModes;
}

int32_t ModeResolution(int printMode) {
    if (printMode < 0 || printMode >= static_cast<int>(std::size(kPrintModes))) {
        return kOtherModeResolution;
    }
    return kPrintModes[printMode].resolution;
}

int PassCount(int modelClass, int printMode) {
    const bool known = printMode >= 0 && printMode < static_cast<int>(std::size(kPrintModes));
    switch (modelClass) {
        case kModelGeneric:
            return kGenericPasses;
        case kModelCp52Lm:
            return known ? kCp52LmPasses[printMode] : kCp52LmOtherModePasses;
        default:
            return known ? kPrintModes[printMode].namedPasses : kNamedOtherModePasses;
    }
}

int DryTimeSeconds(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kDryTimeSeconds))) return 0;
    return kDryTimeSeconds[index];
}

const ColorModeInfo* ColorModeFor(int colorMode) {
    if (colorMode < 0 || colorMode >= static_cast<int>(std::size(kColorModes))) return nullptr;
    return &kColorModes[colorMode];
}

std::span<const int8_t> PlaneOrderFor(int planes, int layout) {
    const ColorModeInfo& six = kColorModes[kSixPlaneMode];
    if (planes == six.planes) {
        const ColorModeInfo& mode =
            layout == kLayoutOrangeGreen ? kColorModes[kSixPlaneOrangeGreenMode] : six;
        return std::span<const int8_t>(mode.planeOrder)
            .first(static_cast<std::size_t>(mode.planes));
    }
    return std::span<const int8_t>(kColorModes[kFallbackColorMode].planeOrder)
        .first(kFourPlaneOrderLength);
}

}  // namespace tarnwick
