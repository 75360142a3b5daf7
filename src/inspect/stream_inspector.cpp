#include "inspect/stream_inspector.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "rtl/packbits_decode.h"

namespace tarnwick::inspect {
namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kMaxPlotText = 4096;
constexpr std::size_t kMaxEndPlot = 256;
constexpr int kRowFaultsShown = 3;
constexpr int64_t kUniversalExit = -12345;

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Quotes text for a message: at most 40 characters, other bytes as \xNN.
std::string Printable(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < 40; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (text.size() > 40) out += "...";
    return "\"" + out + "\"";
}

bool AllBlank(std::string_view text) {
    return Trim(text).empty();
}

// "PS<length>,<width>" anywhere in plot text. Numbers too large for 64 bits do not count.
bool FindPlotSize(std::string_view text, PlotSize& size) {
    for (std::size_t at = text.find("PS"); at != std::string_view::npos;
         at = text.find("PS", at + 1)) {
        const char* p = text.data() + at + 2;
        const char* end = text.data() + text.size();
        int64_t length = 0;
        int64_t width = 0;
        const auto first = std::from_chars(p, end, length);
        if (first.ec != std::errc() || first.ptr == end || *first.ptr != ',') continue;
        const auto second = std::from_chars(first.ptr + 1, end, width);
        if (second.ec != std::errc()) continue;
        size.length = length;
        size.width = width;
        return true;
    }
    return false;
}

}  // namespace

StreamInspector::StreamInspector(InspectOptions options, RowSink* sink)
    : m_options(options), m_sink(sink) {
    m_report.depth = m_options.depth;
}

void StreamInspector::AddFault(uint64_t offset, std::string message, int page) {
    ++m_report.faultCount;
    StoreFault(offset, std::move(message), page);
}

void StreamInspector::StoreFault(uint64_t offset, std::string message, int page) {
    if (m_report.faults.size() >= kMaxFaults) return;
    if (page < 0) {
        // The page being read, or the one whose end is being read; 0 outside pages.
        page = m_inRaster || m_afterEnd ? m_page.number : 0;
    }
    m_report.faults.push_back({offset, page, std::move(message)});
}

void StreamInspector::RowFault(RowFaultKind kind, uint64_t offset, std::string message) {
    ++m_report.faultCount;
    if (++m_rowFaults[kind] <= kRowFaultsShown) StoreFault(offset, std::move(message));
}

// A damaged page repeats the same fault on every row: the first few are listed, the rest
// counted in one line.
void StreamInspector::SummariseRowFaults() {
    static constexpr const char* kWhat[kRowFaultKinds] = {
        "the wrong number of planes", "rows longer than the declared width", "damaged row data",
        "unexpected bytes inside raster graphics"};
    for (int kind = 0; kind < kRowFaultKinds; ++kind) {
        const int more = m_rowFaults[kind] - kRowFaultsShown;
        if (more > 0) {
            StoreFault(m_rowOffset,
                       std::to_string(more) + " more faults of the same kind: " + kWhat[kind]);
        }
        m_rowFaults[kind] = 0;
    }
}

PageReport& StreamInspector::Header(uint64_t offset) {
    if (m_afterEnd) CloseEndRegion();
    if (!m_hasPending) {
        m_pending = PageReport{};
        m_pending.offset = offset;
        m_hasPending = true;
        m_pendingFull = false;
    }
    return m_pending;
}

void StreamInspector::CloseEndRegion() {
    if (!m_afterEnd) return;
    m_afterEnd = false;
    const PageReport& page = m_page;
    if (page.height >= 0 && page.rows != page.height && !page.end.aborted) {
        AddFault(page.offset,
                 "page " + std::to_string(page.number) + " has " + std::to_string(page.rows) +
                     " rows, its header declares " + std::to_string(page.height),
                 page.number);
    }
    RetirePage();
}

void StreamInspector::RetirePage() {
    if (!m_havePage) return;
    m_havePage = false;
    if (m_report.pages.size() < kMaxListedPages) m_report.pages.push_back(std::move(m_page));
    m_page = PageReport{};
}

