#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwick {

// The most bytes PackBitsEncode can produce for n input bytes: n + ceil(n / 128).
// Literal packets add one header byte per 128 data bytes; a literal packet cut
// short by a run is paid back by that run, which turns at least three bytes
// into two. A row without two equal neighbours reaches the bound exactly.
constexpr std::size_t PackBitsWorstCase(std::size_t n) {
    return n + (n + 127) / 128;
}

// The longest row whose worst case fits in `size` bytes.
constexpr std::size_t PackBitsLongestFitting(std::size_t size) {
    std::size_t n = size * 128 / 129 + 1;
    while (n > 0 && PackBitsWorstCase(n) > size) --n;
    return n;
}
static_assert(PackBitsLongestFitting(20480) == 20321);
static_assert(PackBitsWorstCase(20322) > 20480);

// Compresses one plane row with TIFF PackBits (RTL compression method 2) and
// returns the number of bytes written to out. The packet choices are fixed
// because the printer's streams are compared byte for byte: two equal bytes
// start a repeat packet only when no literal bytes are pending, otherwise three
// are needed; the last two bytes of a row only join a repeat packet that began
// earlier; 0x80 is never produced.
//
// out must hold PackBitsWorstCase(length) bytes, and that count must fit in an
// int. Bytes of out past the returned count (but within the worst case) may be
// overwritten: short literal packets are copied as fixed-size blocks. Never
// reads past in[length - 1]. A length <= 0 produces nothing.
int PackBitsEncode(uint8_t* out, const uint8_t* in, int length);

// The same, for callers that size out from PackBitsWorstCase(in.size()).
// Throws std::length_error when out is smaller than that or when the worst
// case does not fit in an int.
std::size_t PackBitsEncode(std::span<uint8_t> out, std::span<const uint8_t> in);

}  // namespace tarnwick
