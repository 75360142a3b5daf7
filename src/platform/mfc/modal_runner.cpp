#include "platform/mfc/modal_runner.h"

#include <mutex>
#include <utility>

#include "platform/message_box.h"
#include "platform/mfc/cdialog.h"

namespace tarnwick {
namespace {

std::mutex& RunnerMutex() {
    static std::mutex mutex;
    return mutex;
}

ModalRunner& CurrentRunner() {
    static ModalRunner runner;
    return runner;
}

}  // namespace

int RunModal(CDialog& dialog) {
    ModalRunner runner;
    {
        std::lock_guard<std::mutex> lock(RunnerMutex());
        runner = CurrentRunner();
    }
    // Run without the lock: the runner waits for a person and may open
    // other dialogs.
    return runner ? runner(dialog) : RunWithoutUser(dialog);
}

ModalRunner SetModalRunner(ModalRunner runner) {
    std::lock_guard<std::mutex> lock(RunnerMutex());
    return std::exchange(CurrentRunner(), std::move(runner));
}

int RunWithoutUser(CDialog& dialog) {
    dialog.OnCommand(IDCANCEL, BN_CLICKED);
    return IDCANCEL;
}

ScopedModalRunner::ScopedModalRunner(ModalRunner runner)
    : m_previous(SetModalRunner(std::move(runner))) {}

ScopedModalRunner::~ScopedModalRunner() {
    SetModalRunner(std::move(m_previous));
}

}  // namespace tarnwick
