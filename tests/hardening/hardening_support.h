// Helpers of the hardening tests (the engine's tests use some too): private named mutexes, the
// stream of a job nothing disturbs, and counts of what a process holds.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
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

// Gives the test its own lock folder, so that tests never wait for each other's mutexes.
class PrivateLocks {
  public:
    PrivateLocks() : m_env("TARNWICK_LOCK_DIR", m_dir.file("locks")) {
        ::mkdir(m_dir.file("locks").c_str(), 0700);
    }

  private:
    test::TempDir m_dir;
    fuzz::ScopedEnv m_env;
};

// A CP52 ticket without colour bar.
inline JobTicket NamedTicket(int16_t dpi = 180) {
    JobTicket ticket = test::DefaultTicket("CP52", dpi, 0);
    ticket.settings[13] = 0;
    return ticket;
}

inline bool StartsWith(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

inline bool EndsWith(const std::vector<uint8_t>& bytes, const std::string& suffix) {
    return bytes.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), bytes.end() - suffix.size());
}

// The whole stream of a job that nothing disturbs, and how many channel writes it takes.
struct GoodRun {
    std::vector<uint8_t> bytes;
    int writes = 0;
};
inline GoodRun PrintUndisturbed(HostJobRecord& job) {
    test::MemoryChannel out;
    CDriver driver;
    EXPECT_GT(test::RunJob(driver, job, out), 0);
    job.m_nDone = 0;
    return {out.bytes, static_cast<int>(out.writeSizes.size())};
}

// Entries of /proc/self/fd.
inline int OpenDescriptors() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

inline std::vector<std::string> LogTexts(const std::vector<LogEntry>& entries) {
    std::vector<std::string> texts;
    for (const LogEntry& e : entries) texts.push_back(e.text);
    return texts;
}

// A job test's surroundings: time that only moves when told, private locks, scripted message
// boxes and a scratch folder.
class JobTest : public ::testing::Test {
  protected:
    FakeClock clock;
    ScopedClock useClock{&clock};
    PrivateLocks locks;
    ScopedMessageScript messages;
    test::TempDir dir;
};

}  // namespace tarnwick::hardening
