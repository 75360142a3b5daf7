// tarnwick-options: the driver options dialog in a window, on a settings
// record given on the command line.
//
//   tarnwick-options --model NAME [--settings HEX] [--screenshot OUT.png]
//   tarnwick-options --job JOB.tkt [--model NAME] [--screenshot OUT.png]
//
// With --job the record comes from the job ticket (and the model too, unless
// given), and OK writes the edited record back into the ticket.
// On OK the record is printed as hex and the exit code is 0; Cancel gives 1;
// bad arguments or no display give 2. With --screenshot the window is saved
// as a PNG once it is shown, and then cancelled.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "driver/cdriver.h"
#include "gtk_modal_runner.h"
#include "host/job_ticket.h"
#include "options/settings_hex.h"
#include "options_window.h"
#include "platform/message_box.h"
#include "platform/mfc/modal_runner.h"
#include "widget_snapshot.h"

namespace {

constexpr int kExitCancelled = 1;
constexpr int kExitError = 2;
// The options slot's action that edits the record as it is.
constexpr int32_t kEditAction = 3;

struct Arguments {
    std::string model;
    std::optional<std::string> settings;
    std::optional<std::string> screenshot;
    std::optional<std::string> job;
};

const char* const kUsage =
    "usage: tarnwick-options --model NAME [--settings HEX] [--screenshot OUT.png]\n"
    "       tarnwick-options --job JOB.tkt [--model NAME] [--screenshot OUT.png]\n";

int Fail(const std::string& message) {
    std::cerr << "tarnwick-options: " << message << '\n';
    return kExitError;
}

int FailUsage(const std::string& message) {
    Fail(message);
    std::cerr << kUsage;
    return kExitError;
}

std::optional<Arguments> Parse(int argc, char** argv, std::string& error) {
    Arguments args;
    bool haveModel = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view flag = argv[i];
        if (i + 1 >= argc) {
            error = "missing value after " + std::string(flag);
            return std::nullopt;
        }
        const std::string value = argv[++i];
        if (flag == "--model") {
            args.model = value;
            haveModel = true;
        } else if (flag == "--settings") {
            args.settings = value;
        } else if (flag == "--screenshot") {
            args.screenshot = value;
        } else if (flag == "--job") {
            args.job = value;
        } else {
            error = "unknown argument " + std::string(flag);
            return std::nullopt;
        }
    }
    if (args.job && args.settings) {
        error = "--job and --settings cannot be combined";
        return std::nullopt;
    }
    if (!haveModel && !args.job) {
        error = "--model or --job is required";
        return std::nullopt;
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tarnwick;
    std::string error;
    const std::optional<Arguments> args = Parse(argc, argv, error);
    if (!args) return FailUsage(error);

    SettingsArea area;
    std::memset(&area, 0, sizeof area);
    std::string model = args->model;
    if (args->job) {
        std::string ticketModel;
        if (!ReadTicketSettings(*args->job, ticketModel, area, error)) return Fail(error);
        if (model.empty()) model = ticketModel;
    }
    if (args->settings) {
        const auto parsed = ParseSettingsHex(*args->settings, error);
        if (!parsed) return FailUsage(error);
        area = *parsed;
    }
    PrintSetup setup;
    std::memset(&setup, 0, sizeof setup);
    std::strncpy(setup.modelName, model.c_str(), sizeof setup.modelName - 1);

    if (!gtk::GtkAvailable()) return Fail("cannot open a display");

    int modalResult = IDCANCEL;
    bool saved = false;
    gtk::GtkRunOptions run;
    if (args->screenshot) {
        run.onShown = [&](gtk::OptionsWindow& window) {
            saved = gtk::SaveWidgetPng(window, *args->screenshot, error);
            window.Dialog().OnCommand(IDCANCEL, BN_CLICKED);
        };
    }
    ScopedModalRunner runner([&](CDialog& dialog) {
        modalResult = gtk::RunInGtkWindow(dialog, run);
        return modalResult;
    });

    CDriver driver;
    if (driver.ShowOptionsDialog(&area.settings, kEditAction, &setup, nullptr) == 0) {
        return Fail("the options dialog failed");
    }
    if (args->screenshot) return saved ? 0 : Fail(error);
    if (modalResult != IDOK) return kExitCancelled;
    if (args->job && !WriteTicketSettings(*args->job, area, error)) return Fail(error);
    std::cout << FormatSettingsHex(area.settings) << '\n';
    return 0;
}
