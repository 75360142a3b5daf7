#include "progress.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

namespace tarnwick::cli {
namespace {

constexpr int kBarWidth = 30;

}  // namespace

ProgressReporter::ProgressReporter(Console& console, bool quiet, std::string verb)
    : m_console(console), m_quiet(quiet), m_verb(std::move(verb)) {}

void ProgressReporter::Show(int page, int percent) {
    percent = std::clamp(percent, 0, 100);
    if (m_quiet || (page == m_page && percent == m_percent)) return;
    m_page = page;
    m_percent = percent;
    const std::string pageText = "page " + std::to_string(page);
    if (m_console.IsTerminal()) {
        const int filled = percent * kBarWidth / 100;
        m_console.Status(m_verb + " " + pageText + " [" + std::string(filled, '#') +
                         std::string(kBarWidth - filled, '.') + "] " + std::to_string(percent) +
                         "%");
    } else {
        m_console.Info(m_verb + " " + pageText + ", " + std::to_string(percent) + "% complete.");
    }
}

void ProgressReporter::Finish() {
    if (!m_quiet) m_console.ClearStatus();
}

}  // namespace tarnwick::cli
