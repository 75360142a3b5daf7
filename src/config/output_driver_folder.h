// The folder that holds the printer configuration files: "OutputDrivers"
// under the configuration root (see host/afile_path.h for how the root is
// chosen).
#pragma once

#include "host/afile_path.h"

namespace tarnwick {

inline constexpr const char* kOutputDriverFolderName = "OutputDrivers";

// Built afresh on every call so a changed TARNWICK_ROOT takes effect at once.
AFilePath OutputDriverFolder();

}  // namespace tarnwick
