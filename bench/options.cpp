#include "options.h"

#include <cstdlib>
#include <string_view>

namespace tarnwick::bench {

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
    Options options;
    const char* tmp = std::getenv("TMPDIR");
    options.workBase = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue) {
            options.runs = std::atoi(argv[++i]);
            if (options.runs < 1 || options.runs > 1000) {
                error = "--runs takes a count from 1 to 1000";
                return std::nullopt;
            }
        } else if (arg == "--work-dir" && hasValue) {
            options.workBase = argv[++i];
        } else if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--print-job" && i + 2 < argc) {
            options.printTicket = argv[++i];
            options.printOut = argv[++i];
        } else {
            error = "unknown or incomplete argument: " + std::string(arg) +
                    "\nusage: tarnwick_bench [--runs N] [--work-dir DIR] [--quick]";
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace tarnwick::bench
