// Shared ground for the tests that run the tarnwick tool: a private folder per test, the
// environment the tool runs in, and writers for the image files it reads.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/tool_runner.h"
#include "support/job_fixture.h"

namespace tarnwick::test {

class ToolTest : public ::testing::Test {
  protected:
    // Skips the test when TARNWICK_TOOL is not set.
    void SetUp() override;

    // The tool reads the sample configuration tree and keeps its named mutexes in a folder of
    // this test, so parallel tests never share a lock.
    ToolEnv Env() const;
    ToolResult Run(const std::vector<std::string>& args, const ToolEnv& extra = {}) const;
    std::string File(const std::string& name) const { return m_dir.file(name); }
    // Files a replacement left behind: every name in the test's folder that starts with ".".
    std::vector<std::string> Leftovers() const;
    const std::string& lockDir() const { return m_lockDir; }

  private:
    TempDir m_dir;
    std::string m_lockDir;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);

// Binary Netpbm files.
void WritePbm(const std::string& path, int width, int height,
              const std::function<bool(int x, int y)>& dot);
void WritePpm(const std::string& path, int width, int height,
              const std::function<uint32_t(int x, int y)>& rgb);

// The stderr lines that start with prefix.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix);

bool EndsWith(const std::vector<uint8_t>& bytes, const std::string& tail);

}  // namespace tarnwick::test
