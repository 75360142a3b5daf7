// tarnwick params: the dither and screening parameters the driver reads for a printer setup.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "host_kit/driver_queries.h"
#include "host_kit/halftone_job.h"
#include "host_kit/number_format.h"
#include "inspect/report_format.h"
#include "module_options.h"
#include "printer_choice.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary
namespace {

constexpr const char* kUsage =
    "Usage: tarnwick params --model NAME --manufacturer NAME [options]\n"
    "Prints, as JSON, the dither parameters (slot 49) and the halftone screens (slot 18) that\n"
    "the driver reads from the configuration files for a printer setup, and under \"applied\"\n"
    "how make-job's halftoning uses them: the profile, each ink's level amounts and the screen\n"
    "it gets (null, with a WARNING, when they cannot be used). Messages the driver shows while\n"
    "reading go to stderr.\n"
    "\n"
    "Options:\n"
    "  --model NAME          printer model\n"
    "  --manufacturer NAME   manufacturer, as named in Ditherparams.xml\n"
    "  --media N             media (default 0)\n"
    "  --print-mode N        print mode (default 0)\n"
    "  --resolution N        resolution id (default: the print mode's, from the driver)\n"
    "  --color-mode N|NAME   colour mode (default: the driver's default)\n";

const std::array<OptionDef, 8> kOptions = {{{"model", 0, true},
                                            {"manufacturer", 0, true},
                                            {"media", 0, true},
                                            {"print-mode", 0, true},
                                            {"resolution", 0, true},
                                            {"color-mode", 0, true},
                                            kModuleOption,
                                            kConfigRootOption}};

int32_t IntOption(const ParsedArgs& args, const char* name, int32_t fallback) {
    const auto text = args.Get(name);
    if (!text) return fallback;
    return static_cast<int32_t>(
        ParseInteger(*text, std::string("--") + name, INT32_MIN, INT32_MAX));
}

std::string DitherJson(int result, const DitherParamRecord& record) {
    const int levels = std::clamp(record.levelCount, 0, kDitherLevels);
    const int inks = std::clamp(record.inkCount, 0, kDitherInks);
    std::string out = "  \"dither\": {\"result\": " + std::to_string(result) +
                      ", \"levelCount\": " + std::to_string(record.levelCount) +
                      ", \"inkCount\": " + std::to_string(record.inkCount) +
                      ", \"antiClogLevel\": " + std::to_string(record.antiClogLevel) +
                      ", \"noiseLevel\": " + JsonFloat(record.noiseLevel) + ",\n    \"weights\": [";
    for (int ink = 0; ink < inks; ++ink) {
        out += ink == 0 ? "" : ", ";
        out += "[";
        for (int level = 0; level + 1 < levels; ++level) {
            out += (level == 0 ? "" : ", ") + JsonFloat(record.weights[ink][level]);
        }
        out += "]";
    }
    return out + "]}";
}

template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

std::string ScreeningJson(int result, const ScreeningRecord& record) {
    const int count = std::clamp(record.count, 0, kMaxScreenEntries);
    std::string out = "  \"screening\": {\"result\": " + std::to_string(result) +
                      ", \"count\": " + std::to_string(record.count) + ",\n    \"entries\": [";
    for (int i = 0; i < count; ++i) {
        const ScreenEntry& entry = record.entries[i];
        out += (i == 0 ? "\n      " : ",\n      ");
        out += "{\"colorName\": " + inspect::JsonString(FieldText(entry.colorName)) +
               ", \"shapeName\": " + inspect::JsonString(FieldText(entry.shapeName)) +
               ", \"frequency\": " + JsonFloat(entry.frequency) +
               ", \"angle\": " + JsonFloat(entry.angle) + "}";
    }
    return out + (count == 0 ? "]}" : "\n    ]}");
}

}  // namespace

int RunParams(CommandArgs argv) {
    const ParsedArgs args = ParseArgs(argv, kOptions);
    if (args.Has("help")) return WriteOut(kUsage) ? kExitOk : kExitFailure;
    args.ExpectPositionals(0, 0, "");
    if (!args.Has("model")) throw UsageError("missing --model NAME");
    const std::string model = MatchModel(*args.Get("model"));
    const std::string manufacturer = args.Get("manufacturer").value_or("");
    if (manufacturer.empty()) throw UsageError("missing --manufacturer NAME");
    if (model.size() > 63 || manufacturer.size() > 63) {
        throw UsageError("--model and --manufacturer must have at most 63 characters");
    }
    const int32_t media = IntOption(args, "media", 0);
    const int32_t printMode = IntOption(args, "print-mode", 0);

    std::unique_ptr<DriverModule> module = OpenDriverModule(args);
    if (!module) return kExitFailure;
    ABasePrinterDriver& driver = module->driver();

    int32_t colorMode = DefaultColorMode(driver, model, nullptr);
    if (const auto mode = args.Get("color-mode")) colorMode = CheckColorMode(driver, model, *mode);
    CheckPrintMode(driver, model, printMode);
    const std::vector<ResolutionEntry> resolutions = Resolutions(driver, model, printMode);
    const int32_t resolution =
        IntOption(args, "resolution", resolutions.empty() ? printMode : resolutions.front().id);

    PrintSetup setup = MakeSetup(model, manufacturer);
    setup.media = media;
    setup.printMode = printMode;
    setup.resolution = resolution;
    setup.colorMode = colorMode;

    // Both records are large and zero-filled before the driver sees them.
    auto dither = std::make_unique<DitherParamRecord>();
    std::memset(dither.get(), 0, sizeof(DitherParamRecord));
    const int ditherResult =
        driver.LoadDitherParams(model.c_str(), manufacturer.c_str(), &setup, dither.get(), nullptr);
    auto screening = std::make_unique<ScreeningRecord>();
    std::memset(screening.get(), 0, sizeof(ScreeningRecord));
    const int screeningResult = driver.LoadScreeningParams(screening.get(), &setup);

    // The same setup through the halftoning stage, as make-job applies it.
    HalftoneRequest request{model,     manufacturer, colorMode,
                            printMode, resolution,   0,
                            0,         {},           halftone::Method::kDiffusion};
    for (const ResolutionEntry& entry : Resolutions(driver, model, printMode)) {
        if (entry.id == resolution) {
            request.dpiX = static_cast<int>(entry.xDpi);
            request.dpiY = static_cast<int>(entry.yDpi);
        }
    }
    if (const auto inks = ColorModeInks(driver, colorMode)) {
        for (const ColorEntry& entry : *inks) request.inks.emplace_back(entry.name);
    }
    std::string applied = "null";
    std::vector<std::string> warnings;
    std::string error = "the resolution or colour mode is unknown to the driver";
    std::unique_ptr<JobHalftoning> halftoning;
    if (request.dpiX > 0 && request.dpiY > 0 && !request.inks.empty()) {
        halftoning = JobHalftoning::Prepare(driver, request, warnings, error, true);
    }
    for (const std::string& warning : warnings) Console::Get().Warning(warning);
    if (halftoning) {
        applied = halftoning->Json();
    } else {
        Console::Get().Warning("no halftoning as applied: " + error);
    }
    const std::string out = "{\n" + DitherJson(ditherResult, *dither) + ",\n" +
                            ScreeningJson(screeningResult, *screening) +
                            ",\n  \"applied\": " + applied + "\n}\n";
    return WriteOut(out) ? kExitOk : kExitFailure;
}

}  // namespace tarnwick::cli
