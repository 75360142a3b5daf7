// Helpers of the hardening tests: private named mutexes and configuration roots, the streams of
// good jobs to compare with, and counts of what a process holds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_box.h"
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
    PrivateLocks();

  private:
    test::TempDir m_dir;
    fuzz::ScopedEnv m_env;
};

// A configuration root of the test's own, current while the object lives.
class PrivateConfigRoot {
  public:
    PrivateConfigRoot();
    // Writes `text` to `relative` below OutputDrivers, enciphered when asked.
    void Write(const std::string& relative, const std::string& text, bool enciphered = false) const;

  private:
    test::TempDir m_dir;
    fuzz::ScopedEnv m_env;
};

bool StartsWith(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& prefix);
bool EndsWith(const std::vector<uint8_t>& bytes, const std::string& suffix);

// A job of `pages` CMYK pages (16 x rows) for a named model, without the colour bar.
std::unique_ptr<HostJobRecord> SmallNamedJob(const test::TempDir& dir, int pages, int rows = 3);

// The whole stream of a job that nothing disturbs, and how many channel writes it takes.
struct GoodRun {
    std::vector<uint8_t> bytes;
    int writes = 0;
};
GoodRun PrintUndisturbed(HostJobRecord& job);

int OpenDescriptors();  // entries of /proc/self/fd
std::vector<std::string> LogTexts(const std::vector<LogEntry>& entries);

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
