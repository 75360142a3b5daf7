#include "rtl/packbits_decode.h"

#include <cstring>

namespace tarnwick {

PackBitsDecodeResult PackBitsDecode(std::span<const uint8_t> in, std::span<uint8_t> out) {
    std::size_t ip = 0;
    std::size_t op = 0;
    const auto fail = [&](const char* why) { return PackBitsDecodeResult{ip, op, false, why}; };
    while (ip < in.size()) {
        const uint8_t header = in[ip];
        if (header < 0x80) {
            const std::size_t count = header + 1u;
            if (count > in.size() - ip - 1) return fail("literal packet overruns the input");
            if (count > out.size() - op) return fail("literal packet overruns the output");
            std::memcpy(out.data() + op, in.data() + ip + 1, count);
            ip += 1 + count;
            op += count;
        } else if (header > 0x80) {
            const std::size_t count = 257u - header;
            if (in.size() - ip < 2) return fail("repeat packet overruns the input");
            if (count > out.size() - op) return fail("repeat packet overruns the output");
            std::memset(out.data() + op, in[ip + 1], count);
            ip += 2;
            op += count;
        } else {
            ++ip;  // 0x80: no-op
        }
    }
    return {ip, op, true, nullptr};
}

}  // namespace tarnwick
