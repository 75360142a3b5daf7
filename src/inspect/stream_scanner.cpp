#include "inspect/stream_scanner.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick::inspect {
namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr int kMaxValueChars = 32;
constexpr int64_t kValueLimit = 999'999'999'999;

bool IsParameterized(uint8_t c) {
    return c >= 0x21 && c <= 0x2F;
}
bool IsTwoCharacterFinal(uint8_t c) {
    return c >= 0x30 && c <= 0x7E;
}
bool IsGroup(uint8_t c) {
    return c >= 0x60 && c <= 0x7E;
}
bool IsFinal(uint8_t c) {
    return c >= 0x40 && c <= 0x5E;
}
bool IsContinuation(uint8_t c) {
    return c >= 0x60 && c <= 0x7E;
}

std::string ByteText(uint8_t c) {
    char text[8];
    if (c >= 0x20 && c < 0x7F) {
        std::snprintf(text, sizeof text, "'%c'", c);
    } else {
        std::snprintf(text, sizeof text, "0x%02X", c);
    }
    return text;
}

}  // namespace

std::string EscapeCommand::Text() const {
    std::string text = "ESC";
    if (parameterized != 0) text += parameterized;
    if (group != 0) text += group;
    if (hasValue) {
        text += std::to_string(value);
        if (fraction) text += ".x";
    }
    text += terminator;
    return text;
}

void StreamScanner::Feed(std::span<const uint8_t> bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (m_state == State::kData) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<uint64_t>(m_dataLeft, bytes.size() - i));
            m_handler.OnData(bytes.subspan(i, n));
            i += n;
            m_offset += n;
            m_dataLeft -= n;
            if (m_dataLeft == 0) {
                m_handler.OnDataEnd(m_dataAnnounced, m_dataAnnounced);
                if (m_combined) {
                    m_state = State::kValue;
                    StartValue();
                } else {
                    m_state = State::kText;
                }
            }
            continue;
        }
        Step(bytes[i]);
        ++i;
        ++m_offset;
    }
}

void StreamScanner::Finish() {
    switch (m_state) {
        case State::kText:
            FlushText(false);
            break;
        case State::kEscape:
        case State::kGroup:
        case State::kValue:
            m_handler.OnMalformed(m_command.offset,
                                  "escape sequence cut off by the end of the stream");
            break;
        case State::kData:
            m_handler.OnDataEnd(m_dataAnnounced, m_dataAnnounced - m_dataLeft);
            break;
    }
    m_state = State::kText;
}

void StreamScanner::FlushText(bool lineEnd) {
    if (m_text.empty()) return;
    m_handler.OnText(m_textOffset, m_text, lineEnd);
    m_text.clear();
}

void StreamScanner::StartValue() {
    m_command.hasValue = false;
    m_command.value = 0;
    m_command.fraction = false;
    m_command.terminator = 0;
    m_valueChars = 0;
    m_negative = false;
}

void StreamScanner::Step(uint8_t c) {
    switch (m_state) {
        case State::kText:
            if (c == kEsc) {
                FlushText(false);
                m_command = EscapeCommand{};
                m_command.offset = m_offset;
                m_state = State::kEscape;
                return;
            }
            if (m_text.empty()) m_textOffset = m_offset;
            m_text += static_cast<char>(c);
            if (c == '\n') {
                FlushText(true);
            } else if (m_text.size() >= kMaxTextRun) {
                FlushText(false);
            }
            return;

        case State::kEscape:
            if (IsParameterized(c)) {
                m_command.parameterized = static_cast<char>(c);
                m_state = State::kGroup;
            } else if (IsTwoCharacterFinal(c)) {
                m_command.terminator = static_cast<char>(c);
                m_state = State::kText;
                m_handler.OnCommand(m_command);
            } else {
                m_handler.OnMalformed(m_command.offset, "ESC followed by " + ByteText(c));
                m_state = State::kText;
                Step(c);  // an ESC starts a new sequence; anything else is text
            }
            return;

        case State::kGroup:
            m_state = State::kValue;
            StartValue();
            if (IsGroup(c)) {
                m_command.group = static_cast<char>(c);
                return;
            }
            ValueByte(c);
            return;

        case State::kValue:
            ValueByte(c);
            return;

        case State::kData:
            return;  // Feed hands payload bytes out in bulk
    }
}

void StreamScanner::ValueByte(uint8_t c) {
    if (IsFinal(c) || IsContinuation(c)) {
        EndCommand(c);
        return;
    }
    const bool sign = (c == '+' || c == '-') && m_valueChars == 0;
    const bool digit = c >= '0' && c <= '9';
    const bool point = c == '.' && !m_command.fraction;
    if ((!sign && !digit && !point) || m_valueChars >= kMaxValueChars) {
        m_handler.OnMalformed(m_command.offset, "escape sequence " + m_command.Text() +
                                                    " is not terminated (" + ByteText(c) + ")");
        m_state = State::kText;
        Step(c);
        return;
    }
    ++m_valueChars;
    if (sign) {
        m_negative = c == '-';
    } else if (point) {
        m_command.fraction = true;
    } else if (m_command.fraction) {
        m_command.hasValue = true;
    } else {
        m_command.hasValue = true;
        const int64_t magnitude = m_negative ? -m_command.value : m_command.value;
        const int64_t next = std::min(kValueLimit, magnitude * 10 + (c - '0'));
        m_command.value = m_negative ? -next : next;
    }
}

void StreamScanner::EndCommand(uint8_t terminator) {
    const bool combined = IsContinuation(terminator);
    m_command.terminator = static_cast<char>(combined ? terminator - 0x20 : terminator);
    const uint64_t payload = m_handler.OnCommand(m_command);
    if (payload > 0) {
        m_dataAnnounced = payload;
        m_dataLeft = payload;
        m_combined = combined;
        m_state = State::kData;
        return;
    }
    if (combined) {
        StartValue();
        return;
    }
    m_state = State::kText;
}

}  // namespace tarnwick::inspect
