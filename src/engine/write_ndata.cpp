// The buffered output: every byte of the printer stream passes through here.
#include <cstring>

#include "engine/abase_rtl.h"
#include "host/kv_log.h"

namespace tarnwick {
namespace {
constexpr const char* kSource = "PrinterDriver/Common/Xsrc/ABaseRTL";
}

void ABaseRTL::SendToChannel(const uint8_t* data, int32_t n, int logLine, bool logCount) {
    const int64_t tag =
        (m_pCtx != nullptr && m_pCtx->m_pJob != nullptr) ? m_pCtx->m_pJob->m_nOutputTag : 0;
    const int32_t written = m_pOutput != nullptr ? m_pOutput->Write(data, n, tag) : -1;
    if (written < n) {
        if (logCount) {
            KVLogHelper(kSource, logLine, 'E').Log("ABaseRTL::WriteNdata num=%d", n);
        } else {
            KVLogHelper(kSource, logLine, 'E').Log("ABaseRTL::WriteNdata");
        }
        throw 0;
    }
}

int32_t ABaseRTL::WriteNdata(const uint8_t* data, int32_t n, int flush) {
    if (flush == 0) {
        if (!m_pWriteBuf) {
            m_pWriteBuf.reset(new (std::nothrow) uint8_t[kWriteBufSize]);
            if (!m_pWriteBuf) {
                KVLogHelper(kSource, 68, 'E').Log("ABaseRTL::WriteNdata");
                throw 0;
            }
            m_nWriteLen = 0;
        }
        const auto count = static_cast<uint32_t>(n);
        if (m_nWriteLen + count > kWriteThreshold && m_nWriteLen > 0) {
            SendToChannel(m_pWriteBuf.get(), static_cast<int32_t>(m_nWriteLen), 114, false);
            m_nWriteLen = 0;
        }
        if (n <= static_cast<int32_t>(kWriteThreshold)) {
            if (n > 0) std::memcpy(m_pWriteBuf.get() + m_nWriteLen, data, count);
            if (n > 0) m_nWriteLen += count;
            return n;
        }
        SendToChannel(data, n, 126, false);
        return n;
    }
    if (m_nWriteLen > 0) {
        SendToChannel(m_pWriteBuf.get(), static_cast<int32_t>(m_nWriteLen), 85, false);
        m_nWriteLen = 0;
    }
    if (n <= 0) return n;
    SendToChannel(data, n, 99, true);
    return n;
}

}  // namespace tarnwick
