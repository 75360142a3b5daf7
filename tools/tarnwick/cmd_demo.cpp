// tarnwick demo: makes a sample job, prints it through the module and draws a preview.
#include <array>
#include <cstring>
#include <filesystem>

#include "commands.h"
#include "console.h"
#include "demo_chart.h"
#include "exit_codes.h"
#include "host_kit/driver_queries.h"
#include "inspect/preview_renderer.h"
#include "inspect/stream_inspector.h"
#include "interrupt.h"
#include "module_options.h"
#include "print_session.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary
namespace {

constexpr const char* kUsage =
    "Usage: tarnwick demo [-o DIR]\n"
    "Makes a three-page test chart for a CP52 (colour wedges of every ink of the default colour\n"
    "mode, fine lines, blank margins; default settings, so the colour bar is on), prints it\n"
    "through the driver module and writes DIR/demo.prn with a preview DIR/demo.png of the\n"
    "decoded stream. The job itself stays in DIR (demo.tkt, 0_demo.twj). The output is the\n"
    "same on every run.\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR    where the files go (default ./out)\n";

const std::array<OptionDef, 3> kOptions = {
    {{"output", 'o', true}, kModuleOption, kConfigRootOption}};

constexpr const char* kDemoModel = "CP52";
constexpr int kDemoPages = 3;
constexpr int16_t kDemoDpi = 360;

}  // namespace

int RunDemo(CommandArgs argv) {
    const ParsedArgs args = ParseArgs(argv, kOptions);
    if (args.Has("help")) return WriteOut(kUsage) ? kExitOk : kExitFailure;
    args.ExpectPositionals(0, 0, "");
    const std::string dir = args.Get("output").value_or("out");
    if (dir.empty()) throw UsageError("-o needs a folder");
    Console& console = Console::Get();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        console.Error("cannot make the folder " + dir + ": " + ec.message());
        return kExitFailure;
    }
    const auto file = [&dir](const char* name) {
        return (std::filesystem::path(dir) / name).generic_string();
    };

    InstallInterruptHandlers();
    std::unique_ptr<DriverModule> module = OpenDriverModule(args);
    if (!module) return kExitFailure;
    ABasePrinterDriver& driver = module->driver();

    JobTicket ticket;
    ticket.printerModel = kDemoModel;
    ticket.resX = kDemoDpi;
    ticket.resY = kDemoDpi;
    const int32_t colorMode = DefaultColorMode(driver, kDemoModel, nullptr);
    ticket.colorModel = static_cast<int16_t>(colorMode);
    const SettingsArea settings = DefaultSettings(driver);
    std::memcpy(ticket.settings.data(), &settings, sizeof settings);
    const auto inks = ColorModeInks(driver, colorMode);
    if (!inks || inks->empty()) {
        console.Error("the driver has no inks for its default colour mode");
        return kExitFailure;
    }
    std::vector<std::string> inkNames;
    for (const ColorEntry& ink : *inks) inkNames.emplace_back(ink.name);

    const std::string ticketPath = file("demo.tkt");
    WrittenJob written;
    std::string error;
    const PageFactory makePage = [&](std::size_t index, std::string&) {
        return MakeDemoPage(static_cast<int>(index), inkNames);
    };
    if (!WriteJob(ticketPath, ticket, kDemoPages, makePage, written, error)) {
        console.Error(error);
        return kExitFailure;
    }

    PrintRequest request;
    request.ticketPath = ticketPath;
    request.outPath = file("demo.prn");
    request.quiet = true;
    const PrintOutcome outcome = PrintJob(driver, request, console);
    if (outcome.exitCode != kExitOk) return outcome.exitCode;

    inspect::StreamReport report;
    if (!inspect::InspectFile(request.outPath, {}, nullptr, report, error)) {
        console.Error(error);
        return kExitFailure;
    }
    const std::string preview = file("demo.png");
    if (!inspect::WritePreview(request.outPath, report, preview, {}, error)) {
        console.Error(error);
        return kExitFailure;
    }
    if (report.faultCount != 0) {
        console.Error("the inspector found " + std::to_string(report.faultCount) + " faults in " +
                      request.outPath + " (see tarnwick inspect)");
        return kExitFailure;
    }
    return WriteOut("Wrote " + request.outPath + " (" + std::to_string(report.bytes) + " bytes, " +
                    std::to_string(report.pageCount) + " pages) and preview " + preview + "\n")
               ? kExitOk
               : kExitFailure;
}

}  // namespace tarnwick::cli
