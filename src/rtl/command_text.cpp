#include "rtl/command_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tarnwick {

bool CommandText::Append(std::string_view text) {
    if (m_overflow || text.size() > m_buffer.size() - m_length) {
        m_overflow = true;
        return false;
    }
    if (!text.empty()) std::memcpy(m_buffer.data() + m_length, text.data(), text.size());
    m_length += text.size();
    return true;
}

bool CommandText::AppendF(const char* fmt, ...) {
    if (m_overflow || m_length >= m_buffer.size()) {
        m_overflow = true;
        return false;
    }
    const std::size_t room = m_buffer.size() - m_length;
    va_list args;
    va_start(args, fmt);
    const int n =
        std::vsnprintf(reinterpret_cast<char*>(m_buffer.data() + m_length), room, fmt, args);
    va_end(args);
    // vsnprintf needs room for its terminating zero, so n == room did not fit.
    if (n < 0 || static_cast<std::size_t>(n) >= room) {
        m_overflow = true;
        return false;
    }
    m_length += static_cast<std::size_t>(n);
    return true;
}

}  // namespace tarnwick
