// The driver interface the print host calls by slot number. The declaration
// order below is the slot order and must never change. Slots the host calls
// without a documented meaning are named SlotN and take three opaque words
// unless their shape is known.
//
// With the Itanium C++ ABI the destructor takes two table entries, so slot N
// (N >= 1) sits at table index N + 1.
#pragma once

#include <cstdint>

#include "tarnwick/records.h"

namespace tarnwick {

using Word = void*;

class ABasePrinterDriver {
  public:
    ABasePrinterDriver() = default;
    ABasePrinterDriver(const ABasePrinterDriver&) = delete;
    ABasePrinterDriver& operator=(const ABasePrinterDriver&) = delete;

    virtual ~ABasePrinterDriver();                                    // 0
    virtual int OpenJob(HostJobRecord* job, OutputChannel* out) = 0;  // 1
    virtual int PrintStep(Word a1, Word a2, Word a3) = 0;             // 2
    virtual int AbortJob(Word a1, Word a2, Word a3);                  // 3
    virtual int Slot4(Word a1, Word a2, Word a3);                     // 4
    virtual int Slot5(Word a1, Word a2, Word a3);                     // 5
    virtual int Slot6(Word a1, Word a2, Word a3);                     // 6
    virtual int ShowOptionsDialog(PrinterSettings* settings, int32_t action, PrintSetup* setup,
                                  void* parentWindow);                                  // 7
    virtual int Slot8(Word a1, Word a2, Word a3);                                       // 8
    virtual int ParseDriverOptions(const char* text, uint8_t* out, PrintSetup* setup);  // 9
    virtual int GetTypeNumber();                                                        // 10
    virtual int Slot11(Word a1, Word a2, Word a3);                                      // 11
    virtual float Slot12();                                                             // 12
    virtual int GetDriverOptionString(char* out, const char* model);                    // 13
    virtual int Slot14(Word a1, Word a2, Word a3);                                      // 14
    virtual int GetColorModeName(int32_t index, int32_t* count, char* name,
                                 PrintSetup* setup) = 0;                          // 15
    virtual int FindColorMode(const char* name) = 0;                              // 16
    virtual int GetColorList(int32_t colorMode, ColorList* list) = 0;             // 17
    virtual int LoadScreeningParams(ScreeningRecord* record, PrintSetup* setup);  // 18
    virtual int GetDefaultColorMode(char* name, PrintSetup* setup);               // 19
    virtual int Slot20(Word a1, Word a2, Word a3);                                // 20
    virtual int Slot21(Word a1, Word a2, Word a3);                                // 21
    virtual int Slot22(Word a1, Word a2, Word a3);                                // 22
    virtual int Slot23(Word a1, Word a2, Word a3);                                // 23
    virtual int GetPrintModes(const char* model, PrintModeEntry* current, PrintModeList* out,
                              int32_t* outValue);  // 24
    virtual int GetResolutions(const char* model, PrintModeEntry* current, int32_t* printMode,
                               ResolutionList* out, int32_t* outValue);  // 25
    virtual int Slot26(Word a1, PrintModeEntry* entry, Word a3, Word a4, Word a5,
                       Word a6);                    // 26
    virtual int Slot27(Word a1, Word a2, Word a3);  // 27
    virtual int Slot28(Word a1, Word a2, Word a3);  // 28
    virtual int64_t Slot29(int64_t* values);        // 29
    virtual int64_t Slot30(int64_t* values);        // 30
    virtual int64_t Slot31(int64_t* values);        // 31
    virtual int64_t Slot32(int64_t* values);        // 32
    virtual int Slot33(Word a1, Word a2, Word a3);  // 33
    virtual int Slot34(Word a1, Word a2, Word a3);  // 34
    virtual int Slot35(Word a1, PrintModeEntry* entry, Word a3, int32_t a4,
                       int32_t* a5);                                                 // 35
    virtual int Slot36(Word a1, Word a2, Word a3);                                   // 36
    virtual int Slot37(Word a1, Word a2, Word a3);                                   // 37
    virtual int SettingsDiffer(const PrinterSettings* a, const PrinterSettings* b);  // 38
    virtual int Slot39(Word a1, Word a2, Word a3);                                   // 39
    virtual int Slot40(Word a1, Word a2, Word a3);                                   // 40
    virtual int ValidateSettings(PrinterSettings* settings);                         // 41
    virtual int Slot42(Word a1, int32_t* a2);                                        // 42
    virtual int Slot43(Word a1, Word a2, Word a3);                                   // 43
    virtual int Slot44(Word a1, Word a2, Word a3);                                   // 44
    virtual int Slot45(Word a1, int32_t a2, int32_t* a3);                            // 45
    virtual int Slot46(Word a1, Word a2, Word a3);                                   // 46
    virtual int Slot47(Word a1, Word a2, Word a3);                                   // 47
    virtual int Slot48(Word a1, Word a2, Word a3);                                   // 48
    virtual int LoadDitherParams(const char* model, const char* manufacturer, PrintSetup* setup,
                                 DitherParamRecord* record, Word reserved);  // 49
    virtual int Slot50(Word a1, Word a2, Word a3, Word a4, Word a5, Word a6,
                       Word a7);                             // 50
    virtual int Slot51(int32_t colorMode, ColorList* list);  // 51
    virtual int Slot52(Word a1, Word a2, Word a3);           // 52
    virtual int Slot53(const char* model, const char* manufacturer, PrintSetup* setup,
                       DitherParamRecord* record, Word a5, Word a6);  // 53
    virtual int Slot54(Word a1, Word a2, Word a3);                    // 54
    virtual int SetPrintSettings(PrintSetup* setup);                  // 55
};

}  // namespace tarnwick

extern "C" {
// The module's two exports.
tarnwick::ABasePrinterDriver* createNewPrinterDriver();
void* createDriverPage(tarnwick::PrinterSettings* settings, const char* modelName);
}

using CreateNewPrinterDriverFn = tarnwick::ABasePrinterDriver* (*)();
using CreateDriverPageFn = void* (*)(tarnwick::PrinterSettings*, const char*);
