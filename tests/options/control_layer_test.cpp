// The control layer under the options page: the dialog resource, data exchange, the modal loop,
// strings and message boxes. How the page's controls take input is in page_scenarios.txt.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "options_test_support.h"
#include "platform/mfc/afx_message_box.h"
#include "platform/mfc/cbutton.h"
#include "platform/mfc/ccombobox.h"
#include "platform/mfc/cdialog.h"
#include "platform/mfc/data_exchange.h"
#include "platform/mfc/load_string.h"
#include "platform/mfc/modal_runner.h"
#include "platform/mfc/resource.h"
#include "platform/mfc/user_input.h"
#include "support/message_script.h"

namespace tarnwick {
namespace {

using options_test::Control;

// A bare dialog on the options resource with one bound list; it counts its commands.
class PlainDialog : public CDialog {
  public:
    explicit PlainDialog(int templateId = IDD_DRIVER_OPTIONS) : CDialog(templateId) {}
    bool Make() { return CreateFromTemplate(); }
    bool OnCommand(int id, int notification) override {
        ++commands;
        lastId = id;
        return CDialog::OnCommand(id, notification);
    }
    int commands = 0, lastId = 0, bindId = IDC_OVERPRINT;
    CComboBox list;

  protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, bindId, list); }
};

TEST(DialogResource, ControlsAreMadeFromTheTemplate) {
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Make());
    EXPECT_EQ(dialog.GetWindowText(), "Driver Options");
    ASSERT_NE(dialog.Template(), nullptr);
    EXPECT_EQ(dialog.Template()->fontName, "MS Sans Serif");
    EXPECT_EQ(dialog.Template()->fontPointSize, 8);
    EXPECT_EQ(dialog.Children().size(), 19u);
    std::set<int> ids;
    for (const CWnd::Child& child : dialog.Children()) {
        const WindowState& c = *child.state;
        EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
        EXPECT_TRUE(c.rect.x >= 0 && c.rect.y >= 0 && c.rect.x + c.rect.width <= 250 &&
                    c.rect.y + c.rect.height <= 231 && c.enabled && c.visible)
            << c.id;
    }
    EXPECT_EQ(Control(dialog, IDC_CUT_SHEET).text, "Cut sheet after printing");
    EXPECT_EQ(Control(dialog, IDC_CUT_SHEET).kind, ControlKind::CheckBox);
    EXPECT_EQ(Control(dialog, IDOK).style & style::kDefaultButton, style::kDefaultButton);
    // A selection outside the list clears it.
    CComboBox& list = dialog.list;
    list.Attach(dialog.FindChild(IDC_COLOR_BAR));
    EXPECT_EQ(list.AddString("a"), 0);
    EXPECT_EQ(list.AddString("b"), 1);
    EXPECT_EQ(list.SetCurSel(1), 1);
    std::string text;
    EXPECT_EQ(list.GetLBText(1, text), 1);
    EXPECT_EQ(text, "b");
    EXPECT_EQ(list.GetLBText(2, text) + list.GetLBText(-1, text), 2 * CB_ERR);
    EXPECT_EQ(list.SetCurSel(2), CB_ERR);
    EXPECT_EQ(list.GetCurSel(), CB_ERR);
    list.SetCurSel(0);
    list.ResetContent();
    EXPECT_EQ(list.GetCount() + list.GetCurSel(), CB_ERR);
    // Wrappers on no control do nothing.
    CComboBox detached;
    CButton box;
    EXPECT_EQ(detached.AddString("x") + detached.GetCount() + detached.SetCurSel(0), 3 * CB_ERR);
    box.SetCheck(BST_CHECKED);
    EXPECT_EQ(box.GetCheck(), BST_UNCHECKED);
    EXPECT_FALSE(box.IsWindowEnabled() || box.ShowWindow(SW_SHOW) || box.GetDlgCtrlID() != 0);
    // No input reaches a disabled dialog.
    dialog.EnableWindow(false);
    EXPECT_FALSE(ClickButton(dialog, IDC_CALIBRATION));
    EXPECT_EQ(dialog.commands, 0);

    PlainDialog unknown(4242);
    EXPECT_FALSE(unknown.Make());
    EXPECT_FALSE(ClickButton(unknown, IDC_CROP_MARK));
    EXPECT_EQ(unknown.DoModal(), -1);
    EXPECT_EQ(unknown.GetDlgItem(IDOK), nullptr);
    EXPECT_FALSE(unknown.UpdateData(true));
}

TEST(DataExchange, BindsMembersAndFailsOnAMissingControl) {
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Make());
    EXPECT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(dialog.list.GetDlgCtrlID(), IDC_OVERPRINT);
    dialog.bindId = 5555;
    EXPECT_FALSE(dialog.UpdateData(true));
    dialog.OnOK();  // OK does not end a dialog whose data cannot be taken
    EXPECT_FALSE(dialog.IsEnded());
    dialog.OnCancel();
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.ModalResult(), IDCANCEL);
}

TEST(ModalLoop, RunsTheInstalledRunnerOnAFreshWindow) {
    PlainDialog dialog;
    int runs = 0;
    {
        ScopedModalRunner runner([&](CDialog& d) {
            ++runs;
            EXPECT_EQ(dialog.list.GetCount(), 0);
            dialog.list.AddString("left over");
            EXPECT_TRUE(ClickButton(d, IDOK));
            return IDCANCEL;
        });
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(dialog.DoModal(), IDOK);  // from the template again; the member stays bound
    }
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);  // without a runner nobody answers
    EXPECT_EQ(dialog.lastId, IDCANCEL);
}

TEST(Resources, StringsAndMessageBoxes) {
    std::string text = "stale";
    EXPECT_TRUE(LoadString(4, text));
    EXPECT_EQ(text.substr(0, 8), "None,10 ");
    EXPECT_FALSE(LoadString(31337, text));
    EXPECT_EQ(text, "");
    {
        ScopedStringSource strings([](int id) -> std::optional<std::string> {
            if (id == 4) return std::string("only");
            return std::nullopt;
        });
        EXPECT_TRUE(LoadString(4, text));
        EXPECT_EQ(text, "only");
        EXPECT_FALSE(LoadString(2, text));
    }
    EXPECT_TRUE(LoadString(2, text));
    EXPECT_EQ(text, "1,2,3,");

    ScopedMessageScript messages({IDCANCEL});
    EXPECT_EQ(AfxMessageBox("hello"), IDCANCEL);
    ASSERT_EQ(messages.requests().size(), 1u);
    EXPECT_EQ(messages.requests()[0].text, "hello");
    EXPECT_EQ(messages.requests()[0].flags, MB_OK | MB_SETFOREGROUND);
}

}  // namespace
}  // namespace tarnwick
