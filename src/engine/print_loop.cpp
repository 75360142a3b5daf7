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
    return OXJob::FindDataFile(AFilePath(m_pCtx->m_pJob->path), prefix0Only).GetFullPath();
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
    // Nothing of an earlier job may reach this one: not its locks, not its buffered bytes.
    ForgetJob();
    m_pCtx = ctx;
    m_pOutput = out;
    // A settings record the printer class cannot use is refused before anything is taken.
    if (!IdentifyPrinterModel(options)) return 0;
    GetColorPlanes(ctx->m_nColorModel, &ctx->m_nPlanes, &ctx->m_nPlaneLayout);

    const AString dataFile = FindDataFile(ctx->m_pJob->m_bDirectDataName != 0);
    if (dataFile.IsEmpty()) {
        KVLogHelper(kSource, 140, 'E').Log("no job data file for %s", ctx->m_pJob->path);
        throw 0;
    }
    m_strJobId.Empty();
    m_strPauseBtwPages.Empty();
    ReadJobOptions();

    std::string lockError;
    if (!m_locks.Acquire(std::atoi(m_strJobId.c_str()), lockError)) {
        KVLogHelper(kSource, 170, 'E').Log("%s", lockError.c_str());
        return 0;
    }
    m_pImage = nullptr;
    m_pOXJob = std::make_unique<OXJob>(0);
    if (!m_pOXJob->Load(dataFile.c_str())) {
        KVLogHelper(kSource, 180, 'E').Log("%s", m_pOXJob->lastError().c_str());
        // Nobody ends a job that never opened, so its locks go now.
        m_pOXJob.reset();
        m_locks.ReleaseAll();
        return 0;
    }
    m_pOXJob->OpenData(1);
    m_bJobActive = true;
    m_nOffsetRowsSent = 0;
    ctx->m_nPageCount = m_pOXJob->m_nJobPages;
    ctx->m_nCurPage = 0;
    ctx->m_bStartPage = 1;
    ctx->m_bPageDone = 0;
    return 1;
}

void ARowBaseRTL::ForgetJob() {
    m_bJobActive = false;
    m_bWaitingForHost = false;
    m_locks.ReleaseAll();
    FreePageBuffers();
    m_pImage = nullptr;
    m_pOXJob.reset();
    m_nWriteLen = 0;
    m_pCtx = nullptr;
    m_pOutput = nullptr;
}

// A step is one of: the start of a page, about 200 ms of rows, the end of a page, or, while the
// host is still writing, one wait for its next page.
int ARowBaseRTL::PrintStep(Word a1, Word a2, Word a3) {
    JobContext* ctx = m_pCtx;
    // Once a job has ended, a further step must not send another page end.
    if (!m_bJobActive || ctx == nullptr) return 0;
    if (ctx->m_bStartPage != 0) {
        return ctx->m_nCurPage < ctx->m_nPageCount ? StartPagePhase() : AwaitNextPage();
    }
    if (ctx->m_bPageDone == 0) return RowsPhase();
    return EndPagePhase(a1, a2, a3);
}

int ARowBaseRTL::StartPagePhase() {
    JobContext* ctx = m_pCtx;
    // A page that cannot hold a dot is not sent at all: its rows would cost the file nothing,
    // so printing them would let a few bytes of input make any amount of output.
    if (const AImage* image =
            m_pOXJob ? m_pOXJob->GetImage(static_cast<unsigned>(ctx->m_nCurPage)) : nullptr;
        image != nullptr && IsEmptyPage(*image)) {
        KVLogHelper(kSource, 280, 'E')
            .Log("page %d has no width or no colorants; nothing of it is printed", ctx->m_nCurPage);
        ++ctx->m_nCurPage;
        EndJobIfNoPageFollows();
        return 1;
    }
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
    m_nOffsetRowsSent += m_nDevOffsetY;
    ctx->m_bStartPage = 0;
    ctx->m_bPageDone = 0;
    ctx->m_nCurRow = 0;
    ctx->m_nRowCounter = m_nDevOffsetY;
    return 1;
}

