// The platform layer: files, the message box a host without its own handler shows, and named
// mutexes across threads and processes. Tables: afm_file.txt, lock_folders.txt, mutex_agents.txt.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/afm_file.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"
#include "rtl/text_table.h"
#include "support/fake_clock.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

// Lets a test give an open file any kept path, to check the path operations on exact texts.
class PathProbe : public AFM_File {
  public:
    void SetKeptPath(const char* path) { std::strcpy(m_szPath, path); }
    const char* KeptPath() const { return m_szPath; }
};

TEST(AFMFile, CaseTable) {
    test::TempDir dir;
    PathProbe file;
    std::string path;
    char out[512];
    for (const test::TableRow& r : test::ReadTable(__FILE__, "afm_file.txt")) {
        SCOPED_TRACE(r.where);
        const auto number = [&r](size_t i) { return std::stoll(r[i]); };
        if (r[0] == "open") {
            path = dir.file(r[1]);
            EXPECT_EQ(file.Open(path.c_str(), r.Int(2)), r.Int(3));
        } else if (r[0] == "size") {
            EXPECT_EQ(fs::file_size(path), uintmax_t(number(1)));
        } else if (r[0] == "write") {
            EXPECT_EQ(file.Write(r[1].data(), uint32_t(r[1].size()), number(2), r.Int(3)),
                      uint32_t(r.Int(4)));
        } else if (r[0] == "read") {
            std::string got(size_t(r.Int(1)), '\0');
            got.resize(file.Read(got.data(), uint32_t(r.Int(1)), number(2), r.Int(3)));
            EXPECT_EQ(got, r[4]);
        } else if (r[0] == "seek") {
            EXPECT_EQ(file.Seek(number(1), r.Int(2)), r.Int(3));
        } else if (r[0] == "tell") {
            EXPECT_EQ(file.Tell(), number(1));
        } else if (r[0] == "truncate") {
            EXPECT_EQ(file.Truncate(), r.Int(1));
        } else {
            ASSERT_EQ(r[0], "parts");
            file.SetKeptPath(r[1].c_str());
            ASSERT_EQ(file.GetDirectory(out), 1);
            EXPECT_EQ(out, r[2]);
            ASSERT_EQ(file.GetFileName(out), 1);
            EXPECT_EQ(out, r[3]);
            ASSERT_EQ(file.GetPath(out), 1);
            EXPECT_EQ(out, r[1]);
        }
    }
    file.SetKeptPath(("/d/" + std::string(300, 'n')).c_str());
    ASSERT_EQ(file.GetFileName(out), 1);
    EXPECT_EQ(std::strlen(out), 255u);

    // A failed open keeps the (cut) path but stays closed.
    PathProbe failed;
    const std::string tooLong = dir.file("missing-dir/") + std::string(600, 'p');
    EXPECT_EQ(failed.Open(tooLong.c_str(), 0), 0);
    EXPECT_EQ(std::string(failed.KeptPath()), tooLong.substr(0, 511));
    EXPECT_EQ(failed.GetPath(out), 0);
}

TEST(Seams, DefaultMessageHandlerPrintsAndAnswersFromEnvironment) {
    MessageHandler previous = SetMessageHandler(nullptr);
    ScopedEnv answer("TARNWICK_MESSAGE_ANSWER", nullptr);
    ::testing::internal::CaptureStderr();
    const int yes = ShowMessage("Continue?", MB_YESNO);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    ::setenv("TARNWICK_MESSAGE_ANSWER", "no", 1);  // unset again when `answer` ends
    ::testing::internal::CaptureStderr();
    const int no = ShowMessage("Continue?", MB_YESNO | MB_ICONERROR),
              ok = ShowMessage("Note", MB_OK);
    ::testing::internal::GetCapturedStderr();
    SetMessageHandler(std::move(previous));
    EXPECT_EQ(std::tuple(printed, yes, no, ok),
              std::tuple("tarnwick: Continue?\n", IDYES, IDNO, IDOK));
}

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

TEST(NamedMutex, AgentsOfOneNameAcrossThreadsAndProcesses) {
    std::map<std::string, std::unique_ptr<Agent>> agents;
    for (const test::TableRow& r : test::ReadTable(__FILE__, "mutex_agents.txt")) {
        SCOPED_TRACE(r.where);
        if (r[0] == "agent") {
            agents[r[1]] = std::make_unique<Agent>(r[2] == "child" ? Where::Child : Where::Thread,
                                                   r[3] == "-" ? nullptr : r[3].c_str());
        } else if (r[0] == "do") {
            EXPECT_EQ(agents.at(r[1])->Do(r[2][0]), r.Int(3));
        } else if (r[0] == "exit") {
            agents.at(r[1])->Exit();
        } else {
            ASSERT_EQ(r[0], "clear");
            agents.clear();
        }
    }
}

TEST(NamedMutex, LockFilesStayInTheFolderAndSingleLocksHoldOneLevel) {
    EXPECT_EQ(fs::path(CMutex(false, "../..").lockPath()).parent_path(), LockDirectory());

    CMutex mutex(false, "single");
    {
        CSingleLock lock(&mutex, true);
        EXPECT_EQ(lock.Lock(0), 1);
        EXPECT_EQ(Agent(Where::Thread, "single").Do('a'), 0);
    }
    EXPECT_FALSE(mutex.IsLocked());
    Agent other(Where::Thread, "single");
    ASSERT_EQ(other.Do('a'), 1);
    EXPECT_FALSE(CMutex(true, "single").IsLocked());  // initial ownership never waits
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

TEST(NamedMutex, LockFolderFallsBackToTheNextSafeCandidate) {
    const fs::path root =
        fs::path(testing::TempDir()) / ("lock-folders-" + std::to_string(::getpid()));
    const auto at = [&](const std::string& p) { return p[0] == '/' ? p : (root / p).string(); };
    std::string skipped;
    for (const test::TableRow& r : test::ReadTable(__FILE__, "lock_folders.txt")) {
        SCOPED_TRACE(r.where);
        fs::remove_all(root);
        for (const char* dir : {"shared", "real", "theirs", "xdg"})
            fs::create_directories(root / dir);
        fs::permissions(root / "shared", fs::perms::owner_all | fs::perms::group_all);
        fs::create_directory_symlink(root / "real", root / "link");
        if (r[1] == "theirs" && ::chown(at("theirs").c_str(), 65534, 65534) != 0) {
            skipped += r.where + ": cannot give a folder to uid 65534 here. ";
            continue;
        }
        ScopedEnv lockDir("TARNWICK_LOCK_DIR", r[1] == "-" ? nullptr : at(r[1]).c_str());
        ScopedEnv runtimeDir("XDG_RUNTIME_DIR", r[2] == "-" ? nullptr : at(r[2]).c_str());
        const std::string chosen =
            r[3] == "-" ? "/tmp/tarnwick-" + std::to_string(::geteuid()) : at(r[3]);
        const std::string refusal = r.words.size() > 4 ? at(r[4]) : "";
        std::string refused = "-";
        EXPECT_EQ(LockDirectory(&refused), chosen);
        EXPECT_TRUE(refused.starts_with(refusal) && refused.empty() == refusal.empty()) << refused;
        EXPECT_EQ(fs::symlink_status(chosen).permissions(), fs::perms::owner_all);
        EXPECT_EQ(fs::path(CMutex(false, "x").lockPath()).parent_path(), chosen);
    }
    fs::remove_all(root);
    if (!skipped.empty()) GTEST_SKIP() << skipped;
}

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
