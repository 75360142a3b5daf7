#include "module_log_capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

#include "platform/message_box.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kMaxLine = 4096;

}  // namespace

std::string TranslateModuleLine(std::string_view line) {
    // "<level> <source>:<line>: <text>"
    if (line.size() < 3 || line[1] != ' ' || !std::isupper(static_cast<unsigned char>(line[0]))) {
        return std::string(line);
    }
    const std::size_t sep = line.find(": ", 2);
    if (sep == std::string_view::npos) return std::string(line);
    const std::string_view site = line.substr(2, sep - 2);
    const std::size_t colon = site.rfind(':');
    if (colon == std::string_view::npos || colon + 1 == site.size()) return std::string(line);
    for (const char c : site.substr(colon + 1)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::string(line);
    }
    const std::string_view text = line.substr(sep + 2);
    switch (line[0]) {
        case 'E':
            return "ERROR: " + std::string(text);
        case 'W':
            return "WARNING: " + std::string(text);
        default:
            return "INFO: " + std::string(text);
    }
}

bool IsModuleInternal(std::string_view text) {
    const std::size_t colon = text.find(": ");
    if (colon != std::string_view::npos && colon < 8) text.remove_prefix(colon + 2);  // level
    return text == "Exception" || text.find("::") != std::string_view::npos ||
           text.find(" Return FALSE") != std::string_view::npos ||
           text.find(" return FALSE") != std::string_view::npos || text.rfind("what=", 0) == 0 ||
           text.find(" m_") != std::string_view::npos || text.rfind("ResetPrinter", 0) == 0;
}

ModuleLogCapture::ModuleLogCapture(Console& console, bool verbose)
    : m_console(console), m_verbose(verbose) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;  // the module then writes to stderr directly
    std::fflush(stderr);
    m_savedStderr = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (m_savedStderr < 0 || ::dup2(fds[1], 2) < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        if (m_savedStderr >= 0) ::close(m_savedStderr);
        m_savedStderr = -1;
        return;
    }
    ::close(fds[1]);  // fd 2 is now the only writer, so restoring it ends the pipe
    m_readEnd = fds[0];
    m_reader = std::thread([this] { Read(m_readEnd); });
}

ModuleLogCapture::~ModuleLogCapture() {
    Stop();
}

void ModuleLogCapture::Stop() {
    if (m_savedStderr < 0) return;
    std::fflush(stderr);
    ::dup2(m_savedStderr, 2);
    ::close(m_savedStderr);
    m_savedStderr = -1;
    if (m_reader.joinable()) m_reader.join();
    ::close(m_readEnd);
}

void ModuleLogCapture::Read(int fd) {
    std::string pending;
    char buffer[4096];
    const auto emit = [&](std::string_view line) {
        if (line.empty()) return;
        if (line == kAnsweredNoLine) {  // the tool says what the No means
            m_answeredNo = true;
            return;
        }
        std::string text = TranslateModuleLine(line);
        // After a No the driver reports its step as failed; the tool says what happened.
        if (m_answeredNo && text == "ERROR: Exception") return;
        if (!m_verbose && IsModuleInternal(text)) return;
        if (text.rfind("ERROR: ", 0) == 0) ++m_errors;
        m_console.Line(text);
    };
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            emit(std::string_view(pending).substr(start, end - start));
        }
        pending.erase(0, start);
        if (pending.size() > kMaxLine) {  // a line without end is passed on in pieces
            emit(pending);
            pending.clear();
        }
    }
    emit(pending);
}

}  // namespace tarnwick::cli
