// The job and page state machine: one bounded piece of work per step.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "config/glossary.h"
#include "engine/arow_base_rtl.h"
#include "host/afile_path.h"
#include "host/job/image.h"
#include "host/job/ox_job.h"
#include "host/kv_log.h"
#include "host/locale_switcher.h"
#include "host/xml_tree.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/named_mutex.h"

namespace tarnwick {
namespace {

constexpr const char* kSource = "PrinterDriver/Common/Xsrc/ARowBaseRTL";
constexpr uint32_t kStepMillis = 200;
constexpr uint32_t kDataWaitMillis = 1500;

bool IsJobOptionsXml(const char* text) {
    return text != nullptr && text[0] == '<' && text[1] == '?' && text[2] == 'x' && text[3] == 'm';
}

}  // namespace

AString ARowBaseRTL::FindDataFile(bool prefix0Only) const {
    const AFilePath jobPath(m_pCtx->m_pJob->path);
    if (!prefix0Only) {
        AFilePath name = OXJob::GetFileName(ePrefix2, jobPath);
        if (name.exists()) return name.GetFullPath();
    }
    AFilePath name = OXJob::GetFileName(ePrefix0, jobPath);
    if (name.exists()) return name.GetFullPath();
    return AString();
}

int ARowBaseRTL::ReadJobOptions() {
    const char* text = m_pCtx->m_pJob->m_pszCustomColorXml;
    if (!IsJobOptionsXml(text)) return 0;
    AXMLTree tree("RootElement");
    AXMLTreeNode root;
    if (!tree.loadXML(text, 1) || !tree.getRootNode(root)) return 0;
    AXMLTreeNode node;
    if (tree.getChild("JobId", root, node)) m_strJobId = tree.getValue(node);
    if (tree.getChild("PauseBtwPages", root, node)) m_strPauseBtwPages = tree.getValue(node);
    return 1;
}

int ARowBaseRTL::StartJob(JobContext* ctx, int, OutputChannel* out, PrinterSettings* options) {
    m_pCtx = ctx;
    m_pOutput = out;
    // A job that ended without EndJob must not keep its locks or buffers.
    ReleaseLocks();
    FreePageBuffers();
    IdentifyPrinterModel(options);
    GetColorPlanes(ctx->m_nColorModel, &ctx->m_nPlanes, &ctx->m_nPlaneLayout);

    const AString dataFile = FindDataFile(ctx->m_pJob->m_bDirectDataName != 0);
    if (dataFile.IsEmpty()) {
        KVLogHelper(kSource, 140, 'E').Log("no job data file for %s", ctx->m_pJob->path);
        throw 0;
    }
    m_strJobId.Empty();
    m_strPauseBtwPages.Empty();
    ReadJobOptions();

    const int id = std::atoi(m_strJobId.c_str());
    char name[64];
    std::snprintf(name, sizeof name, "QRM_PRINT_START%d", id);
    m_pStartMutex = std::make_unique<CMutex>(false, name, nullptr);
    m_pStartLock = std::make_unique<CSingleLock>(m_pStartMutex.get(), false);
    std::snprintf(name, sizeof name, "QRM_PRINT_MAKELAYOUT%d", id);
    m_pLayoutMutex = std::make_unique<CMutex>(false, name, nullptr);
    m_pLayoutLock = std::make_unique<CSingleLock>(m_pLayoutMutex.get(), false);
    m_pStartLock->Lock();
    m_pLayoutLock->Lock();

    m_pImage = nullptr;
    m_pOXJob = std::make_unique<OXJob>(0);
    if (!m_pOXJob->Load(dataFile.c_str())) {
        KVLogHelper(kSource, 180, 'E').Log("%s", m_pOXJob->lastError().c_str());
        // Nobody ends a job that never opened, so its locks go now.
        m_pOXJob.reset();
        ReleaseLocks();
        return 0;
    }
    m_pOXJob->OpenData(1);
    m_bJobActive = true;
    ctx->m_nPageCount = m_pOXJob->m_nJobPages;
    ctx->m_nCurPage = 0;
    ctx->m_bStartPage = 1;
    ctx->m_bPageDone = 0;
    return 1;
}

int ARowBaseRTL::PrintStep(Word a1, Word a2, Word a3) {
    JobContext* ctx = m_pCtx;
    // Once a job has ended, a further step must not send another page end.
    if (!m_bJobActive) return 0;
    if (ctx->m_bStartPage != 0 && ctx->m_nCurPage < ctx->m_nPageCount) {
        if (!StartPage()) return 0;
        try {
            if (ctx->m_nCurPage != 0 && std::atoi(m_strPauseBtwPages.c_str()) == 1) {
                const AString question =
                    Translate(AString("Do you want to continue printing the next page?"));
                if (ShowMessage(question.c_str(), MB_YESNO) != IDYES) return 0;
            }
            int sent = 0;
            {
                ALocaleSwitcher cLocale;
                sent = SendHeader();
            }
            if (sent == 0) {
                KVLogHelper(kSource, 789, 'E').Log("SendHeader Return FALSE");
                ++m_nPagesDone;
                return 0;
            }
        } catch (const std::exception& e) {
            const char* what = e.what();
            if (what != nullptr) KVLogHelper(kSource, 800, 'E').Log("what=%s", what);
            AString text("Catch exception in SendHeader() ");
            if (what != nullptr) text += what;
            ShowMessage(text.c_str(), MB_OK);
            return 0;
        } catch (...) {
            ShowMessage("Catch exception in SendHeader()......", MB_OK);
            return 0;
        }
        ctx->m_bStartPage = 0;
        ctx->m_bPageDone = 0;
        ctx->m_nCurRow = 0;
        ctx->m_nRowCounter = m_nDevOffsetY;
        return 1;
    }

    if (ctx->m_bPageDone == 0) {
        const uint32_t start = GetTickCount();
        if (ctx->m_nCurRow >= ctx->m_nImageHeight) {
            ctx->m_bPageDone = 1;
            return 1;
        }
        for (;;) {
            if (!MakeLineBufArray()) {
                KVLogHelper(kSource, 849, 'E').Log("MakeLineBufArray return FALSE");
                throw 0;
            }
            for (int copy = 0; copy < ctx->m_nScaleY; ++copy) {
                if (!SendAllColorData(m_nRowLen.data(), m_ppPlaneBuf.data())) {
                    if (ctx->m_bAbort != 0) {
                        SetHostStatus(7, "Aborted");
                        return 0;
                    }
                    KVLogHelper(kSource, 870, 'E').Log("SendAllColorData return FALSE");
                    throw 0;
                }
                ++ctx->m_nRowCounter;
            }
            ++ctx->m_nCurRow;
            // Only the page the host is still writing can run out of rows.
            if (m_pOXJob && m_pOXJob->m_bWriting != 0 &&
                ctx->m_nCurPage >= m_pOXJob->m_nWritePage &&
                ctx->m_nCurRow >= m_pOXJob->m_nWriteRows) {
                if (!WaitForData()) return 0;
            }
            // The host may finish a page with fewer rows than it announced
            // after the last wait: the rest of the page goes out blank.
            if (m_pImage != nullptr && ctx->m_nCurRow < ctx->m_nImageHeight &&
                ctx->m_nCurRow >= m_pImage->GetHeight()) {
                SendBlankRowsForShortPage(ctx->m_nImageHeight - ctx->m_nCurRow);
            }
            if (GetTickCount() > start + kStepMillis) {
                const int64_t done = int64_t{ctx->m_nCurRow} * 100 / ctx->m_nImageHeight;
                ReportProgress(static_cast<int>(done));
                return 1;
            }
            if (ctx->m_nCurRow >= ctx->m_nImageHeight) {
                ctx->m_bPageDone = 1;
                return 1;
            }
        }
    }

    const int result = EndPage(a1, a2, a3);
    ++m_nPagesDone;
    ctx->m_bStartPage = 1;
    ctx->m_bPageDone = 0;
    ++ctx->m_nCurPage;
    if (ctx->m_nCurPage >= ctx->m_nPageCount) EndJob();
    return result;
}

bool ARowBaseRTL::WaitForData() {
    JobContext* ctx = m_pCtx;
    for (;;) {
        if (m_pOXJob) m_pOXJob->CloseData();
        m_pOXJob.reset();
        m_pImage = nullptr;
        m_pStartLock->Unlock();
        Sleep(kDataWaitMillis);

        const AString dataFile = FindDataFile(false);
        if (dataFile.IsEmpty()) {
            KVLogHelper(kSource, 925, 'E').Log("job data file vanished: %s", ctx->m_pJob->path);
            throw 0;
        }
        m_pStartLock->Lock();
        auto job = std::make_unique<OXJob>(0);
        if (!job->Load(dataFile.c_str())) {
            KVLogHelper(kSource, 935, 'E').Log("%s", job->lastError().c_str());
            return false;
        }
        job->OpenData(1);
        m_pOXJob = std::move(job);

        const int32_t written = m_pOXJob->m_nWriteRows;
        const bool hostOnThisPage =
            m_pOXJob->m_bWriting != 0 && ctx->m_nCurPage == m_pOXJob->m_nWritePage;
        m_pImage = m_pOXJob->GetImage(static_cast<unsigned>(ctx->m_nCurPage));
        if (m_pImage == nullptr) {
            if (ctx->m_nCurRow < ctx->m_nImageHeight) {
                KVLogHelper(kSource, 959, 'E')
                    .Log("ERROR m_pImage == NULL m_nCurPage=%d", ctx->m_nCurPage);
            }
        } else {
            RestoreImageOffset();
            // A page the host has finished with fewer rows than it announced
            // is completed with blank rows.
            const int32_t height = m_pImage->GetHeight();
            const bool pageFinished = !hostOnThisPage || height == written;
            if (pageFinished && ctx->m_nCurRow >= height) {
                SendBlankRowsForShortPage(ctx->m_nImageHeight - ctx->m_nCurRow);
            }
        }
        // Rows written so far are used up: wait for more while the host is
        // still on this page.
        const bool again = hostOnThisPage && written != 0 && ctx->m_nCurRow >= written &&
                           ctx->m_nCurRow < ctx->m_nImageHeight && ctx->m_bAbort == 0;
        if (!again) break;
    }
    ctx->m_nPageCount = m_pOXJob->m_nWritePage + 1;
    return true;
}

void ARowBaseRTL::SendBlankRowsForShortPage(int32_t missing) {
    JobContext* ctx = m_pCtx;
    if (missing <= 0) return;
    for (int i = 0; i < ctx->m_nPlanes; ++i) {
        std::fill_n(m_ppPlaneBuf[i], m_nRowBufSize, uint8_t{0});
    }
    for (int32_t r = 0; r < missing; ++r) {
        SendAllColorData(m_nRowLen.data(), m_ppPlaneBuf.data());
        ++ctx->m_nCurRow;
    }
}

int ARowBaseRTL::EndPage(Word a1, Word a2, Word a3) {
    int result = 0;
    try {
        result = ResetPrinter(a1, a2, a3);
    } catch (...) {
        KVLogHelper(kSource, 699, 'E').Log("ResetPrinter error");
        result = 0;
    }
    FreePageBuffers();
    if (m_pOXJob) m_pOXJob->Flush();
    return result;
}

int ARowBaseRTL::EndJob() {
    m_bJobActive = false;
    ReleaseLocks();
    // The job file is not needed once the job is over.
    m_pImage = nullptr;
    m_pOXJob.reset();
    if (m_pCtx != nullptr && m_pCtx->m_pJob != nullptr) m_pCtx->m_pJob->m_nDone = -1;
    return 1;
}

int ARowBaseRTL::AbortJob(Word a1, Word a2, Word a3) {
    try {
        ResetPrinter(a1, a2, a3);
    } catch (...) {
        // The printer could not be told, but the job's locks must not outlive it.
        ReleaseLocks();
        throw;
    }
    EndJob();
    return 1;
}

void ARowBaseRTL::ReleaseLocks() {
    if (m_pStartLock && m_pStartLock->IsLocked()) m_pStartLock->Unlock();
    m_pStartLock.reset();
    m_pStartMutex.reset();
    if (m_pLayoutLock && m_pLayoutLock->IsLocked()) m_pLayoutLock->Unlock();
    m_pLayoutLock.reset();
    m_pLayoutMutex.reset();
}

bool ARowBaseRTL::HoldsStartLock() const {
    return m_pStartLock && m_pStartLock->IsLocked();
}
bool ARowBaseRTL::HoldsLayoutLock() const {
    return m_pLayoutLock && m_pLayoutLock->IsLocked();
}

}  // namespace tarnwick
