#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "support/fake_clock.h"
#include "support/scoped_env.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

enum class Where { Thread, Child };

// Works two CMutex objects of one name (null: private ones) in a thread of its own or in a forked
// child: 'a'/'b' Lock(0) through the first or second, 'A'/'B' Unlock through them. Do returns
// the call's result once it has run.
class Agent {
  public:
    Agent(Where where, const char* name) {
        if (::pipe(m_cmd) != 0 || ::pipe(m_reply) != 0) return;
        auto serve = [this, name, child = where == Where::Child] {
            CMutex a(false, name), b(false, name);
            for (char c; ::read(m_cmd[0], &c, 1) == 1 && c != 'x';) {
                CMutex& m = (c == 'a' || c == 'A') ? a : b;
                const char r = static_cast<char>('0' + (c >= 'a' ? m.Lock(0) : m.Unlock()));
                if (::write(m_reply[1], &r, 1) != 1) break;
            }
            if (child) ::_exit(0);
        };
        if (where == Where::Thread) {
            m_thread = std::thread(serve);
        } else if ((m_pid = ::fork()) == 0) {
            serve();
        } else {
            ::close(std::exchange(m_reply[1], -1));  // a dead child reads as end of file
        }
    }
    ~Agent() {
        Exit();
        for (int fd : {m_cmd[0], m_cmd[1], m_reply[0], m_reply[1]}) ::close(fd);
    }
    int Do(char c) {
        char r = 0;
        return ::write(m_cmd[1], &c, 1) == 1 && ::read(m_reply[0], &r, 1) == 1 ? r - '0' : -1;
    }
    void Exit() {  // a child ends without unlocking
        if (!m_thread.joinable() && m_pid <= 0) return;
        EXPECT_EQ(::write(m_cmd[1], "x", 1), 1);
        if (m_thread.joinable()) m_thread.join();
        if (m_pid > 0) ::waitpid(std::exchange(m_pid, -1), nullptr, 0);
    }

  private:
    std::thread m_thread;
    pid_t m_pid = -1;
    int m_cmd[2] = {-1, -1}, m_reply[2] = {-1, -1};
};

TEST(NamedMutex, OwnerNestsAcrossObjectsOthersWaitUntilTheLastLevel) {
    using enum Where;
    for (auto [holderAt, proberAt] :
         {std::pair{Thread, Thread}, {Thread, Child}, {Child, Thread}}) {
        SCOPED_TRACE(testing::Message() << int(holderAt) << " holds, " << int(proberAt) << " asks");
        Agent holder(holderAt, "QRM_PRINT_START7"), prober(proberAt, "QRM_PRINT_START7");
        ASSERT_EQ(holder.Do('a'), 1);
        ASSERT_EQ(holder.Do('b'), 1);  // same owner, second object: one more level
        EXPECT_EQ(Agent(proberAt, "QRM_PRINT_MAKELAYOUT7").Do('a'), 1);
        EXPECT_EQ(prober.Do('a'), 0);
        EXPECT_EQ(prober.Do('A'), 0);  // only the owner can give a level back
        EXPECT_EQ(holder.Do('A'), 1);
        EXPECT_EQ(prober.Do('a'), 0);
        if (holderAt == Child) {
            holder.Exit();  // dies holding it: the kernel lets go
        } else {
            EXPECT_EQ(holder.Do('B'), 1);
            EXPECT_EQ(holder.Do('B'), 0);
        }
        EXPECT_EQ(prober.Do('a'), 1);
    }
}

TEST(NamedMutex, NamesMapToDistinctFilesInTheLockFolder) {
    // what another thread's Lock(0) of the second name gives while the first is held
    const std::tuple<const char*, const char*, int> cases[] = {
        {"job/1", "job_1", 1}, {"job/1", "job/1", 0}, {"", "", 1}, {nullptr, nullptr, 1}};
    for (auto [held, probed, free] : cases) {
        SCOPED_TRACE(held ? held : "(null)");
        CMutex mutex(false, held);
        ASSERT_EQ(mutex.Lock(0), 1);
        EXPECT_EQ(Agent(Where::Thread, probed).Do('a'), free);
    }
    EXPECT_EQ(fs::path(CMutex(false, "../..").lockPath()).parent_path(), LockDirectory());
}

TEST(NamedMutex, SingleLockHoldsOneLevelAndInitialOwnershipNeverWaits) {
    CMutex mutex(false, "single");
    {
        CSingleLock lock(&mutex, true);
        EXPECT_EQ(lock.Lock(0), 1);
        EXPECT_EQ(Agent(Where::Thread, "single").Do('a'), 0);
    }
    EXPECT_FALSE(mutex.IsLocked());
    Agent other(Where::Thread, "single");
    ASSERT_EQ(other.Do('a'), 1);
    EXPECT_FALSE(CMutex(true, "single").IsLocked());
    CSingleLock blocked(&mutex);
    EXPECT_EQ(blocked.Lock(0), 0);
}

TEST(NamedMutex, FiniteTimeoutPollsThroughTheClock) {
    FakeClock clock;
    ScopedClock use(&clock);
    Agent holder(Where::Thread, "timeout");
    ASSERT_EQ(holder.Do('a'), 1);
    CMutex waiter(false, "timeout");
    EXPECT_EQ(waiter.Lock(45), 0);
    EXPECT_EQ(clock.sleeps(), (std::vector<uint32_t>{10, 10, 10, 10, 5}));
    clock.onSleep = [&](uint32_t) { EXPECT_EQ(holder.Do('A'), 1); };
    EXPECT_EQ(waiter.Lock(1000), 1);
    EXPECT_EQ(clock.sleeps().size(), 6u);  // one more sleep, then it was free
}

