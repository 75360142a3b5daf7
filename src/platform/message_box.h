// ShowMessage: the driver's message box. There is no window system here, so a request goes to a
// replaceable handler. The default handler writes "tarnwick: <text>" to stderr and answers
// without waiting: IDYES for a Yes/No box, IDOK otherwise; when the environment variable
// TARNWICK_MESSAGE_ANSWER is "no", Yes/No boxes are answered IDNO instead. When it is "ask" and
// standard input is a terminal, a Yes/No box is asked on the controlling terminal and waits for
// y or n (end of input is a No). A No is followed by the line kAnsweredNoLine on stderr, so that a
// host reading the log can tell the person's choice from a failure.
#pragma once

#include <functional>
#include <string>

namespace tarnwick {

inline constexpr const char* kAnsweredNoLine = "tarnwick: answered No";

inline constexpr unsigned MB_OK = 0;
inline constexpr unsigned MB_YESNO = 4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_SETFOREGROUND = 0x10000;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageRequest {
    std::string text;
    unsigned flags = 0;
    std::string caption;
};

using MessageHandler = std::function<int(const MessageRequest&)>;

// Adds MB_SETFOREGROUND to flags and returns the handler's answer. owner is ignored.
int ShowMessage(const char* text, unsigned flags, void* owner = nullptr,
                const char* caption = nullptr);

// Installs handler and returns the previous one; an empty handler stands for the default.
MessageHandler SetMessageHandler(MessageHandler handler);

}  // namespace tarnwick
