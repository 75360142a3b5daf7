// The start of every page: UEL, PJL settings, language entry, raster
// geometry, compression and the blank rows of the top offset.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/c_locale.h"
#include "host/kv_log.h"
#include "rtl/color_bar.h"
#include "rtl/command_text.h"
#include "rtl/header_values.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/rtl_log.h"
#include "rtl/settings_check.h"

namespace tarnwick {
namespace {

// Calibration values outside this open interval, as printed, are not sent.
constexpr double kCalibrationLimit = 2.0;

}  // namespace

int RTL::SendHeader() {
    if (!HasJob("SendHeader")) return 0;
    const PrinterSettings& s = *m_pSettings;
    const HostJobRecord& job = *m_pCtx->m_pJob;
    // A byte past its range would go out as a setting the printer does not have, e.g. a
    // negative page spacing: the page is refused before its first byte.
    if (std::string why; !CheckSettingsRecord(s, why)) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("SendHeader: settings record: %s", why.c_str());
        return 0;
    }

    const HeaderValues v = ComputeHeaderValues(
        {m_nDevResX, m_nDevResY, m_pCtx->m_nFullWidth, m_nDevWidth, m_nDevHeight, m_pCtx->m_nScaleX,
         m_pCtx->m_nPlanes, job.m_nPrintMode, s.modelClass, s.colorBar});
    if (v.error != nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("SendHeader: %s", v.error);
        return 0;
    }
    m_nRowBytes = v.rowBytes;

    // Refuse the page before its first byte rather than in the middle of it.
    if (s.colorBar != kColorBarNone) {
        if (!Writer().PlaneRowFits(m_nRowBytes)) return 0;
        if (m_nRowBytes > m_nRowBufSize) {
            KVLogHelper(kRtlLogSource, __LINE__, 'E')
                .Log("colour bar row of %d bytes does not fit the line buffer of %d bytes",
                     m_nRowBytes, m_nRowBufSize);
            return 0;
        }
    } else if (!Writer().PlaneRowFits(v.imageRowBytes)) {
        return 0;
    }

    return Writer().Header(Job(), v, m_nDevHeight, m_nDevOffsetY) ? 1 : 0;
}

int RTL::SendBlankRows(int count) {
    if (count < 1) return 1;
    if (!HasJob("SendBlankRows")) return 0;
    // The print loop counts these rows; the language only writes them.
    return Writer().BlankRows(count) ? 1 : 0;
}

bool CalibrationCommandValue(const char* text, std::string& value, std::string& error) {
    const double c = RTL::GetCalibrationValue(text);
    // The printer wants a decimal point whatever the process locale.
    value = FormatC("%.2f", c);
    bool ok = false;
    const double printed = ParseDoubleC(value.c_str(), &ok);
    // A value that is not a number fails both comparisons.
    if (ok && printed > -kCalibrationLimit && printed < kCalibrationLimit) return true;
    error = "the value " + FormatC("%g", c) +
            (std::isfinite(c) ? " would be sent as " + value : std::string(" is no number")) +
            ", outside the calibration range -1.99 to 1.99";
    value.clear();
    return false;
}

double RTL::GetCalibrationValue(const char* text) {
    if (text == nullptr) return 0.0;
    const char* tilde = std::strchr(text, '~');
    if (tilde == nullptr) return 0.0;
    bool ok = false;
    const double value = ParseDoubleC(tilde + 1, &ok);
    return ok ? value : 0.0;
}

}  // namespace tarnwick
