// SIGINT and SIGTERM only raise a flag; the print loop looks at it between steps and aborts the
// job properly. A second signal ends the tool at once (the handler is reset after the first).
// SIGPIPE is ignored so that a closed output shows up as a failed write.
#pragma once

namespace tarnwick::cli {

void InstallInterruptHandlers();
bool Interrupted();

}  // namespace tarnwick::cli
