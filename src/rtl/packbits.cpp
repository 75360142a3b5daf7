#include "rtl/packbits.h"

#include <bit>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "rtl/packbits_scan.h"

namespace tarnwick {

namespace {

using packbits_scan::kBlock;

constexpr std::size_t kMaxPacket = 128;
constexpr std::size_t kShortCopy = 32;
constexpr uint64_t kAll = ~uint64_t{0};

// Ends of the caller's buffers, so that short literal packets may be copied as
// whole 32-byte blocks when both sides have room for them.
struct Bounds {
    const uint8_t* in_end;
    const uint8_t* out_end;

    // Compared as distances: a pointer past the end of a buffer may not be
    // formed. The output side follows from the input side as long as the
    // worst case holds; it is checked anyway so that no bug here can write
    // past what the caller was told to provide.
    bool Room(const uint8_t* op, const uint8_t* src) const {
        return static_cast<std::size_t>(in_end - src) >= kShortCopy &&
               static_cast<std::size_t>(out_end - op) >= kShortCopy;
    }
};

// Literal packets for count pending bytes: full 128-byte packets first, the
// rest last. Halftone rows have many short ones, where a variable-size memcpy
// would be the slow part, so those are copied as one fixed 32-byte block.
inline uint8_t* EmitLiterals(uint8_t* op, const uint8_t* src, std::size_t count, const Bounds& b) {
    if (count == 0) return op;
    for (; count > kMaxPacket; count -= kMaxPacket, src += kMaxPacket) {
        *op++ = 0x7F;
        std::memcpy(op, src, kMaxPacket);
        op += kMaxPacket;
    }
    *op++ = static_cast<uint8_t>(count - 1);
    if (count <= kShortCopy && b.Room(op, src)) {
        std::memcpy(op, src, kShortCopy);
    } else {
        std::memcpy(op, src, count);
    }
    return op + count;
}

// Repeat packets for a run of r bytes of c. Returns true when a single byte is
// left over: it opens the next literal packet instead of costing a two-byte
// repeat packet. Its two bytes are written anyway; that literal packet covers them.
inline bool EmitRun(uint8_t*& op, uint8_t c, std::size_t r) {
    if (r > kMaxPacket) {
        const std::size_t full = (r - (kMaxPacket + 1)) / kMaxPacket + 1;
        for (std::size_t k = 0; k < full; ++k, op += 2) {
            op[0] = 0x81;
            op[1] = c;
        }
        r -= full * kMaxPacket;
    }
    const bool lone = r == 1;
    op[0] = static_cast<uint8_t>(1 - static_cast<int>(r));
    op[1] = c;
    op += lone ? 0 : 2;
    return lone;
}

// Equal-neighbour bits for the block at base when the row ends inside it:
// worked on a padded copy, positions without a right neighbour read as "not
// equal". Once per row, so kept out of line.
[[gnu::noinline]] uint64_t EqualMaskTail(const uint8_t* in, std::size_t base, std::size_t n) {
    if (base + 1 >= n) return 0;
    uint8_t tail[kBlock + 1] = {};
    const std::size_t valid = n - base - 1;  // positions with a right neighbour, < 64
    std::memcpy(tail, in + base, valid + 1);
    return packbits_scan::EqualMask64(tail) & ((uint64_t{1} << valid) - 1);
}

inline uint64_t EqualMask(const uint8_t* in, std::size_t base, std::size_t n) {
    return base + kBlock < n ? packbits_scan::EqualMask64(in + base) : EqualMaskTail(in, base, n);
}

// The encoder decides everything on bit masks of equal neighbours: bit k of eq
// is in[base + k] == in[base + k + 1], next holds the same for the block after.
struct Blocks {
    const uint8_t* in;
    std::size_t n;
    std::size_t base = 0;
    uint64_t eq = EqualMask(in, 0, n);
    uint64_t next = EqualMask(in, kBlock, n);

    [[gnu::always_inline]] void Next() {
        base += kBlock;
        eq = next;
        next = EqualMask(in, base + kBlock, n);
    }

