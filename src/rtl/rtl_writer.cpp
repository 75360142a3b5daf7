#include "rtl/rtl_writer.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/kv_log.h"
#include "rtl/packbits.h"
#include "rtl/printer_models.h"
#include "rtl/rtl_log.h"
#include "rtl/settings_check.h"

namespace tarnwick {
namespace {

constexpr int32_t kJoinKeepOpen = 1;
constexpr int32_t kJoinContinue = 2;
constexpr int kPageSpacingStepMm = 10;
constexpr char kRowPrefix[] = "\033*b";
constexpr char kEndRaster[] = "\033*rC";
constexpr char kUel[] = "\033%-12345X";
constexpr char kSheetCut[] = "@PJL DO SHEETCUT\n";
constexpr char kNamedReset[] = "@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\033E";

}  // namespace

ByteSink::~ByteSink() = default;

bool RtlWriter::Command(const char* fmt, ...) {
    if (m_command.empty()) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("no command buffer");
        return false;
    }
    va_list args;
    va_start(args, fmt);
    const int n =
        std::vsnprintf(reinterpret_cast<char*>(m_command.data()), m_command.size(), fmt, args);
    va_end(args);
    if (n < 0 || static_cast<std::size_t>(n) >= m_command.size()) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("printer command does not fit the buffer");
        return false;
    }
    return m_sink.Put(m_command.first(static_cast<std::size_t>(n)), false);
}

bool RtlWriter::Text(const CommandText& text, bool flush) {
    if (text.Overflowed()) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("printer command does not fit the buffer");
        return false;
    }
    return m_sink.Put({text.Data(), static_cast<std::size_t>(text.Size())}, flush);
}

bool RtlWriter::Header(const JobValues& job, const HeaderValues& v, int32_t devHeight,
                       int32_t blankRows) {
    const PrinterSettings& s = job.settings;
    if (!Command("%s", job.joinMode == kJoinContinue ? kUel : "\033E\033%-12345X")) return false;
    if (!Command("@PJL SET RESOLUTION=%d\n", v.resolution)) return false;
    if (!Command("@PJL SET PASSES=%d\n", v.passes)) return false;
    if (s.driverOptionsOff == 1) {
        if (!Command("@PJL RESET\n")) return false;
    } else if (!JobSettings(job)) {
        return false;
    }
    if (s.modelClass == kModelGeneric) {
        if (!Command("@PJL ENTER LANGUAGE=RTL\n")) return false;
    } else if (!Command("@PJL ENTER LANGUAGE=RDGL3\nPS%ld,%ld;\033%%0A", v.plotLength,
                        v.plotWidth)) {
        // Plot size in plotter units, then back from the plot language to raster.
        return false;
    }
    // The plane count goes out negative: -4 or -6.
    if (!Command("\033*r%ldS\033*r%ldT\033*t%dR\033*r-%dU", v.sourceWidth,
                 static_cast<long>(devHeight), v.resolution, v.planeCount)) {
        return false;
    }
    if (!Command("\033*b2M\033*r1A")) return false;
    return BlankRows(blankRows);
}

bool RtlWriter::JobSettings(const JobValues& job) {
    const PrinterSettings& s = job.settings;
    if (!Command(s.printDirection == 1 ? "@PJL SET BIDIRECTION=ON\n"
                                       : "@PJL SET BIDIRECTION=OFF\n")) {
        return false;
    }
    if (!Command("@PJL SET OVERPRINT=%d\n", static_cast<int8_t>(s.overprint) + 1)) return false;
    if (s.mediaFeedCalibration != 0) {
        std::string value;
        std::string why;
        // A value the printer does not take leaves the command out: the job prints with the
        // printer's own calibration.
        if (CalibrationCommandValue(job.calibrationText, value, why)) {
            if (!Command("@PJL SET CALIBRATION=%s\n", value.c_str())) return false;
        } else {
            KVLogHelper(kRtlLogSource, __LINE__, 'W').Log("calibration not sent: %s", why.c_str());
        }
    }
    if (!Command("@PJL SET SPACE=%d\n", static_cast<int8_t>(s.pageSpacing) * kPageSpacingStepMm)) {
        return false;
    }
    if (s.modelClass != kModelGeneric) {
        if (!Command("@PJL SET DRYINGTIME=%d\n", DryTimeSeconds(static_cast<int8_t>(s.dryTime)))) {
            return false;
        }
        if (!Command(s.cropMark != 0 ? "@PJL SET CROPMARK=ON\n" : "@PJL SET CROPMARK=OFF\n")) {
            return false;
        }
    }
    return true;
}

