#include "host/c_locale.h"

#include <locale.h>
#include <stdlib.h>

#include <climits>
#include <cstdio>

namespace tarnwick {

namespace {

// One "C" locale object for the whole process; it is never freed, so it stays valid for
// readers running during static destruction.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Makes the calling thread use the C locale until the scope ends.
class CLocaleScope {
  public:
    CLocaleScope() : m_previous(CLocale() ? uselocale(CLocale()) : static_cast<locale_t>(0)) {}
    ~CLocaleScope() {
        if (m_previous) uselocale(m_previous);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

  private:
    locale_t m_previous;
};

}  // namespace

double ParseDoubleC(const char* text, bool* ok) {
    if (ok) *ok = false;
    if (!text || !CLocale()) return 0.0;
    char* end = nullptr;
    const double value = strtod_l(text, &end, CLocale());
    if (end == text) return 0.0;
    if (ok) *ok = true;
    return value;
}

bool ScanFloatC(const char* text, float* out) {
    if (!text || !out || !CLocale()) return false;
    char* end = nullptr;
    const float value = strtof_l(text, &end, CLocale());
    if (end == text) return false;
    *out = value;
    return true;
}

bool ScanIntC(const char* text, int* out) {
    if (!text || !out) return false;
    const char* p = text;
    while (IsCSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    if (*p < '0' || *p > '9') return false;
    // Accumulate as a negative number so INT_MIN fits; saturate instead of overflowing.
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value > -(static_cast<long long>(INT_MAX) + 2)) value = value * 10 - (*p - '0');
    }
    if (!negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    *out = static_cast<int>(value);
    return true;
}

std::string VFormatC(const char* fmt, va_list args) {
    if (!fmt) return std::string();
    CLocaleScope scope;
    va_list again;
    va_copy(again, args);
    std::string result;
    const int needed = std::vsnprintf(nullptr, 0, fmt, args);
    if (needed > 0) {
        result.resize(static_cast<size_t>(needed));
        std::vsnprintf(result.data(), result.size() + 1, fmt, again);
    }
    va_end(again);
    return result;
}

std::string FormatC(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string result = VFormatC(fmt, args);
    va_end(args);
    return result;
}

}  // namespace tarnwick
