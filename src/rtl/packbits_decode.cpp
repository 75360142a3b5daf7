#include "rtl/packbits_decode.h"

#include <cstring>

namespace tarnwick {

const char* PackBitsErrorText(PackBitsError error) {
    switch (error) {
        case PackBitsError::kNone:
            return "";
        case PackBitsError::kLiteralOverrunsInput:
            return "literal packet overruns the input";
        case PackBitsError::kLiteralOverrunsOutput:
            return "literal packet overruns the output";
        case PackBitsError::kRepeatOverrunsInput:
            return "repeat packet overruns the input";
        case PackBitsError::kRepeatOverrunsOutput:
            return "repeat packet overruns the output";
    }
    return "";
}

PackBitsDecodeResult PackBitsDecode(std::span<const uint8_t> in, std::span<uint8_t> out) {
    std::size_t ip = 0;
    std::size_t op = 0;
    const auto fail = [&](PackBitsError why) { return PackBitsDecodeResult{ip, op, why}; };
    while (ip < in.size()) {
        const uint8_t header = in[ip];
        if (header < 0x80) {
            const std::size_t count = header + 1u;
            if (count > in.size() - ip - 1) return fail(PackBitsError::kLiteralOverrunsInput);
            if (count > out.size() - op) return fail(PackBitsError::kLiteralOverrunsOutput);
            std::memcpy(out.data() + op, in.data() + ip + 1, count);
            ip += 1 + count;
            op += count;
        } else if (header > 0x80) {
            const std::size_t count = 257u - header;
            if (in.size() - ip < 2) return fail(PackBitsError::kRepeatOverrunsInput);
            if (count > out.size() - op) return fail(PackBitsError::kRepeatOverrunsOutput);
            std::memset(out.data() + op, in[ip + 1], count);
            ip += 2;
            op += count;
        } else {
            ++ip;  // 0x80: no-op
        }
    }
    return {ip, op, PackBitsError::kNone};
}

}  // namespace tarnwick
