// Packs one plane row, repeating every pixel horizontally as the page asks.
#include <cstring>

#include "engine/abase_rtl.h"

namespace tarnwick {

void ABaseRTL::ExpandPixels(int bits, int bitCount, const uint8_t* src, int repeat, int32_t* bitPos,
                            uint8_t* dst) {
    const int sourceBytes = (bitCount + 7) / 8;
    const int scaleX = m_pCtx != nullptr ? m_pCtx->m_nScaleX : 1;
    if (scaleX == 1 && *bitPos % 8 == 0) {
        if (sourceBytes > 0) std::memcpy(dst, src, static_cast<std::size_t>(sourceBytes));
        *bitPos += bitCount * repeat;
        return;
    }
    const unsigned mask = (1u << bits) - 1u;
    const int outBytes = (bitCount * repeat + 7) / 8;
    if (outBytes > 0) std::memset(dst, 0, static_cast<std::size_t>(outBytes));
    int32_t p = *bitPos;
    for (int i = 0; i < sourceBytes; ++i) {
        const unsigned byte = src[i];
        for (int shift = 0; shift < 8; shift += bits) {
            const unsigned pixel = (byte >> (8 - bits - shift)) & mask;
            for (int r = 0; r < repeat; ++r) {
                dst[p / 8] |= static_cast<uint8_t>(pixel << (8 - (p % 8) - bits));
                p += bits;
            }
        }
    }
    *bitPos += bitCount * repeat;
}

}  // namespace tarnwick
