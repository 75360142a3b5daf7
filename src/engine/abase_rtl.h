// Root of the raster engine: shared state, the buffered output, status and
// progress texts, the driver option parsers and default bodies for the
// engine's table of virtual operations. The declaration order is the table
// order. Operations without a documented meaning are named OpN.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "engine/job_context.h"
#include "tarnwick/records.h"

namespace tarnwick {

class OXJob;
class AImage;

using Word = void*;

class ABaseRTL {
  public:
    static constexpr uint32_t kWriteBufSize = 1048576;
    // The buffer keeps a margin of 32 bytes below 1 MiB.
    static constexpr uint32_t kWriteThreshold = 1048544;

    ABaseRTL();
    ABaseRTL(const ABaseRTL&) = delete;
    ABaseRTL& operator=(const ABaseRTL&) = delete;

    virtual ~ABaseRTL();  // 0
    virtual int StartJob(JobContext* ctx, int reserved, OutputChannel* out,
                         PrinterSettings* options) = 0;    // 1
    virtual int AbortJob(Word a1, Word a2, Word a3) = 0;   // 2
    virtual int PrintStep(Word a1, Word a2, Word a3) = 0;  // 3
    virtual void GetBaseResolution(int* x, int* y) = 0;    // 4
    virtual void ExpandPixels(int bits, int bitCount, const uint8_t* src, int repeat,
                              int32_t* bitPos, uint8_t* dst);               // 5
    virtual void ReportProgress(int percent);                               // 6
    virtual int32_t WriteNdata(const uint8_t* data, int32_t n, int flush);  // 7
    virtual void SetHostStatus(int code, const char* text);                 // 8
    virtual int ApplyDriverOptions(const char* text, uint8_t* settings,
                                   const char* model);                                  // 9
    virtual int ParseDriverOptions(const char* text, uint8_t* out, PrintSetup* setup);  // 10
    virtual int GetDriverOptionString(char* out, const char* model);                    // 11
    virtual int GetTypeNumber() = 0;                                                    // 12
    virtual int Op13(Word a1, Word a2, Word a3);                                        // 13
    virtual int GetColorModeName(int32_t index, int32_t* count, char* name,
                                 PrintSetup* setup) = 0;                          // 14
    virtual int GetColorList(int32_t colorMode, ColorList* list) = 0;             // 15
    virtual int FindColorMode(const char* name) = 0;                              // 16
    virtual int GetDefaultColorMode(char* name, PrintSetup* setup) = 0;           // 17
    virtual int LoadScreeningParams(ScreeningRecord* record, PrintSetup* setup);  // 18
    virtual int Op19(Word a1, Word a2, Word a3);                                  // 19
    virtual int Op20(Word a1, Word a2, Word a3);                                  // 20
    virtual int Op21(Word source, PrintModeList* list, int32_t* scratch);         // 21
    virtual int GetPrintModes(const char* model, PrintModeEntry* current, PrintModeList* out,
                              int32_t* outValue);  // 22
    virtual int GetResolutions(const char* model, PrintModeEntry* current, int32_t* printMode,
                               ResolutionList* out, int32_t* outValue);  // 23
    virtual int MakeResolutionEntry(ResolutionEntry* entry, double x, double y, int32_t id,
                                    const char* name, const char* suffix);                 // 24
    virtual int Op25(Word a1, PrintModeEntry* entry, Word a3, Word a4, Word a5, Word a6);  // 25
    virtual int Op26(Word a1, Word a2, Word a3);                                           // 26
    virtual int Op27(Word a1, Word a2, Word a3);                                           // 27
    virtual int Op28(Word a1, Word a2, Word a3);                                           // 28
    virtual int Op29(Word a1, PrintModeEntry* entry, Word a3, int32_t a4, int32_t* a5);    // 29
    virtual int Op30(Word a1, Word a2, Word a3);                                           // 30
    virtual int Op31(Word a1, Word a2, Word a3);                                           // 31
    virtual int Op32(Word a1, Word a2, Word a3);                                           // 32
    virtual int Op33(Word a1, Word a2, Word a3);                                           // 33
    virtual int SettingsDiffer(const PrinterSettings* a, const PrinterSettings* b);        // 34
    virtual int Op35(Word a1, Word a2, Word a3);                                           // 35
    virtual int Op36(Word a1, Word a2, Word a3);                                           // 36
    virtual int ValidateSettings(PrinterSettings* settings);                               // 37
    virtual int Op38(Word a1, int32_t* a2);                                                // 38
    virtual int Op39(Word a1, Word a2, Word a3);                                           // 39
    virtual int Op40(Word a1, Word a2, Word a3);                                           // 40
    virtual int Op41(Word a1, int32_t a2, int32_t* a3);                                    // 41
    virtual int Op42(Word a1, Word a2, Word a3);                                           // 42
    virtual int Op43(Word a1, Word a2, Word a3);                                           // 43
    virtual int Op44(Word a1, Word a2, Word a3);                                           // 44
    virtual int LoadDitherParams(const char* model, const char* manufacturer, PrintSetup* setup,
                                 DitherParamRecord* record, Word reserved);  // 45
    virtual int Op46(Word a1, PrintModeEntry* entry, Word a3, Word a4, Word a5, Word a6,
                     Word a7);                        // 46
    virtual int Op47(Word a1, Word a2, Word a3);      // 47
    virtual int SetPrintSettings(PrintSetup* setup);  // 48

    // Plain helpers of this layer.
    static constexpr int kBinaryOptionBytes = 200;
    // The bytes of a "DriverOptionBinary=<hex>" text, two hexadecimal digits each, up to the end
    // of the text; how many it gives, or -1 when the text is not a binary option text.
    static int ReadBinaryOptions(const char* text, std::span<uint8_t, kBinaryOptionBytes> bytes);
    static int ParseDriverOptionPairs(const char* text, uint8_t* out, int n);
    static int InsertOptionValues(char* text, const uint8_t* values);

    JobContext* Context() const { return m_pCtx; }
    const PrintSetup& CurrentPrintSetup() const { return m_PrintSetup; }

  protected:
    // Sends bytes to the host's channel; throws the integer 0 after logging
    // the given line when fewer bytes were accepted.
    void SendToChannel(const uint8_t* data, int32_t n, int logLine, bool logCount);

    std::unique_ptr<OXJob> m_pOXJob;
    AImage* m_pImage = nullptr;
    OutputChannel* m_pOutput = nullptr;
    JobContext* m_pCtx = nullptr;
    std::unique_ptr<uint8_t[]> m_pWriteBuf;
    uint32_t m_nWriteLen = 0;
    PrintSetup m_PrintSetup{};
};

}  // namespace tarnwick
