#include "options_window.h"

#include <string>

#include "dialog_units.h"
#include "platform/message_box.h"
#include "platform/mfc/user_input.h"

namespace tarnwick::gtk {
namespace {

constexpr const char* kWindowName = "tarnwick-dialog";

// Brings GTK's roomy default widgets down to the size of the dialog units,
// and uses the dialog font where the system has it.
constexpr const char* kCompactCss = R"css(
#tarnwick-dialog, #tarnwick-dialog * {
    font-family: "MS Sans Serif", "DejaVu Sans", sans-serif;
    font-size: 8pt;
}
#tarnwick-dialog button { padding: 0 4px; min-height: 0; min-width: 0; }
#tarnwick-dialog combobox button { padding: 0 2px 0 4px; min-height: 0; }
#tarnwick-dialog checkbutton, #tarnwick-dialog radiobutton { padding: 0; min-height: 0; }
#tarnwick-dialog frame > border { border-radius: 0; }
)css";

void InstallCss(const Glib::RefPtr<Gdk::Screen>& screen) {
    static bool installed = false;
    if (installed || !screen) return;
    auto css = Gtk::CssProvider::create();
    css->load_from_data(kCompactCss);
    Gtk::StyleContext::add_provider_for_screen(screen, css,
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    installed = true;
}

PixelRect PlaceOf(const WindowState& state) {
    DialogRect rect = state.rect;
    if (state.kind == ControlKind::DropDownList) rect.height = kClosedListHeightUnits;
    return ToPixels(rect);
}

}  // namespace

OptionsWindow::OptionsWindow(CDialog& dialog) : m_dialog(dialog) {
    set_name(kWindowName);
    InstallCss(get_screen());
    set_title(dialog.GetWindowText());
    set_resizable(false);
    if (const WindowState* self = dialog.GetSafeHwnd()) {
        const PixelRect size = ToPixels(self->rect);
        m_fixed.set_size_request(size.width, size.height);
    }
    add(m_fixed);

    Gtk::RadioButton::Group group;
    for (const CWnd::Child& child : dialog.Children()) {
        const WindowState& state = *child.state;
        if ((state.style & style::kGroup) != 0) group = Gtk::RadioButton::Group();
        Gtk::Widget* widget = MakeWidget(state, group);
        const PixelRect place = PlaceOf(state);
        widget->set_size_request(place.width, place.height);
        m_fixed.put(*widget, place.x, place.y);
        m_entries.push_back({&state, widget, {}});
    }
    for (const Entry& entry : m_entries) {
        if ((entry.state->style & style::kDefaultButton) == 0) continue;
        entry.widget->set_can_default(true);
        entry.widget->grab_default();
    }
    m_fixed.show();
    Sync();
}

OptionsWindow::~OptionsWindow() = default;

Gtk::Widget* OptionsWindow::MakeWidget(const WindowState& state, Gtk::RadioButton::Group& group) {
    const int id = state.id;
    const Glib::ustring text(state.text);
    switch (state.kind) {
        case ControlKind::PushButton: {
            auto* button = Gtk::make_managed<Gtk::Button>(text);
            button->signal_clicked().connect(
                [this, id] { Deliver([this, id] { ClickButton(m_dialog, id); }); });
            return button;
        }
        case ControlKind::CheckBox: {
            auto* box = Gtk::make_managed<Gtk::CheckButton>(text);
            box->signal_clicked().connect(
                [this, id] { Deliver([this, id] { ClickButton(m_dialog, id); }); });
            return box;
        }
        case ControlKind::RadioButton: {
            auto* radio = Gtk::make_managed<Gtk::RadioButton>(group, text);
            // GTK toggles the button that was left too; only the chosen one
            // is a click.
            radio->signal_toggled().connect([this, id, radio] {
                if (radio->get_active()) Deliver([this, id] { ClickButton(m_dialog, id); });
            });
            return radio;
        }
        case ControlKind::GroupBox:
            return Gtk::make_managed<Gtk::Frame>(text);
        case ControlKind::DropDownList: {
            auto* list = Gtk::make_managed<Gtk::ComboBoxText>();
            list->signal_changed().connect([this, id, list] {
                const int row = list->get_active_row_number();
                if (row >= 0) Deliver([this, id, row] { ChooseListItem(m_dialog, id, row); });
            });
            return list;
        }
        case ControlKind::StaticText:
        case ControlKind::Dialog:
            break;
    }
    auto* label = Gtk::make_managed<Gtk::Label>(text);
    label->set_xalign(0.0f);
    label->set_yalign(0.0f);
    return label;
}

void OptionsWindow::Deliver(const std::function<void()>& command) {
    // Widgets changed by Sync itself are not the user's doing.
    if (m_syncing) return;
    command();
    Sync();
    if (m_dialog.IsEnded() && m_ended) m_ended();
}

void OptionsWindow::Sync() {
    m_syncing = true;
    set_title(m_dialog.GetWindowText());
    for (Entry& entry : m_entries) SyncOne(entry);
    // A radio group with nothing chosen in the dialog: GTK always keeps one
    // button active, so mark the mismatch instead.
    for (const Entry& entry : m_entries) {
        if (entry.state->kind != ControlKind::RadioButton) continue;
        auto* radio = static_cast<Gtk::RadioButton*>(entry.widget);
        radio->set_inconsistent(radio->get_active() != (entry.state->check == BST_CHECKED));
    }
    m_syncing = false;
}

void OptionsWindow::SyncOne(Entry& entry) {
    const WindowState& state = *entry.state;
    Gtk::Widget& widget = *entry.widget;
    widget.set_visible(state.visible);
    widget.set_sensitive(state.enabled);
    const Glib::ustring text(state.text);
    switch (state.kind) {
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton: {
            auto& button = static_cast<Gtk::Button&>(widget);
            if (button.get_label() != text) button.set_label(text);
            if (state.kind == ControlKind::PushButton) break;
            auto& toggle = static_cast<Gtk::ToggleButton&>(widget);
            const bool checked = state.check == BST_CHECKED;
            // Setting a radio button inactive is GTK's business: it follows
            // from activating another of its group.
            if (checked || state.kind == ControlKind::CheckBox) toggle.set_active(checked);
            break;
        }
        case ControlKind::GroupBox: {
            auto& frame = static_cast<Gtk::Frame&>(widget);
            if (frame.get_label() != text) frame.set_label(text);
            break;
        }
        case ControlKind::DropDownList: {
            auto& list = static_cast<Gtk::ComboBoxText&>(widget);
            if (entry.shownItems != state.items) {
                list.remove_all();
                for (const std::string& item : state.items) list.append(item);
                entry.shownItems = state.items;
            }
            if (state.curSel >= 0) {
                list.set_active(state.curSel);
            } else {
                list.unset_active();
            }
            break;
        }
        case ControlKind::StaticText:
        case ControlKind::Dialog: {
            auto& label = static_cast<Gtk::Label&>(widget);
            if (label.get_text() != text) label.set_text(text);
            break;
        }
    }
}

bool OptionsWindow::on_delete_event(GdkEventAny*) {
    // Closing the window is Cancel, as the window system's close box is.
    Deliver([this] {
        m_dialog.OnCommand(IDCANCEL, BN_CLICKED);
        if (!m_dialog.IsEnded()) m_dialog.EndDialog(IDCANCEL);
    });
    return true;
}

Gtk::Widget* OptionsWindow::WidgetFor(int id) const {
    for (const Entry& entry : m_entries) {
        if (entry.state->id == id) return entry.widget;
    }
    return nullptr;
}

}  // namespace tarnwick::gtk
