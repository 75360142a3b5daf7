// A whole bench run: every phase, the report on stdout, the exit status.
#pragma once

#include <string>

#include "options.h"

namespace tarnwick::bench {

// 0 when every check passed and every target was met.
int RunSuite(const Options& options, const std::string& self);

// The --print-job mode: prints one job to a file with the built module; 0 on success.
int PrintOnce(const Options& options);

}  // namespace tarnwick::bench
