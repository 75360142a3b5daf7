// How a model's driver answers become IPP attributes, and how a job's IPP attributes become the
// driver's choices: the colour mode, the print mode at the page's resolution and the
// "DriverOption<i>=<v>" pairs of the settings record. One mapping, used both to describe the
// printer and to read its jobs, so the two cannot disagree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model_description.h"

namespace tarnwick::app {

// A text as an IPP keyword: lower case, every run of other characters one "-".
std::string Keyword(const std::string& text);

// The print mode and ink set choosers, then one attribute per driver option (index i of the
// options is attribute i + kFirstOptionAttribute).
inline constexpr std::size_t kFirstOptionAttribute = 2;
std::vector<VendorAttribute> VendorAttributes(const ModelDescription& model);

// What a job asks for, in IPP terms.
struct JobRequest {
    bool monochrome = false;
    int quality = 4;  // IPP print-quality: 3 draft, 4 normal, 5 high
    int dpiX = 0;     // the page's resolution
    int dpiY = 0;
    // name -> value of the vendor attributes the job (or the printer's defaults) gave.
    std::vector<std::pair<std::string, std::string>> vendor;
};

struct DriverChoice {
    int32_t colorMode = 0;
    int32_t printMode = 0;
    int32_t resolution = 0;                // the driver's resolution id
    std::vector<std::string> optionPairs;  // "DriverOption<i>=<v>"
};

// Nothing, with error set, when the model cannot print the request (a resolution none of its
// print modes has, an unknown value).
std::optional<DriverChoice> ChooseForJob(const ModelDescription& model, const JobRequest& request,
                                         std::string& error);

}  // namespace tarnwick::app
