#include "ipp_choices.h"

#include <cctype>

namespace tarnwick::app {
namespace {

constexpr const char* kAuto = "auto";

const VendorAttribute* Find(const std::vector<VendorAttribute>& attributes,
                            const std::string& name) {
    for (const VendorAttribute& attribute : attributes) {
        if (attribute.name == name) return &attribute;
    }
    return nullptr;
}

// The index of value in the attribute's keywords, or -1.
int IndexOf(const VendorAttribute& attribute, const std::string& value) {
    for (std::size_t i = 0; i < attribute.values.size(); ++i) {
        if (attribute.values[i] == value) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

std::string Keyword(const std::string& text) {
    std::string keyword;
    bool gap = false;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            if (gap && !keyword.empty()) keyword += '-';
            keyword += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            gap = false;
        } else {
            gap = true;
        }
    }
    return keyword;
}

std::vector<VendorAttribute> VendorAttributes(const ModelDescription& model) {
    std::vector<VendorAttribute> attributes;
    VendorAttribute printMode{"tarnwick-print-mode", {kAuto}, 0};
    for (const PrintModeInfo& mode : model.printModes) {
        const std::string keyword = Keyword(mode.name);
        if (IndexOf(printMode, keyword) < 0) printMode.values.push_back(keyword);
    }
    VendorAttribute inkSet{"tarnwick-ink-set", {kAuto}, 0};
    for (const ColorModeInfo& mode : model.colorModes) inkSet.values.push_back(Keyword(mode.name));
    attributes.push_back(std::move(printMode));
    attributes.push_back(std::move(inkSet));
    for (const hostkit::OptionMenu& menu : model.options) {
        VendorAttribute option{"tarnwick-" + Keyword(menu.label), {}, menu.defaultValue};
        for (const std::string& value : menu.values) option.values.push_back(Keyword(value));
        attributes.push_back(std::move(option));
    }
    return attributes;
}

std::optional<DriverChoice> ChooseForJob(const ModelDescription& model, const JobRequest& request,
                                         std::string& error) {
    const std::vector<VendorAttribute>& attributes =
        model.vendorAttributes.empty() ? VendorAttributes(model) : model.vendorAttributes;
    std::vector<std::string> chosen(attributes.size());
    for (const auto& [name, value] : request.vendor) {
        const VendorAttribute* attribute = Find(attributes, name);
        if (attribute == nullptr) continue;  // not one of ours
        if (IndexOf(*attribute, value) < 0) {
            error = name + " '" + value + "' is not one of the printer's values";
            return std::nullopt;
        }
        chosen[static_cast<std::size_t>(attribute - attributes.data())] = value;
    }

    DriverChoice choice;
    // The ink set named wins; else monochrome asks for the one-ink mode and colour for the
    // driver's default.
    const std::string& inkSet = chosen[1];
    choice.colorMode = model.defaultColorMode;
    if (!inkSet.empty() && inkSet != kAuto) {
        choice.colorMode =
            model.colorModes[static_cast<std::size_t>(IndexOf(attributes[1], inkSet) - 1)].index;
    } else if (request.monochrome && model.MonochromeMode() >= 0) {
        choice.colorMode = model.MonochromeMode();
    }

    // The print mode named, if it prints at the page's resolution; else the modes at that
    // resolution in the driver's order: the first for draft and normal, the last for high.
    const std::string& modeName = chosen[0];
    const PrintModeInfo* mode = nullptr;
    for (const PrintModeInfo& candidate : model.printModes) {
        if (candidate.dpiX != request.dpiX || candidate.dpiY != request.dpiY) continue;
        if (!modeName.empty() && modeName != kAuto) {
            if (Keyword(candidate.name) == modeName) mode = &candidate;
            continue;
        }
        if (mode == nullptr || request.quality >= 5) mode = &candidate;
    }
    if (mode == nullptr) {
        std::string dpis;
        for (const int dpi : model.Resolutions()) {
            dpis += (dpis.empty() ? "" : ", ") + std::to_string(dpi);
        }
        error = model.model + " has no print mode " +
                (modeName.empty() || modeName == kAuto ? std::string() : "'" + modeName + "' ") +
                "at " + std::to_string(request.dpiX) + "x" + std::to_string(request.dpiY) +
                " dpi; it prints at " + dpis + " dpi";
        return std::nullopt;
    }
    choice.printMode = mode->index;
    choice.resolution = mode->resolution;

    for (std::size_t i = kFirstOptionAttribute; i < attributes.size(); ++i) {
        if (chosen[i].empty()) continue;
        choice.optionPairs.push_back("DriverOption" + std::to_string(i - kFirstOptionAttribute) +
                                     "=" + std::to_string(IndexOf(attributes[i], chosen[i])));
    }
    return choice;
}

}  // namespace tarnwick::app
