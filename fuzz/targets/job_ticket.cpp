// The job ticket header: whatever the host left in the ticket file, the job opens or fails
// cleanly, prints in bounded steps and gives its mutexes back.
#include "driver/cdriver.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace tarnwick::fuzz {
namespace {

// Enough steps for both pages of the small job (start, rows, end each) and some slack.
constexpr int kMaxSteps = 16;

}  // namespace

int FuzzJobTicket(const uint8_t* data, size_t size) {
    Invariants check("job_ticket");
    FuzzRun run;
    const std::string ticket = run.File("job.tkt");
    if (!WriteBytes(ticket, {data, size}) || !WriteSmallJobData(DataFileFor(ticket))) {
        check.Check(false, "the run's files can be written");
        return check.failures();
    }
    auto job = MakeRecord(ticket);
    test::MemoryChannel out;
    {
        CDriver driver;
        const JobOutcome outcome = PrintBounded(driver, *job, out, kMaxSteps);
        check.Check(outcome.opened == 1 || job->m_nDone == -1, "a job that fails to open is done");
        if (size < kJobHeaderSize) {
            check.Check(outcome.opened == 0, "a ticket shorter than its header is refused");
        }
        if (outcome.opened == 0) {
            check.Check(out.bytes.empty(), "a job that fails to open sends nothing");
            check.Check(!run.Log().empty(), "a job that fails to open says why");
        }
        if (outcome.stepFailed) check.Check(!run.Log().empty(), "a failed step says why");
        if (outcome.finished) {
            check.Check(CountOf(out.bytes, "\x1b*rC") == 2, "a finished job ends both pages");
        }
        check.Check(outcome.aborted != 0, "an abort succeeds while the channel works");
        check.Check(JobLocksFree(0), "the job's mutexes are free once it is over");
    }
    return check.failures();
}

}  // namespace tarnwick::fuzz
