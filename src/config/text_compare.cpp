#include "config/text_compare.h"

namespace tarnwick {
namespace {

// Only ASCII letters fold: bytes above 127 belong to whatever code page the
// file uses, and the C locale must not decide how they compare.
int Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

}  // namespace

int AsciiCaseCompare(const char* a, const char* b) {
    if (a == nullptr) a = "";
    if (b == nullptr) b = "";
    for (;; ++a, ++b) {
        const int ca = Fold(static_cast<unsigned char>(*a));
        const int cb = Fold(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}

}  // namespace tarnwick
