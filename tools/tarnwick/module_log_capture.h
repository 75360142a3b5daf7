// While a job prints, the driver module writes its log to stderr as
// "<level> <source>:<line>: <text>". This catches those lines as they come (fd 2 goes to a pipe
// that a thread reads) and passes each on to the console as one clear line:
// "ERROR: <text>" for level E, "WARNING: <text>" for W, "INFO: <text>" for anything else.
// Other lines (the module's message boxes, sanitizer reports) pass unchanged.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <thread>

#include "console.h"

namespace tarnwick::cli {

// The console form of one module line (without its line feed).
std::string TranslateModuleLine(std::string_view line);

// Whether a module text speaks in the module's own terms (its functions and members, e.g.
// "SendHeader Return FALSE", "Exception", "ABaseRTL::WriteNdata"): such lines are for the log,
// and the tool's own ERROR line says what failed.
bool IsModuleInternal(std::string_view text);

class ModuleLogCapture {
  public:
    // verbose: the module's internal lines are passed on too.
    ModuleLogCapture(Console& console, bool verbose);
    ~ModuleLogCapture();  // Stop()
    // Puts stderr back and hands out what is still in the pipe; the counts are final after it.
    void Stop();
    ModuleLogCapture(const ModuleLogCapture&) = delete;
    ModuleLogCapture& operator=(const ModuleLogCapture&) = delete;

    int errorLines() const { return m_errors.load(); }
    // A person answered No to one of the module's questions.
    bool answeredNo() const { return m_answeredNo.load(); }

  private:
    void Read(int fd);

    Console& m_console;
    bool m_verbose;
    int m_savedStderr = -1;
    int m_readEnd = -1;
    std::thread m_reader;
    std::atomic<int> m_errors{0};
    std::atomic<bool> m_answeredNo{false};
};

}  // namespace tarnwick::cli
