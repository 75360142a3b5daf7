// The job options XML (JobId, PauseBtwPages, CustomColorMode) of the small job: whatever it holds,
// the job prints to its end or stops cleanly, and the mutexes it named are free again.
#include <string>

#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace tarnwick::fuzz {

int FuzzJobOptionsXml(const uint8_t* data, size_t size) {
    Invariants check("job_options_xml");
    FuzzRun run({IDYES, IDNO});  // a pause between pages is answered Yes once, then No
    std::string xml(reinterpret_cast<const char*>(data), size);
    // Only texts that start like an XML declaration are read as options; give every input that
    // start so that it reaches the parser.
    if (xml.compare(0, 4, "<?xm") != 0) xml.insert(0, "<?xml version=\"1.0\"?>");
    const Printed printed =
        PrintJob(check, run, TicketBytes("CP52", 180, 2, true), xml.c_str(), 24);
    check.Check(printed.opened == 1, "job options never keep a job from opening");
    return check.failures();
}

}  // namespace tarnwick::fuzz
