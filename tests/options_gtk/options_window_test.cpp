// The options dialog in a real GTK window under Xvfb: the window maps with every control in
// place, GTK input reaches the record, and the picture of the window is kept as a test artifact.
//
// Built only by the options window's own target (which defines TARNWICK_OPTIONS_GTK_TESTS);
// elsewhere this file is empty.
#ifdef TARNWICK_OPTIONS_GTK_TESTS

#include "options_window.h"

#include <gtest/gtest.h>
#include <gtkmm.h>

#include <string>
#include <tuple>

#include "dialog_units.h"
#include "gtk_modal_runner.h"
#include "options/driver_option_dialog_qz.h"
#include "options/options_test_support.h"
#include "platform/message_box.h"
#include "platform/mfc/modal_runner.h"
#include "platform/mfc/resource.h"
#include "widget_snapshot.h"

namespace tarnwick::gtk {
namespace {

using namespace options_test;

template <typename W = Gtk::CheckButton>
W& WidgetAs(OptionsWindow& window, int id) {
    auto* widget = dynamic_cast<W*>(window.WidgetFor(id));
    if (widget == nullptr) throw std::runtime_error("no widget for " + std::to_string(id));
    return *widget;
}

class OptionsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(GtkAvailable()) << "no display: run under xvfb-run"; }

    // Shows the modal form of the page on m_area and lets `script` work it.
    int Show(const char* model, std::function<void(OptionsWindow&)> script) {
        CDriverOptionDialogQZ dialog(nullptr, &m_area.settings, model);
        GtkRunOptions run;
        run.onShown = [&](OptionsWindow& window) {
            ++m_shown;
            script(window);
        };
        ScopedModalRunner runner([&](CDialog& d) { return RunInGtkWindow(d, run); });
        return dialog.DoModal();
    }

    SettingsArea m_area = EditedArea();
    int m_shown = 0;
};

// 1.5 pixels a unit across and 1.625 down, each rounded to the nearest pixel.
TEST(DialogUnits, UseTheDialogFontBase) {
    const PixelRect r = ToPixels(DialogRect{1, 210, 50, 14});
    EXPECT_EQ(std::tuple(r.x, r.y, r.width, r.height), std::tuple(2, 341, 75, 23));
}

TEST_F(OptionsWindowTest, MapsWithEveryControlAndKeepsAPicture) {
    const std::string artifact = std::string(TARNWICK_ARTIFACT_DIR) + "/options-window.png";
    const int result = Show("Coldstream SP-1400C", [&](OptionsWindow& window) {
        EXPECT_TRUE(window.get_mapped());
        EXPECT_EQ(window.get_title(), "Driver Options");
        for (const CWnd::Child& child : window.Dialog().Children()) {
            const WindowState& state = *child.state;
            Gtk::Widget* widget = window.WidgetFor(state.id);
            ASSERT_NE(widget, nullptr) << state.id;
            EXPECT_TRUE(widget->get_mapped()) << state.id;
            const Gtk::Allocation place = widget->get_allocation();
            EXPECT_EQ(std::tuple(place.get_x(), place.get_y()),
                      std::tuple(UnitsToPixelsX(state.rect.x), UnitsToPixelsY(state.rect.y)))
                << state.id;
        }
        EXPECT_EQ(WidgetAs(window, IDC_CUT_SHEET).get_label(), "Cut sheet after printing");
        EXPECT_EQ(WidgetAs<Gtk::ComboBoxText>(window, IDC_PAGE_SPACING).get_active_text(), "70 mm");
        std::string error;
        EXPECT_TRUE(SaveWidgetPng(window, artifact, error)) << error;
        WidgetAs<Gtk::Button>(window, IDCANCEL).clicked();
    });
    EXPECT_EQ(std::tuple(m_shown, result), std::tuple(1, IDCANCEL));
    auto picture = Gdk::Pixbuf::create_from_file(artifact);
    EXPECT_EQ(std::tuple(picture->get_width(), picture->get_height()), std::tuple(375, 375));
}

TEST_F(OptionsWindowTest, GtkInputReachesTheRecordAndTheOtherWidgets) {
    const int result = Show("CP52", [&](OptionsWindow& window) {
        const PrinterSettings& s = m_area.settings;
        WidgetAs(window, IDC_CROP_MARK).clicked();
        WidgetAs<Gtk::ComboBoxText>(window, IDC_PAGE_SPACING).set_active(3);
        WidgetAs<Gtk::RadioButton>(window, IDC_BIDIRECTIONAL).set_active(true);
        EXPECT_EQ(std::tuple(s.cropMark, s.pageSpacing, s.printDirection), std::tuple(0, 3, 1));
        auto& cut = WidgetAs(window, IDC_CUT_SHEET);
        WidgetAs(window, IDC_ADVANCE).clicked();
        EXPECT_EQ(std::tuple(cut.get_sensitive(), cut.get_active(), s.cutSheet),
                  std::tuple(false, false, 1));
        WidgetAs<Gtk::Button>(window, IDC_RESTORE_DEFAULTS).clicked();
        EXPECT_EQ(WidgetAs<Gtk::ComboBoxText>(window, IDC_PAGE_SPACING).get_active_text(), "10 mm");
        WidgetAs<Gtk::ComboBoxText>(window, IDC_OVERPRINT).set_active(2);
        WidgetAs<Gtk::Button>(window, IDOK).clicked();
    });
    EXPECT_EQ(result, IDOK);
    ExpectDefaults(m_area.settings, {"overprint"});
    EXPECT_EQ(m_area.settings.overprint, 2);
}

// The runner the tool installs. Nobody clicks, so the window is closed from outside once it
// shows, which cancels; a generic model's window hides the widgets of the other models.
TEST(GtkModalRunner, BecomesTheModalLoopOfDoModal) {
    ASSERT_TRUE(GtkAvailable());
    const ModalRunner previous = SetModalRunner(nullptr);
    InstallGtkModalRunner();
    SettingsArea area = EditedArea();
    CDriverOptionDialogQZ dialog(nullptr, &area.settings, "Plain RTL");
    int seen = 0;
    sigc::connection closer = Glib::signal_idle().connect([&] {
        for (Gtk::Window* w : Gtk::Window::list_toplevels()) {
            if (!w->get_mapped()) continue;
            if (auto* window = dynamic_cast<OptionsWindow*>(w)) {
                ++seen;
                EXPECT_FALSE(window->WidgetFor(IDC_DRY_TIME)->get_visible());
                EXPECT_FALSE(window->WidgetFor(IDC_ADVANCE)->get_visible());
                EXPECT_TRUE(window->WidgetFor(IDOK)->get_visible());
            }
            w->close();  // the close arrives later: the window may be seen more than once
        }
        return !dialog.IsEnded();
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_GT(seen, 0);
    closer.disconnect();
    SetModalRunner(previous);
}

}  // namespace
}  // namespace tarnwick::gtk

#endif  // TARNWICK_OPTIONS_GTK_TESTS
