#include "engine/abase_rtl.h"

#include <cstdlib>
#include <cstring>

#include "config/dither_params.h"
#include "config/screening_params.h"
#include "engine/owned_color_list.h"
#include "host/job/ox_job.h"
#include "host/locale_switcher.h"
#include "host/progress_text.h"

namespace tarnwick {
namespace {

// Duplicates a setup's owned text into a buffer of its length + 10 bytes.
char* DuplicateSetupText(const char* text) {
    if (text == nullptr) return nullptr;
    const std::size_t n = std::strlen(text);
    auto* copy = static_cast<char*>(std::calloc(n + 10, 1));
    if (copy != nullptr) std::memcpy(copy, text, n);
    return copy;
}

}  // namespace

ABaseRTL::ABaseRTL() = default;

ABaseRTL::~ABaseRTL() {
    std::free(m_PrintSetup.text);
}

void ABaseRTL::ReportProgress(int percent) {
    SetHostStatus(kStatusProgress, FormatProgressText(percent).c_str());
}

void ABaseRTL::SetHostStatus(int code, const char* text) {
    if (m_pCtx == nullptr || m_pCtx->m_pJob == nullptr) return;
    HostJobRecord* job = m_pCtx->m_pJob;
    std::snprintf(job->m_szStatus, sizeof job->m_szStatus, "%s", text != nullptr ? text : "");
    job->m_nStatusCode = code;
}

int ABaseRTL::ApplyDriverOptions(const char*, uint8_t*, const char*) {
    return 1;
}
int ABaseRTL::GetDriverOptionString(char*, const char*) {
    return 1;
}
int ABaseRTL::Op13(Word, Word, Word) {
    return 1;
}

int ABaseRTL::LoadScreeningParams(ScreeningRecord* record, PrintSetup* setup) {
    if (record == nullptr) return 1;
    return LoadScreeningParamsWith(record, setup);
}

int ABaseRTL::Op19(Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op20(Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op21(Word, PrintModeList*, int32_t*) {
    return 0;
}
int ABaseRTL::GetPrintModes(const char*, PrintModeEntry*, PrintModeList*, int32_t*) {
    return 0;
}
int ABaseRTL::GetResolutions(const char*, PrintModeEntry*, int32_t*, ResolutionList*, int32_t*) {
    return 0;
}

int ABaseRTL::MakeResolutionEntry(ResolutionEntry* entry, double x, double y, int32_t id,
                                  const char* name, const char* suffix) {
    if (entry == nullptr) return 1;
    entry->xDpi = x;
    entry->yDpi = y;
    entry->id = id;
    const char* base = name != nullptr ? name : "";
    if (suffix != nullptr) {
        std::snprintf(entry->name, sizeof entry->name, "%sx%s", base, suffix);
    } else {
        std::snprintf(entry->name, sizeof entry->name, "%s", base);
    }
    return 1;
}

int ABaseRTL::Op25(Word, PrintModeEntry*, Word, Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op26(Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op27(Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op28(Word, Word, Word) {
    return 0;
}

int ABaseRTL::Op29(Word, PrintModeEntry*, Word, int32_t a4, int32_t* a5) {
    if (a5 != nullptr) *a5 = a4;
    return 1;
}

int ABaseRTL::Op30(Word, Word, Word) {
    return 1;
}
int ABaseRTL::Op31(Word, Word, Word) {
    return 1;
}
int ABaseRTL::Op32(Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op33(Word, Word, Word) {
    return 1;
}
int ABaseRTL::SettingsDiffer(const PrinterSettings*, const PrinterSettings*) {
    return 0;
}
int ABaseRTL::Op35(Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op36(Word, Word, Word) {
    return 0;
}
int ABaseRTL::ValidateSettings(PrinterSettings*) {
    return 1;
}
int ABaseRTL::Op38(Word, int32_t*) {
    return 1;
}
int ABaseRTL::Op39(Word, Word, Word) {
    return 1;
}
int ABaseRTL::Op40(Word, Word, Word) {
    return 1;
}

int ABaseRTL::Op41(Word, int32_t a2, int32_t* a3) {
    if (a3 != nullptr) *a3 = a2;
    return 1;
}

int ABaseRTL::Op42(Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op43(Word, Word, Word) {
    return 0;
}
int ABaseRTL::Op44(Word, Word, Word) {
    return 0;
}

int ABaseRTL::LoadDitherParams(const char* model, const char* manufacturer, PrintSetup* setup,
                               DitherParamRecord* record, Word) {
    if (record == nullptr) return 0;
    ALocaleSwitcher cLocale;
    OwnedColorList colors;
    const int colorMode = setup != nullptr ? setup->colorMode : 0;
    const bool haveList = GetColorList(colorMode, &colors.list()) != 0;
    return LoadDitherParamsWith(model, manufacturer, setup, record,
                                haveList ? &colors.list() : nullptr);
}

int ABaseRTL::Op46(Word a1, PrintModeEntry* entry, Word a3, Word a4, Word, Word a6, Word a7) {
    return Op25(a1, entry, a3, a4, a6, a7);
}

int ABaseRTL::Op47(Word, Word, Word) {
    return 0;
}

int ABaseRTL::SetPrintSettings(PrintSetup* setup) {
    if (setup == nullptr) return 1;
    char* previous = m_PrintSetup.text;
    m_PrintSetup = *setup;
    m_PrintSetup.text = DuplicateSetupText(setup->text);
    std::free(previous);
    return 1;
}

}  // namespace tarnwick
