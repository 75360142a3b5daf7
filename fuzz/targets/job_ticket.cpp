// The job ticket header: whatever the host left in the ticket file, the small job opens or fails
// cleanly, prints in bounded steps and gives its mutexes back.
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace tarnwick::fuzz {

int FuzzJobTicket(const uint8_t* data, size_t size) {
    Invariants check("job_ticket");
    FuzzRun run;
    // Enough steps for both pages (start, rows, end each) and some slack.
    if (PrintJob(check, run, {data, size}, nullptr, 16).opened != 0) {
        check.Check(size >= kJobHeaderSize, "a ticket shorter than its header is refused");
    }
    return check.failures();
}

}  // namespace tarnwick::fuzz
