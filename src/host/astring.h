// AString: the host library's text type, kept as a thin layer over std::string so that code
// written against the host's interface compiles unchanged.
#pragma once

#include <string>

namespace tarnwick {

class AString {
  public:
    AString() = default;
    AString(const char* text);  // NOLINT(google-explicit-constructor): host code relies on it
    AString(std::string text);  // NOLINT(google-explicit-constructor)
    AString(const AString&) = default;
    AString(AString&&) noexcept = default;
    AString& operator=(const AString&) = default;
    AString& operator=(AString&&) noexcept = default;
    AString& operator=(const char* text);

    AString& operator+=(const char* text);
    AString& operator+=(const AString& other);

    // Replaces the content with the printf-formatted text (current thread locale).
    void Format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    // Index of the first occurrence of text, or -1 (also for a null text).
    int Find(const char* text) const;
    // Up to count characters from start; out-of-range arguments are clamped, never thrown on.
    AString Mid(int start, int count) const;

    const char* GetBuffer() const { return m_text.c_str(); }
    const char* c_str() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    const std::string& str() const { return m_text; }

  private:
    std::string m_text;
};

// Byte-wise comparisons (unsigned, as strcmp); a null text compares as empty.
bool operator==(const AString& a, const AString& b);
bool operator==(const AString& a, const char* b);
bool operator<(const AString& a, const AString& b);
bool operator<(const AString& a, const char* b);
bool operator<(const char* a, const AString& b);

}  // namespace tarnwick
