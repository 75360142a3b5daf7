#include "host/job/bit_copy.h"

#include <cstring>

namespace tarnwick {

void CopyBitsAfterBlank(std::span<uint8_t> dest, std::span<const uint8_t> src, uint64_t blankBits,
                        uint64_t contentBits) {
    if (dest.empty()) return;
    const uint64_t blankBytes = blankBits / 8;
    const unsigned shift = static_cast<unsigned>(blankBits % 8);
    const uint64_t srcBytes = (contentBits + 7) / 8;
    const uint64_t endBit = blankBits + contentBits;
    const uint64_t usedBytes = (endBit + 7) / 8;

    std::memset(dest.data(), 0, blankBytes);
    uint64_t written = blankBytes;
    if (contentBits > 0) {
        uint8_t* out = dest.data() + blankBytes;
        if (shift == 0) {
            std::memcpy(out, src.data(), srcBytes);
        } else {
            // Each output byte takes the low bits of the previous source byte and the high bits
            // of the current one; the first one starts with the last blank bits.
            uint8_t carry = 0;
            for (uint64_t i = 0; i < srcBytes; ++i) {
                out[i] = static_cast<uint8_t>(carry | (src[i] >> shift));
                carry = static_cast<uint8_t>(src[i] << (8 - shift));
            }
            if (blankBytes + srcBytes < usedBytes) out[srcBytes] = carry;
        }
        written = usedBytes;
        const unsigned tailBits = static_cast<unsigned>(endBit % 8);
        if (tailBits != 0) dest[endBit / 8] &= static_cast<uint8_t>(0xFF << (8 - tailBits));
    }
    std::memset(dest.data() + written, 0, dest.size() - written);
}

}  // namespace tarnwick
