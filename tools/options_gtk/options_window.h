// A GTK window that shows a dialog of the control layer: one widget per
// control at the control's place, user input passed to the dialog as
// commands, and every widget brought back in line with its control after
// each command.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/mfc/cdialog.h"

namespace tarnwick::gtk {

class OptionsWindow : public Gtk::Window {
  public:
    explicit OptionsWindow(CDialog& dialog);
    ~OptionsWindow() override;

    // Brings every widget in line with its control.
    void Sync();
    // Called once the dialog has ended.
    void SetEndedHandler(std::function<void()> handler) { m_ended = std::move(handler); }

    // The widget of control `id`, or null.
    Gtk::Widget* WidgetFor(int id) const;
    CDialog& Dialog() const { return m_dialog; }

  protected:
    bool on_delete_event(GdkEventAny* event) override;

  private:
    struct Entry {
        const WindowState* state;
        Gtk::Widget* widget;
        std::vector<std::string> shownItems;  // lists: what the widget holds
    };

    Gtk::Widget* MakeWidget(const WindowState& state, Gtk::RadioButton::Group& group);
    void SyncOne(Entry& entry);
    // Runs a command that came from the user, then syncs and checks for the end.
    void Deliver(const std::function<void()>& command);

    CDialog& m_dialog;
    Gtk::Fixed m_fixed;
    std::vector<Entry> m_entries;
    std::function<void()> m_ended;
    bool m_syncing = false;
};

}  // namespace tarnwick::gtk
