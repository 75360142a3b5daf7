// Where the tool talks to the person or program that runs it: one line per message on the
// standard error it was started with, plus a status line that is redrawn in place on a terminal.
// The driver module's own stderr output may be redirected meanwhile (see module_log_capture.h);
// the console keeps a descriptor of its own, so its lines always reach the real stderr.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace tarnwick::cli {

class Console {
  public:
    static Console& Get();

    bool IsTerminal() const { return m_terminal; }

    void Line(std::string_view text);  // ends with a line feed
    void Error(std::string_view text) { Line("ERROR: " + std::string(text)); }
    void Warning(std::string_view text) { Line("WARNING: " + std::string(text)); }
    void Info(std::string_view text) { Line("INFO: " + std::string(text)); }
    // A transient line, only on a terminal; the next Line or Status replaces it.
    void Status(std::string_view text);
    void ClearStatus();

  private:
    Console();
    void WriteAll(std::string_view text);

    std::mutex m_mutex;
    int m_fd = 2;
    bool m_terminal = false;
    bool m_statusShown = false;
};

}  // namespace tarnwick::cli