int ARowBaseRTL::RowsPhase() {
    JobContext* ctx = m_pCtx;
    const uint32_t start = GetTickCount();
    bool waited = false;
    for (;;) {
        if (ctx->m_nCurRow >= ctx->m_nImageHeight) {
            ctx->m_bPageDone = 1;
            return 1;
        }
        if (!RowWritten()) {
            // A page the host has finished with fewer rows than it announced ends in blank rows.
            if (m_pOXJob && m_pImage != nullptr && ctx->m_nCurRow >= m_pImage->GetHeight()) {
                SendBlankRowsForShortPage(ctx->m_nImageHeight - ctx->m_nCurRow);
                continue;
            }
            // One wait per step at most, so that the host gets control back while it stalls.
            if (waited) return 1;
            waited = true;
            const WaitResult result = WaitForHost();
            if (result == WaitResult::kFailed) return 0;
            if (result == WaitResult::kNotYet) return 1;
            continue;
        }
        if (!MakeLineBufArray()) {
            KVLogHelper(kSource, 849, 'E').Log("MakeLineBufArray return FALSE");
            if (m_pOXJob && !m_pOXJob->readError().empty()) {
                KVLogHelper(kSource, 851, 'E').Log("%s", m_pOXJob->readError().c_str());
            }
            throw 0;
        }
        for (int copy = 0; copy < ctx->m_nScaleY; ++copy) {
            if (!SendAllColorData(m_nRowLen.data(), m_ppPlaneBuf.data())) {
                if (ctx->m_bAbort != 0) {
                    SetHostStatus(kStatusAborted, "Aborted");
                    return 0;
                }
                KVLogHelper(kSource, 870, 'E').Log("SendAllColorData return FALSE");
                throw 0;
            }
            ++ctx->m_nRowCounter;
        }
        ++ctx->m_nCurRow;
        if (GetTickCount() > start + kStepMillis) {
            const int64_t done = int64_t{ctx->m_nCurRow} * 100 / ctx->m_nImageHeight;
            ReportProgress(static_cast<int>(done));
            return 1;
        }
    }
}

int ARowBaseRTL::EndPagePhase(Word a1, Word a2, Word a3) {
    JobContext* ctx = m_pCtx;
    const int result = EndPage(a1, a2, a3);
    ++m_nPagesDone;
    ctx->m_bStartPage = 1;
    ctx->m_bPageDone = 0;
    ++ctx->m_nCurPage;
    EndJobIfNoPageFollows();
    return result;
}

void ARowBaseRTL::EndJobIfNoPageFollows() {
    JobContext* ctx = m_pCtx;
    if (ctx->m_nCurPage < ctx->m_nPageCount) return;
    // The loaded file may be older than the host's last write; a fresh look saves a wait.
    // A failed reload is reported by the next step, which tries again.
    if (HostWriting() && !ReloadJob(ExistingDataFile())) return;
    if (ctx->m_nCurPage >= ctx->m_nPageCount && !HostWriting()) EndJob();
}

// The last announced page is printed, but the host is still writing: the job goes on with its
// next page, or ends once the host says it is done.
int ARowBaseRTL::AwaitNextPage() {
    JobContext* ctx = m_pCtx;
    if (m_pOXJob && !HostWriting()) {
        EndJob();
        return 1;
    }
    const WaitResult result = WaitForHost();
    if (result == WaitResult::kFailed) return 0;
    if (result == WaitResult::kReloaded && ctx->m_nCurPage >= ctx->m_nPageCount && !HostWriting()) {
        EndJob();
    }
    return 1;
}

ARowBaseRTL::WaitResult ARowBaseRTL::WaitForHost() {
    if (!m_bWaitingForHost) {
        if (m_pOXJob) m_pOXJob->CloseData();
        m_pOXJob.reset();
        m_pImage = nullptr;
        m_locks.ReleaseStart();
        m_bWaitingForHost = true;
    }
    Sleep(kDataWaitMillis);
    // Looked for before the start mutex is taken back, so a vanished file fails the job without it.
    const AString dataFile = ExistingDataFile();
    // Taken back only if free: waiting for it while holding the layout mutex could deadlock
    // with a job of the same id that holds the start mutex and waits for the layout mutex.
    if (!m_locks.TryRetakeStart()) return WaitResult::kNotYet;
    m_bWaitingForHost = false;
    return ReloadJob(dataFile) ? WaitResult::kReloaded : WaitResult::kFailed;
}

