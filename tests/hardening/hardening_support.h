// Helpers of the hardening tests (the command-line tests use some too): the stream of a job
// nothing disturbs, and counts of what a process holds.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/cdriver.h"
#include "host/kv_log.h"
#include "platform/clock.h"
#include "support/fake_clock.h"
#include "support/job_fixture.h"
#include "support/message_script.h"
#include "targets/fuzz_support.h"

namespace tarnwick::hardening {

// The abort page end of a named model.
inline const std::string kNamedAbortEnd =
    "\x1b*rC\x1b%0B!PG;\x1b%-12345X@PJL\n@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\x1b"
    "E";

// A CP52 ticket without colour bar.
inline JobTicket NamedTicket(int16_t dpi = 180) {
    JobTicket ticket = test::DefaultTicket("CP52", dpi, 0);
    ticket.settings[13] = 0;
    return ticket;
}

// The whole stream of a job that nothing disturbs, and the channel writes it took.
inline test::MemoryChannel PrintUndisturbed(HostJobRecord& job) {
    test::MemoryChannel out;
    CDriver driver;
    EXPECT_GT(test::RunJob(driver, job, out), 0);
    job.m_nDone = 0;
    return out;
}

// Steps the open job until it ends or a step fails; the last step's result.
inline int StepToTheEnd(ABasePrinterDriver& driver, HostJobRecord& job) {
    int result = 1;
    for (int i = 0; i < 1000 && result == 1 && job.m_nDone != -1; ++i) {
        result = driver.PrintStep(nullptr, nullptr, nullptr);
    }
    return result;
}

// True once some process waits in flock (for the lock file, if one is named): the kernel lists a
// blocked request as "-> FLOCK" with the file's inode. Polls /proc/locks for at most ten seconds.
inline bool SomeoneWaitsFor(const std::string& lockFile = "") {
    struct stat st {};
    if (!lockFile.empty() && ::stat(lockFile.c_str(), &st) != 0) return false;
    const std::string inode = lockFile.empty() ? "" : ":" + std::to_string(st.st_ino) + " ";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (; std::chrono::steady_clock::now() < deadline; std::this_thread::yield()) {
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);) {
            if (line.find("-> FLOCK") != std::string::npos && line.find(inode) != std::string::npos)
                return true;
        }
    }
    return false;
}

// Entries of /proc/self/fd.
inline int OpenDescriptors() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

inline std::string Joined(const std::vector<LogEntry>& entries) {
    std::string text;
    for (const LogEntry& e : entries) text += (text.empty() ? "" : "\n") + e.text;
    return text;
}

// A job test's surroundings: time that only moves when told, scripted message boxes and a scratch
// folder (each test runs in a process of its own, with its own lock folder).
class JobTest : public ::testing::Test {
  protected:
    FakeClock clock;
    ScopedClock useClock{&clock};
    ScopedMessageScript messages;
    test::TempDir dir;
};

}  // namespace tarnwick::hardening
