// tarnwick encipher / decipher: the enciphered form of configuration files.
#include <array>

#include "args.h"
#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "host/xml_cipher.h"

namespace tarnwick::cli {
namespace {

constexpr const char* kEncipherUsage =
    "Usage: tarnwick encipher IN OUT\n"
    "Writes the enciphered form of the plain configuration file IN to OUT\n"
    "(docs/enciphered-xml.md describes the form).\n";

constexpr const char* kDecipherUsage =
    "Usage: tarnwick decipher IN OUT\n"
    "Checks the enciphered configuration file IN and writes its plain text to OUT.\n";

int Run(CommandArgs argv, const char* usage,
        bool (*convert)(const char*, const char*, std::string&)) {
    const ParsedArgs args = ParseArgs(argv, std::span<const OptionDef>());
    if (args.Has("help")) return WriteOut(usage) ? kExitOk : kExitFailure;
    args.ExpectPositionals(2, 2, "IN and OUT");
    const std::string& in = args.positionals()[0];
    const std::string& out = args.positionals()[1];
    if (in == out) throw UsageError("IN and OUT must be different files");
    std::string error;
    if (!convert(in.c_str(), out.c_str(), error)) {
        Console::Get().Error(error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int RunEncipher(CommandArgs args) {
    return Run(args, kEncipherUsage, EncipherFile);
}

int RunDecipher(CommandArgs args) {
    return Run(args, kDecipherUsage, DecipherFile);
}

}  // namespace tarnwick::cli
