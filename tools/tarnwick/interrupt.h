// SIGINT and SIGTERM end the tool, but never leave a temporary file of an output that is being
// replaced (see host/replace_file.h). While a job prints, the first signal only raises a flag:
// the print loop looks at it between steps and aborts the job properly; a second signal ends the
// tool at once. SIGPIPE is ignored so that a closed output shows up as a failed write.
#pragma once

namespace tarnwick::cli {

// For every command: a signal removes the pending temporary files and ends the tool.
void InstallCleanupHandlers();
// For printing: the first signal asks the print loop to abort the job.
void InstallInterruptHandlers();
bool Interrupted();

}  // namespace tarnwick::cli
