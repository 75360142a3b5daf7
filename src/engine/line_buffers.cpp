// Turns one image row into one line buffer per plane.
#include <cstring>

#include "engine/arow_base_rtl.h"
#include "host/job/colorant.h"
#include "host/job/image.h"

namespace tarnwick {

int ARowBaseRTL::MakeLineBufArray() {
    return MakeLineBufArrayAt(m_nRowLen.data(), m_ppPlaneBuf.data(), m_pCtx->m_nCurRow);
}

int ARowBaseRTL::MakeLineBufArrayAt(int32_t* rowLen, uint8_t* const* planeBuf, int row) {
    if (m_pCtx->m_nPlanes <= 0) return 0;
    for (int i = 0; i < m_pCtx->m_nPlanes; ++i) {
        if (!MakePlaneRow(&rowLen[i], planeBuf[i], i, row)) return 0;
    }
    return 1;
}

int ARowBaseRTL::MakePlaneRow(int32_t* rowLen, uint8_t* dst, int plane, int row) {
    const JobContext* ctx = m_pCtx;
    const int bits = ctx->m_nPlaneBits[plane];
    const int channel = m_nPlaneChannel[plane];
    if (channel == -1) {
        *rowLen =
            static_cast<int32_t>((int64_t{bits} * ctx->m_nScaleX * ctx->m_nImageWidth + 7) / 8);
        std::memset(dst, 0, static_cast<std::size_t>(*rowLen));
        return 1;
    }
    // A row the job file cannot deliver fails the row instead of printing
    // whatever the buffer held before.
    const AColorant* colorant = m_pChannel[channel].get();
    if (m_pImage == nullptr) return 0;
    // Without repetition and with the plane's own depth the row needs no
    // expansion: it goes straight into the line buffer.
    if (ctx->m_nScaleX == 1 && colorant->GetBitsPerPixel() == bits) {
        if (!m_pImage->ReadRows(colorant, row, 1, dst, 0)) return 0;
        *rowLen = static_cast<int32_t>((int64_t{ctx->m_nImageWidth} * bits + 7) / 8);
        return 1;
    }
    if (!m_pImage->ReadRows(colorant, row, 1, m_pRowBuf.get(), 0)) return 0;
    int32_t bitPos = 0;
    ExpandPixels(bits, ctx->m_nImageWidth * bits, m_pRowBuf.get(), ctx->m_nScaleX, &bitPos, dst);
    *rowLen = (bitPos + 7) / 8;
    return 1;
}

int ARowBaseRTL::GetGroupImageBuffers() {
    return 0;
}

int ARowBaseRTL::GetPlaneOrder(int16_t index) {
    return m_PlaneOrder[static_cast<std::size_t>(index)];
}

int ARowBaseRTL::SendBlankPlane(int16_t plane, int32_t length, int last) {
    return SendPlaneRow(plane, length, m_pScratchBuf.get(), last);
}

// Generic row layout: every plane in plane order; a three-plane mode is sent
// behind a blank plane 0.
int ARowBaseRTL::SendAllColorData(const int32_t* rowLen, uint8_t* const* planeBuf) {
    const int planes = m_pCtx->m_nPlanes;
    const int shift = planes == 3 ? 1 : 0;
    if (shift != 0 && !SendBlankPlane(0, rowLen[0], 0)) return 0;
    for (int k = 0; k < planes; ++k) {
        const int b = GetPlaneOrder(static_cast<int16_t>(k));
        if (!SendPlaneRow(static_cast<int16_t>(b + shift), rowLen[b], planeBuf[b],
                          k == planes - 1 ? 1 : 0)) {
            return 0;
        }
    }
    return 1;
}

}  // namespace tarnwick
