// The tool's commands. Each takes the arguments after its name and returns the exit code;
// usage mistakes throw UsageError (exit code 2).
#pragma once

#include <span>
#include <string>

namespace tarnwick::cli {

using CommandArgs = std::span<const std::string>;

struct Command {
    const char* name;
    const char* summary;
    int (*run)(CommandArgs args);
};

int RunDemo(CommandArgs args);
int RunMakeJob(CommandArgs args);
int RunPrint(CommandArgs args);
int RunInspect(CommandArgs args);
int RunInfo(CommandArgs args);
int RunParams(CommandArgs args);
int RunEncipher(CommandArgs args);
int RunDecipher(CommandArgs args);
int RunOptions(CommandArgs args);

// Writes text to stdout; false when that fails (e.g. a closed pipe).
bool WriteOut(const std::string& text);

}  // namespace tarnwick::cli
