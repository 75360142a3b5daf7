// tarnwick options: hands over to the options window, a separate program built with gtkmm.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "host_kit/module_loader.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary
namespace {

constexpr const char* kUsage =
    "Usage: tarnwick options --model NAME [--settings HEX] [--screenshot OUT.png]\n"
    "       tarnwick options --job JOB.tkt [--model NAME] [--screenshot OUT.png]\n"
    "Opens the driver options window on a settings record (the tool tarnwick-options beside\n"
    "this one, built when gtkmm 3 is available) and prints the record as hex on OK. With\n"
    "--job the record is the job's, and OK writes the edited record back into its ticket.\n";

constexpr const char* kWindowTool = "tarnwick-options";

}  // namespace

int RunOptions(CommandArgs args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") return WriteOut(kUsage) ? kExitOk : kExitFailure;
    }
    const std::string dir = ExecutableDirectory();
    const std::string tool = (dir.empty() ? std::string(".") : dir) + "/" + kWindowTool;
    if (::access(tool.c_str(), X_OK) != 0) {
        Console::Get().Error("the options window is not built (gtkmm missing)");
        return kExitUsage;
    }
    std::vector<std::string> storage(args.begin(), args.end());
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(tool.c_str()));
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(tool.c_str(), argv.data());
    Console::Get().Error("cannot start " + tool + ": " + std::strerror(errno));
    return kExitFailure;
}

}  // namespace tarnwick::cli
