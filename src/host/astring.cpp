#include "host/astring.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string_view>
#include <utility>

namespace tarnwick {

namespace {

std::string_view View(const char* text) {
    return text ? std::string_view(text) : std::string_view();
}

}  // namespace

AString::AString(const char* text) : m_text(View(text)) {}

AString::AString(std::string text) : m_text(std::move(text)) {}

AString& AString::operator=(const char* text) {
    m_text.assign(View(text));
    return *this;
}

AString& AString::operator+=(const char* text) {
    m_text.append(View(text));
    return *this;
}

AString& AString::operator+=(const AString& other) {
    m_text.append(other.m_text);
    return *this;
}

void AString::Format(const char* fmt, ...) {
    if (!fmt) {
        m_text.clear();
        return;
    }
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    // Format into a separate buffer: the arguments may point into this string.
    std::string result;
    if (needed > 0) {
        result.resize(static_cast<size_t>(needed));
        std::vsnprintf(result.data(), result.size() + 1, fmt, again);
    }
    va_end(again);
    m_text = std::move(result);
}

int AString::Find(const char* text) const {
    if (!text) return -1;
    const size_t pos = m_text.find(text);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

AString AString::Mid(int start, int count) const {
    const long long length = static_cast<long long>(m_text.size());
    const long long first = start < 0 ? 0 : start;
    if (count <= 0 || first >= length) return AString();
    const long long last = std::min<long long>(length, first + count);
    return AString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(last - first)));
}

bool operator==(const AString& a, const AString& b) {
    return a.str() == b.str();
}

bool operator==(const AString& a, const char* b) {
    return a.str() == View(b);
}

bool operator<(const AString& a, const AString& b) {
    return a.str() < b.str();
}

bool operator<(const AString& a, const char* b) {
    return std::string_view(a.str()) < View(b);
}

bool operator<(const char* a, const AString& b) {
    return View(a) < std::string_view(b.str());
}

}  // namespace tarnwick
