// Prints one job through the driver the way a print host does: OpenJob, then PrintStep until
// the driver is done, with progress, the module's log passed on, and AbortJob when the tool is
// interrupted so that the printer still gets the abort form of the page end.
#pragma once

#include <cstdint>
#include <string>

#include "console.h"
#include "tarnwick/printer_driver.h"

namespace tarnwick::cli {

struct PrintRequest {
    std::string ticketPath;
    std::string outPath = "-";  // "-" is stdout
    int32_t printMode = 0;      // host record m_nPrintMode
    int32_t joinMode = 0;       // host record m_nJoinMode
    std::string jobOptionsXml;  // host record m_pszCustomColorXml; none when empty
    bool follow = false;        // wait for a data file that is still being written
    bool quiet = false;         // no progress lines
    bool verbose = false;       // also the module's lines in its own terms
};

struct PrintOutcome {
    int exitCode = 0;  // kExitOk, kExitFailure or kExitAborted
    uint64_t bytes = 0;
    int pages = 0;  // pages whose end reached the output
};

PrintOutcome PrintJob(ABasePrinterDriver& driver, const PrintRequest& request, Console& console);

}  // namespace tarnwick::cli
