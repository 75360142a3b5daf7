// tarnwick: a command-line print host for the driver module.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "interrupt.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "unknown"
#endif

namespace tarnwick::cli {
namespace {

constexpr Command kCommands[] = {
    {"demo", "make, print and preview a built-in test chart", RunDemo},
    {"make-job", "write a job ticket and job data file from images", RunMakeJob},
    {"print", "print a job through the driver module", RunPrint},
    {"inspect", "check a printer stream and draw a preview", RunInspect},
    {"info", "show a model's print modes, colour modes and options", RunInfo},
    {"params", "show dither and screening parameters as JSON", RunParams},
    {"encipher", "encipher a configuration file", RunEncipher},
    {"decipher", "decipher a configuration file", RunDecipher},
    {"options", "open the driver options window", RunOptions},
};

std::string Usage() {
    std::string text =
        "Usage: tarnwick [--module PATH] [--config-root DIR] COMMAND [ARGS]\n"
        "A command-line print host for the Tarnwick printer driver module.\n"
        "\n"
        "Commands:\n";
    for (const Command& command : kCommands) {
        std::string name = command.name;
        name.resize(10, ' ');
        text += "  " + name + command.summary + "\n";
    }
    text +=
        "\n"
        "Run 'tarnwick COMMAND --help' for a command's options; see also tarnwick(1).\n"
        "  --module PATH       the driver module to load (also $TARNWICK_MODULE)\n"
        "  --config-root DIR   configuration root holding OutputDrivers (sets TARNWICK_ROOT)\n"
        "  --version           print the version\n";
    return text;
}

int Main(const std::vector<std::string>& args) {
    std::size_t i = 0;
    // Options before the command apply to every command; they travel as the environment the
    // module options read.
    for (; i < args.size() && args[i].rfind("-", 0) == 0; ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") return WriteOut(Usage()) ? kExitOk : kExitFailure;
        if (arg == "--version") {
            return WriteOut(std::string("tarnwick ") + TARNWICK_VERSION + "\n") ? kExitOk
                                                                                : kExitFailure;
        }
        if (arg == "--module" || arg == "--config-root") {
            if (i + 1 == args.size() || args[i + 1].empty()) {
                throw UsageError("option " + arg + " needs a value");
            }
            ::setenv(arg == "--module" ? "TARNWICK_MODULE" : "TARNWICK_ROOT", args[++i].c_str(), 1);
            continue;
        }
        throw UsageError("unknown option " + arg + " (see tarnwick --help)");
    }
    if (i == args.size()) throw UsageError("no command given (see tarnwick --help)");
    const std::string& name = args[i];
    for (const Command& command : kCommands) {
        if (name == command.name) {
            const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                                args.end());
            try {
                return command.run(rest);
            } catch (const UsageError& error) {
                throw UsageError(std::string(command.name) + ": " + error.what() +
                                 " (see tarnwick " + command.name + " --help)");
            }
        }
    }
    throw UsageError("unknown command '" + name + "' (see tarnwick --help)");
}

}  // namespace

bool WriteOut(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

}  // namespace tarnwick::cli

int main(int argc, char** argv) {
    using namespace tarnwick::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    InstallCleanupHandlers();
    try {
        return Main(args);
    } catch (const UsageError& error) {
        Console::Get().Error(error.what());
        return kExitUsage;
    } catch (const std::exception& error) {
        Console::Get().Error(error.what());
        return kExitFailure;
    }
}
