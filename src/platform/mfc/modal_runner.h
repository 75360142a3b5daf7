// The modal loop of DoModal, made replaceable: a runner gets the created
// dialog, delivers the user's commands to it until it ends, and returns.
// With no runner installed, RunWithoutUser is used: there is nobody to
// answer, so the dialog is cancelled at once. The GTK front end installs a
// runner that shows a real window; tests install scripted ones.
#pragma once

#include <functional>

namespace tarnwick {

class CDialog;

// Its return value becomes the dialog's result when it did not end the
// dialog itself.
using ModalRunner = std::function<int(CDialog& dialog)>;

int RunModal(CDialog& dialog);

// Installs runner and returns the previous one; an empty runner stands for
// RunWithoutUser.
ModalRunner SetModalRunner(ModalRunner runner);

// Sends the dialog the Cancel command (as the Escape key would) and returns
// IDCANCEL.
int RunWithoutUser(CDialog& dialog);

class ScopedModalRunner {
  public:
    explicit ScopedModalRunner(ModalRunner runner);
    ~ScopedModalRunner();
    ScopedModalRunner(const ScopedModalRunner&) = delete;
    ScopedModalRunner& operator=(const ScopedModalRunner&) = delete;

  private:
    ModalRunner m_previous;
};

}  // namespace tarnwick
