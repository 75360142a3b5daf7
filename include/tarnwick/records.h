// Records that cross the boundary between the print host and the driver.
// Their byte layout is fixed by the host; every offset is checked below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

// The tag of a printer settings record that has been set up; any other tag means the record
// holds no settings yet.
inline constexpr uint8_t kSettingsTag = 24;

// Placeholders the host may give instead of an index into the media list: the last entry, the
// second-to-last entry (the last one when there is only one), and the last entry again.
inline constexpr int32_t kListLast = -100;
inline constexpr int32_t kListSecondToLast = -101;
inline constexpr int32_t kListLastToo = -102;

// The printer settings record: the first 14 bytes of the job's 256-byte
// driver option area.
struct PrinterSettings {
    uint8_t tag;                   // kSettingsTag marks an initialised record
    uint8_t mediaFeedCalibration;  // 0 off, 1 on
    uint8_t printDirection;        // 0 unidirectional, 1 bidirectional
    uint8_t pageSpacing;           // 0..10, steps of 10 mm
    uint8_t overprint;             // 0..2: overprint 1..3
    uint8_t cutSheet;              // 0 no, 1 yes
    uint8_t dryTime;               // 0..6: index into the dry time table
    uint8_t cropMark;              // 0 no, 1 yes
    uint8_t driverOptionsOff;      // 1: driver options disabled
    uint8_t advanceAfterPrint;     // 0 no, 1 yes
    uint8_t reserved10;
    uint8_t reserved11;  // kept at 3
    uint8_t modelClass;  // 0 generic, 1 named models, 2 CP52-LM
    uint8_t colorBar;    // 0 none, 1 pure colour, 2 mixed colour
};
static_assert(sizeof(PrinterSettings) == 14);
static_assert(offsetof(PrinterSettings, modelClass) == 12);
static_assert(offsetof(PrinterSettings, colorBar) == 13);

inline constexpr std::size_t kSettingsAreaSize = 256;

// The whole driver option area; the settings record fills its start.
struct SettingsArea {
    PrinterSettings settings;
    uint8_t rest[kSettingsAreaSize - sizeof(PrinterSettings)];
};
static_assert(sizeof(SettingsArea) == kSettingsAreaSize);

// The host's output object. Slot 1 receives the whole printer stream.
class OutputChannel {
  public:
    virtual ~OutputChannel() = default;
    // Returns the number of bytes accepted.
    virtual int32_t Write(const uint8_t* data, int32_t length, int64_t tag) = 0;
};

// Values of HostJobRecord::m_nStatusCode.
inline constexpr int32_t kStatusProgress = 3;  // m_szStatus holds the progress text
inline constexpr int32_t kStatusAborted = 7;   // m_szStatus is "Aborted"

// The host's job record; the driver touches only the named fields.
struct HostJobRecord {
    char path[2056];        // job ticket path, NUL-terminated
    int32_t m_nJoinMode;    // 2056
    int32_t m_nDone;        // 2060: -1 once the driver has finished the job
    char m_szStatus[256];   // 2064
    int32_t m_nStatusCode;  // 2320: 3 progress, 7 aborted
    uint8_t reserved2324[36];
    int64_t m_nOutputTag;  // 2360: handed unchanged to every OutputChannel write
    uint8_t reserved2368[4];
    int32_t m_nPrintMode;  // 2372
    uint8_t reserved2376[64];
    const char* m_pszCustomColorXml;  // 2440: job options XML text
    uint8_t reserved2448[20];
    int32_t m_bDirectDataName;  // 2468
    uint8_t reserved2472[8];
};
static_assert(offsetof(HostJobRecord, m_nJoinMode) == 2056);
static_assert(offsetof(HostJobRecord, m_nDone) == 2060);
static_assert(offsetof(HostJobRecord, m_szStatus) == 2064);
static_assert(offsetof(HostJobRecord, m_nStatusCode) == 2320);
static_assert(offsetof(HostJobRecord, m_nOutputTag) == 2360);
static_assert(offsetof(HostJobRecord, m_nPrintMode) == 2372);
static_assert(offsetof(HostJobRecord, m_pszCustomColorXml) == 2440);
static_assert(offsetof(HostJobRecord, m_bDirectDataName) == 2468);

