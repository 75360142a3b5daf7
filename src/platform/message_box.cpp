#include "platform/message_box.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace tarnwick {

namespace {

constexpr unsigned kButtonMask = 0x0F;

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageHandler& CurrentHandler() {
    static MessageHandler handler;
    return handler;
}

bool AnswerNo() {
    const char* value = std::getenv("TARNWICK_MESSAGE_ANSWER");
    if (!value) return false;
    const std::string answer(value);
    return answer == "no" || answer == "NO" || answer == "No";
}

// A person at the terminal answers a Yes/No box: the question goes to the controlling terminal
// and the answer is read from it. Only when the host asks for it (a library must not stop a
// process that merely has a terminal) and there is someone to ask.
std::optional<int> AskTerminal(const std::string& text) {
    const char* mode = std::getenv("TARNWICK_MESSAGE_ANSWER");
    if (mode == nullptr || std::string(mode) != "ask" || ::isatty(0) != 1) return std::nullopt;
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    const auto put = [fd](const std::string& out) {
        return ::write(fd, out.data(), out.size()) == static_cast<ssize_t>(out.size());
    };
    int answer = IDNO;  // a terminal that closes or fails is no Yes
    for (bool asked = put("tarnwick: " + text + " [y/n] "); asked;) {
        std::string line;
        char c = 0;
        ssize_t got = 0;
        while ((got = ::read(fd, &c, 1)) == 1 && c != '\n' && line.size() < 64) line += c;
        if (got < 0 && errno == EINTR) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "y" || line == "Y" || line == "yes" || line == "Yes" || line == "YES") {
            answer = IDYES;
            break;
        }
        if (got != 1 || line == "n" || line == "N" || line == "no" || line == "No" ||
            line == "NO") {
            break;
        }
        asked = put("Please answer y or n: ");
    }
    ::close(fd);
    return answer;
}

int DefaultHandler(const MessageRequest& request) {
    const bool yesNo = (request.flags & kButtonMask) == MB_YESNO;
    const std::optional<int> asked = yesNo ? AskTerminal(request.text) : std::nullopt;
    std::fprintf(stderr, "tarnwick: %s\n", request.text.c_str());
    if (!yesNo) return IDOK;
    const int answer = asked ? *asked : AnswerNo() ? IDNO : IDYES;
    // The host reads this line to tell a person's No from a failure.
    if (answer == IDNO) std::fprintf(stderr, "%s\n", kAnsweredNoLine);
    return answer;
}

}  // namespace

int ShowMessage(const char* text, unsigned flags, void* /*owner*/, const char* caption) {
    const MessageRequest request{text ? text : "", flags | MB_SETFOREGROUND,
                                 caption ? caption : ""};
    MessageHandler handler;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        handler = CurrentHandler();
    }
    // Called without the lock: a real handler may wait for a person, or show another message.
    return handler ? handler(request) : DefaultHandler(request);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    return std::exchange(CurrentHandler(), std::move(handler));
}

}  // namespace tarnwick