void StreamInspector::OnText(uint64_t offset, std::string_view text, bool lineEnd) {
    if (m_inRaster) {
        RowFault(kStrayBytes, offset,
                 std::to_string(text.size()) +
                     " unexpected bytes inside raster graphics: " + Printable(text));
        return;
    }
    switch (m_mode) {
        case Mode::kPlot:
            if (m_plot.empty()) m_plotOffset = offset;
            if (m_plot.size() < kMaxPlotText) {
                m_plot.append(text.substr(0, kMaxPlotText - m_plot.size()));
            }
            return;
        case Mode::kPjl:
            if (m_line.empty()) m_lineOffset = offset;
            if (m_line.size() < kMaxLine) m_line.append(text.substr(0, kMaxLine - m_line.size()));
            if (lineEnd) FlushLine();
            return;
        case Mode::kRaster:
            if (!AllBlank(text)) {
                AddFault(offset,
                         "unexpected text outside PJL and plot sections: " + Printable(text));
            }
            return;
    }
}

void StreamInspector::FlushLine() {
    if (m_line.empty()) return;
    const std::string line = std::move(m_line);
    m_line.clear();
    ProcessPjlLine(m_lineOffset, line);
}

void StreamInspector::ProcessPjlLine(uint64_t offset, std::string_view raw) {
    const std::string_view line = Trim(raw);
    if (line.empty()) return;
    if (!StartsWith(line, "@PJL")) {
        AddFault(offset, "text that is not a PJL command: " + Printable(line));
        return;
    }
    const std::string_view rest = Trim(line.substr(4));
    if (rest.empty()) return;
    const std::string upper = Upper(rest);
    PageReport* ended = m_afterEnd ? &m_page : nullptr;
    // A header of absurdly many PJL lines would cost memory and time for every further line.
    const auto full = [&](std::size_t entries) {
        if (entries < kMaxPjlEntries) return false;
        if (!m_pendingFull) {
            AddFault(offset, "a page header with more than " + std::to_string(kMaxPjlEntries) +
                                 " PJL settings or commands: the rest are not listed");
            m_pendingFull = true;
        }
        return true;
    };

    if (StartsWith(upper, "SET ")) {
        const std::string_view setting = Trim(rest.substr(4));
        const std::size_t equals = setting.find('=');
        if (equals == std::string_view::npos) {
            AddFault(offset, "PJL SET without a value: " + Printable(line));
            return;
        }
        const std::string key = Upper(Trim(setting.substr(0, equals)));
        const std::string value(Trim(setting.substr(equals + 1)));
        auto& pjl = Header(offset).pjl;
        auto it =
            std::find_if(pjl.begin(), pjl.end(), [&](const auto& kv) { return kv.first == key; });
        if (it != pjl.end()) {
            it->second = value;
        } else if (!full(pjl.size())) {
            pjl.emplace_back(key, value);
        }
        return;
    }
    if (StartsWith(upper, "ENTER ")) {
        const std::string_view entry = Trim(rest.substr(6));
        const std::size_t equals = entry.find('=');
        const std::string language = equals == std::string_view::npos
                                         ? std::string()
                                         : Upper(Trim(entry.substr(equals + 1)));
        if (ended == nullptr) Header(offset).language = language;
        m_mode = language == "RDGL3" ? Mode::kPlot : Mode::kRaster;
        return;
    }
    if (ended != nullptr) {
        if (upper == "RESET") ended->end.reset = true;
        if (upper == "DO SHEETCUT") ended->end.sheetCut = true;
        return;
    }
    std::vector<std::string>& commands = Header(offset).commands;
    if (!full(commands.size())) commands.push_back(upper);
}

void StreamInspector::FlushPlot() {
    if (m_plot.empty()) return;
    const std::string text = std::move(m_plot);
    m_plot.clear();
    PlotSize size;
    if (FindPlotSize(text, size)) {
        PageReport& header = Header(m_plotOffset);
        header.hasPlotSize = true;
        header.plotSize = size;
        return;
    }
    if (m_afterEnd) {
        PageEnd& end = m_page.end;
        if (end.plot.size() < kMaxEndPlot)
            end.plot += text.substr(0, kMaxEndPlot - end.plot.size());
        if (end.plot.find("!PG;") != std::string::npos) end.aborted = true;
    }
}