// The host's print-setup record. The text pointer sits at offset 580, so the
// record is packed to 4 bytes.
#pragma pack(push, 4)
struct PrintSetup {
    char modelName[64];  // 0
    uint8_t reserved64[144];
    int32_t colorMode;   // 208
    int32_t media;       // 212: -100, -101, -102 are list placeholders
    int32_t printMode;   // 216
    int32_t resolution;  // 220
    uint8_t reserved224[32];
    char manufacturerName[64];  // 256
    uint8_t reserved320[260];
    char* text;  // 580: owned by the record; a copy gets its own buffer
    int32_t value588;
};
#pragma pack(pop)
static_assert(offsetof(PrintSetup, colorMode) == 208);
static_assert(offsetof(PrintSetup, media) == 212);
static_assert(offsetof(PrintSetup, printMode) == 216);
static_assert(offsetof(PrintSetup, resolution) == 220);
static_assert(offsetof(PrintSetup, manufacturerName) == 256);
static_assert(offsetof(PrintSetup, text) == 580);
static_assert(offsetof(PrintSetup, value588) == 588);
static_assert(sizeof(PrintSetup) == 592);

// A print mode list entry.
struct PrintModeEntry {
    int32_t index;  // -1 when empty
    char name[256];
    char name2[256];
};
static_assert(sizeof(PrintModeEntry) == 516);
using PrintModeList = std::vector<PrintModeEntry>;

// A resolution list entry.
#pragma pack(push, 4)
struct ResolutionEntry {
    double xDpi;
    double yDpi;
    int32_t id;
    char name[256];
};
#pragma pack(pop)
static_assert(offsetof(ResolutionEntry, id) == 16);
static_assert(offsetof(ResolutionEntry, name) == 20);
static_assert(sizeof(ResolutionEntry) == 276);
using ResolutionList = std::vector<ResolutionEntry>;

// One colorant of a colour mode.
struct ColorEntry {
    char name[64];         // internal colorant name
    char displayName[64];  // name shown to the user
    int32_t isSpot;
    int32_t print;
    int32_t depth;  // bits per pixel
    uint32_t colorValue;
};
static_assert(sizeof(ColorEntry) == 144);
static_assert(offsetof(ColorEntry, isSpot) == 128);
static_assert(offsetof(ColorEntry, colorValue) == 140);

// A colour mode's colorants; whoever makes the list owns the entries.
struct ColorList {
    int32_t count;
    ColorEntry* entries;
    int32_t capacity;
};

// Host-owned dither parameters.
inline constexpr int kDitherInks = 16;
inline constexpr int kDitherLevels = 64;
struct DitherParamRecord {
    int32_t levelCount;
    float weights[kDitherInks][kDitherLevels];
    int32_t antiClogLevel;
    float noiseLevel;
    int32_t inkCount;
};
static_assert(offsetof(DitherParamRecord, weights) == 4);
static_assert(offsetof(DitherParamRecord, antiClogLevel) == 4100);
static_assert(offsetof(DitherParamRecord, noiseLevel) == 4104);
static_assert(offsetof(DitherParamRecord, inkCount) == 4108);
static_assert(sizeof(DitherParamRecord) == 4112);

// Host-owned halftone screens.
struct ScreenEntry {
    char shapeName[128];
    float frequency;
    float angle;
    char colorName[64];
};
static_assert(sizeof(ScreenEntry) == 200);
static_assert(offsetof(ScreenEntry, colorName) == 136);

inline constexpr int kMaxScreenEntries = 256;
#pragma pack(push, 4)
struct ScreeningRecord {
    int32_t count;
    ScreenEntry entries[kMaxScreenEntries];
};
#pragma pack(pop)
static_assert(offsetof(ScreeningRecord, entries) == 4);
static_assert(sizeof(ScreeningRecord) == 51204);

// The first 3940 bytes of the job ticket file.
inline constexpr std::size_t kJobHeaderSize = 3940;
namespace job_header {
inline constexpr std::size_t kPrinterModel = 584;      // char[64]
inline constexpr std::size_t kResX = 856;              // int16
inline constexpr std::size_t kResY = 858;              // int16
inline constexpr std::size_t kSettings = 2552;         // 256 bytes
inline constexpr std::size_t kCalibrationText = 3768;  // char[64]
inline constexpr std::size_t kColorModel = 3834;       // int16
}  // namespace job_header

inline constexpr int kMaxPlanes = 16;

}  // namespace tarnwick
