// What the fuzz entry points need around one input: a scratch folder, a fake clock so that nothing
// waits for real, quiet logs, scripted message boxes, private named mutexes, and a small job.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "driver/cdriver.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/message_script.h"
#include "support/scoped_env.h"

namespace tarnwick::fuzz {

// Counts broken invariants and names each one on stderr.
struct Invariants {
    const char* target;
    int failures = 0;
    void Check(bool holds, const char* what) {
        failures += holds ? 0 : 1;
        if (!holds) std::fprintf(stderr, "%s: invariant broken: %s\n", target, what);
    }
};

// The process's scratch folder (emptied again after each input) with a private lock folder and
// an empty configuration root, both made current for the run.
struct FuzzRun {
    explicit FuzzRun(std::vector<int> messageAnswers = {});
    ~FuzzRun();
    std::string File(const std::string& name) const { return folder + "/" + name; }
    std::string OutputDrivers() const { return File("root/OutputDrivers"); }
    std::string Ticket() const { return File("job.tkt"); }

    const std::string folder;
    const test::ScopedEnv lockDir{"TARNWICK_LOCK_DIR", File("locks")};
    const test::ScopedEnv root{"TARNWICK_ROOT", File("root")};
    FakeClock clock;
    const ScopedClock useClock{&clock};
    const ScopedLogCapture log;
    const ScopedMessageScript messages;
};

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes);
// The data file the driver looks for next to a ticket.
std::string DataFileFor(const std::string& ticketPath);

// Prints the ticket (as run.Ticket()) with the job options beside a small two-page job's data, or
// the caller's when smallJob is off, for at most maxSteps steps, aborting what is left; checks what
// every job must hold however it ended. Returns what OpenJob returned.
int PrintJob(Invariants& check, FuzzRun& run, std::span<const uint8_t> ticket, const char* options,
             int maxSteps, bool smallJob = true);

// Whether another thread could take the named mutex now.
bool FreeForOtherThreads(const std::string& name);
// True when both named mutexes of the job id can be taken at once.
bool JobLocksFree(int jobId);

}  // namespace tarnwick::fuzz
