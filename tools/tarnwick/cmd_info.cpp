// tarnwick info: what the driver says about a printer model.
#include <array>
#include <cstdio>

#include "commands.h"
#include "exit_codes.h"
#include "host_kit/driver_queries.h"
#include "module_options.h"
#include "printer_choice.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary
namespace {

constexpr const char* kUsage =
    "Usage: tarnwick info [--model NAME | --list]\n"
    "Shows what the driver offers for a printer model: its print modes with their resolutions,\n"
    "the colour modes with their inks, the default colour mode, the driver options (the\n"
    "definition string the host shows, * marks the default value) and the type number.\n"
    "\n"
    "Options:\n"
    "  --model NAME        the printer model, e.g. CP52 or CP52-LM (any case); a name the driver\n"
    "                      does not know is refused with the list of known models\n"
    "  --list              list the printer models, one a line (also without --model)\n";

const std::array<OptionDef, 4> kOptions = {
    {{"model", 0, true}, {"list", 0, false}, kModuleOption, kConfigRootOption}};

std::string Dpi(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// "Label:default,value0,value1,...;" entries, as the driver hands them out.
std::string DescribeOptions(const std::string& definition) {
    std::string out;
    for (const OptionMenu& menu : OptionMenus(definition)) {
        out += "  " + menu.label + ":";
        for (std::size_t i = 0; i < menu.values.size(); ++i) {
            out += (i == 0 ? " " : ", ") + menu.values[i] +
                   (static_cast<int>(i) == menu.defaultValue ? "*" : "");
        }
        out += "\n";
    }
    return out;
}

}  // namespace

int RunInfo(CommandArgs argv) {
    const ParsedArgs args = ParseArgs(argv, kOptions);
    if (args.Has("help")) return WriteOut(kUsage) ? kExitOk : kExitFailure;
    args.ExpectPositionals(0, 0, "");
    if (args.Has("list") || !args.Has("model")) {
        if (args.Has("model")) throw UsageError("--list and --model exclude each other");
        std::string out;
        for (const std::string& name : KnownModels()) out += name + "\n";
        return WriteOut(out) ? kExitOk : kExitFailure;
    }
    const std::string model = MatchModel(args.Get("model").value_or(""));

    std::unique_ptr<DriverModule> module = OpenDriverModule(args);
    if (!module) return kExitFailure;
    ABasePrinterDriver& driver = module->driver();

    std::string out = "Model: " + model + "\n";
    out += "Type number: " + std::to_string(driver.GetTypeNumber()) + "\n";
    const std::vector<PrintModeEntry> modes = PrintModes(driver, model);
    out += "Print modes (" + std::to_string(modes.size()) + "):\n";
    for (const PrintModeEntry& mode : modes) {
        out += "  " + std::to_string(mode.index) + " " + mode.name + ":";
        for (const ResolutionEntry& res : Resolutions(driver, model, mode.index)) {
            // Appended piece by piece: GCC 12 warns wrongly about " " + temporary.
            out += ' ';
            out += Dpi(res.xDpi);
            out += " x ";
            out += Dpi(res.yDpi);
            out += " dpi (resolution ";
            out += std::to_string(res.id);
            out += ", \"";
            out += res.name;
            out += "\")";
        }
        out += "\n";
    }
    std::string defaultName;
    const int32_t defaultMode = DefaultColorMode(driver, model, &defaultName);
    const std::vector<std::string> colorModes = ColorModeNames(driver, model);
    out += "Colour modes (" + std::to_string(colorModes.size()) + "):\n";
    for (std::size_t i = 0; i < colorModes.size(); ++i) {
        out += "  " + std::to_string(i) + " " + colorModes[i] + ":";
        const auto inks = ColorModeInks(driver, static_cast<int32_t>(i));
        if (!inks) {
            out += " (no colour list)\n";
            continue;
        }
        for (std::size_t k = 0; k < inks->size(); ++k) {
            const ColorEntry& ink = (*inks)[k];
            char colour[16];
            std::snprintf(colour, sizeof colour, "#%06X", ink.colorValue & 0xFFFFFFu);
            out += std::string(k == 0 ? " " : ", ") + ink.name + " (" + ink.displayName + ", " +
                   std::to_string(ink.depth) + " bit, " + colour + ")";
        }
        out += "\n";
    }
    out += "Default colour mode: " + std::to_string(defaultMode) + " " + defaultName + "\n";
    const std::string options = DriverOptionString(driver, model);
    out += "Driver options (* default):\n" + DescribeOptions(options);
    out += "Option definition string: " + options + "\n";
    return WriteOut(out) ? kExitOk : kExitFailure;
}

}  // namespace tarnwick::cli