TEST(NamedMutex, SignalEndsAnInfiniteWait) {
    Agent holder(Where::Child, "signal");
    ASSERT_EQ(holder.Do('a'), 1);
    CMutex probe(false, "signal");  // shares the waiter's record
    struct sigaction action = {}, old = {};
    action.sa_handler = [](int) {};  // no SA_RESTART, as the command-line tool
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);
    std::atomic<bool> done{false};
    int result = -1;
    std::thread waiter([&] {
        result = CMutex(false, "signal").Lock();
        done = true;
    });
    // The signal may come before the waiter blocks, so it is sent until the waiter answers.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        ::pthread_kill(waiter.native_handle(), SIGUSR1);
        ::sched_yield();
    }
    if (!done) holder.Exit();  // lets a waiter that ignores signals finish
    waiter.join();
    ::sigaction(SIGUSR1, &old, nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(probe.Lock(0), 0);
    holder.Exit();
    EXPECT_EQ(probe.Lock(0), 1);  // the interrupted wait left nothing claimed
}

struct FolderCase {
    // Folders relative to root; refusal starts the list of refused folders.
    const char *name, *lockDir, *runtimeDir, *chosen, *refusal;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class LockFolder : public testing::TestWithParam<FolderCase> {
  protected:
    ~LockFolder() override { fs::remove_all(root); }
    std::string at(const char* p) const { return *p == '/' ? p : (root / p).string(); }
    fs::path root = fs::path(testing::TempDir()) / ("lock-folders-" + std::to_string(::getpid()));
};

TEST_P(LockFolder, FallsBackToTheNextSafeCandidate) {
    const FolderCase& c = GetParam();
    for (const char* dir : {"shared", "real", "theirs", "xdg"}) fs::create_directories(root / dir);
    fs::permissions(root / "shared", fs::perms::owner_all | fs::perms::group_all);
    fs::create_directory_symlink(root / "real", root / "link");
    if (std::string(c.name) == "OwnedByAnotherUser" &&
        ::chown(at("theirs").c_str(), 65534, 65534) != 0) {
        GTEST_SKIP() << "cannot give a folder to uid 65534 here";
    }
    ScopedEnv lockDir("TARNWICK_LOCK_DIR", c.lockDir ? at(c.lockDir).c_str() : nullptr);
    ScopedEnv runtimeDir("XDG_RUNTIME_DIR", c.runtimeDir ? at(c.runtimeDir).c_str() : nullptr);
    const std::string chosen =
        c.chosen ? at(c.chosen) : "/tmp/tarnwick-" + std::to_string(::geteuid());
    const std::string refusal = *c.refusal ? at(c.refusal) : "";
    std::string refused = "-";
    EXPECT_EQ(LockDirectory(&refused), chosen);
    EXPECT_TRUE(refused.starts_with(refusal) && refused.empty() == refusal.empty()) << refused;
    EXPECT_EQ(fs::symlink_status(chosen).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::path(CMutex(false, "x").lockPath()).parent_path(), chosen);
}

INSTANTIATE_TEST_SUITE_P(
    NamedMutex, LockFolder,
    testing::Values(FolderCase{"Unset", nullptr, nullptr, nullptr, ""},
                    FolderCase{"LockDirMadeAndUsed", "own", "xdg", "own", ""},
                    FolderCase{"MissingUnderReadOnlyParent", "/proc/tarnwick-locks", "xdg",
                               "xdg/tarnwick", "/proc/tarnwick-locks: cannot be created"},
                    FolderCase{"GroupWritable", "shared", "xdg", "xdg/tarnwick",
                               "shared: group- or world-writable"},
                    FolderCase{"Symlink", "link", "xdg", "xdg/tarnwick", "link: a symbolic link"},
                    FolderCase{"OwnedByAnotherUser", "theirs", "xdg", "xdg/tarnwick",
                               "theirs: owned by another user"},
                    FolderCase{"RuntimeDirNowhere", nullptr, "nowhere", nullptr,
                               "nowhere/tarnwick: cannot be created"}),
    [](const auto& info) { return std::string(info.param.name); });

// The last candidate is /tmp/tarnwick-<euid>, so the test runs as a uid whose folder there it
// can take with a symlink: root picks an unused uid, anyone else needs theirs to be absent.
TEST(NamedMutex, NoUsableFolderMakesAnInvalidMutex) {
    const uid_t me = ::geteuid(), uid = me == 0 ? 2000000000u + ::getpid() % 1000000 : me;
    const std::string fallback = "/tmp/tarnwick-" + std::to_string(uid);
    if (::symlink("/", fallback.c_str()) != 0) GTEST_SKIP() << fallback << " exists";
    ScopedEnv lockDir("TARNWICK_LOCK_DIR", "/proc/tarnwick-a"),
        runtimeDir("XDG_RUNTIME_DIR", "/proc/tarnwick-b");
    const bool switched = uid != me && ::seteuid(uid) == 0;
    CMutex mutex(false, "QRM_PRINT_START1");
    const int locked = mutex.Lock(0) + mutex.Lock();
    const bool back = !switched || ::seteuid(me) == 0;
    ::unlink(fallback.c_str());
    ASSERT_TRUE(back && switched == (uid != me));
    EXPECT_FALSE(mutex.IsValid());
    EXPECT_EQ(locked, 0);
    const std::string missing = ": cannot be created (No such file or directory); ";
    EXPECT_EQ(mutex.error(), "no usable lock folder: /proc/tarnwick-a" + missing +
                                 "/proc/tarnwick-b/tarnwick" + missing + fallback +
                                 ": a symbolic link, not a real directory");
}

}  // namespace
}  // namespace tarnwick
