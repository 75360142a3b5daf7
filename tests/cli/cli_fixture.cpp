#include "cli/cli_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace tarnwick::test {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

RunningTool::RunningTool(const std::vector<std::string>& args, const ToolEnv& env,
                         const ToolLimits& limits, bool terminal)
    : m_limits(limits) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (!terminal && (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)) return;
    const char* tool = std::getenv("TARNWICK_TOOL");
    std::vector<std::string> argv = {tool != nullptr ? tool : ""};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp;
    for (char** p = environ; *p != nullptr; ++p) {
        if (env.count(std::string(*p).substr(0, std::string(*p).find('='))) == 0)
            envp.push_back(*p);
    }
    for (const auto& [name, value] : env) {
        if (value) envp.push_back(name + "=" + *value);
    }
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(envp);
    // Only async-signal-safe calls between fork and exec.
    const pid_t pid = terminal ? ::forkpty(&m_fds[0], nullptr, nullptr, nullptr) : ::fork();
    if (pid == 0) {
        if (!terminal) {
            const int in = ::open(limits.input.c_str(), O_RDONLY | O_CLOEXEC);
            if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0) {
                ::_exit(127);
            }
        }
        for (const auto& [resource, bytes] : {std::pair{RLIMIT_AS, limits.addressSpace},
                                              std::pair{RLIMIT_FSIZE, limits.fileSize}}) {
            const rlimit value{bytes, bytes};
            if (bytes != 0 && ::setrlimit(resource, &value) != 0) ::_exit(127);
        }
        if (limits.fileSize != 0) ::signal(SIGXFSZ, SIG_IGN);
        ::execve(argv[0].c_str(), argvPointers.data(), envPointers.data());
        ::_exit(127);
    }
    m_pid = pid;
    if (terminal) return;
    ::close(out[1]);
    ::close(err[1]);
    m_fds[0] = out[0];
    m_fds[1] = err[0];
}

RunningTool::~RunningTool() {
    if (m_pid > 0 && !m_reaped) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &m_status, 0);
    }
    for (const int fd : m_fds) {
        if (fd >= 0) ::close(fd);
    }
}

bool RunningTool::Pump() {
    pollfd fds[2];
    int count = 0;
    for (const int fd : m_fds) {
        if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
    }
    const int ready =
        count == 0 ? 0 : ::poll(fds, static_cast<nfds_t>(count), m_limits.stallMillis);
    if (ready < 0 && errno == EINTR) return true;
    if (ready <= 0) return false;  // stalled, or poll failed
    for (int i = 0; i < count; ++i) {
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        const int which = fds[i].fd == m_fds[0] ? 0 : 1;
        char buffer[65536];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            m_text[which].append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(m_fds[which]);
            m_fds[which] = -1;
        }
    }
    return true;
}

std::optional<std::string> RunningTool::ReadErrorLine() {
    std::size_t end;
    while ((end = m_text[1].find('\n', m_errRead)) == std::string::npos) {
        if (m_fds[1] < 0 || !Pump()) return std::nullopt;
    }
    std::string line = m_text[1].substr(m_errRead, end - m_errRead);
    m_errRead = end + 1;
    return line;
}

bool RunningTool::Answer(const std::string& prompt, const std::string& reply) {
    while (m_text[0].find(prompt) == std::string::npos) {
        if (m_fds[0] < 0 || !Pump()) return false;
    }
    return ::write(m_fds[0], reply.data(), reply.size()) == static_cast<ssize_t>(reply.size());
}

void RunningTool::Signal(int signal) {
    if (m_pid > 0 && !m_reaped) ::kill(m_pid, signal);
}

bool RunningTool::Exited() {
    if (m_pid > 0 && !m_reaped) m_reaped = ::waitpid(m_pid, &m_status, WNOHANG) == m_pid;
    return m_pid <= 0 || m_reaped;
}

ToolResult RunningTool::Wait() {
    ToolResult result;
    while ((m_fds[0] >= 0 || m_fds[1] >= 0) && Pump()) {
    }
    if (m_pid > 0 && !m_reaped) {
        // Stalled: stop it.
        if (m_fds[0] >= 0 || m_fds[1] >= 0) result.hung = ::kill(m_pid, SIGKILL) == 0;
        ::waitpid(m_pid, &m_status, 0);
        m_reaped = true;
    }
    if (m_pid > 0 && WIFEXITED(m_status)) result.exitCode = WEXITSTATUS(m_status);
    if (m_pid > 0 && WIFSIGNALED(m_status)) result.signal = WTERMSIG(m_status);
    result.out = m_text[0];
    result.err = m_text[1];
    return result;
}

void ToolTest::SetUp() {
    if (const char* tool = std::getenv("TARNWICK_TOOL"); tool == nullptr || *tool == '\0') {
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

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(std::max<std::streamoff>(in.tellg(), 0));
    in.seekg(0).read(reinterpret_cast<char*>(bytes.data()), std::ssize(bytes));
    return bytes;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

void WritePnm(const std::string& path, int width, int height, bool rgb,
              const std::function<uint32_t(int x, int y)>& pixel) {
    std::string bytes = (rgb ? "P6\n" : "P4\n") + std::to_string(width) + " " +
                        std::to_string(height) + (rgb ? "\n255\n" : "\n");
    for (int y = 0; y < height; ++y) {
        std::string row(rgb ? 0 : static_cast<std::size_t>(width + 7) / 8, '\0');
        for (int x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y);
            if (rgb) row += std::string{char(c >> 16), char(c >> 8), char(c)};
            if (!rgb && c != 0) row[x / 8] = char(row[x / 8] | 0x80 >> x % 8);
        }
        bytes += row;
    }
    WriteText(path, bytes);
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