uint64_t StreamInspector::OnCommand(const EscapeCommand& command) {
    // An escape ends the text before it.
    FlushLine();
    FlushPlot();
    const char term = command.terminator;
    if (command.parameterized == 0) {
        if (term == 'E') return 0;  // printer reset
    } else if (command.parameterized == '%' && command.group == 0) {
        if (term == 'X' && command.hasValue && command.value == kUniversalExit) {
            m_mode = Mode::kPjl;
            return 0;
        }
        if (term == 'B') {
            m_mode = Mode::kPlot;
            return 0;
        }
        if (term == 'A') {
            m_mode = Mode::kRaster;
            return 0;
        }
    } else if (command.parameterized == '*') {
        if (command.group == 'r') {
            if (term == 'S' || term == 'T' || term == 'U') {
                SetGeometry(command);
                return 0;
            }
            if (term == 'A') {
                StartRaster(command);
                return 0;
            }
            if (term == 'C' || term == 'B') {
                EndRaster();
                return 0;
            }
        } else if (command.group == 't' && term == 'R') {
            SetGeometry(command);
            return 0;
        } else if (command.group == 'b') {
            if (term == 'M') {
                SetGeometry(command);
                return 0;
            }
            if (term == 'V' || term == 'W') return StartTransfer(command);
        }
    }
    AddFault(command.offset, "unknown escape sequence " + command.Text());
    return 0;
}

void StreamInspector::SetGeometry(const EscapeCommand& command) {
    if (m_inRaster) {
        AddFault(command.offset,
                 command.Text() + " inside raster graphics (printers ignore it there)");
        return;
    }
    if (!command.hasValue) {
        AddFault(command.offset, command.Text() + " without a value");
        return;
    }
    PageReport& header = Header(command.offset);
    const int64_t value = command.value;
    switch (command.group == 'b' ? 'M' : command.terminator) {
        case 'S':
            header.width = value;
            break;
        case 'T':
            header.height = value;
            break;
        case 'U':
            header.planes = value < 0 ? -value : value;
            break;
        case 'R':
            header.resolution = value;
            break;
        case 'M':
            header.compression = value;
            break;
        default:
            break;
    }
}

void StreamInspector::StartRaster(const EscapeCommand& command) {
    if (m_inRaster) {
        AddFault(command.offset, "page " + std::to_string(m_page.number) +
                                     " has no raster end (ESC*rC) before the next raster start");
        SummariseRowFaults();
        m_inRaster = false;
        if (m_pageToSink) m_sink->OnPageEnd();
        RetirePage();
    }
    CloseEndRegion();
    m_page = m_hasPending ? std::move(m_pending) : PageReport{};
    if (!m_hasPending) m_page.offset = command.offset;
    m_hasPending = false;
    const PageReport& page = m_page;
    ++m_report.pageCount;
    m_page.number = static_cast<int>(std::min<int64_t>(m_report.pageCount, INT32_MAX));
    m_havePage = true;
    m_inRaster = true;
    m_planeCount = 0;

    const std::string name = "page " + std::to_string(page.number) + ": ";
    m_widthChecked = false;
    if (page.width < 0) {
        AddFault(command.offset, name + "no source width (ESC*r#S) before raster graphics");
    } else if (page.width < 1 || page.width > kMaxRasterWidth) {
        AddFault(command.offset, name + "source width " + std::to_string(page.width) +
                                     " is out of range (1 to 1000000)");
    } else {
        m_widthChecked = true;
    }
    if (page.height > kMaxRasterHeight || page.height == 0 || page.height < -1) {
        AddFault(command.offset, name + "source height " + std::to_string(page.height) +
                                     " is out of range (1 to 10000000)");
    }
    m_declaredPlanes = page.planes < 0 ? 1 : page.planes;
    if (m_declaredPlanes < 1 || m_declaredPlanes > kMaxPlanes) {
        AddFault(command.offset, name + "plane count " + std::to_string(page.planes) +
                                     " is out of range (1 to 16)");
    }
    m_compression = page.compression < 0 ? 0 : page.compression;
    if (m_compression != 0 && m_compression != 2) {
        AddFault(command.offset, name + "compression method " + std::to_string(m_compression) +
                                     " is not one the inspector reads (0 or 2)");
    }
    const int64_t bits = static_cast<int64_t>(m_options.depth);
    m_rowLimit =
        static_cast<std::size_t>(((m_widthChecked ? page.width : kMaxRasterWidth) * bits + 7) / 8);
    m_pageToSink = m_sink != nullptr && m_report.pageCount <= static_cast<int64_t>(kMaxListedPages);
    if (m_pageToSink) m_sink->OnPageStart(m_page);
}

