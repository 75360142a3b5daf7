// The bench's command line.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::bench {

struct Options {
    int runs = 7;          // repetitions of every measurement; the report takes the median
    std::string workBase;  // where the scratch folder with the job files goes
    bool quick = false;    // short prints and fewer runs, to try the bench out
    // --print-job TICKET OUT: print one job and exit; the strace run uses it.
    std::string printTicket;
    std::string printOut;
};

// Null with error on an unknown or incomplete argument.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& error);

}  // namespace tarnwick::bench
