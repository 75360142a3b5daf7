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

constexpr int32_t kJoinContinue = 2;
// Calibration values outside this open interval, as printed, are not sent.
constexpr double kCalibrationLimit = 2.0;
constexpr int kPageSpacingStepMm = 10;

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
        if (!PlaneRowFits(m_nRowBytes)) return 0;
        if (m_nRowBytes > m_nRowBufSize) {
            KVLogHelper(kRtlLogSource, __LINE__, 'E')
                .Log("colour bar row of %d bytes does not fit the line buffer of %d bytes",
                     m_nRowBytes, m_nRowBufSize);
            return 0;
        }
    } else if (!PlaneRowFits(v.imageRowBytes)) {
        return 0;
    }

    const char* start = job.m_nJoinMode == kJoinContinue ? "\033%-12345X" : "\033E\033%-12345X";
    if (WriteLiteral(start) <= 0) return 0;
    if (WriteCommand("@PJL SET RESOLUTION=%d\n", v.resolution) <= 0) return 0;
    if (WriteCommand("@PJL SET PASSES=%d\n", v.passes) <= 0) return 0;
    if (s.driverOptionsOff == 1) {
        // Only a negative result counts as a failure of this line.
        if (WriteLiteral("@PJL RESET\n") < 0) return 0;
    } else if (!SendJobSettings()) {
        return 0;
    }

    if (s.modelClass == kModelGeneric) {
        if (WriteLiteral("@PJL ENTER LANGUAGE=RTL\n") <= 0) return 0;
    } else {
        // Plot size in plotter units, then back from the plot language to raster.
        if (WriteCommand("@PJL ENTER LANGUAGE=RDGL3\nPS%ld,%ld;\033%%0A", v.plotLength,
                         v.plotWidth) <= 0) {
            return 0;
        }
    }
    // The plane count goes out negative: -4 or -6.
    if (WriteCommand("\033*r%ldS\033*r%ldT\033*t%dR\033*r-%dU", v.sourceWidth,
                     static_cast<long>(m_nDevHeight), v.resolution, v.planeCount) <= 0) {
        return 0;
    }
    if (WriteLiteral("\033*b2M\033*r1A") <= 0) return 0;
    return SendBlankRows(m_nDevOffsetY);
}

int RTL::SendJobSettings() {
    const PrinterSettings& s = *m_pSettings;
    const char* bidirection =
        s.printDirection == 1 ? "@PJL SET BIDIRECTION=ON\n" : "@PJL SET BIDIRECTION=OFF\n";
    if (WriteLiteral(bidirection) <= 0) return 0;
    if (WriteCommand("@PJL SET OVERPRINT=%d\n", static_cast<int8_t>(s.overprint) + 1) <= 0) {
        return 0;
    }
    if (s.mediaFeedCalibration != 0) {
        const std::string text(
            m_pCtx->m_szCalibrationText,
            strnlen(m_pCtx->m_szCalibrationText, sizeof(m_pCtx->m_szCalibrationText)));
        std::string value;
        std::string why;
        // A value the printer does not take leaves the command out: the job prints with the
        // printer's own calibration.
        if (CalibrationCommandValue(text.c_str(), value, why)) {
            if (WriteCommand("@PJL SET CALIBRATION=%s\n", value.c_str()) <= 0) return 0;
        } else {
            KVLogHelper(kRtlLogSource, __LINE__, 'W').Log("calibration not sent: %s", why.c_str());
        }
    }
    if (WriteCommand("@PJL SET SPACE=%d\n",
                     static_cast<int8_t>(s.pageSpacing) * kPageSpacingStepMm) <= 0) {
        return 0;
    }
    if (s.modelClass != kModelGeneric) {
        if (WriteCommand("@PJL SET DRYINGTIME=%d\n",
                         DryTimeSeconds(static_cast<int8_t>(s.dryTime))) <= 0) {
            return 0;
        }
        const char* cropMark =
            s.cropMark != 0 ? "@PJL SET CROPMARK=ON\n" : "@PJL SET CROPMARK=OFF\n";
        if (WriteLiteral(cropMark) <= 0) return 0;
    }
    return 1;
}

int RTL::SendBlankRows(int count) {
    if (count < 1) return 1;
    if (!HasJob("SendBlankRows")) return 0;
    // One zero-byte transfer that ends the row: a blank row of every plane. The print loop
    // counts these rows; the language only writes them.
    CommandText text(CmdBuffer());
    if (!text.AppendF("%s0W", m_szRowPrefix)) return 0;
    for (int i = 0; i < count; ++i) {
        if (WriteNdata(text.Data(), text.Size(), 0) < text.Size()) return 0;
    }
    return 1;
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