void StreamInspector::EndRaster() {
    if (!m_inRaster) return;  // printers ignore it; the abort of an unstarted page sends it
    PageReport& page = m_page;
    if (m_planeCount > 0) {
        RowFault(kPlaneCount, m_rowOffset,
                 "row " + std::to_string(page.rows + 1) + " has planes but no final W transfer");
        m_planeCount = 0;
    }
    page.end.rasterEnd = true;
    SummariseRowFaults();
    m_inRaster = false;
    m_afterEnd = true;
    if (m_pageToSink) m_sink->OnPageEnd();
    m_pageToSink = false;
}

uint64_t StreamInspector::StartTransfer(const EscapeCommand& command) {
    const int64_t count = command.hasValue ? command.value : 0;
    if (count < 0) {
        AddFault(command.offset, command.Text() + " has a negative byte count");
        return 0;
    }
    m_transferOpen = true;
    m_transferSkip = !m_inRaster;
    if (m_transferSkip) AddFault(command.offset, "row transfer outside raster graphics");
    m_transferLast = command.terminator == 'W';
    m_transferOffset = command.offset;
    m_transferAnnounced = static_cast<uint64_t>(count);
    m_payload.clear();
    if (count == 0) {
        OnDataEnd(0, 0);  // no payload follows, so the scanner does not report one
        return 0;
    }
    return static_cast<uint64_t>(count);
}