AString ARowBaseRTL::ExistingDataFile() const {
    AString dataFile = FindDataFile(false);
    if (dataFile.IsEmpty()) {
        KVLogHelper(kSource, 925, 'E').Log("job data file vanished: %s", m_pCtx->m_pJob->path);
        throw 0;
    }
    return dataFile;
}

bool ARowBaseRTL::ReloadJob(const AString& dataFile) {
    JobContext* ctx = m_pCtx;
    if (m_pOXJob) m_pOXJob->CloseData();
    m_pOXJob.reset();
    m_pImage = nullptr;
    auto job = std::make_unique<OXJob>(0);
    if (!job->Load(dataFile.c_str())) {
        KVLogHelper(kSource, 935, 'E').Log("%s", job->lastError().c_str());
        return false;
    }
    job->OpenData(1);
    m_pOXJob = std::move(job);
    ctx->m_nPageCount = m_pOXJob->m_nJobPages;
    if (ctx->m_bStartPage == 0) {
        // The open page must still be there, as it was; the writer may only add rows to it or
        // end it short.
        m_pImage = m_pOXJob->GetImage(static_cast<unsigned>(ctx->m_nCurPage));
        if (m_pImage == nullptr) {
            KVLogHelper(kSource, 959, 'E')
                .Log("ERROR m_pImage == NULL m_nCurPage=%d", ctx->m_nCurPage);
            throw 0;
        }
        CheckPageShapeUnchanged();
        RestoreImageOffset();
    }
    return true;
}

bool ARowBaseRTL::HostWriting() const {
    return m_pOXJob && m_pOXJob->m_bWriting != 0;
}

bool ARowBaseRTL::RowWritten() const {
    const JobContext* ctx = m_pCtx;
    if (!m_pOXJob || m_pImage == nullptr || ctx->m_nCurRow >= m_pImage->GetHeight()) return false;
    const bool hostOnThisPage = HostWriting() && ctx->m_nCurPage == m_pOXJob->m_nWritePage;
    return !hostOnThisPage || ctx->m_nCurRow < m_pOXJob->m_nWriteRows;
}

void ARowBaseRTL::SendBlankRowsForShortPage(int32_t missing) {
    JobContext* ctx = m_pCtx;
    if (missing <= 0) return;
    for (int i = 0; i < ctx->m_nPlanes; ++i) {
        std::fill_n(m_ppPlaneBuf[i], m_nRowBufSize, uint8_t{0});
    }
    for (int32_t r = 0; r < missing; ++r) {
        if (!SendAllColorData(m_nRowLen.data(), m_ppPlaneBuf.data())) {
            if (ctx->m_bAbort != 0) {
                SetHostStatus(kStatusAborted, "Aborted");
                return;
            }
            KVLogHelper(kSource, 880, 'E').Log("SendAllColorData return FALSE");
            throw 0;
        }
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
    m_bWaitingForHost = false;
    m_locks.ReleaseAll();
    // The job file is not needed once the job is over.
    m_pImage = nullptr;
    m_pOXJob.reset();
    if (m_pCtx != nullptr && m_pCtx->m_pJob != nullptr) m_pCtx->m_pJob->m_nDone = -1;
    return 1;
}

int ARowBaseRTL::AbortJob(Word a1, Word a2, Word a3) {
    // A job that is over has nothing left to abort, and its channel may be gone.
    if (!m_bJobActive || m_pCtx == nullptr) return 1;
    bool told = true;
    try {
        ResetPrinter(a1, a2, a3);
    } catch (...) {
        KVLogHelper(kSource, 699, 'E').Log("ResetPrinter error");
        told = false;
    }
    // Whatever the printer was told, the job is over for the host.
    SetHostStatus(kStatusAborted, "Aborted");
    EndJob();
    if (!told) throw 0;
    return 1;
}

bool ARowBaseRTL::HoldsStartLock() const {
    return m_locks.HoldsStart();
}
bool ARowBaseRTL::HoldsLayoutLock() const {
    return m_locks.HoldsLayout();
}

}  // namespace tarnwick
