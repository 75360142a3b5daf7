// The options every command that talks to the driver module accepts.
#pragma once

#include <memory>

#include "args.h"
#include "host_kit/module_loader.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary

inline constexpr OptionDef kModuleOption = {"module", 0, true};
inline constexpr OptionDef kConfigRootOption = {"config-root", 0, true};

inline constexpr const char* kModuleOptionsHelp =
    "  --module PATH       the driver module to load (else $TARNWICK_MODULE, else beside the\n"
    "                      tool, else the installed one)\n"
    "  --config-root DIR   configuration root holding OutputDrivers (sets TARNWICK_ROOT)\n";

// Applies --config-root, then loads the module; null after an ERROR line when it cannot.
std::unique_ptr<DriverModule> OpenDriverModule(const ParsedArgs& args);

}  // namespace tarnwick::cli
