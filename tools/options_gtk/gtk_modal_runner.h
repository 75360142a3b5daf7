// The modal loop of a dialog as a real GTK window.
#pragma once

#include <functional>

#include "platform/mfc/cdialog.h"

namespace tarnwick::gtk {

class OptionsWindow;

struct GtkRunOptions {
    // Called once, inside the loop, when the window is on the screen; it may
    // work the window like a user. The loop ends when the dialog ends.
    std::function<void(OptionsWindow& window)> onShown;
};

// Whether GTK could open a display; GTK is set up on the first call (with
// the C locale kept, so the output does not depend on the environment).
bool GtkAvailable();

// Shows the dialog in a window until it ends and returns its result. With
// no display there is nobody to ask: the dialog is cancelled
// (RunWithoutUser).
int RunInGtkWindow(CDialog& dialog, const GtkRunOptions& options = {});

// Makes RunInGtkWindow the modal loop of every DoModal in this program.
void InstallGtkModalRunner();

}  // namespace tarnwick::gtk
