#include "model_description.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tarnwick::app {

std::vector<int> ModelDescription::Resolutions() const {
    std::vector<int> dpis;
    for (const PrintModeInfo& mode : printModes) {
        if (mode.dpiX == mode.dpiY && mode.dpiX > 0) dpis.push_back(mode.dpiX);
    }
    std::sort(dpis.begin(), dpis.end());
    dpis.erase(std::unique(dpis.begin(), dpis.end()), dpis.end());
    return dpis;
}

int32_t ModelDescription::MonochromeMode() const {
    for (const ColorModeInfo& mode : colorModes) {
        if (mode.inks.size() == 1) return mode.index;
    }
    return -1;
}

const ColorModeInfo* ModelDescription::ColorMode(int32_t index) const {
    for (const ColorModeInfo& mode : colorModes) {
        if (mode.index == index) return &mode;
    }
    return nullptr;
}

std::string DriverNameFor(const std::string& model) {
    std::string name = "tarnwick";
    bool gap = true;
    for (const char c : model) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            if (gap) name += '_';
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            gap = false;
        } else {
            gap = true;
        }
    }
    return name;
}

std::vector<ModelDescription> DescribeModels(ABasePrinterDriver& driver,
                                             const std::vector<std::string>& models) {
    std::vector<ModelDescription> described;
    for (const std::string& model : models) {
        ModelDescription d;
        d.model = model;
        d.driverName = DriverNameFor(model);
        for (const PrintModeEntry& mode : hostkit::PrintModes(driver, model)) {
            if (mode.index < 0) continue;
            for (const ResolutionEntry& r : hostkit::Resolutions(driver, model, mode.index)) {
                d.printModes.push_back({mode.index, mode.name, r.id, static_cast<int>(r.xDpi),
                                        static_cast<int>(r.yDpi)});
            }
        }
        const std::vector<std::string> names = hostkit::ColorModeNames(driver, model);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto inks = hostkit::ColorModeInks(driver, static_cast<int32_t>(i));
            if (!inks) continue;
            ColorModeInfo mode{static_cast<int32_t>(i), names[i], {}, {}};
            for (const ColorEntry& ink : *inks) {
                mode.inks.emplace_back(ink.name);
                mode.depths.push_back(ink.depth);
            }
            d.colorModes.push_back(std::move(mode));
        }
        d.defaultColorMode = hostkit::DefaultColorMode(driver, model, nullptr);
        d.options = hostkit::OptionMenus(hostkit::DriverOptionString(driver, model));
        d.defaultSettings = hostkit::DefaultSettings(driver);
        if (!d.printModes.empty() && !d.colorModes.empty()) described.push_back(std::move(d));
    }
    return described;
}

}  // namespace tarnwick::app
