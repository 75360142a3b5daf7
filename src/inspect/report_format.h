// The inspector's report as text for people and as JSON for programs.
#pragma once

#include <string>

#include "inspect/stream_report.h"

namespace tarnwick::inspect {

std::string FormatReportText(const StreamReport& report, const std::string& name);
std::string FormatReportJson(const StreamReport& report, const std::string& name);

// A JSON string literal; bytes outside printable ASCII are written as \u00XX so that any input
// gives valid JSON.
std::string JsonString(std::string_view text);

}  // namespace tarnwick::inspect
