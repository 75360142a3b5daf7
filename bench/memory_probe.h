// Peak memory of a whole print, measured in a child process so that nothing the bench itself
// holds is counted: the child loads the module, prints to /dev/null and reports its peak
// resident set through a pipe.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::bench {

struct PeakRss {
    bool ok = false;
    std::string error;
    int64_t startKiB = 0;  // resident before the module was loaded
    int64_t peakKiB = 0;   // getrusage ru_maxrss at the end of the print
};

// Fork before the bench allocates its pages: the child starts with the parent's resident set.
PeakRss MeasurePrintPeakRss(const std::string& modulePath, const std::string& ticketPath);

}  // namespace tarnwick::bench
