// tarnwick_bench: how fast the driver turns plane rows into a printer stream, against the
// machine's memory limit and libtiff's PackBits, with the targets checked at the end.
#include <unistd.h>

#include <iostream>

#include "options.h"
#include "suite.h"

namespace {

std::string SelfPath(const char* argv0) {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string(argv0);
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = tarnwick::bench::ParseOptions(argc, argv, error);
    if (!options) {
        std::cerr << error << "\n";
        return 2;
    }
    if (!options->printTicket.empty()) return tarnwick::bench::PrintOnce(*options);
    return tarnwick::bench::RunSuite(*options, SelfPath(argv[0]));
}
