// tarnwick make-job: writes a job ticket and its job data file from images.
#include <strings.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "host/job/colorant.h"
#include "host/job_ticket.h"
#include "host_kit/driver_queries.h"
#include "host_kit/halftone_job.h"
#include "module_options.h"
#include "options/settings_hex.h"
#include "page_sources.h"
#include "printer_choice.h"
#include "progress.h"
#include "rtl/settings_check.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary
namespace {

constexpr const char* kUsage =
    "Usage: tarnwick make-job -o JOB.tkt [options] PAGE...\n"
    "Writes a job ticket and its job data file (0_JOB.twj beside it), one page per PAGE.\n"
    "\n"
    "A PAGE is either\n"
    "  NAME=FILE[,NAME=FILE]...  one colorant per file, in the order given: a PBM (P4, a 1 bit\n"
    "                            is a dot) or a PGM (P5) with maxval 3, 15 or 255 for 2, 4 or 8\n"
    "                            bits per pixel, where a value v becomes the ink level\n"
    "                            maxval - v. NAME is a colorant the driver knows (Cyan,\n"
    "                            Magenta, Yellow, Black, LCyan, LMagenta, Green, Orange; case\n"
    "                            does not matter) or a layer such as Cyan_l_2. Each plane must\n"
    "                            have the depth the colour mode gives its ink (1 bit in every\n"
    "                            shipped mode; see tarnwick info); another depth is refused.\n"
    "  IMAGE                     a colour PNG, TIFF, JPEG or PNM (P6/P5) image, separated into\n"
    "                            the inks of the colour mode through littleCMS and halftoned with\n"
    "                            the driver's dither and screening parameters.\n"
    "A FILE or IMAGE of - is read from standard input (one at most). Images are read row by\n"
    "row as the job is written (an interlaced PNG whole), up to 1000000 pixels wide and\n"
    "10000000 rows long, so a banner of any length needs a few rows of memory.\n"
    "\n"
    "Options:\n"
    "  -o, --output JOB.tkt     the ticket to write (required)\n"
    "  --model NAME             printer model (default CP52), one of the driver's models in any\n"
    "                           case (tarnwick info lists them); another name is refused\n"
    "  --manufacturer NAME      manufacturer whose parameters and profile apply to IMAGE pages\n"
    "                           (default Tarnwick Imaging)\n"
    "  --halftone METHOD        diffusion (default) or screen, for IMAGE pages; the parameters\n"
    "                           used are logged once on an INFO line\n"
    "  --dpi X[xY]              resolution of the images (default 360); below 180 dpi the driver\n"
    "                           repeats pixels a whole number of times, and the result must be\n"
    "                           a resolution of the model's print modes, else it is refused\n"
    "  --color-mode N|NAME      colour mode (default: the driver's default); one the model does\n"
    "                           not offer is refused with the modes it offers\n"
    "  --calibration TEXT       calibration text, e.g. feed~0.25; the value must print as\n"
    "                           -1.99 to 1.99\n"
    "  --settings HEX           the printer settings area as hex digits (bytes not given are\n"
    "                           0); default: the driver's defaults. Each setting must lie in\n"
    "                           its range (see tarnwick info)\n"
    "  -q, --quiet              no progress (shown for pages of 1000 rows or more: a bar on a\n"
    "                           terminal, else lines such as \"INFO: Writing page 1, 40%\n"
    "                           complete.\")\n"
    "  --option DriverOptionI=V apply a driver option (repeatable), e.g. DriverOption2=0; an\n"
    "                           option the model lacks or a value outside its menu is refused\n"
    "                           with the allowed ones (see tarnwick info)\n"
    "\n"
    "JOB.tkt and its data file are written beside their names and replace them only once the\n"
    "whole job is written, the data file first and the ticket last; a failed make-job leaves\n"
    "both as they were. A name that holds a device, FIFO or folder is refused.\n";

const std::array<OptionDef, 12> kOptions = {{{"output", 'o', true},
                                             {"quiet", 'q', false},
                                             {"model", 0, true},
                                             {"manufacturer", 0, true},
                                             {"halftone", 0, true},
                                             {"dpi", 0, true},
                                             {"color-mode", 0, true},
                                             {"calibration", 0, true},
                                             {"settings", 0, true},
                                             {"option", 0, true, true},
                                             kModuleOption,
                                             kConfigRootOption}};

constexpr std::size_t kMaxTicketText = 63;
constexpr int kLongPageRows = 1000;

void ParseDpi(const std::string& text, int16_t& x, int16_t& y) {
    const std::size_t sep = text.find('x');
    const std::string first = text.substr(0, sep);
    const std::string second = sep == std::string::npos ? first : text.substr(sep + 1);
    x = static_cast<int16_t>(ParseInteger(first, "--dpi", 1, 32767));
    y = static_cast<int16_t>(ParseInteger(second, "--dpi", 1, 32767));
}

// The base name of a colorant: "Cyan" for the layer "Cyan_l_2".
std::string BaseName(const std::string& colorant) {
    const std::optional<LayerName> layer = SplitLayerName(colorant);
    return layer ? std::string(layer->base) : colorant;
}

void WarnUnknownColorants(const std::vector<PageArgument>& pages,
                          const std::vector<std::string>& inks, const std::string& modeName) {
    for (const PageArgument& page : pages) {
        for (const NamedPlaneFile& plane : page.planes) {
            const std::string base = BaseName(plane.colorant);
            const bool known = std::any_of(inks.begin(), inks.end(), [&](const std::string& ink) {
                return strcasecmp(ink.c_str(), base.c_str()) == 0;
            });
            if (!known) {
                Console::Get().Warning("colorant " + plane.colorant + " is no ink of colour mode " +
                                       modeName + "; the driver will not print it");
            }
        }
    }
}

struct MakeJobRequest {
    std::string ticketPath;
    JobTicket ticket;
    std::optional<std::string> colorMode;
    std::optional<SettingsArea> settings;  // from --settings
    std::string manufacturer;
    halftone::Method method = halftone::Method::kDiffusion;
    std::vector<std::string> optionPairs;
    std::vector<PageArgument> pages;
};

// Everything that can be checked before the driver is loaded.
MakeJobRequest ReadRequest(const ParsedArgs& args) {
    MakeJobRequest request;
    request.ticketPath = args.Get("output").value_or("");
    if (request.ticketPath.empty()) throw UsageError("missing -o JOB.tkt");
    args.ExpectPositionals(1, SIZE_MAX, "PAGE (at least one page)");
    JobTicket& ticket = request.ticket;
    ticket.printerModel = args.Get("model").value_or("CP52");
    ticket.calibrationText = args.Get("calibration").value_or("");
    ticket.printerModel = MatchModel(ticket.printerModel);
    if (ticket.calibrationText.size() > kMaxTicketText) {
        throw UsageError("--calibration must have at most 63 characters");
    }
    if (std::string value, why;
        !CalibrationCommandValue(ticket.calibrationText.c_str(), value, why)) {
        throw UsageError("--calibration '" + ticket.calibrationText + "': " + why);
    }
    ParseDpi(args.Get("dpi").value_or("360"), ticket.resX, ticket.resY);
    request.optionPairs = args.All("option");
    int fromStandardInput = 0;
    for (const std::string& text : args.positionals()) {
        request.pages.push_back(ParsePageArgument(text));
        const PageArgument& page = request.pages.back();
        fromStandardInput += page.imagePath == "-";
        for (const NamedPlaneFile& plane : page.planes) fromStandardInput += plane.path == "-";
    }
    if (fromStandardInput > 1) throw UsageError("only one image can come from standard input (-)");
    if (const auto hex = args.Get("settings")) {
        std::string error;
        request.settings = ParseSettingsHex(*hex, error);
        if (!request.settings) throw UsageError("--" + error);
        if (!CheckSettingsRecord(request.settings->settings, error)) {
            throw UsageError("--settings: " + error);
        }
    }
    request.colorMode = args.Get("color-mode");
    request.manufacturer = args.Get("manufacturer").value_or(kDefaultManufacturer);
    if (request.manufacturer.empty() || request.manufacturer.size() > kMaxTicketText) {
        throw UsageError("--manufacturer must have 1 to 63 characters");
    }
    const std::string method = args.Get("halftone").value_or("diffusion");
    const std::optional<halftone::Method> named = HalftoneMethodNamed(method);
    if (!named) throw UsageError("--halftone '" + method + "' must be diffusion or screen");
    request.method = *named;
    return request;
}

struct ColorModeChoice {
    int32_t index = 0;
    std::string name;
    std::vector<std::string> inks;  // the driver's colorant names, in its order
    std::vector<int> depths;        // bits per pixel of each ink's plane
};

// A plane page whose depth the colour mode does not take would reach the printer as the first
// half or eighth of each row, so it is refused.
bool CheckPlaneDepths(const PageSource& page, const ColorModeChoice& mode, std::string& error) {
    for (const ColorantFormat& colorant : page.colorants()) {
        const std::string base = BaseName(colorant.name);
        for (std::size_t i = 0; i < mode.inks.size(); ++i) {
            if (strcasecmp(mode.inks[i].c_str(), base.c_str()) != 0) continue;
            if (colorant.bitsPerPixel != mode.depths[i]) {
                const int depth = mode.depths[i];
                error = "colorant " + colorant.name + " has " +
                        std::to_string(colorant.bitsPerPixel) + "-bit pixels, but colour mode " +
                        mode.name + " takes " + std::to_string(depth) + "-bit planes: give " +
                        (depth == 1 ? std::string("a PBM (P4)")
                                    : "a PGM with maxval " + std::to_string((1 << depth) - 1));
                return false;
            }
        }
    }
    return true;
}

// The colour mode asked for, or the driver's default; nothing after an ERROR line.
std::optional<ColorModeChoice> ChooseColorMode(ABasePrinterDriver& driver,
                                               const MakeJobRequest& request) {
    const std::string& model = request.ticket.printerModel;
    ColorModeChoice choice;
    choice.index = DefaultColorMode(driver, model, nullptr);
    if (request.colorMode) choice.index = CheckColorMode(driver, model, *request.colorMode);
    const std::optional<std::vector<ColorEntry>> inks = ColorModeInks(driver, choice.index);
    if (!inks) {
        Console::Get().Error("the driver has no inks for colour mode " +
                             std::to_string(choice.index));
        return std::nullopt;
    }
    for (const ColorEntry& entry : *inks) {
        choice.inks.emplace_back(entry.name);
        choice.depths.push_back(entry.depth);
    }
    const std::vector<std::string> names = ColorModeNames(driver, model);
    choice.name = choice.index >= 0 && choice.index < static_cast<int32_t>(names.size())
                      ? names[static_cast<std::size_t>(choice.index)]
                      : std::to_string(choice.index);
    return choice;
}

}  // namespace

