// The printer class for roll-fed RTL printers framed by PJL: job header,
// PackBits row transfer, page end, the settings record and the capability
// tables.
#pragma once

#include <cstdint>
#include <span>

#include "engine/arow_base_rtl.h"
#include "rtl/command_text.h"
#include "rtl/rtl_writer.h"

namespace tarnwick {

class RTL : public ARowBaseRTL {
  public:
    RTL();
    ~RTL() override;

    void GetBaseResolution(int* x, int* y) override;
    int ApplyDriverOptions(const char* text, uint8_t* settings, const char* model) override;
    int ParseDriverOptions(const char* text, uint8_t* out, PrintSetup* setup) override;
    int GetDriverOptionString(char* out, const char* model) override;
    int GetTypeNumber() override;
    int GetColorList(int32_t colorMode, ColorList* list) override;
    int GetDefaultColorMode(char* name, PrintSetup* setup) override;
    int GetPrintModes(const char* model, PrintModeEntry* current, PrintModeList* out,
                      int32_t* outValue) override;
    int GetResolutions(const char* model, PrintModeEntry* current, int32_t* printMode,
                       ResolutionList* out, int32_t* outValue) override;
    int SettingsDiffer(const PrinterSettings* a, const PrinterSettings* b) override;
    int ValidateSettings(PrinterSettings* settings) override;
    int SendAllColorData(const int32_t* rowLen, uint8_t* const* planeBuf) override;
    int IdentifyPrinterModel(PrinterSettings* settings) override;
    int SendHeader() override;
    int SendPlaneRow(int16_t plane, int32_t length, const uint8_t* data, int last) override;
    int ResetPrinter(Word a1, Word a2, Word a3) override;
    void GetColorPlanes(int32_t colorMode, int16_t* planes, int16_t* layout) override;
    void InitPlaneOrder() override;

    // Writes the defaults into bytes 0 to 9, 11 and 13 of the record.
    static void ResetSettings(PrinterSettings* settings);
    int SendBlankRows(int count);
    static double GetCalibrationValue(const char* text);

    int32_t RowBytes() const { return m_nRowBytes; }
    PrinterSettings* Settings() const { return m_pSettings; }

  private:
    struct RowPlan;

    // The engine's buffered output as the writer's sink.
    class EngineSink : public ByteSink {
      public:
        explicit EngineSink(ABaseRTL& engine) : m_engine(engine) {}
        bool Put(std::span<const uint8_t> bytes, bool flush) override;

      private:
        ABaseRTL& m_engine;
    };

    std::span<uint8_t> CmdBuffer() const;
    // A writer over the engine's output and command buffer.
    RtlWriter Writer();
    // The values of the job the header and the page end are made from; HasJob first.
    JobValues Job() const;
    // Logs and answers false when a job operation runs without its job
    // context, host record, settings record or command buffer.
    bool HasJob(const char* operation) const;
    // Lists the plane transfers of one row and checks them all before any
    // byte of the row is touched; false (logged) when the row is refused.
    bool PlanRow(const int32_t* rowLen, uint8_t* const* planeBuf, RowPlan& plan);

    EngineSink m_sink;
    PrinterSettings* m_pSettings = nullptr;
    int32_t m_nRowBytes = 0;
};

}  // namespace tarnwick
