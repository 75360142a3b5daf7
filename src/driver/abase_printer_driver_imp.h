// The driver façade: owns the job context and the engine, and hands almost
// every slot to the engine. Slots that take a host record give the engine a
// private copy instead.
#pragma once

#include <memory>

#include "engine/abase_rtl.h"
#include "tarnwick/printer_driver.h"

namespace tarnwick {

class ABasePrinterDriverImp : public ABasePrinterDriver {
  public:
    ABasePrinterDriverImp();
    ~ABasePrinterDriverImp() override;

    int OpenJob(HostJobRecord* job, OutputChannel* out) override;
    int PrintStep(Word a1, Word a2, Word a3) override;
    int AbortJob(Word a1, Word a2, Word a3) override;
    int Slot6(Word a1, Word a2, Word a3) override;
    int ParseDriverOptions(const char* text, uint8_t* out, PrintSetup* setup) override;
    int GetTypeNumber() override;
    int Slot11(Word a1, Word a2, Word a3) override;
    float Slot12() override;
    int GetDriverOptionString(char* out, const char* model) override;
    int GetColorModeName(int32_t index, int32_t* count, char* name, PrintSetup* setup) override;
    int FindColorMode(const char* name) override;
    int GetColorList(int32_t colorMode, ColorList* list) override;
    int LoadScreeningParams(ScreeningRecord* record, PrintSetup* setup) override;
    int GetDefaultColorMode(char* name, PrintSetup* setup) override;
    int Slot20(Word a1, Word a2, Word a3) override;
    int Slot21(Word a1, Word a2, Word a3) override;
    int Slot22(Word a1, Word a2, Word a3) override;
    int Slot23(Word a1, Word a2, Word a3) override;
    int GetPrintModes(const char* model, PrintModeEntry* current, PrintModeList* out,
                      int32_t* outValue) override;
    int GetResolutions(const char* model, PrintModeEntry* current, int32_t* printMode,
                       ResolutionList* out, int32_t* outValue) override;
    int Slot26(Word a1, PrintModeEntry* entry, Word a3, Word a4, Word a5, Word a6) override;
    int Slot33(Word a1, Word a2, Word a3) override;
    int Slot34(Word a1, Word a2, Word a3) override;
    int Slot35(Word a1, PrintModeEntry* entry, Word a3, int32_t a4, int32_t* a5) override;
    int Slot36(Word a1, Word a2, Word a3) override;
    int Slot37(Word a1, Word a2, Word a3) override;
    int SettingsDiffer(const PrinterSettings* a, const PrinterSettings* b) override;
    int Slot39(Word a1, Word a2, Word a3) override;
    int Slot40(Word a1, Word a2, Word a3) override;
    int ValidateSettings(PrinterSettings* settings) override;
    int Slot42(Word a1, int32_t* a2) override;
    int Slot43(Word a1, Word a2, Word a3) override;
    int Slot44(Word a1, Word a2, Word a3) override;
    int Slot45(Word a1, int32_t a2, int32_t* a3) override;
    int Slot46(Word a1, Word a2, Word a3) override;
    int Slot47(Word a1, Word a2, Word a3) override;
    int Slot48(Word a1, Word a2, Word a3) override;
    int LoadDitherParams(const char* model, const char* manufacturer, PrintSetup* setup,
                         DitherParamRecord* record, Word reserved) override;
    int Slot50(Word a1, Word a2, Word a3, Word a4, Word a5, Word a6, Word a7) override;
    int Slot54(Word a1, Word a2, Word a3) override;
    int SetPrintSettings(PrintSetup* setup) override;

    virtual int Slot56(Word a1, Word a2, Word a3);  // 56
    // Slot 57; slot 10 asks it, so both answer the engine's type number.
    virtual int GetTypeNumberImp();  // 57
    virtual int LoadJobHeader();     // 58

    // Resolves the media list placeholders (kListLast and its kin) against the
    // engine's list; 0 without an engine.
    int ResolveListIndex(Word source, int32_t value, int32_t* out);

    JobContext* CurrentJobContext() const { return m_pJobContext.get(); }
    ABaseRTL* Engine() const { return m_pEngine.get(); }

  protected:
    std::unique_ptr<JobContext> m_pJobContext;
    std::unique_ptr<ABaseRTL> m_pEngine;
    // Only a job whose OpenJob succeeded may be stepped or aborted: after a failed open the
    // context belongs to no job, and the engine may still point at a freed one.
    bool m_bJobOpen = false;
};

}  // namespace tarnwick
