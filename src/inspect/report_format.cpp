#include "inspect/report_format.h"

#include <charconv>
#include <cstdio>

namespace tarnwick::inspect {
namespace {

std::string CompressionName(int64_t method) {
    switch (method) {
        case -1:
            return "not declared (0, none)";
        case 0:
            return "0 (none)";
        case 2:
            return "2 (PackBits)";
        default:
            return std::to_string(method) + " (not read)";
    }
}

std::string Declared(int64_t value) {
    return value < 0 ? std::string("?") : std::to_string(value);
}

std::string EndText(const PageEnd& end) {
    if (!end.rasterEnd) return "missing";
    std::string text = "raster end";
    if (!end.plot.empty()) text += ", plot \"" + end.plot + "\"";
    if (end.aborted) text += ", aborted";
    if (end.sheetCut) text += ", sheet cut";
    if (end.reset) text += ", printer reset";
    return text;
}

void AppendPageText(std::string& out, const PageReport& page) {
    out +=
        "page " + std::to_string(page.number) + " (offset " + std::to_string(page.offset) + ")\n";
    if (!page.pjl.empty()) {
        out += "  PJL:";
        for (const auto& [key, value] : page.pjl) out += " " + key + "=" + value;
        out += "\n";
    }
    for (const std::string& command : page.commands) out += "  PJL command: " + command + "\n";
    out += "  language: " + (page.language.empty() ? std::string("not entered") : page.language);
    if (page.hasPlotSize) {
        out += ", plot size " + std::to_string(page.plotSize.length) + " x " +
               std::to_string(page.plotSize.width) + " plotter units";
    }
    out += "\n";
    out += "  raster: " + Declared(page.width) + " x " + Declared(page.height) + " pixels at " +
           Declared(page.resolution) + " dpi, " + Declared(page.planes) + " planes, compression " +
           CompressionName(page.compression) + "\n";
    out += "  rows: " + std::to_string(page.rows);
    if (page.blankRows > 0) out += " (" + std::to_string(page.blankRows) + " blank)";
    for (const auto& [planes, rows] : page.planesPerRow) {
        out += ", " + std::to_string(rows) + " with " + std::to_string(planes) + " planes";
    }
    out += "; longest plane row " + std::to_string(page.longestPlaneRow) + " bytes\n";
    if (page.shortPlaneRows > 0) {
        out += "  note: " + std::to_string(page.shortPlaneRows) +
               " plane rows are shorter than the declared width (the printer pads them blank)\n";
    }
    out += "  end: " + EndText(page.end) + "\n";
}

std::string Number(int64_t value) {
    return std::to_string(value);
}

// Two decimals, in the C locale's form whatever the process locale says.
std::string Decimal(double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return std::string(text, end.ptr);
}

std::string PhysicalJson(const PageReport& page) {
    const std::optional<PhysicalSize> size = PagePhysicalSize(page);
    if (!size) return "null";
    return "{\"acrossInches\": " + Decimal(size->acrossInches) +
           ", \"downInches\": " + Decimal(size->downInches) +
           ", \"dpiAcross\": " + Decimal(size->dpiAcross) +
           ", \"dpiDown\": " + Decimal(size->dpiDown) + "}";
}

}  // namespace

std::optional<PhysicalSize> PagePhysicalSize(const PageReport& page) {
    constexpr double kPlotUnitsPerInch = 1016.0;
    PhysicalSize size;
    if (page.hasPlotSize && page.plotSize.width > 0 && page.plotSize.length > 0) {
        size.acrossInches = static_cast<double>(page.plotSize.width) / kPlotUnitsPerInch;
        size.downInches = static_cast<double>(page.plotSize.length) / kPlotUnitsPerInch;
    } else if (page.resolution > 0 && page.width > 0 && page.height > 0) {
        size.acrossInches = static_cast<double>(page.width) / static_cast<double>(page.resolution);
        size.downInches = static_cast<double>(page.height) / static_cast<double>(page.resolution);
    } else {
        return std::nullopt;
    }
    if (page.width > 0 && page.height > 0) {
        size.dpiAcross = static_cast<double>(page.width) / size.acrossInches;
        size.dpiDown = static_cast<double>(page.height) / size.downInches;
    }
    return size;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string FormatReportText(const StreamReport& report, const std::string& name) {
    std::string out =
        name + ": " + std::to_string(report.bytes) + " bytes, " + std::to_string(report.pageCount) +
        " page" + (report.pageCount == 1 ? "" : "s") + ", plane rows read at " +
        std::to_string(report.depth) + " bit" + (report.depth == 1 ? "" : "s") + " per pixel\n";
    for (const PageReport& page : report.pages) AppendPageText(out, page);
    if (report.pageCount > static_cast<int64_t>(report.pages.size())) {
        out += "(only the first " + std::to_string(report.pages.size()) + " of " +
               std::to_string(report.pageCount) +
               " pages are listed; every page was read and checked)\n";
    }
    if (report.faultCount == 0) {
        out += "no faults\n";
        return out;
    }
    out +=
        std::to_string(report.faultCount) + " fault" + (report.faultCount == 1 ? "" : "s") + ":\n";
    for (const Fault& fault : report.faults) {
        out += "  offset " + std::to_string(fault.offset);
        if (fault.page > 0) out += ", page " + std::to_string(fault.page);
        out += ": " + fault.message + "\n";
    }
    if (report.faults.size() < report.faultCount) {
        out += "  (only the first " + std::to_string(report.faults.size()) + " are listed)\n";
    }
    return out;
}

std::string FormatReportJson(const StreamReport& report, const std::string& name) {
    std::string out = "{\n  \"file\": " + JsonString(name) + ",\n";
    out += "  \"bytes\": " + std::to_string(report.bytes) + ",\n";
    out += "  \"depth\": " + std::to_string(report.depth) + ",\n";
    // "pages" lists the first of them (see the inspector's limit).
    out += "  \"pageCount\": " + std::to_string(report.pageCount) + ",\n";
    out += "  \"pages\": [";
    for (std::size_t i = 0; i < report.pages.size(); ++i) {
        const PageReport& page = report.pages[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"page\": " + Number(page.number) +
               ", \"offset\": " + std::to_string(page.offset) + ",\n";
        out += "     \"pjl\": {";
        for (std::size_t k = 0; k < page.pjl.size(); ++k) {
            out += (k == 0 ? "" : ", ") + JsonString(page.pjl[k].first) + ": " +
                   JsonString(page.pjl[k].second);
        }
        out += "},\n     \"pjlCommands\": [";
        for (std::size_t k = 0; k < page.commands.size(); ++k) {
            out += (k == 0 ? "" : ", ") + JsonString(page.commands[k]);
        }
        out += "],\n     \"language\": " + JsonString(page.language) + ",\n";
        out += "     \"plotSize\": ";
        out += page.hasPlotSize ? "{\"length\": " + Number(page.plotSize.length) +
                                      ", \"width\": " + Number(page.plotSize.width) + "}"
                                : std::string("null");
        out += ",\n     \"width\": " + Number(page.width) + ", \"height\": " + Number(page.height) +
               ", \"resolution\": " + Number(page.resolution) +
               ", \"planes\": " + Number(page.planes) +
               ", \"compression\": " + Number(page.compression) +
               ", \"physical\": " + PhysicalJson(page) + ",\n";
        out += "     \"rows\": " + Number(page.rows) +
               ", \"blankRows\": " + Number(page.blankRows) + ", \"planesPerRow\": {";
        bool first = true;
        for (const auto& [planes, rows] : page.planesPerRow) {
            out += (first ? "" : ", ") + JsonString(std::to_string(planes)) + ": " + Number(rows);
            first = false;
        }
        out += "}, \"longestPlaneRow\": " + Number(page.longestPlaneRow) +
               ", \"shortPlaneRows\": " + Number(page.shortPlaneRows) + ",\n";
        out +=
            "     \"end\": {\"rasterEnd\": " + std::string(page.end.rasterEnd ? "true" : "false") +
            ", \"plot\": " + JsonString(page.end.plot) +
            ", \"aborted\": " + (page.end.aborted ? "true" : "false") +
            ", \"sheetCut\": " + (page.end.sheetCut ? "true" : "false") +
            ", \"reset\": " + (page.end.reset ? "true" : "false") + "}}";
    }
    out += report.pages.empty() ? "],\n" : "\n  ],\n";
    out += "  \"faultCount\": " + std::to_string(report.faultCount) + ",\n";
    out += "  \"faults\": [";
    for (std::size_t i = 0; i < report.faults.size(); ++i) {
        const Fault& fault = report.faults[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"offset\": " + std::to_string(fault.offset) +
               ", \"page\": " + std::to_string(fault.page) +
               ", \"message\": " + JsonString(fault.message) + "}";
    }
    out += report.faults.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

}  // namespace tarnwick::inspect
