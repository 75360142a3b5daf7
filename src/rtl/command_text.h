// Builds printer command text in a fixed buffer without ever writing past
// it: formatting that does not fit marks the text as overflowed instead.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tarnwick {

class CommandText {
  public:
    explicit CommandText(std::span<uint8_t> buffer) : m_buffer(buffer) {}

    // Both return false, and leave the text marked as overflowed, when the
    // addition does not fit.
    bool Append(std::string_view text);
    bool AppendF(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    bool Overflowed() const { return m_overflow; }
    const uint8_t* Data() const { return m_buffer.data(); }
    int32_t Size() const { return static_cast<int32_t>(m_length); }

  private:
    std::span<uint8_t> m_buffer;
    std::size_t m_length = 0;
    bool m_overflow = false;
};

}  // namespace tarnwick
