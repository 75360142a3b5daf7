// Construction and the shared plumbing of the printer class: command
// formatting, the job checks and the row size guard.
#include "rtl/rtl.h"

#include "host/kv_log.h"
#include "rtl/rtl_log.h"

namespace tarnwick {
namespace {

constexpr int kBaseResolution = 180;
constexpr int kTypeNumber = 85;

}  // namespace

RTL::RTL() : m_sink(*this) {}

RTL::~RTL() = default;

void RTL::GetBaseResolution(int* x, int* y) {
    if (x != nullptr) *x = kBaseResolution;
    if (y != nullptr) *y = kBaseResolution;
}

int RTL::GetTypeNumber() {
    return kTypeNumber;
}

std::span<uint8_t> RTL::CmdBuffer() const {
    if (!m_pCmdBuf || m_nCmdBufSize <= 0) return {};
    return {m_pCmdBuf.get(), static_cast<std::size_t>(m_nCmdBufSize)};
}

bool RTL::EngineSink::Put(std::span<const uint8_t> bytes, bool flush) {
    const auto n = static_cast<int32_t>(bytes.size());
    return m_engine.WriteNdata(bytes.data(), n, flush ? 1 : 0) >= n;
}

RtlWriter RTL::Writer() {
    return RtlWriter(m_sink, CmdBuffer());
}

JobValues RTL::Job() const {
    JobValues job;
    job.settings = *m_pSettings;
    job.calibrationText = m_pCtx->m_szCalibrationText;
    job.joinMode = m_pCtx->m_pJob->m_nJoinMode;
    job.aborted = m_pCtx->m_bAbort != 0;
    return job;
}

bool RTL::HasJob(const char* operation) const {
    const char* missing = nullptr;
    if (m_pCtx == nullptr) {
        missing = "job context";
    } else if (m_pCtx->m_pJob == nullptr) {
        missing = "host job record";
    } else if (m_pSettings == nullptr) {
        missing = "printer settings";
    } else if (CmdBuffer().empty()) {
        missing = "command buffer";
    }
    if (missing == nullptr) return true;
    KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("%s called without a %s", operation, missing);
    return false;
}

}  // namespace tarnwick
