#include "host_kit/page_watch.h"

namespace tarnwick::hostkit {

uint64_t PageWatch::OnCommand(const inspect::EscapeCommand& command) {
    if (command.parameterized != '*') return 0;
    if (command.group == 'r' && command.terminator == 'A') m_inRaster = true;
    if (command.group == 'r' && command.terminator == 'C' && m_inRaster) {
        m_inRaster = false;
        ++m_pagesEnded;
    }
    const bool transfer =
        command.group == 'b' && (command.terminator == 'V' || command.terminator == 'W');
    return transfer && command.value > 0 ? static_cast<uint64_t>(command.value) : 0;
}

}  // namespace tarnwick::hostkit
