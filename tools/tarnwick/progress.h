// Print progress for people and for programs. On a terminal: a bar that is redrawn in place.
// Otherwise lines in the form CUPS filters use, e.g. "INFO: Printing page 2, 45% complete.",
// one whenever the page or the percentage changes.
#pragma once

#include <string>

#include "console.h"

namespace tarnwick::cli {

class ProgressReporter {
  public:
    // quiet: nothing at all (for callers that report on their own). verb names the work.
    ProgressReporter(Console& console, bool quiet, std::string verb = "Printing");

    void PageStarted(int page) { Show(page, 0); }
    void Percent(int page, int percent) { Show(page, percent); }
    void PageEnded(int page) { Show(page, 100); }
    void Finish();  // takes the bar away

  private:
    void Show(int page, int percent);

    Console& m_console;
    bool m_quiet;
    std::string m_verb;
    int m_page = 0;
    int m_percent = -1;
};

}  // namespace tarnwick::cli
