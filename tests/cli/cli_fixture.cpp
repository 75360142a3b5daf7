#include "cli/cli_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace tarnwick::test {
namespace {

std::vector<std::string> ChildEnvironment(const ToolEnv& overrides) {
    std::vector<std::string> env;
    for (char** p = environ; *p != nullptr; ++p) {
        const std::string entry = *p;
        const std::string name = entry.substr(0, entry.find('='));
        if (overrides.count(name) == 0) env.push_back(entry);
    }
    for (const auto& [name, value] : overrides) {
        if (value) env.push_back(name + "=" + *value);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

std::string ToolPath() {
    const char* path = std::getenv("TARNWICK_TOOL");
    return path != nullptr ? path : "";
}

RunningTool::RunningTool(const std::vector<std::string>& args, const ToolEnv& env,
                         const ToolLimits& limits, bool terminal)
    : m_limits(limits) {
    int out[2];
    int err[2];
    if (!terminal && ::pipe2(out, O_CLOEXEC) != 0) return;
    if (!terminal && ::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    std::vector<std::string> argv = {ToolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = ChildEnvironment(env);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(envp);
    // Only async-signal-safe calls between fork and exec.
    const pid_t pid = terminal ? ::forkpty(&m_outFd, nullptr, nullptr, nullptr) : ::fork();
    if (pid == 0) {
        if (!terminal) {
            const int in = ::open(limits.input.c_str(), O_RDONLY | O_CLOEXEC);
            if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0) {
                ::_exit(127);
            }
        }
        const auto limit = [](int resource, uint64_t bytes) {
            const rlimit value{bytes, bytes};
            if (bytes != 0 && ::setrlimit(resource, &value) != 0) ::_exit(127);
        };
        limit(RLIMIT_AS, limits.addressSpace);
        limit(RLIMIT_FSIZE, limits.fileSize);
        if (limits.fileSize != 0) ::signal(SIGXFSZ, SIG_IGN);
        ::execve(argv[0].c_str(), argvPointers.data(), envPointers.data());
        ::_exit(127);
    }
    if (pid > 0) m_pid = pid;
    if (terminal) return;
    ::close(out[1]);
    ::close(err[1]);
    m_outFd = out[0];
    m_errFd = err[0];
}

RunningTool::~RunningTool() {
    if (m_pid > 0 && !m_reaped) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &m_status, 0);
    }
    if (m_outFd >= 0) ::close(m_outFd);
    if (m_errFd >= 0) ::close(m_errFd);
}

bool RunningTool::Pump(int timeoutMs) {
    pollfd fds[2];
    int count = 0;
    for (const int fd : {m_outFd, m_errFd}) {
        if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
    }
    if (count == 0) return false;
    const int ready = ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
    if (ready < 0 && errno == EINTR) return true;
    if (ready <= 0) return false;  // stalled, or poll failed
    for (int i = 0; i < count; ++i) {
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char buffer[65536];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        int& fd = fds[i].fd == m_outFd ? m_outFd : m_errFd;
        std::string& sink = fds[i].fd == m_outFd ? m_out : m_err;
        if (n > 0) {
            sink.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fd);
            fd = -1;
        }
    }
    return true;
}

std::optional<std::string> RunningTool::ReadErrorLine() {
    for (;;) {
        const std::size_t end = m_err.find('\n', m_errRead);
        if (end != std::string::npos) {
            std::string line = m_err.substr(m_errRead, end - m_errRead);
            m_errRead = end + 1;
            return line;
        }
        if (m_errFd < 0 || !Pump(m_limits.stallMillis)) return std::nullopt;
    }
}

bool RunningTool::Answer(const std::string& prompt, const std::string& reply) {
    while (m_out.find(prompt) == std::string::npos) {
        if (m_outFd < 0 || !Pump(m_limits.stallMillis)) return false;
    }
    return ::write(m_outFd, reply.data(), reply.size()) == static_cast<ssize_t>(reply.size());
}

void RunningTool::Signal(int signal) {
    if (m_pid > 0 && !m_reaped) ::kill(m_pid, signal);
}

bool RunningTool::Exited() {
    if (m_pid <= 0 || m_reaped) return true;
    if (::waitpid(m_pid, &m_status, WNOHANG) == m_pid) m_reaped = true;
    return m_reaped;
}

ToolResult RunningTool::Wait() {
    ToolResult result;
    while ((m_outFd >= 0 || m_errFd >= 0) && Pump(m_limits.stallMillis)) {
    }
    if (m_pid > 0 && !m_reaped) {
        // Stalled: stop it.
        if (m_outFd >= 0 || m_errFd >= 0) result.hung = ::kill(m_pid, SIGKILL) == 0;
        ::waitpid(m_pid, &m_status, 0);
        m_reaped = true;
    }
    if (m_pid > 0) {
        if (WIFEXITED(m_status)) result.exitCode = WEXITSTATUS(m_status);
        if (WIFSIGNALED(m_status)) result.signal = WTERMSIG(m_status);
    }
    result.out = m_out;
    result.err = m_err;
    return result;
}

ToolResult RunTool(const std::vector<std::string>& args, const ToolEnv& env,
                   const ToolLimits& limits) {
    RunningTool tool(args, env, limits);
    return tool.Wait();
}

void ToolTest::SetUp() {
    if (ToolPath().empty()) {
        GTEST_SKIP() << "TARNWICK_TOOL is not set (ctest sets it to the built tool)";
    }
    m_lockDir = m_dir.file("locks");
    ::mkdir(m_lockDir.c_str(), 0700);
}

ToolEnv ToolTest::Env() const {
    return {{"TARNWICK_ROOT", std::string(TARNWICK_SOURCE_DATADIR)},
            {"TARNWICK_LOCK_DIR", m_lockDir},
            {"TARNWICK_VIRTUAL_CLOCK", std::nullopt},
            {"TARNWICK_MESSAGE_ANSWER", std::nullopt}};
}

std::vector<std::string> ToolTest::Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.front() == '.') names.push_back(name);
    }
    return names;
}

ToolResult ToolTest::Run(const std::vector<std::string>& args, const ToolEnv& extra) const {
    ToolEnv env = Env();
    for (const auto& [name, value] : extra) env[name] = value;
    return RunTool(args, env);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void WritePnm(const std::string& path, int width, int height, bool rgb,
              const std::function<uint32_t(int x, int y)>& pixel) {
    const std::string header = (rgb ? "P6\n" : "P4\n") + std::to_string(width) + " " +
                               std::to_string(height) + (rgb ? "\n255\n" : "\n");
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (int y = 0; y < height; ++y) {
        std::vector<uint8_t> row(rgb ? 0 : static_cast<std::size_t>(width + 7) / 8, 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y);
            if (rgb) {
                row.insert(row.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                       static_cast<uint8_t>(c)});
            } else if (c != 0) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    WriteBytes(path, bytes);
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

}  // namespace tarnwick::test
