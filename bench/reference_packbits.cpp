#include "reference_packbits.h"

namespace tarnwick::bench {
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
    std::size_t i = 0;
    while (i < packed.size()) {
        const int header = static_cast<int8_t>(packed[i++]);
        if (header == -128) return false;
        if (header >= 0) {
            const std::size_t count = static_cast<std::size_t>(header) + 1;
            if (packed.size() - i < count) return false;
            out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(i),
                       packed.begin() + static_cast<std::ptrdiff_t>(i + count));
            i += count;
        } else {
            if (i >= packed.size()) return false;
            out.insert(out.end(), static_cast<std::size_t>(1 - header), packed[i++]);
        }
    }
    return true;
}

}  // namespace tarnwick::bench
