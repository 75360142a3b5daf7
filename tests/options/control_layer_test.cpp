// The control layer on the driver options resource: how controls keep their
// state, what input a control takes, data exchange and the modal loop.
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

// A bare dialog on the options resource that counts the commands it gets.
class PlainDialog : public CDialog {
  public:
    explicit PlainDialog(int templateId = IDD_DRIVER_OPTIONS) : CDialog(templateId) {}
    bool Make() { return CreateFromTemplate(); }
    bool OnCommand(int id, int notification) override {
        ++commands;
        lastId = id;
        lastNotification = notification;
        return CDialog::OnCommand(id, notification);
    }
    int commands = 0;
    int lastId = 0;
    int lastNotification = -1;
    int bindId = IDC_OVERPRINT;
    CComboBox list;

  protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, bindId, list); }
};

TEST(DialogResource, ControlsAreMadeFromTheTemplate) {
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Make());
    EXPECT_EQ(dialog.GetWindowText(), "Driver Options");
    const DialogTemplate* resource = dialog.Template();
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->fontName, "MS Sans Serif");
    EXPECT_EQ(resource->fontPointSize, 8);
    EXPECT_EQ(dialog.Children().size(), 19u);
    std::set<int> ids;
    for (const CWnd::Child& child : dialog.Children()) {
        const WindowState& c = *child.state;
        EXPECT_TRUE(ids.insert(c.id).second) << "duplicate id " << c.id;
        EXPECT_GE(c.rect.x, 0) << c.id;
        EXPECT_GE(c.rect.y, 0) << c.id;
        EXPECT_LE(c.rect.x + c.rect.width, 250) << c.id;
        EXPECT_LE(c.rect.y + c.rect.height, 231) << c.id;
        EXPECT_TRUE(c.enabled && c.visible) << c.id;
    }
    EXPECT_EQ(Control(dialog, IDC_CUT_SHEET).text, "Cut sheet after printing");
    EXPECT_EQ(Control(dialog, IDC_CUT_SHEET).kind, ControlKind::CheckBox);
    EXPECT_EQ(Control(dialog, IDOK).style & style::kDefaultButton, style::kDefaultButton);
}

TEST(DialogResource, UnknownTemplateMakesNoDialog) {
    PlainDialog dialog(4242);
    EXPECT_FALSE(dialog.Make());
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.GetDlgItem(IDOK), nullptr);
    EXPECT_FALSE(dialog.UpdateData(true));
}

TEST(Controls, DetachedWrappersDoNothing) {
    CComboBox list;
    CButton box;
    EXPECT_EQ(list.AddString("x"), CB_ERR);
    EXPECT_EQ(list.GetCount(), CB_ERR);
    EXPECT_EQ(list.SetCurSel(0), CB_ERR);
    box.SetCheck(BST_CHECKED);
    EXPECT_EQ(box.GetCheck(), BST_UNCHECKED);
    EXPECT_FALSE(box.IsWindowEnabled());
    EXPECT_FALSE(box.ShowWindow(SW_SHOW));
    EXPECT_EQ(box.GetDlgCtrlID(), 0);
}

TEST(Controls, ComboBoxKeepsItemsAndSelection) {
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Make());
    CComboBox list;
    list.Attach(dialog.FindChild(IDC_COLOR_BAR));
    EXPECT_EQ(list.AddString("a"), 0);
    EXPECT_EQ(list.AddString("b"), 1);
    EXPECT_EQ(list.SetCurSel(1), 1);
    std::string text;
    EXPECT_EQ(list.GetLBText(1, text), 1);
    EXPECT_EQ(text, "b");
    EXPECT_EQ(list.GetLBText(2, text), CB_ERR);
    EXPECT_EQ(list.GetLBText(-1, text), CB_ERR);
    // A position outside the list clears the selection.
    EXPECT_EQ(list.SetCurSel(2), CB_ERR);
    EXPECT_EQ(list.GetCurSel(), CB_ERR);
    list.SetCurSel(0);
    list.ResetContent();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCurSel(), CB_ERR);
}

TEST(Controls, CheckRadioButtonTouchesOnlyItsRange) {
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Make());
    CButton cut;
    cut.Attach(dialog.FindChild(IDC_CUT_SHEET));
    cut.SetCheck(BST_CHECKED);
    dialog.CheckRadioButton(IDC_UNIDIRECTIONAL, IDC_BIDIRECTIONAL, IDC_BIDIRECTIONAL);
    EXPECT_EQ(Control(dialog, IDC_BIDIRECTIONAL).check, BST_CHECKED);
    EXPECT_EQ(Control(dialog, IDC_UNIDIRECTIONAL).check, BST_UNCHECKED);
    dialog.CheckRadioButton(IDC_UNIDIRECTIONAL, IDC_BIDIRECTIONAL, IDC_CUT_SHEET);
    EXPECT_EQ(Control(dialog, IDC_BIDIRECTIONAL).check, BST_UNCHECKED);
    EXPECT_EQ(cut.GetCheck(), BST_CHECKED);
}

