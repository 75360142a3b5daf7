// The inspector's report as text for people and as JSON for programs.
#pragma once

#include <optional>
#include <string>

#include "inspect/stream_report.h"

namespace tarnwick::inspect {

// What a page measures on paper and the resolution of each axis. The plot size (in 1/1016
// inch) is what the printer feeds and cuts; the raster's rows and columns over it give each
// axis's real resolution, which a single ESC*t#R cannot show. Without a plot size the declared
// resolution is all there is; nothing when neither is known.
struct PhysicalSize {
    double acrossInches = 0;
    double downInches = 0;
    double dpiAcross = 0;  // 0 when the raster's size is unknown
    double dpiDown = 0;
};
std::optional<PhysicalSize> PagePhysicalSize(const PageReport& page);

std::string FormatReportText(const StreamReport& report, const std::string& name);
std::string FormatReportJson(const StreamReport& report, const std::string& name);

// A JSON string literal; bytes outside printable ASCII are written as \u00XX so that any input
// gives valid JSON.
std::string JsonString(std::string_view text);

}  // namespace tarnwick::inspect
