#include "module_options.h"

#include <cstdlib>

#include "console.h"

namespace tarnwick::cli {

std::unique_ptr<DriverModule> OpenDriverModule(const ParsedArgs& args) {
    // The module reads the root every time it looks for a file, so it must be set before
    // anything is asked.
    if (const auto root = args.Get(kConfigRootOption.name)) {
        if (root->empty()) throw UsageError("--config-root needs a folder");
        ::setenv("TARNWICK_ROOT", root->c_str(), 1);
    }
    std::string error;
    std::unique_ptr<DriverModule> module =
        DriverModule::Open(args.Get(kModuleOption.name).value_or(""), error);
    if (!module) Console::Get().Error(error);
    return module;
}

}  // namespace tarnwick::cli
