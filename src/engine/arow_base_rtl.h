// The row-based engine: the job and page state machine, the named mutexes
// shared with the host, the line buffers that turn page images into plane
// rows, and the colour mode operations. Printer classes derive from it and
// supply the printer language.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/abase_rtl.h"
#include "engine/job_locks.h"
#include "host/astring.h"

namespace tarnwick {

class AColorant;
class AGroupImage;

class ARowBaseRTL : public ABaseRTL {
  public:
    static constexpr int32_t kCmdBufSize = 20480;

    ARowBaseRTL();
    ~ARowBaseRTL() override;

    int StartJob(JobContext* ctx, int reserved, OutputChannel* out,
                 PrinterSettings* options) override;
    int AbortJob(Word a1, Word a2, Word a3) override;
    int PrintStep(Word a1, Word a2, Word a3) override;
    int GetColorModeName(int32_t index, int32_t* count, char* name, PrintSetup* setup) override;
    int GetColorList(int32_t colorMode, ColorList* list) override;
    int FindColorMode(const char* name) override;
    int GetDefaultColorMode(char* name, PrintSetup* setup) override;

    virtual int SendAllColorData(const int32_t* rowLen, uint8_t* const* planeBuf);       // 49
    virtual int MakeLineBufArray();                                                      // 50
    virtual int MakeLineBufArrayAt(int32_t* rowLen, uint8_t* const* planeBuf, int row);  // 51
    virtual int MakePlaneRow(int32_t* rowLen, uint8_t* dst, int plane, int row);         // 52
    virtual int GetGroupImageBuffers();                                                  // 53
    virtual int StartPage();                                                             // 54
    virtual int EndPage(Word a1, Word a2, Word a3);                                      // 55
    virtual int IdentifyPrinterModel(PrinterSettings* settings) = 0;                     // 56
    virtual int GetPlaneOrder(int16_t index);                                            // 57
    virtual int SendHeader() = 0;                                                        // 58
    virtual int SendPlaneRow(int16_t plane, int32_t length, const uint8_t* data,
                             int last) = 0;                                            // 59
    virtual int SendBlankPlane(int16_t plane, int32_t length, int last);               // 60
    virtual void ComputePageGeometry();                                                // 61
    virtual int ResetPrinter(Word a1, Word a2, Word a3) = 0;                           // 62
    virtual int EndJob();                                                              // 63
    virtual void GetColorPlanes(int32_t colorMode, int16_t* planes, int16_t* layout);  // 64
    virtual void InitPlaneOrder();                                                     // 65

    int ReadJobOptions();
    // Lets go of the current job, finished or not: its locks, page buffers, job file, the bytes
    // still buffered for its channel and the pointers to its context and channel. A driver
    // calls it before it frees a job context.
    void ForgetJob();

    // Page geometry and line buffers, read by the printer class and tests.
    int32_t DevResX() const { return m_nDevResX; }
    int32_t DevResY() const { return m_nDevResY; }
    int32_t DevWidth() const { return m_nDevWidth; }
    int32_t DevHeight() const { return m_nDevHeight; }
    int32_t DevOffsetY() const { return m_nDevOffsetY; }
    int32_t RowBufSize() const { return m_nRowBufSize; }
    int PlaneChannel(int plane) const { return m_nPlaneChannel[plane]; }
    const AString& JobId() const { return m_strJobId; }
    const AString& PauseBtwPages() const { return m_strPauseBtwPages; }
    int32_t PagesDone() const { return m_nPagesDone; }
    bool HoldsStartLock() const;
    bool HoldsLayoutLock() const;

  protected:
    // The data file of the job, or an empty text when none exists.
    AString FindDataFile(bool prefix0Only) const;
    // The three phases of a step, and the step of a job whose last announced page is printed
    // while the host is still writing.
    int StartPagePhase();
    int RowsPhase();
    int EndPagePhase(Word a1, Word a2, Word a3);
    int AwaitNextPage();

    enum class WaitResult { kReloaded, kNotYet, kFailed };
    // One wait for the host: gives the job file and the start mutex up, sleeps once, and, if the
    // start mutex is free, reloads the job file. kNotYet leaves the engine waiting (no job file,
    // start mutex not held) for the next step to try again.
    WaitResult WaitForHost();
    // The job's data file; throws the integer 0 (logged) when it has vanished.
    AString ExistingDataFile() const;
    // Reloads the job file while holding the start mutex; false when it cannot be read.
    bool ReloadJob(const AString& dataFile);
    // True while the host is still writing the job as far as the loaded file tells.
    bool HostWriting() const;
    // True when row m_nCurRow of the current page is in the loaded file.
    bool RowWritten() const;
    void SendBlankRowsForShortPage(int32_t missing);
    // Takes the group-image offset out of the page image again, as StartPage did.
    void RestoreImageOffset();
    // Remembers what of the page the host may not change while it is printed.
    void RememberPageShape(const class AObList& colorants);
    // A page without width or colorants has nothing to print.
    static bool IsEmptyPage(const AImage& image);
    // After the last announced page: ends the job unless the host is still writing.
    void EndJobIfNoPageFollows();
    // Throws the integer 0 when the reloaded page differs from the one being printed.
    void CheckPageShapeUnchanged() const;
    void AllocatePageBuffers();
    void FreePageBuffers();
    void ApplyCustomColorMode(ColorList& list) const;
    void MapColorants(const ColorList& list, class AObList& colorants);

    struct PageShape {
        int width = 0;
        int height = 0;
        int offsetX = 0;
        int offsetY = 0;
        std::vector<std::pair<std::string, int>> colorants;  // name and bits per pixel
    };

    JobLocks m_locks;
    bool m_bWaitingForHost = false;  // the job file and the start mutex are given up
    PageShape m_pageShape;
    int64_t m_nOffsetRowsSent = 0;  // blank top rows of the job's pages so far
    AString m_strJobId;
    AString m_strPauseBtwPages;
    int32_t m_nPagesDone = 0;
    bool m_bJobActive = false;

    std::unique_ptr<uint8_t[]> m_pCmdBuf;
    std::unique_ptr<uint8_t[]> m_pScratchBuf;
    int32_t m_nCmdBufSize = kCmdBufSize;
    std::unique_ptr<uint8_t[]> m_pRowBuf;
    int32_t m_nRowBufSize = 0;
    std::vector<std::unique_ptr<uint8_t[]>> m_planeStorage;
    std::array<uint8_t*, kMaxPlanes> m_ppPlaneBuf{};
    std::array<int32_t, kMaxPlanes> m_nRowLen{};
    std::array<std::unique_ptr<AColorant>, kMaxPlanes> m_pChannel;
    std::array<int32_t, kMaxPlanes> m_nPlaneChannel{};
    std::array<int8_t, kMaxPlanes> m_PlaneOrder{};
    AGroupImage* m_pGroupImage = nullptr;
    int32_t m_nDevResX = 0;
    int32_t m_nDevResY = 0;
    int32_t m_nDevOffsetY = 0;
    int32_t m_nDevWidth = 0;
    int32_t m_nDevHeight = 0;
};

}  // namespace tarnwick