int RunMakeJob(CommandArgs argv) {
    const ParsedArgs args = ParseArgs(argv, kOptions);
    if (args.Has("help")) return WriteOut(kUsage) ? kExitOk : kExitFailure;
    MakeJobRequest request = ReadRequest(args);

    std::unique_ptr<DriverModule> module = OpenDriverModule(args);
    if (!module) return kExitFailure;
    ABasePrinterDriver& driver = module->driver();
    const std::optional<ColorModeChoice> mode = ChooseColorMode(driver, request);
    if (!mode) return kExitFailure;
    WarnUnknownColorants(request.pages, mode->inks, mode->name);

    JobTicket& ticket = request.ticket;
    CheckResolution(driver, ticket.printerModel, ticket.resX, ticket.resY);
    CheckOptionValues(driver, ticket.printerModel, request.optionPairs);
    SettingsArea area = request.settings ? *request.settings : DefaultSettings(driver);
    ApplyDriverOptions(driver, ticket.printerModel, request.optionPairs, area);
    if (std::string error; !CheckSettingsRecord(area.settings, error)) {
        Console::Get().Error("the settings record the driver made is out of range: " + error);
        return kExitFailure;
    }
    std::memcpy(ticket.settings.data(), &area, sizeof area);
    ticket.colorModel = static_cast<int16_t>(mode->index);

    // Image pages go through the halftoning stage, set up once for the job.
    std::unique_ptr<JobHalftoning> halftoning;
    if (std::any_of(request.pages.begin(), request.pages.end(),
                    [](const PageArgument& page) { return page.planes.empty(); })) {
        HalftoneRequest halftone{
            ticket.printerModel, request.manufacturer, mode->index,   0, 0, ticket.resX,
            ticket.resY,         mode->inks,           request.method};
        MatchPrintMode(driver, halftone);
        std::vector<std::string> warnings;
        std::string error;
        halftoning = JobHalftoning::Prepare(driver, halftone, warnings, error);
        for (const std::string& warning : warnings) Console::Get().Warning(warning);
        if (!halftoning) {
            Console::Get().Error(error);
            return kExitFailure;
        }
        Console::Get().Info(halftoning->Describe());
    }
    const PageFactory makePage = [&](std::size_t index,
                                     std::string& error) -> std::unique_ptr<PageSource> {
        const PageArgument& page = request.pages[index];
        if (!page.planes.empty()) {
            std::unique_ptr<PageSource> source = LoadPlanePage(page.planes, error);
            if (source && !CheckPlaneDepths(*source, *mode, error)) return nullptr;
            return source;
        }
        return LoadColorPage(page.imagePath, *halftoning, error);
    };
    // Pages of many rows take a while to separate and halftone: their progress is shown.
    ProgressReporter progress(Console::Get(), args.Has("quiet"), "Writing");
    const RowProgress onRow = [&progress](int page, int row, int rows) {
        if (rows >= kLongPageRows)
            progress.Percent(page, static_cast<int>(int64_t{row} * 100 / rows));
    };
    WrittenJob written;
    std::string error;
    const bool wrote =
        WriteJob(request.ticketPath, ticket, request.pages.size(), makePage, written, error, onRow);
    progress.Finish();
    if (!wrote) {
        Console::Get().Error(error);
        return kExitFailure;
    }
    return WriteOut("Wrote " + request.ticketPath + " and " + written.dataPath + " (" +
                    std::to_string(written.pages) + (written.pages == 1 ? " page" : " pages") +
                    ", " + ticket.printerModel + ", " + mode->name + ")\n")
               ? kExitOk
               : kExitFailure;
}

}  // namespace tarnwick::cli