bool RtlWriter::BlankRows(int32_t count) {
    if (count < 1) return true;
    CommandText text(m_command);
    if (!text.AppendF("%s0W", kRowPrefix)) return false;
    for (int32_t i = 0; i < count; ++i) {
        if (!Text(text, false)) return false;
    }
    return true;
}

namespace {

// 20321 as "20,321".
std::string Grouped(int64_t value) {
    const std::string digits = std::to_string(value);
    const std::size_t sign = value < 0 ? 1 : 0;
    std::string out = digits.substr(0, sign);
    for (std::size_t i = sign; i < digits.size(); ++i) {
        if (i > sign && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

bool RtlWriter::PlaneRowFits(int64_t length) const {
    if (length < 0) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log("plane row of negative length %lld", static_cast<long long>(length));
        return false;
    }
    if (PackBitsWorstCase(static_cast<std::size_t>(length)) > m_command.size()) {
        // The line a host shows its user: the cause and the way out, not the buffer.
        KVLogHelper(kRtlLogSource, __LINE__, 'E')
            .Log(
                "plane rows of %s bytes are more than the printer takes (%s): lower the "
                "resolution or the page width",
                Grouped(length).c_str(),
                Grouped(static_cast<int64_t>(PackBitsLongestFitting(m_command.size()))).c_str());
        return false;
    }
    return true;
}

bool RtlWriter::PlaneRow(std::span<const uint8_t> row, bool last) {
    if (m_command.empty() || !PlaneRowFits(static_cast<int64_t>(row.size()))) return false;
    const int n = PackBitsEncode(m_command.data(), row.data(), static_cast<int>(row.size()));
    // The command text cannot go into the command buffer: the row is there. It is put together
    // by hand: this runs for every plane of every row.
    char command[sizeof kRowPrefix + 16];
    std::memcpy(command, kRowPrefix, sizeof kRowPrefix - 1);
    const auto [end, ec] =
        std::to_chars(command + sizeof kRowPrefix - 1, command + sizeof command - 1, n);
    if (ec != std::errc()) return false;
    *end = last ? 'W' : 'V';
    const auto textLength = static_cast<std::size_t>(end + 1 - command);
    if (!m_sink.Put({reinterpret_cast<const uint8_t*>(command), textLength}, false)) return false;
    return m_sink.Put(m_command.first(static_cast<std::size_t>(n)), false);
}

bool RtlWriter::PageEnd(const JobValues& job) {
    return job.settings.modelClass == kModelGeneric ? GenericPageEnd(job.settings)
                                                    : NamedPageEnd(job);
}

bool RtlWriter::GenericPageEnd(const PrinterSettings& s) {
    if (!Command("%s%s", kEndRaster, kUel)) return false;
    // A generic printer cuts whatever "Advance After Print" says.
    if (s.driverOptionsOff != 1 && s.cutSheet != 0 && !Command("%s", kSheetCut)) return false;
    CommandText reset(m_command);
    reset.Append("@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\033E");
    return Text(reset, true);
}

bool RtlWriter::NamedPageEnd(const JobValues& job) {
    const PrinterSettings& s = job.settings;
    CommandText text(m_command);
    text.Append(kEndRaster);
    if (job.aborted) {
        // An aborted job ends the same way whatever the settings say.
        text.Append("\033%0B!PG;");
        text.Append(kUel);
        text.Append("@PJL\n");
        text.Append(kNamedReset);
    } else if (job.joinMode != kJoinKeepOpen) {
        const bool optionsOn = s.driverOptionsOff == 0;
        // Without the advance the plot language parks the pen and ends the page without
        // feeding it out.
        text.Append(optionsOn && s.advanceAfterPrint == 0 ? "\033%0B!ST1;PU;PA0,0;!PG0"
                                                          : "\033%0BPG;");
        text.Append(kUel);
        text.Append("@PJL\n");
        // The sheet can only be cut once it has been advanced.
        if (optionsOn && s.advanceAfterPrint != 0 && s.cutSheet != 0) text.Append(kSheetCut);
        text.Append(kNamedReset);
    }
    return Text(text, true);
}

}  // namespace tarnwick
