// Helpers of the hardening tests (the engine's tests use some too): private named mutexes and
// configuration roots, the stream of a job nothing disturbs, and counts of what a process holds.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/cdriver.h"
#include "host/kv_log.h"
#include "host/xml_cipher.h"
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

// A configuration root of the test's own, current while the object lives.
class PrivateConfigRoot {
  public:
    PrivateConfigRoot() : m_env("TARNWICK_ROOT", m_dir.path()) {}
    // Writes `text` to `relative` below OutputDrivers, enciphered when asked.
    void Write(const std::string& relative, const std::string& text, bool enciphered) const {
        const std::filesystem::path path = m_dir.file("OutputDrivers/" + relative);
        std::filesystem::create_directories(path.parent_path());
        const std::span<const uint8_t> plain = fuzz::AsBytes(text);
        ASSERT_TRUE(fuzz::WriteBytes(path.string(), enciphered ? EncipherXml(plain) : plain));
    }

  private:
    test::TempDir m_dir;
    fuzz::ScopedEnv m_env;
};

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
