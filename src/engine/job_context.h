// The context of one open job: made by the driver's OpenJob, shared by the façade and the
// engine, never seen by the host.
#pragma once

#include <cstdint>

#include "tarnwick/records.h"

namespace tarnwick {

struct JobContext {
    int32_t m_nPageCount;
    int32_t m_nCurPage;
    int32_t m_bStartPage;
    int32_t m_bPageDone;
    int32_t m_nImageChannels;
    int32_t m_nBitsPerPixel;
    int32_t m_nCurRow;
    int32_t m_nBytesPerRow;
    int32_t m_nImageWidth;
    int32_t m_nImageHeight;
    HostJobRecord* m_pJob;
    int32_t m_nFullHeight;
    int32_t m_nFullWidth;
    char m_szPrinterModel[64];
    char m_szCalibrationText[64];
    SettingsArea m_Settings;
    int32_t m_nColorModel;
    int16_t m_nPlanes;
    int16_t m_nPlaneLayout;
    int32_t m_nOffsetX;
    int32_t m_nOffsetY;
    int32_t m_bRemoveOffsetX;
    int32_t m_bRemoveOffsetY;
    int32_t m_nRowCounter;
    int16_t m_nJobResX;
    int16_t m_nJobResY;
    uint8_t m_bAbort;
    int16_t m_nPlaneBits[kMaxPlanes];
    int16_t m_nScaleX;
    int16_t m_nScaleY;
};

}  // namespace tarnwick
