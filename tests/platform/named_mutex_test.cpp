#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// Every test gets a lock folder of its own through TARNWICK_LOCK_DIR.
class NamedMutexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* old = std::getenv("TARNWICK_LOCK_DIR")) m_oldDir = old;
        m_dir = fs::path(::testing::TempDir()) /
                ("named_mutex_test-" + std::to_string(::getpid())) / "locks";
        fs::remove_all(m_dir.parent_path());
        fs::create_directories(m_dir.parent_path());
        ::setenv("TARNWICK_LOCK_DIR", m_dir.c_str(), 1);
    }
    void TearDown() override {
        if (m_oldDir) {
            ::setenv("TARNWICK_LOCK_DIR", m_oldDir->c_str(), 1);
        } else {
            ::unsetenv("TARNWICK_LOCK_DIR");
        }
        fs::remove_all(m_dir.parent_path());
    }

    fs::path m_dir;
    std::optional<std::string> m_oldDir;
};

// Runs holder() in a child that takes the mutex, reports through a pipe, then waits for a byte
// (or for its death) before exiting.
struct Child {
    pid_t pid = -1;
    int release = -1;  // write a byte here to let the child exit
};

Child StartHolder(const char* name) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        CMutex mutex(false, name);
        const char got = mutex.Lock() ? 'L' : 'F';
        if (::write(ready[1], &got, 1) != 1) ::_exit(2);
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(release[0], &byte, 1);
        ::_exit(0);  // no unlock: process exit must free the lock
    }
    ::close(ready[1]);
    ::close(release[0]);
    char got = 0;
    const bool locked = pid > 0 && ::read(ready[0], &got, 1) == 1 && got == 'L';
    ::close(ready[0]);
    if (!locked) {
        ::close(release[1]);
        return {};
    }
    return {pid, release[1]};
}

TEST_F(NamedMutexTest, TwoObjectsOfOneNameExcludeEachOther) {
    CMutex a(false, "QRM_PRINT_START7");
    CMutex b(false, "QRM_PRINT_START7");
    CMutex other(false, "QRM_PRINT_MAKELAYOUT7");
    ASSERT_TRUE(a.IsValid());
    ASSERT_EQ(a.Lock(0), 1);
    EXPECT_EQ(b.Lock(0), 0);
    EXPECT_EQ(other.Lock(0), 1);

    ASSERT_EQ(a.Lock(0), 1);  // nests
    ASSERT_EQ(a.Unlock(), 1);
    EXPECT_EQ(b.Lock(0), 0);  // still held once
    ASSERT_EQ(a.Unlock(), 1);
    EXPECT_EQ(a.Unlock(), 0);
    EXPECT_EQ(b.Lock(0), 1);

    struct stat st {};
    ASSERT_EQ(::stat(m_dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(NamedMutexTest, NamesThatLookAlikeStayApart) {
    CMutex slash(false, "job/1");
    CMutex underscore(false, "job_1");
    CMutex dots(false, "../../escape");
    ASSERT_EQ(slash.Lock(0), 1);
    EXPECT_EQ(underscore.Lock(0), 1);
    EXPECT_EQ(dots.Lock(0), 1);
    EXPECT_EQ(fs::path(dots.lockPath()).parent_path(), m_dir);

    CMutex privateA(false, nullptr);
    CMutex privateB(false, "");
    ASSERT_EQ(privateA.Lock(0), 1);
    EXPECT_EQ(privateB.Lock(0), 1);
}

TEST_F(NamedMutexTest, FiniteTimeoutPollsThroughTheClock) {
    FakeClock clock;
    ScopedClock use(&clock);
    CMutex holder(false, "timeout");
    CMutex waiter(false, "timeout");
    ASSERT_EQ(holder.Lock(), 1);
    EXPECT_EQ(waiter.Lock(45), 0);
    uint32_t total = 0;
    for (uint32_t ms : clock.sleeps()) {
        EXPECT_LE(ms, 10u);
        total += ms;
    }
    EXPECT_EQ(total, 45u);

    clock.onSleep = [&](uint32_t) { holder.Unlock(); };
    EXPECT_EQ(waiter.Lock(1000), 1);
    EXPECT_EQ(clock.sleeps().size(), 6u);  // one more sleep, then it was free
}

TEST_F(NamedMutexTest, SingleLockReleasesOnDestruction) {
    CMutex mutex(false, "single");
    CMutex probe(false, "single");
    {
        CSingleLock lock(&mutex, true);
        EXPECT_TRUE(lock.IsLocked());
        EXPECT_EQ(lock.Lock(0), 1);
        EXPECT_EQ(probe.Lock(0), 0);
    }
    EXPECT_EQ(probe.Lock(0), 1);
    CSingleLock blocked(&mutex);
    EXPECT_EQ(blocked.Lock(0), 0);
    EXPECT_FALSE(blocked.IsLocked());
    CSingleLock none(nullptr, true);
    EXPECT_FALSE(none.IsLocked());
}

TEST_F(NamedMutexTest, InitialOwnershipNeverWaits) {
    CMutex first(true, "initial");
    EXPECT_TRUE(first.IsLocked());
    CMutex second(true, "initial");
    EXPECT_FALSE(second.IsLocked());
}

TEST_F(NamedMutexTest, ChildProcessBlocksParentUntilItExits) {
    const Child child = StartHolder("shared");
    ASSERT_GT(child.pid, 0);
    CMutex mine(false, "shared");
    EXPECT_EQ(mine.Lock(0), 0);
    ASSERT_EQ(::write(child.release, "x", 1), 1);
    EXPECT_EQ(mine.Lock(kInfinite), 1);  // returns once the child has exited
    int status = 0;
    ASSERT_EQ(::waitpid(child.pid, &status, 0), child.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(child.release);
}

TEST_F(NamedMutexTest, KilledHolderReleasesTheMutex) {
    const Child child = StartHolder("killed");
    ASSERT_GT(child.pid, 0);
    CMutex mine(false, "killed");
    EXPECT_EQ(mine.Lock(0), 0);
    ASSERT_EQ(::kill(child.pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child.pid, &status, 0), child.pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(mine.Lock(0), 1);
    ::close(child.release);
}

}  // namespace
}  // namespace tarnwick