void StreamInspector::OnData(std::span<const uint8_t> bytes) {
    if (!m_transferOpen || m_transferSkip) return;
    const std::size_t room =
        kMaxTransferBytes - std::min<std::size_t>(m_payload.size(), kMaxTransferBytes);
    m_payload.insert(m_payload.end(), bytes.begin(),
                     bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
}

void StreamInspector::OnDataEnd(uint64_t announced, uint64_t received) {
    if (!m_transferOpen) return;
    m_transferOpen = false;
    if (received < announced) {
        AddFault(m_transferOffset, "row transfer announces " + std::to_string(announced) +
                                       " bytes, the stream ends after " + std::to_string(received));
        return;
    }
    if (m_transferSkip) return;
    FinishPlane();
    if (m_transferLast) FinishRow();
}

void StreamInspector::FinishPlane() {
    PageReport& page = m_page;
    const int index = m_planeCount++;
    if (index == 0) m_rowOffset = m_transferOffset;
    if (index >= kMaxPlanes) return;  // counted for the plane check, not kept
    const auto slot = static_cast<std::size_t>(index);
    if (m_planes.size() <= slot) {
        m_planes.resize(slot + 1);
        m_planeLengths.resize(slot + 1);
    }
    std::vector<uint8_t>& plane = m_planes[slot];
    // One byte of room past the limit tells a row that is too long from one that fits.
    if (plane.size() != m_rowLimit + 1) plane.assign(m_rowLimit + 1, 0);
    m_planeLengths[slot] = 0;
    const auto where = [&] {
        return "row " + std::to_string(page.rows + 1) + " plane " + std::to_string(index + 1) +
               ": ";
    };
    if (m_compression != 0 && m_compression != 2) return;
    if (m_transferAnnounced > kMaxTransferBytes) {
        RowFault(kTooLong, m_transferOffset,
                 where() + "a transfer of " + std::to_string(m_transferAnnounced) +
                     " bytes is longer than any plane row");
        return;
    }
    std::size_t length = 0;
    bool tooLong = false;
    if (m_compression == 2) {
        const PackBitsDecodeResult r = PackBitsDecode(m_payload, plane);
        length = r.produced;
        if (r.overrunsOutput()) {
            tooLong = true;
        } else if (!r.ok()) {
            RowFault(kBadData, m_transferOffset, where() + PackBitsErrorText(r.error));
        }
    } else {
        length = std::min(m_payload.size(), plane.size());
        std::copy_n(m_payload.begin(), length, plane.begin());
        tooLong = m_payload.size() > m_rowLimit;
    }
    if (length > m_rowLimit) tooLong = true;
    if (tooLong && m_widthChecked) {
        RowFault(kTooLong, m_transferOffset,
                 where() + "the decoded row is longer than the declared width (" +
                     std::to_string(page.width) + " pixels, " + std::to_string(m_rowLimit) +
                     " bytes at " + std::to_string(m_options.depth) + " bits per pixel)");
    }
    if (!tooLong && m_widthChecked && length > 0 && length < m_rowLimit) ++page.shortPlaneRows;
    length = std::min(length, m_rowLimit);
    page.longestPlaneRow = std::max<int64_t>(page.longestPlaneRow,
                                             static_cast<int64_t>(tooLong ? length + 1 : length));
    m_planeLengths[slot] = length;
}

void StreamInspector::FinishRow() {
    PageReport& page = m_page;
    const int count = m_planeCount;
    m_planeCount = 0;
    const bool blank = count == 1 && m_transferAnnounced == 0;
    ++page.rows;
    if (blank) {
        ++page.blankRows;
    } else {
        ++page.planesPerRow[count];
        if (count != m_declaredPlanes) {
            RowFault(kPlaneCount, m_rowOffset,
                     "row " + std::to_string(page.rows) + " has " + std::to_string(count) +
                         " planes, the page declares " + std::to_string(m_declaredPlanes));
        }
    }
    if (!m_pageToSink) return;
    std::vector<std::span<const uint8_t>> planes;
    if (!blank) {
        const int kept = std::min(count, kMaxPlanes);
        for (int i = 0; i < kept; ++i) {
            const auto slot = static_cast<std::size_t>(i);
            planes.emplace_back(m_planes[slot].data(), m_planeLengths[slot]);
        }
    }
    m_sink->OnRow(planes);
}

void StreamInspector::OnMalformed(uint64_t offset, const std::string& message) {
    AddFault(offset, message);
}

StreamReport StreamInspector::Finish(uint64_t totalBytes) {
    FlushLine();
    FlushPlot();
    if (m_inRaster) {
        AddFault(totalBytes, "page " + std::to_string(m_page.number) +
                                 " has no raster end (ESC*rC): the stream ends inside it");
        SummariseRowFaults();
        m_inRaster = false;
        if (m_pageToSink) m_sink->OnPageEnd();
        m_pageToSink = false;
        RetirePage();
    }
    CloseEndRegion();
    if (m_report.pageCount == 0) AddFault(0, "no raster page in the stream");
    m_report.bytes = totalBytes;
    return m_report;
}

StreamReport InspectBytes(std::span<const uint8_t> bytes, const InspectOptions& options,
                          RowSink* sink) {
    StreamInspector inspector(options, sink);
    StreamScanner scanner(inspector);
    scanner.Feed(bytes);
    scanner.Finish();
    return inspector.Finish(bytes.size());
}

bool InspectFile(const std::string& path, const InspectOptions& options, RowSink* sink,
                 StreamReport& report, std::string& error) {
    // O_NONBLOCK: a FIFO must not hold the open until someone writes to it; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = path + " is not a regular file";
        return false;
    }
    StreamInspector inspector(options, sink);
    StreamScanner scanner(inspector);
    std::vector<uint8_t> buffer(1u << 20);
    uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        scanner.Feed(std::span(buffer.data(), static_cast<std::size_t>(n)));
        total += static_cast<uint64_t>(n);
    }
    ::close(fd);
    scanner.Finish();
    report = inspector.Finish(total);
    return true;
}

}  // namespace tarnwick::inspect
