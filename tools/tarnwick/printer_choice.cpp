#include "printer_choice.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <regex>

#include "args.h"
#include "host_kit/driver_queries.h"
#include "rtl/printer_models.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary
namespace {

// The generic printer first, then the names the driver's model rules are written for (the same
// table the module is built from; the module does not hand it out through its slots).
const std::vector<std::string>& Models() {
    static const std::vector<std::string> models = [] {
        std::vector<std::string> names{kGenericModel};
        for (const std::string_view name : NamedModels()) names.emplace_back(name);
        return names;
    }();
    return models;
}

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string DpiText(double x, double y) {
    const long ix = std::lround(x);
    const long iy = std::lround(y);
    return ix == iy ? std::to_string(ix) : std::to_string(ix) + "x" + std::to_string(iy);
}

}  // namespace

const std::vector<std::string>& KnownModels() {
    return Models();
}

std::string KnownModelList() {
    return Join(Models());
}

std::string MatchModel(const std::string& typed) {
    for (const std::string& model : Models()) {
        if (strcasecmp(model.c_str(), typed.c_str()) == 0) return model;
    }
    throw UsageError("--model '" + typed +
                     "' is no printer model of the driver; known models: " + KnownModelList());
}

namespace {

// The resolutions the model's print modes print at, smallest first.
std::vector<std::pair<long, long>> OfferedResolutions(ABasePrinterDriver& driver,
                                                      const std::string& model) {
    std::vector<std::pair<long, long>> offered;
    for (const PrintModeEntry& mode : PrintModes(driver, model)) {
        for (const ResolutionEntry& res : Resolutions(driver, model, mode.index)) {
            const std::pair<long, long> dpi{std::lround(res.xDpi), std::lround(res.yDpi)};
            if (std::find(offered.begin(), offered.end(), dpi) == offered.end()) {
                offered.push_back(dpi);
            }
        }
    }
    std::sort(offered.begin(), offered.end());
    return offered;
}

}  // namespace

void CheckResolution(ABasePrinterDriver& driver, const std::string& model, int xDpi, int yDpi) {
    const std::vector<std::pair<long, long>> offered = OfferedResolutions(driver, model);
    // The driver repeats each pixel of an image below its base resolution a whole number of
    // times towards it; the base is the lowest resolution it has at all, which the generic
    // printer, offering every print mode, shows.
    const std::vector<std::pair<long, long>> all = OfferedResolutions(driver, kGenericModel);
    const long base = all.empty() ? 0 : std::min(all.front().first, all.front().second);
    const auto device = [base](long dpi) { return dpi < base ? base / dpi * dpi : dpi; };
    const std::pair<long, long> wanted{device(xDpi), device(yDpi)};
    if (std::find(offered.begin(), offered.end(), wanted) != offered.end()) return;
    std::vector<std::string> allowed;
    for (const auto& [x, y] : offered) allowed.push_back(DpiText(x, y));
    std::string text = allowed.empty() ? "no resolution the driver names" : Join(allowed) + " dpi";
    if (std::find(offered.begin(), offered.end(), std::pair{base, base}) != offered.end()) {
        text += ", or at " + std::to_string(base) +
                " dpi divided by a whole number (each pixel repeated)";
    }
    throw UsageError("--dpi " + DpiText(xDpi, yDpi) + ": the " + model + " prints at " + text);
}

void CheckPrintMode(ABasePrinterDriver& driver, const std::string& model, int32_t printMode) {
    std::vector<std::string> allowed;
    for (const PrintModeEntry& mode : PrintModes(driver, model)) {
        if (mode.index == printMode) return;
        allowed.push_back(std::to_string(mode.index) + " " + mode.name);
    }
    throw UsageError("--print-mode " + std::to_string(printMode) + ": the " + model + " offers " +
                     Join(allowed));
}

int32_t CheckColorMode(ABasePrinterDriver& driver, const std::string& model,
                       const std::string& text) {
    const std::vector<std::string> names = ColorModeNames(driver, model);
    std::vector<std::string> allowed;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (text == std::to_string(i) || strcasecmp(text.c_str(), names[i].c_str()) == 0) {
            return static_cast<int32_t>(i);
        }
        allowed.push_back(std::to_string(i) + " " + names[i]);
    }
    throw UsageError("--color-mode '" + text + "': the " + model + " offers " + Join(allowed));
}

void CheckOptionValues(ABasePrinterDriver& driver, const std::string& model,
                       const std::vector<std::string>& pairs) {
    if (pairs.empty()) return;
    const std::vector<OptionMenu> menus = OptionMenus(DriverOptionString(driver, model));
    static const std::regex kPair("DriverOption([0-9]{1,3})=([0-9]{1,3})");
    for (const std::string& pair : pairs) {
        std::smatch match;
        if (!std::regex_match(pair, match, kPair)) {
            throw UsageError("--option '" + pair + "' is not of the form DriverOptionI=V");
        }
        const auto index = static_cast<std::size_t>(std::stoi(match[1]));
        const auto value = static_cast<std::size_t>(std::stoi(match[2]));
        if (index >= menus.size()) {
            std::vector<std::string> options;
            for (std::size_t i = 0; i < menus.size(); ++i) {
                options.push_back("DriverOption" + std::to_string(i) + " " + menus[i].label);
            }
            throw UsageError("--option " + pair + ": the " + model + " has " +
                             (options.empty() ? std::string("no driver options")
                                              : "the options " + Join(options)));
        }
        const OptionMenu& menu = menus[index];
        if (value >= menu.values.size()) {
            std::vector<std::string> values;
            for (std::size_t v = 0; v < menu.values.size(); ++v) {
                values.push_back(std::to_string(v) + " " + menu.values[v]);
            }
            throw UsageError("--option " + pair + ": " + menu.label + " takes " +
                             (values.empty() ? std::string("no value")
                                             : "0 to " + std::to_string(values.size() - 1) + " (" +
                                                   Join(values) + ")"));
        }
    }
}

}  // namespace tarnwick::cli