TEST(UserInput, ClicksFollowTheControlKind) {
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Make());
    EXPECT_TRUE(ClickButton(dialog, IDC_CROP_MARK));
    EXPECT_EQ(Control(dialog, IDC_CROP_MARK).check, BST_CHECKED);
    EXPECT_EQ(dialog.lastId, IDC_CROP_MARK);
    EXPECT_EQ(dialog.lastNotification, BN_CLICKED);
    EXPECT_TRUE(ClickButton(dialog, IDC_CROP_MARK));
    EXPECT_EQ(Control(dialog, IDC_CROP_MARK).check, BST_UNCHECKED);

    EXPECT_TRUE(ClickButton(dialog, IDC_UNIDIRECTIONAL));
    EXPECT_TRUE(ClickButton(dialog, IDC_BIDIRECTIONAL));
    EXPECT_EQ(Control(dialog, IDC_UNIDIRECTIONAL).check, BST_UNCHECKED);
    EXPECT_EQ(Control(dialog, IDC_BIDIRECTIONAL).check, BST_CHECKED);
    // Check boxes after the radio pair are not part of its group.
    EXPECT_TRUE(ClickButton(dialog, IDC_CALIBRATION));
    EXPECT_TRUE(ClickButton(dialog, IDC_UNIDIRECTIONAL));
    EXPECT_EQ(Control(dialog, IDC_CALIBRATION).check, BST_CHECKED);

    dialog.FindChild(IDC_DRY_TIME)->items = {"x", "y"};
    EXPECT_TRUE(ChooseListItem(dialog, IDC_DRY_TIME, 1));
    EXPECT_EQ(Control(dialog, IDC_DRY_TIME).curSel, 1);
    EXPECT_EQ(dialog.lastNotification, CBN_SELCHANGE);
}

TEST(UserInput, RefusedInputChangesNothing) {
    PlainDialog dialog;
    EXPECT_FALSE(ClickButton(dialog, IDC_CROP_MARK));  // no window yet
    ASSERT_TRUE(dialog.Make());
    dialog.GetDlgItem(IDC_CROP_MARK)->EnableWindow(false);
    dialog.GetDlgItem(IDC_ADVANCE)->ShowWindow(SW_HIDE);
    dialog.FindChild(IDC_DRY_TIME)->items = {"x"};
    EXPECT_FALSE(ClickButton(dialog, IDC_CROP_MARK));
    EXPECT_FALSE(ClickButton(dialog, IDC_ADVANCE));
    EXPECT_FALSE(ClickButton(dialog, 9999));
    EXPECT_FALSE(ClickButton(dialog, IDC_OVERPRINT_LABEL));
    EXPECT_FALSE(ClickButton(dialog, IDC_DRY_TIME));
    EXPECT_FALSE(ChooseListItem(dialog, IDC_DRY_TIME, 1));
    EXPECT_FALSE(ChooseListItem(dialog, IDC_DRY_TIME, -1));
    EXPECT_FALSE(ChooseListItem(dialog, IDC_CUT_SHEET, 0));
    EXPECT_EQ(dialog.commands, 0);
    EXPECT_EQ(Control(dialog, IDC_CROP_MARK).check, BST_UNCHECKED);
    EXPECT_EQ(Control(dialog, IDC_DRY_TIME).curSel, CB_ERR);
    dialog.EnableWindow(false);
    EXPECT_FALSE(ClickButton(dialog, IDC_CALIBRATION));
}

TEST(DataExchange, BindsMembersAndFailsOnAMissingControl) {
    PlainDialog dialog;
    ASSERT_TRUE(dialog.Make());
    EXPECT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(dialog.list.GetDlgCtrlID(), IDC_OVERPRINT);
    dialog.bindId = 5555;
    EXPECT_FALSE(dialog.UpdateData(true));
    // OK does not end a dialog whose data cannot be taken.
    dialog.OnOK();
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
        // A second run starts from the template again; the member stays bound.
        EXPECT_EQ(dialog.DoModal(), IDOK);
    }
    EXPECT_EQ(runs, 2);
    // Without a runner nobody answers: the dialog is cancelled.
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
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
