// Runs the real tarnwick executable for the tests: found through TARNWICK_TOOL (set by ctest),
// its stdout, stderr and exit code captured, optionally under resource limits, with a watchdog
// that kills a tool that stays silent too long, or on a terminal. Each test gets a folder of its
// own and the environment the tool runs in.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/job_fixture.h"

namespace tarnwick::test {

// Variables to set for the child; a value of nullopt removes the variable.
using ToolEnv = std::map<std::string, std::optional<std::string>>;

// Limits for the child; 0 leaves a limit as it is.
struct ToolLimits {
    uint64_t addressSpace = 0;  // RLIMIT_AS, bytes
    uint64_t fileSize = 0;      // RLIMIT_FSIZE, bytes; a write past it fails (SIGXFSZ ignored)
    int stallMillis = 60'000;   // the watchdog: longest wait for output before the kill
    std::string input = "/dev/null";  // the file standard input reads
};

struct ToolResult {
    int exitCode = -1;  // -1 when the tool died of a signal
    int signal = 0;     // SIGKILL also when the watchdog stopped a tool that hung
    bool hung = false;  // the watchdog stopped it
    std::string out;
    std::string err;
};

// A running tool whose stderr can be read line by line while it runs. On a terminal, the tool's
// standard input, output and error are a pseudo-terminal that is also its controlling terminal.
class RunningTool {
  public:
    RunningTool(const std::vector<std::string>& args, const ToolEnv& env,
                const ToolLimits& limits = {}, bool terminal = false);
    ~RunningTool();  // kills a tool that is still running
    RunningTool(const RunningTool&) = delete;
    RunningTool& operator=(const RunningTool&) = delete;

    bool started() const { return m_pid > 0; }
    // The next line of stderr (without its line feed); nothing once the tool has closed it.
    std::optional<std::string> ReadErrorLine();
    // Once the output shows `prompt`, types `reply`; false when it never showed.
    bool Answer(const std::string& prompt, const std::string& reply);
    void Signal(int signal);
    bool Exited();  // without waiting
    // Reads what is left of both outputs and waits for the tool to end.
    ToolResult Wait();

  private:
    bool Pump();  // moves available output into the buffers; false at the end or on a stall

    ToolLimits m_limits;
    pid_t m_pid = -1;
    int m_fds[2] = {-1, -1};  // stdout (or the terminal), stderr
    std::string m_text[2];
    std::size_t m_errRead = 0;  // stderr bytes handed out as lines
    bool m_reaped = false;
    int m_status = 0;
};

class ToolTest : public ::testing::Test {
  protected:
    // Skips the test when TARNWICK_TOOL is not set.
    void SetUp() override;

    // The tool reads the sample configuration tree and keeps its named mutexes in a folder of
    // this test, so parallel tests never share a lock.
    ToolEnv Env() const;
    ToolResult Run(const std::vector<std::string>& args) const {
        return RunningTool(args, Env()).Wait();
    }
    std::string File(const std::string& name) const { return m_dir.file(name); }
    // Files a replacement left behind: every name in the test's folder that starts with ".".
    std::vector<std::string> Leftovers() const;
    const std::string& lockDir() const { return m_lockDir; }

  private:
    TempDir m_dir;
    std::string m_lockDir;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

// A binary Netpbm file: a PPM of 0xRRGGBB pixels, or a PBM with a dot where the pixel is not 0.
void WritePnm(const std::string& path, int width, int height, bool rgb,
              const std::function<uint32_t(int x, int y)>& pixel);

// The stderr lines that start with prefix.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix);

}  // namespace tarnwick::test
