// Default bodies of the driver interface.
#include "tarnwick/printer_driver.h"

namespace tarnwick {

ABasePrinterDriver::~ABasePrinterDriver() = default;

int ABasePrinterDriver::AbortJob(Word, Word, Word) {
    return 1;
}
int ABasePrinterDriver::Slot4(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot5(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot6(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::ShowOptionsDialog(PrinterSettings*, int32_t, PrintSetup*, void*) {
    return 0;
}
int ABasePrinterDriver::Slot8(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::ParseDriverOptions(const char*, uint8_t*, PrintSetup*) {
    return 0;
}
int ABasePrinterDriver::GetTypeNumber() {
    return -1;
}
int ABasePrinterDriver::Slot11(Word, Word, Word) {
    return 1;
}
float ABasePrinterDriver::Slot12() {
    return 1.0f;
}
int ABasePrinterDriver::GetDriverOptionString(char*, const char*) {
    return 0;
}
int ABasePrinterDriver::Slot14(Word, Word, Word) {
    return 1;
}
int ABasePrinterDriver::LoadScreeningParams(ScreeningRecord*, PrintSetup*) {
    return 0;
}
int ABasePrinterDriver::GetDefaultColorMode(char*, PrintSetup*) {
    return -1;
}
int ABasePrinterDriver::Slot20(Word, Word, Word) {
    return 1;
}
int ABasePrinterDriver::Slot21(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot22(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot23(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::GetPrintModes(const char*, PrintModeEntry*, PrintModeList*, int32_t*) {
    return 0;
}
int ABasePrinterDriver::GetResolutions(const char*, PrintModeEntry*, int32_t*, ResolutionList*,
                                       int32_t*) {
    return 0;
}
int ABasePrinterDriver::Slot26(Word, PrintModeEntry*, Word, Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot27(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot28(Word, Word, Word) {
    return 0;
}

// Slots 29 to 32 copy the first of two 8-byte values into the second.
int64_t ABasePrinterDriver::Slot29(int64_t* values) {
    return values[1] = values[0];
}
int64_t ABasePrinterDriver::Slot30(int64_t* values) {
    return values[1] = values[0];
}
int64_t ABasePrinterDriver::Slot31(int64_t* values) {
    return values[1] = values[0];
}
int64_t ABasePrinterDriver::Slot32(int64_t* values) {
    return values[1] = values[0];
}

int ABasePrinterDriver::Slot33(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot34(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot35(Word, PrintModeEntry*, Word, int32_t, int32_t*) {
    return 0;
}
int ABasePrinterDriver::Slot36(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot37(Word, Word, Word) {
    return 1;
}
int ABasePrinterDriver::SettingsDiffer(const PrinterSettings*, const PrinterSettings*) {
    return 0;
}
int ABasePrinterDriver::Slot39(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot40(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::ValidateSettings(PrinterSettings*) {
    return 1;
}
int ABasePrinterDriver::Slot42(Word, int32_t*) {
    return 1;
}
int ABasePrinterDriver::Slot43(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot44(Word, Word, Word) {
    return 1;
}
int ABasePrinterDriver::Slot45(Word, int32_t, int32_t*) {
    return 1;
}
int ABasePrinterDriver::Slot46(Word, Word, Word) {
    return 1;
}
int ABasePrinterDriver::Slot47(Word, Word, Word) {
    return 1;
}
int ABasePrinterDriver::Slot48(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::LoadDitherParams(const char*, const char*, PrintSetup*, DitherParamRecord*,
                                         Word) {
    return 0;
}
int ABasePrinterDriver::Slot50(Word, Word, Word, Word, Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot51(int32_t colorMode, ColorList* list) {
    return GetColorList(colorMode, list);
}
int ABasePrinterDriver::Slot52(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::Slot53(const char* model, const char* manufacturer, PrintSetup* setup,
                               DitherParamRecord* record, Word, Word a6) {
    return LoadDitherParams(model, manufacturer, setup, record, a6);
}
int ABasePrinterDriver::Slot54(Word, Word, Word) {
    return 0;
}
int ABasePrinterDriver::SetPrintSettings(PrintSetup*) {
    return 0;
}

}  // namespace tarnwick
