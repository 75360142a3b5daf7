#pragma once

// Primitives of the PackBits encoder: the bit mask of equal neighbours over 64
// positions, on which all packet decisions are taken, and the end of a long
// run. SSE2 on x86-64; 8-byte words elsewhere or when TARNWICK_PACKBITS_PORTABLE
// is defined. Nothing here reads past the bytes it is told about.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(TARNWICK_PACKBITS_PORTABLE)
#define TARNWICK_PACKBITS_SSE2 1
#include <emmintrin.h>
#endif

namespace tarnwick::packbits_scan {

constexpr std::size_t kBlock = 64;

// 8-byte words: the fallback for targets without SSE2, always compiled so
// that the tests can hold it against the vector version.
namespace portable {

inline uint64_t Load8(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;

// Bit k set when byte k of v is zero (exact for every byte, unlike the
// cheaper test that only finds the lowest one).
inline unsigned ZeroByteBits(uint64_t v) {
    const uint64_t high = ~(((v & kLows) + kLows) | v | kLows);
    return static_cast<unsigned>(((high >> 7) * 0x0102040810204080ull) >> 56);
}

// Bit k set when p[k] == p[k + 1], for k in 0..63; reads p[0 .. 64].
inline uint64_t EqualMask64(const uint8_t* p) {
    uint64_t mask = 0;
    for (std::size_t k = 0; k < kBlock; k += 8) {
        mask |= static_cast<uint64_t>(ZeroByteBits(Load8(p + k) ^ Load8(p + k + 1))) << k;
    }
    return mask;
}

// First j >= from with in[j] != c, or n when the run reaches the end.
inline std::size_t RunEnd(const uint8_t* in, std::size_t from, std::size_t n, uint8_t c) {
    std::size_t j = from;
    const uint64_t vc = kOnes * c;
    for (; j + 8 <= n; j += 8) {
        if (const uint64_t d = Load8(in + j) ^ vc) return j + std::countr_zero(d) / 8;
    }
    while (j < n && in[j] == c) ++j;
    return j;
}

}  // namespace portable

#if defined(TARNWICK_PACKBITS_SSE2)

// The same results as the portable versions, 16 bytes per compare.
namespace sse2 {

inline __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline uint64_t EqualMask16(const uint8_t* p) {
    return static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(p), Load16(p + 1))));
}

inline uint64_t EqualMask64(const uint8_t* p) {
    return EqualMask16(p) | EqualMask16(p + 16) << 16 | EqualMask16(p + 32) << 32 |
           EqualMask16(p + 48) << 48;
}

inline std::size_t RunEnd(const uint8_t* in, std::size_t from, std::size_t n, uint8_t c) {
    std::size_t j = from;
    if (n >= 16) {
        const __m128i vc = _mm_set1_epi8(static_cast<char>(c));
        const auto differ = [&](std::size_t at) {
            return ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(in + at), vc))) &
                   0xFFFFu;
        };
        const std::size_t last = n - 16;
        for (; j <= last; j += 16) {
            if (const unsigned m = differ(j)) return j + std::countr_zero(m);
        }
        // The final window overlaps bytes already checked; shift them out.
        if (j < n) {
            const unsigned m = differ(last) >> (j - last);
            return m ? j + std::countr_zero(m) : n;
        }
        return j;
    }
    while (j < n && in[j] == c) ++j;
    return j;
}

}  // namespace sse2

using sse2::EqualMask64;
using sse2::RunEnd;

#else

using portable::EqualMask64;
using portable::RunEnd;

#endif

}  // namespace tarnwick::packbits_scan
