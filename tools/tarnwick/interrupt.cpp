#include "interrupt.h"

#include <csignal>

#include "host/replace_file.h"

namespace tarnwick::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
volatile std::sig_atomic_t g_abortable = 0;

void OnSignal(int signal) {
    if (g_abortable != 0 && g_interrupted == 0) {
        g_interrupted = 1;
        return;
    }
    RemovePendingTemporaries();
    // Ends the tool the way the signal would have: it is blocked until this handler returns.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void Install() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocking wait sees EINTR and looks again
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

void InstallCleanupHandlers() {
    g_abortable = 0;
    Install();
}

void InstallInterruptHandlers() {
    g_abortable = 1;
    Install();
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

bool Interrupted() {
    return g_interrupted != 0;
}

}  // namespace tarnwick::cli
