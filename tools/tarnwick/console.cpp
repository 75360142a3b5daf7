#include "console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tarnwick::cli {

Console& Console::Get() {
    static Console console;
    return console;
}

Console::Console() {
    const int copy = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (copy >= 0) m_fd = copy;
    m_terminal = ::isatty(m_fd) == 1;
}

void Console::WriteAll(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(m_fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nowhere left to complain to
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

void Console::Line(std::string_view text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string line;
    if (m_statusShown) line = "\r\033[K";
    m_statusShown = false;
    line += text;
    line += '\n';
    WriteAll(line);
}

void Console::Status(std::string_view text) {
    if (!m_terminal) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    WriteAll("\r\033[K" + std::string(text));
    m_statusShown = true;
}

void Console::ClearStatus() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_statusShown) return;
    WriteAll("\r\033[K");
    m_statusShown = false;
}

}  // namespace tarnwick::cli
