// The options dialog in a real GTK window under Xvfb: the window maps with
// every control in place, GTK input reaches the record, and the picture of
// the window is kept as a test artifact.
//
// Built only by the options window's own target (which defines
// TARNWICK_OPTIONS_GTK_TESTS); elsewhere this file is empty.
#ifdef TARNWICK_OPTIONS_GTK_TESTS

#include "options_window.h"

#include <gtest/gtest.h>
#include <gtkmm.h>

#include <filesystem>
#include <string>

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

template <typename W>
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

TEST(DialogUnits, UseTheDialogFontBase) {
    EXPECT_EQ(UnitsToPixelsX(250), 375);
    EXPECT_EQ(UnitsToPixelsY(231), 375);
    EXPECT_EQ(UnitsToPixelsX(1), 2);  // 1.5 rounds up
    EXPECT_EQ(UnitsToPixelsY(8), 13);
    const PixelRect r = ToPixels(DialogRect{22, 210, 50, 14});
    EXPECT_EQ(r.x, 33);
    EXPECT_EQ(r.y, 341);
    EXPECT_EQ(r.width, 75);
    EXPECT_EQ(r.height, 23);
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
            EXPECT_EQ(place.get_x(), UnitsToPixelsX(state.rect.x)) << state.id;
            EXPECT_EQ(place.get_y(), UnitsToPixelsY(state.rect.y)) << state.id;
        }
        EXPECT_EQ(WidgetAs<Gtk::CheckButton>(window, IDC_CUT_SHEET).get_label(),
                  "Cut sheet after printing");
        EXPECT_EQ(WidgetAs<Gtk::ComboBoxText>(window, IDC_PAGE_SPACING).get_active_text(), "70 mm");
        EXPECT_EQ(WidgetAs<Gtk::ComboBoxText>(window, IDC_DRY_TIME).get_active_text(), "7 min");

        std::filesystem::create_directories(TARNWICK_ARTIFACT_DIR);
        std::string error;
        EXPECT_TRUE(SaveWidgetPng(window, artifact, error)) << error;
        WidgetAs<Gtk::Button>(window, IDCANCEL).clicked();
    });
    EXPECT_EQ(m_shown, 1);
    EXPECT_EQ(result, IDCANCEL);
    auto picture = Gdk::Pixbuf::create_from_file(artifact);
    EXPECT_EQ(picture->get_width(), 375);
    EXPECT_EQ(picture->get_height(), 375);
}

TEST_F(OptionsWindowTest, GtkInputReachesTheRecordAndTheOtherWidgets) {
    const int result = Show("CP52", [&](OptionsWindow& window) {
        const PrinterSettings& s = m_area.settings;
        WidgetAs<Gtk::CheckButton>(window, IDC_CROP_MARK).clicked();
        EXPECT_EQ(s.cropMark, 0);
        WidgetAs<Gtk::ComboBoxText>(window, IDC_PAGE_SPACING).set_active(3);
        EXPECT_EQ(s.pageSpacing, 3);
        WidgetAs<Gtk::RadioButton>(window, IDC_BIDIRECTIONAL).set_active(true);
        EXPECT_EQ(s.printDirection, 1);

        auto& cut = WidgetAs<Gtk::CheckButton>(window, IDC_CUT_SHEET);
        WidgetAs<Gtk::CheckButton>(window, IDC_ADVANCE).clicked();
        EXPECT_FALSE(cut.get_sensitive());
        EXPECT_FALSE(cut.get_active());
        EXPECT_EQ(s.cutSheet, 1);

        WidgetAs<Gtk::CheckButton>(window, IDC_ENABLE_OPTIONS).clicked();
        EXPECT_EQ(s.driverOptionsOff, 1);
        EXPECT_FALSE(WidgetAs<Gtk::ComboBoxText>(window, IDC_OVERPRINT).get_sensitive());
        WidgetAs<Gtk::CheckButton>(window, IDC_ENABLE_OPTIONS).clicked();

        WidgetAs<Gtk::Button>(window, IDC_RESTORE_DEFAULTS).clicked();
        EXPECT_EQ(WidgetAs<Gtk::ComboBoxText>(window, IDC_PAGE_SPACING).get_active_text(), "10 mm");
        WidgetAs<Gtk::ComboBoxText>(window, IDC_OVERPRINT).set_active(2);
        WidgetAs<Gtk::Button>(window, IDOK).clicked();
    });
    EXPECT_EQ(result, IDOK);
    ExpectDefaults([&] {
        PrinterSettings expected = m_area.settings;
        expected.overprint = 0;
        return expected;
    }());
    EXPECT_EQ(m_area.settings.overprint, 2);
}

TEST_F(OptionsWindowTest, GenericModelHidesItsWidgetsAndClosingCancels) {
    const int result = Show("Plain RTL", [&](OptionsWindow& window) {
        EXPECT_FALSE(window.WidgetFor(IDC_DRY_TIME)->get_visible());
        EXPECT_FALSE(window.WidgetFor(IDC_ADVANCE)->get_visible());
        EXPECT_TRUE(window.WidgetFor(IDOK)->get_visible());
        window.close();
    });
    EXPECT_EQ(m_shown, 1);
    EXPECT_EQ(result, IDCANCEL);
}

TEST(GtkModalRunner, BecomesTheModalLoopOfDoModal) {
    ASSERT_TRUE(GtkAvailable());
    const ModalRunner previous = SetModalRunner(nullptr);
    InstallGtkModalRunner();
    SettingsArea area = EditedArea();
    CDriverOptionDialogQZ dialog(nullptr, &area.settings, "CP52");
    // Nobody clicks, so close the window from outside once it shows.
    sigc::connection closer = Glib::signal_idle().connect([&] {
        for (Gtk::Window* w : Gtk::Window::list_toplevels()) {
            if (w->get_mapped()) w->close();
        }
        return !dialog.IsEnded();
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    closer.disconnect();
    SetModalRunner(previous);
}

}  // namespace
}  // namespace tarnwick::gtk

#endif  // TARNWICK_OPTIONS_GTK_TESTS