    // Makes pos fall into the current block.
    [[gnu::always_inline]] void MoveTo(std::size_t pos) {
        const std::size_t to = pos & ~(kBlock - 1);
        if (to == base) return;
        if (to == base + kBlock) return Next();
        base = to;
        eq = EqualMask(in, base, n);
        next = EqualMask(in, base + kBlock, n);
    }

    // Bit k: three equal bytes start at base + k.
    uint64_t Triples() const { return eq & ((eq >> 1) | (next << 63)); }
};

}  // namespace

int PackBitsEncode(uint8_t* out, const uint8_t* in, int length) {
    if (length <= 0) return 0;
    const std::size_t n = static_cast<std::size_t>(length);
    const Bounds bounds{in + n, out + PackBitsWorstCase(n)};
    uint8_t* op = out;
    std::size_t s = 0;  // first pending literal byte
    if (n > 2) {
        const std::size_t limit = n - 2;  // no run starts in the last two bytes
        Blocks b{in, n};
        std::size_t i = 0;  // no run starts before i
        while (i < limit) {
            if (s == i) {
                // Nothing pending, so two equal bytes start a run. Each set bit of
                // breaks ends a stretch of equal bytes; walking them keeps runs that
                // follow each other (halftone with much ink) to a few instructions.
                bool lone = false;
                uint64_t breaks = ~b.eq & (kAll << (i - b.base));
                while (i < limit) {
                    if (breaks == 0) {
                        // The stretch at i goes on into the next block.
                        b.Next();
                        breaks = ~b.eq;
                        if (breaks == 0) {
                            // ... and beyond it: a long run, maybe several packets.
                            const std::size_t end =
                                packbits_scan::RunEnd(in, b.base + kBlock, n, in[i]);
                            lone = EmitRun(op, in[i], end - i);
                            b.MoveTo(end);
                            i = end;
                            if (lone) break;
                            breaks = ~b.eq & (kAll << (i - b.base));
                            continue;
                        }
                    }
                    // The stretch at i ends at last; it spans at most two blocks,
                    // so a run fits one packet.
                    const std::size_t last = b.base + std::countr_zero(breaks);
                    if (last == i) {
                        // A single byte. Followed by three or more equal bytes it is
                        // a literal packet of its own (the usual case between two
                        // halftone runs); anything else is left to the literal search.
                        const uint64_t after = breaks & (breaks - 1);
                        if (after == 0 || std::countr_zero(after) + b.base - last < 3) break;
                        op[0] = 0;
                        op[1] = in[i];
                        op += 2;
                        ++i;
                        breaks = after;
                        continue;
                    }
                    op[0] = static_cast<uint8_t>(i - last);
                    op[1] = in[i];
                    op += 2;
                    i = last + 1;
                    breaks &= breaks - 1;
                }
                s = i - lone;
                if (i >= limit) break;
            }
            // Literal bytes are pending from s (or start at i): only three equal
            // bytes start a run, so a repeat packet never splits a literal one.
            uint64_t starts = b.Triples() & (kAll << (i - b.base));
            while (starts == 0 && b.base + kBlock < limit) {
                b.Next();
                starts = b.Triples();
            }
            if (starts == 0) break;
            // The run itself is left to the loop above, which now sees nothing pending.
            const std::size_t p = b.base + std::countr_zero(starts);
            op = EmitLiterals(op, in + s, p - s, bounds);
            s = i = p;
        }
    }
    op = EmitLiterals(op, in + s, n - s, bounds);
    return static_cast<int>(op - out);
}

std::size_t PackBitsEncode(std::span<uint8_t> out, std::span<const uint8_t> in) {
    if (PackBitsWorstCase(in.size()) > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("PackBitsEncode: input row too long to count in an int");
    }
    if (out.size() < PackBitsWorstCase(in.size())) {
        throw std::length_error("PackBitsEncode: output buffer smaller than the worst case");
    }
    return static_cast<std::size_t>(
        PackBitsEncode(out.data(), in.data(), static_cast<int>(in.size())));
}

}  // namespace tarnwick
