// Construction and the shared plumbing of the printer class: command
// formatting, the job checks and the row size guard.
#include "rtl/rtl.h"

#include <cstdarg>
#include <cstdio>

#include "host/kv_log.h"
#include "rtl/packbits.h"
#include "rtl/rtl_log.h"

namespace tarnwick {
namespace {

constexpr int kBaseResolution = 180;
constexpr int kTypeNumber = 85;

}  // namespace

RTL::RTL() : m_szRowPrefix{"\033*b"}, m_szPlaneEnd{'V', 'W'} {}

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

int32_t RTL::WriteCommand(const char* fmt, ...) {
    const std::span<uint8_t> buffer = CmdBuffer();
    if (buffer.empty()) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("no command buffer");
        return -1;
    }
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(reinterpret_cast<char*>(buffer.data()), buffer.size(), fmt, args);
    va_end(args);
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("printer command does not fit the buffer");
        return -1;
    }
    return WriteNdata(buffer.data(), n, 0);
}

int32_t RTL::WriteText(const CommandText& text, int flush) {
    if (text.Overflowed()) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("printer command does not fit the buffer");
        return -1;
    }
    return WriteNdata(text.Data(), text.Size(), flush);
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

bool RTL::PlaneRowFits(int64_t length) const {
    if (length < 0) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("plane row of negative length %lld", static_cast<long long>(length));
        return false;
    }
    if (m_nCmdBufSize < 0 || PackBitsWorstCase(static_cast<std::size_t>(length)) >
                                 static_cast<std::size_t>(m_nCmdBufSize)) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("plane row of %lld bytes exceeds the command buffer",
                 static_cast<long long>(length));
        return false;
    }
    return true;
}

}  // namespace tarnwick
