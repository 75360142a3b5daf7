// Raster rows: every plane of a row in the printer's order, PackBits
// compressed, with the optional colour-bar strip.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

#include "host/kv_log.h"
#include "rtl/color_bar.h"
#include "rtl/packbits.h"
#include "rtl/rtl.h"
#include "rtl/rtl_log.h"

namespace tarnwick {
namespace {

// A plane that comes from the scratch buffer carries nothing but its patch.
constexpr int16_t kScratch = -1;
// With the strip on, a four-plane row gets two patch-only planes.
constexpr int kFourPlanes = 4;

}  // namespace

struct RTL::RowPlan {
    struct PlaneSend {
        int16_t buffer;    // line buffer index, or kScratch
        int16_t position;  // sending position, which picks the patch
        int32_t length;
        bool last;
    };

    std::array<PlaneSend, kMaxPlanes> sends{};
    int count = 0;
    std::optional<ColorBarPatches> patches;

    void Add(int buffer, int position, int32_t length, bool last) {
        sends[static_cast<std::size_t>(count++)] = {static_cast<int16_t>(buffer),
                                                    static_cast<int16_t>(position), length, last};
    }
};

int RTL::SendPlaneRow(int16_t /*plane*/, int32_t length, const uint8_t* data, int last) {
    if (CmdBuffer().empty() || !Writer().PlaneRowFits(length)) return 0;
    if (length > 0 && data == nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("plane row without data");
        return 0;
    }
    return Writer().PlaneRow({data, static_cast<std::size_t>(length)}, last != 0) ? 1 : 0;
}

bool RTL::PlanRow(const int32_t* rowLen, uint8_t* const* planeBuf, RowPlan& plan) {
    const int planes = m_pCtx->m_nPlanes;
    const bool strip = m_pSettings->colorBar != kColorBarNone;
    if (planes < 1 || planes > kMaxPlanes || (strip && planes > kStripPlanes)) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("a row of %d planes cannot be sent", planes);
        return false;
    }

    if (planes == 1) {
        plan.Add(0, 0, strip ? m_nRowBytes : rowLen[0], !strip);
    } else {
        for (int k = 0; k < planes; ++k) {
            const int b = GetPlaneOrder(static_cast<int16_t>(k));
            if (b < 0 || b >= planes) {
                KVLogHelper(kRtlLogSource, __LINE__, 'E')
                    .Log("plane order names plane %d of %d", b, planes);
                return false;
            }
            if (strip) {
                plan.Add(b, k, m_nRowBytes, k == kStripPlanes - 1);
            } else {
                plan.Add(b, k, rowLen[b], k == planes - 1);
            }
        }
    }
    // The printer was told six planes; patch-only planes make up the rest.
    if (strip && (planes == 1 || planes == kFourPlanes)) {
        for (int k = planes; k < kStripPlanes; ++k) {
            plan.Add(kScratch, k, m_nRowBytes, k == kStripPlanes - 1);
        }
    }

    if (strip) {
        plan.patches =
            ColorBarPatches::Make(m_nDevResX, m_pCtx->m_nScaleX, rowLen[0], m_pSettings->colorBar);
        if (!plan.patches) {
            KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("colour bar geometry is invalid");
            return false;
        }
    }
    const int64_t stripEnd = plan.patches ? std::max<int64_t>(m_nRowBytes, plan.patches->End()) : 0;
    for (int i = 0; i < plan.count; ++i) {
        const RowPlan::PlaneSend& send = plan.sends[static_cast<std::size_t>(i)];
        if (!Writer().PlaneRowFits(send.length)) return false;
        const bool scratch = send.buffer == kScratch;
        if (scratch ? !m_pScratchBuf : planeBuf[send.buffer] == nullptr) {
            KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("plane %d has no buffer", send.buffer);
            return false;
        }
        const int64_t room = scratch ? m_nCmdBufSize : m_nRowBufSize;
        const int64_t reach = strip ? stripEnd : send.length;
        if (reach > room) {
            KVLogHelper(kRtlLogSource, __LINE__, 'E')
                .Log("plane row reaches byte %lld of a %lld-byte buffer",
                     static_cast<long long>(reach), static_cast<long long>(room));
            return false;
        }
    }
    return true;
}

int RTL::SendAllColorData(const int32_t* rowLen, uint8_t* const* planeBuf) {
    if (!HasJob("SendAllColorData")) return 0;
    if (rowLen == nullptr || planeBuf == nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("SendAllColorData without line buffers");
        return 0;
    }
    // Everything is checked before the first plane goes out, so a row is
    // either sent whole or not at all.
    RowPlan plan;
    if (!PlanRow(rowLen, planeBuf, plan)) return 0;

    for (int i = 0; i < plan.count; ++i) {
        const RowPlan::PlaneSend& send = plan.sends[static_cast<std::size_t>(i)];
        const bool scratch = send.buffer == kScratch;
        uint8_t* row = scratch ? m_pScratchBuf.get() : planeBuf[send.buffer];
        if (plan.patches) {
            // The strip replaces whatever follows the image part of the row.
            const int64_t clearFrom = scratch ? 0 : rowLen[0];
            if (m_nRowBytes > clearFrom) {
                std::memset(row + clearFrom, 0, static_cast<std::size_t>(m_nRowBytes - clearFrom));
            }
            const ByteRange marks = plan.patches->Marks(send.position);
            if (marks.end > marks.begin) {
                std::memset(row + marks.begin, kPatchMark,
                            static_cast<std::size_t>(marks.end - marks.begin));
            }
        }
        // A broken output throws from WriteNdata; a plane that still went short fails the row.
        if (!SendPlaneRow(scratch ? send.position : send.buffer, send.length, row,
                          send.last ? 1 : 0)) {
            return 0;
        }
    }
    return 1;
}

}  // namespace tarnwick
