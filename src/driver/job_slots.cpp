// The job slots: they carry a job from the host into the engine and turn
// every failure inside it into a result the host understands.
#include <cstring>

#include "driver/abase_printer_driver_imp.h"
#include "engine/arow_base_rtl.h"
#include "host/kv_log.h"
#include "platform/afm_file.h"

namespace tarnwick {
namespace {

constexpr const char* kSource = "PrinterDriver/Common/Xsrc/ABasePrinterDriverImp";

template <typename T>
T ReadLittleEndian(const uint8_t* bytes) {
    T value{};
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void CopyText(char (&dst)[64], const uint8_t* src) {
    std::memcpy(dst, src, sizeof dst);
    dst[sizeof dst - 1] = '\0';
}

}  // namespace

int ABasePrinterDriverImp::OpenJob(HostJobRecord* job, OutputChannel* out) {
    m_bJobOpen = false;
    // The engine lets go of the previous job before its context is freed.
    if (auto* engine = dynamic_cast<ARowBaseRTL*>(m_pEngine.get())) engine->ForgetJob();
    try {
        m_pJobContext.reset();
        m_pJobContext = std::make_unique<JobContext>();
        if (!m_pEngine || job == nullptr || out == nullptr) throw 0;
        *m_pJobContext = JobContext{};
        m_pJobContext->m_pJob = job;
        m_pJobContext->m_bAbort = 0;
        if (LoadJobHeader() == 0) throw 0;
        JobContext* ctx = m_pJobContext.get();
        if (m_pEngine->StartJob(ctx, 0, out, &ctx->m_Settings.settings) != 0) {
            m_bJobOpen = true;
            return 1;
        }
    } catch (...) {
    }
    if (job != nullptr) job->m_nDone = -1;
    return 0;
}

int ABasePrinterDriverImp::LoadJobHeader() {
    JobContext* ctx = m_pJobContext.get();
    uint8_t header[kJobHeaderSize] = {};
    AFM_File file;
    if (!file.Open(ctx->m_pJob->path, 0)) {
        KVLogHelper(kSource, 101, 'E').Log("cannot open the job ticket %s", ctx->m_pJob->path);
        throw 0;
    }
    if (file.Read(header, kJobHeaderSize, 0, 0) < kJobHeaderSize) {
        file.Close();
        KVLogHelper(kSource, 108, 'E')
            .Log("job ticket %s is shorter than %zu bytes", ctx->m_pJob->path, kJobHeaderSize);
        throw 0;
    }
    CopyText(ctx->m_szPrinterModel, header + job_header::kPrinterModel);
    ctx->m_nJobResX = ReadLittleEndian<int16_t>(header + job_header::kResX);
    ctx->m_nJobResY = ReadLittleEndian<int16_t>(header + job_header::kResY);
    std::memcpy(&ctx->m_Settings, header + job_header::kSettings, kSettingsAreaSize);
    CopyText(ctx->m_szCalibrationText, header + job_header::kCalibrationText);
    ctx->m_nColorModel = ReadLittleEndian<int16_t>(header + job_header::kColorModel);
    ctx->m_nOffsetX = 0;
    ctx->m_nOffsetY = 0;
    ctx->m_bRemoveOffsetX = 0;
    ctx->m_bRemoveOffsetY = 1;
    file.Close();
    return 1;
}

int ABasePrinterDriverImp::PrintStep(Word a1, Word a2, Word a3) {
    if (!m_pEngine || !m_pJobContext || !m_bJobOpen) return 0;
    // A step after the end is the host's slip, not the job's failure.
    if (m_pJobContext->m_pJob->m_nDone == -1) return 0;
    try {
        if (m_pEngine->PrintStep(a1, a2, a3) != 0) return 1;
        if (m_pJobContext->m_bAbort != 0) return 0;
    } catch (...) {
    }
    KVLogHelper(kSource, 240, 'E').Log("Exception");
    return 0;
}

int ABasePrinterDriverImp::AbortJob(Word a1, Word a2, Word a3) {
    if (!m_pEngine || !m_pJobContext || !m_bJobOpen) return 0;
    m_pJobContext->m_bAbort = 1;
    try {
        m_pEngine->AbortJob(a1, a2, a3);
    } catch (...) {
        // The printer could not be told; the engine has ended the job all the same.
        return 0;
    }
    if (m_pJobContext->m_pJob != nullptr) m_pJobContext->m_pJob->m_nDone = -1;
    return 1;
}

}  // namespace tarnwick
