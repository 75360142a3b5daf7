#include "support/reference_packbits.h"

#include <algorithm>

#include "rtl/packbits.h"

namespace tarnwick::test {
namespace {

constexpr std::size_t kMaxPacket = 128;

void EmitLiterals(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) {
    while (bytes.size() > kMaxPacket) {
        out.push_back(0x7F);
        out.insert(out.end(), bytes.begin(), bytes.begin() + kMaxPacket);
        bytes = bytes.subspan(kMaxPacket);
    }
    if (bytes.empty()) return;
    out.push_back(static_cast<uint8_t>(bytes.size() - 1));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

void ReferencePackBits(std::span<const uint8_t> row, std::vector<uint8_t>& out) {
    const std::size_t n = row.size();
    std::size_t i = 0;
    std::size_t s = 0;  // first pending literal byte
    while (i + 2 < n) {
        const uint8_t c = row[i];
        // Two equal bytes start a run when nothing is pending, otherwise three.
        const bool run = row[i + 1] == c && (s == i || row[i + 2] == c);
        if (!run) {
            ++i;
            continue;
        }
        EmitLiterals(row.subspan(s, i - s), out);
        std::size_t end = i + 2;
        while (end < n && row[end] == c) ++end;
        std::size_t r = end - i;
        while (r > kMaxPacket) {  // full packets first
            out.push_back(0x81);
            out.push_back(c);
            r -= kMaxPacket;
        }
        if (r > 1) {
            out.push_back(static_cast<uint8_t>(1 - static_cast<int>(r)));
            out.push_back(c);
            s = end;
        } else {
            s = end - 1;  // a lone byte left over opens the next literal packet
        }
        i = end;
    }
    EmitLiterals(row.subspan(s), out);
}

bool UnpackBits(std::span<const uint8_t> packed, std::vector<uint8_t>& out) {
    out.clear();
    for (std::size_t i = 0; i < packed.size();) {
        const int header = static_cast<int8_t>(packed[i++]);
        // A literal packet copies header + 1 bytes, a run repeats one byte 1 - header times.
        const std::size_t count = header >= 0 ? header + 1 : 1 - header,
                          used = header >= 0 ? count : 1;
        if (header == -128 || packed.size() - i < used) return false;
        const auto at = packed.begin() + static_cast<std::ptrdiff_t>(i);
        header >= 0 ? out.insert(out.end(), at, at + used) : out.insert(out.end(), count, *at);
        i += used;
    }
    return true;
}

std::string CheckPackBitsEncode(std::span<const uint8_t> row) {
    // An exact-size copy, so that the sanitizer sees any read past the row's end, and a guard
    // after the worst case, so that any write past it shows.
    constexpr std::size_t kGuard = 48;
    constexpr uint8_t kGuardByte = 0xA5;
    const std::vector<uint8_t> in(row.begin(), row.end());
    const std::size_t worst = PackBitsWorstCase(in.size());
    std::vector<uint8_t> got(worst + kGuard, kGuardByte);
    const int n = PackBitsEncode(got.data(), in.data(), static_cast<int>(in.size()));
    if (n < 0 || static_cast<std::size_t>(n) > worst) {
        return "produced " + std::to_string(n) + " bytes, worst case " + std::to_string(worst);
    }
    if (std::any_of(got.begin() + static_cast<std::ptrdiff_t>(worst), got.end(),
                    [](uint8_t b) { return b != kGuardByte; })) {
        return "wrote past the worst-case size " + std::to_string(worst);
    }
    got.resize(static_cast<std::size_t>(n));
    std::vector<uint8_t> want;
    ReferencePackBits(in, want);
    if (got != want) {
        const auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first;
        return "differs from the reference at byte " + std::to_string(at - got.begin()) + " of " +
               std::to_string(got.size()) + " (reference " + std::to_string(want.size()) + ")";
    }
    std::vector<uint8_t> back;
    if (!UnpackBits(got, back) || back != in) return "does not decode back to the row";
    return {};
}

}  // namespace tarnwick::test
