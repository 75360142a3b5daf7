#include "platform/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
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

int DefaultHandler(const MessageRequest& request) {
    std::fprintf(stderr, "tarnwick: %s\n", request.text.c_str());
    if ((request.flags & kButtonMask) == MB_YESNO) return AnswerNo() ? IDNO : IDYES;
    return IDOK;
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
