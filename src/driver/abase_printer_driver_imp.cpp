// Forwarding of the driver slots to the engine.
#include "driver/abase_printer_driver_imp.h"

#include <cstring>

#include "driver/private_copy.h"
#include "tarnwick/records.h"

namespace tarnwick {
namespace {

bool IsListPlaceholder(int32_t value) {
    return value == kListLast || value == kListSecondToLast || value == kListLastToo;
}

}  // namespace

ABasePrinterDriverImp::ABasePrinterDriverImp() = default;

// The engine goes first, then the job context.
ABasePrinterDriverImp::~ABasePrinterDriverImp() {
    m_pEngine.reset();
    m_pJobContext.reset();
}

int ABasePrinterDriverImp::ResolveListIndex(Word source, int32_t value, int32_t* out) {
    if (!m_pEngine) return 0;
    if (IsListPlaceholder(value)) {
        PrintModeList list;
        int32_t scratch = 0;
        m_pEngine->Op21(source, &list, &scratch);
        const auto n = static_cast<int32_t>(list.size());
        if (n > 0) {
            // With a single entry there is no second-to-last: it takes the only one.
            const int32_t pick = (value == kListSecondToLast && n >= 2) ? n - 2 : n - 1;
            value = list[static_cast<std::size_t>(pick)].index;
        }
    }
    if (out != nullptr) *out = value;
    return 1;
}

int ABasePrinterDriverImp::Slot6(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op13(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::ParseDriverOptions(const char* text, uint8_t* out, PrintSetup* setup) {
    PrivateSetupCopy copy(setup);
    if (setup != nullptr) ResolveListIndex(setup, copy.get()->media, &copy.get()->media);
    return m_pEngine ? m_pEngine->ParseDriverOptions(text, out, copy.get()) : 0;
}

int ABasePrinterDriverImp::GetTypeNumber() {
    return GetTypeNumberImp();
}

int ABasePrinterDriverImp::Slot11(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op30(a1, a2, a3) : 0;
}

float ABasePrinterDriverImp::Slot12() {
    return 8.0f;
}

int ABasePrinterDriverImp::GetDriverOptionString(char* out, const char* model) {
    return m_pEngine ? m_pEngine->GetDriverOptionString(out, model) : 0;
}

int ABasePrinterDriverImp::GetColorModeName(int32_t index, int32_t* count, char* name,
                                            PrintSetup* setup) {
    PrivateSetupCopy copy(setup);
    if (setup != nullptr) ResolveListIndex(setup, copy.get()->media, &copy.get()->media);
    return m_pEngine ? m_pEngine->GetColorModeName(index, count, name, copy.get()) : 0;
}

int ABasePrinterDriverImp::FindColorMode(const char* name) {
    return m_pEngine ? m_pEngine->FindColorMode(name) : -1;
}

int ABasePrinterDriverImp::GetColorList(int32_t colorMode, ColorList* list) {
    return m_pEngine ? m_pEngine->GetColorList(colorMode, list) : 0;
}

int ABasePrinterDriverImp::LoadScreeningParams(ScreeningRecord* record, PrintSetup* setup) {
    PrivateSetupCopy copy(setup);
    if (setup != nullptr) ResolveListIndex(setup, copy.get()->media, &copy.get()->media);
    return m_pEngine ? m_pEngine->LoadScreeningParams(record, copy.get()) : 0;
}

int ABasePrinterDriverImp::GetDefaultColorMode(char* name, PrintSetup* setup) {
    PrivateSetupCopy copy(setup);
    if (setup != nullptr) ResolveListIndex(setup, copy.get()->media, &copy.get()->media);
    return m_pEngine ? m_pEngine->GetDefaultColorMode(name, copy.get()) : -1;
}

int ABasePrinterDriverImp::Slot20(Word a1, Word a2, Word a3) {
    if (!m_pEngine) return 0;
    if (m_pEngine->Op31(a1, a2, a3) == 0 && m_pJobContext && m_pJobContext->m_pJob != nullptr) {
        m_pJobContext->m_pJob->m_nDone = -1;
    }
    return 1;
}

int ABasePrinterDriverImp::Slot21(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op19(a1, a2, a3) : 3;
}

int ABasePrinterDriverImp::Slot22(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op20(a1, a2, a3) : 3;
}

int ABasePrinterDriverImp::Slot23(Word a1, Word a2, Word a3) {
    return m_pEngine
               ? m_pEngine->Op21(a1, static_cast<PrintModeList*>(a2), static_cast<int32_t*>(a3))
               : 0;
}

int ABasePrinterDriverImp::GetPrintModes(const char* model, PrintModeEntry* current,
                                         PrintModeList* out, int32_t* outValue) {
    PrintModeEntry copy = PrivateEntryCopy(current);
    if (current != nullptr) ResolveListIndex(const_cast<char*>(model), copy.index, &copy.index);
    return m_pEngine ? m_pEngine->GetPrintModes(model, &copy, out, outValue) : 0;
}

int ABasePrinterDriverImp::GetResolutions(const char* model, PrintModeEntry* current,
                                          int32_t* printMode, ResolutionList* out,
                                          int32_t* outValue) {
    PrintModeEntry copy = PrivateEntryCopy(current);
    if (current != nullptr) ResolveListIndex(const_cast<char*>(model), copy.index, &copy.index);
    return m_pEngine ? m_pEngine->GetResolutions(model, &copy, printMode, out, outValue) : 0;
}

int ABasePrinterDriverImp::Slot26(Word a1, PrintModeEntry* entry, Word a3, Word a4, Word a5,
                                  Word a6) {
    PrintModeEntry copy = PrivateEntryCopy(entry);
    if (entry != nullptr) ResolveListIndex(a1, copy.index, &copy.index);
    return m_pEngine ? m_pEngine->Op25(a1, &copy, a3, a4, a5, a6) : 0;
}

int ABasePrinterDriverImp::Slot33(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op27(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot34(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op28(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot35(Word a1, PrintModeEntry* entry, Word a3, int32_t a4,
                                  int32_t* a5) {
    PrintModeEntry copy = PrivateEntryCopy(entry);
    if (entry != nullptr) ResolveListIndex(a1, copy.index, &copy.index);
    return m_pEngine ? m_pEngine->Op29(a1, &copy, a3, a4, a5) : 0;
}

int ABasePrinterDriverImp::Slot36(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op32(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot37(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op33(a1, a2, a3) : 1;
}

int ABasePrinterDriverImp::SettingsDiffer(const PrinterSettings* a, const PrinterSettings* b) {
    if (m_pEngine) return m_pEngine->SettingsDiffer(a, b);
    return std::memcmp(a, b, kSettingsAreaSize) != 0 ? 1 : 0;
}

int ABasePrinterDriverImp::Slot39(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op35(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot40(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op36(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::ValidateSettings(PrinterSettings* settings) {
    return m_pEngine ? m_pEngine->ValidateSettings(settings) : 0;
}

int ABasePrinterDriverImp::Slot42(Word a1, int32_t* a2) {
    if (a2 != nullptr && *a2 < 0) return 1;
    return m_pEngine ? m_pEngine->Op38(a1, a2) : 1;
}

int ABasePrinterDriverImp::Slot43(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op39(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot44(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op40(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot45(Word a1, int32_t a2, int32_t* a3) {
    return m_pEngine ? m_pEngine->Op41(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot46(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op42(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot47(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op43(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::Slot48(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op44(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::LoadDitherParams(const char* model, const char* manufacturer,
                                            PrintSetup* setup, DitherParamRecord* record,
                                            Word reserved) {
    return m_pEngine ? m_pEngine->LoadDitherParams(model, manufacturer, setup, record, reserved)
                     : 0;
}

int ABasePrinterDriverImp::Slot50(Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7) {
    return m_pEngine ? m_pEngine->Op46(a1, static_cast<PrintModeEntry*>(a2), a3, a4, a5, a6, a7)
                     : 0;
}

int ABasePrinterDriverImp::Slot54(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op47(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::SetPrintSettings(PrintSetup* setup) {
    return m_pEngine ? m_pEngine->SetPrintSettings(setup) : 0;
}

int ABasePrinterDriverImp::Slot56(Word a1, Word a2, Word a3) {
    return m_pEngine ? m_pEngine->Op26(a1, a2, a3) : 0;
}

int ABasePrinterDriverImp::GetTypeNumberImp() {
    return m_pEngine ? m_pEngine->GetTypeNumber() : -1;
}

}  // namespace tarnwick
