// The job options XML (JobId, PauseBtwPages, CustomColorMode) of a small valid job: whatever it
// holds, the job prints to its end or stops cleanly, and the mutexes it named are free again.
#include <cstdlib>
#include <string>

#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace tarnwick::fuzz {
namespace {

constexpr int kMaxSteps = 24;

}  // namespace

int FuzzJobOptionsXml(const uint8_t* data, size_t size) {
    Invariants check("job_options_xml");
    // A pause between pages is answered Yes once, then No.
    FuzzRun run({IDYES, IDNO});
    std::string xml(reinterpret_cast<const char*>(data), size);
    // Only texts that start like an XML declaration are read as options; give every input that
    // start so that it reaches the parser.
    if (xml.compare(0, 4, "<?xm") != 0) xml.insert(0, "<?xml version=\"1.0\"?>");

    const std::string ticket = run.File("job.tkt");
    if (!WriteBytes(ticket, TicketBytes({"CP52", 180, 2, true})) ||
        !WriteSmallJobData(DataFileFor(ticket))) {
        check.Check(false, "the run's files can be written");
        return check.failures();
    }
    auto job = MakeRecord(ticket);
    job->m_pszCustomColorXml = xml.c_str();
    test::MemoryChannel out;
    CDriver driver;
    const JobOutcome outcome = PrintBounded(driver, *job, out, kMaxSteps);
    check.Check(outcome.opened == 1, "job options never keep a job from opening");
    if (outcome.stepFailed)
        check.Check(!run.Log().empty() || !run.Messages().empty(),
                    "a failed step says why or asked the user");
    if (outcome.finished) {
        check.Check(CountOf(out.bytes, "\x1b*rC") == 2, "a finished job ends both pages");
    }
    auto* engine = dynamic_cast<ARowBaseRTL*>(driver.Engine());
    check.Check(engine != nullptr, "the driver's engine is row based");
    if (engine != nullptr) {
        check.Check(!engine->HoldsStartLock() && !engine->HoldsLayoutLock(),
                    "the engine holds no mutex once the job is over");
        check.Check(JobLocksFree(std::atoi(engine->JobId().c_str())),
                    "the job's named mutexes are free once it is over");
    }
    return check.failures();
}

}  // namespace tarnwick::fuzz
