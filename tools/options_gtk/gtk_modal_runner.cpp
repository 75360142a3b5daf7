#include "gtk_modal_runner.h"

#include <gtkmm.h>

#include "options_window.h"
#include "platform/message_box.h"
#include "platform/mfc/modal_runner.h"

namespace tarnwick::gtk {

bool GtkAvailable() {
    static const bool available = [] {
        gtk_disable_setlocale();
        if (!gtk_init_check(nullptr, nullptr)) return false;
        Gtk::Main::init_gtkmm_internals();
        return true;
    }();
    return available;
}

int RunInGtkWindow(CDialog& dialog, const GtkRunOptions& options) {
    if (!GtkAvailable()) return RunWithoutUser(dialog);
    OptionsWindow window(dialog);
    auto loop = Glib::MainLoop::create();
    window.SetEndedHandler([&loop] { loop->quit(); });

    sigc::connection shown;
    sigc::connection mapped;
    if (options.onShown) {
        mapped = window.signal_map_event().connect(
            [&](GdkEventAny*) {
                // Let the first layout and drawing happen before the caller looks.
                shown = Glib::signal_idle().connect([&] {
                    options.onShown(window);
                    if (dialog.IsEnded()) loop->quit();
                    return false;
                });
                mapped.disconnect();
                return false;
            },
            false);
    }
    window.show();
    if (!dialog.IsEnded()) loop->run();
    shown.disconnect();
    mapped.disconnect();
    window.hide();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    return dialog.IsEnded() ? dialog.ModalResult() : IDCANCEL;
}

void InstallGtkModalRunner() {
    SetModalRunner([](CDialog& dialog) { return RunInGtkWindow(dialog); });
}

}  // namespace tarnwick::gtk
