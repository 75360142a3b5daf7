// The driver's options slot: which actions reset, which open the modal
// dialog, and what the record holds once the dialog ends.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "driver/cdriver.h"
#include "options_test_support.h"
#include "platform/message_box.h"
#include "platform/mfc/cdialog.h"
#include "platform/mfc/driver_dll.h"
#include "platform/mfc/modal_runner.h"
#include "platform/mfc/resource.h"
#include "platform/mfc/user_input.h"

namespace tarnwick {
namespace {

using namespace options_test;

class ShowOptionsDialogTest : public ::testing::Test {
  protected:
    ShowOptionsDialogTest() {
        std::memset(&m_setup, 0, sizeof m_setup);
        std::strcpy(m_setup.modelName, "Coldstream SP-1400C");
        m_setup.media = -100;
    }

    int Show(int32_t action) {
        return m_driver.ShowOptionsDialog(&m_area.settings, action, &m_setup, nullptr);
    }

    CDriver m_driver;
    PrintSetup m_setup;
    SettingsArea m_area = EditedArea();
    int m_runs = 0;
};

TEST_F(ShowOptionsDialogTest, ResetActionNeedsNoWindow) {
    ScopedModalRunner runner([&](CDialog&) {
        ++m_runs;
        return IDOK;
    });
    EXPECT_EQ(Show(2), 1);
    EXPECT_EQ(m_runs, 0);
    ExpectDefaults(m_area.settings);
    EXPECT_EQ(m_area.rest[0], 0xA5);
}

TEST_F(ShowOptionsDialogTest, EditThenCancelLeavesTheAreaAsItWas) {
    const SettingsArea before = m_area;
    ScopedModalRunner runner([&](CDialog& dialog) {
        ++m_runs;
        // The modal form shows its own OK and Cancel.
        EXPECT_TRUE(Visible(dialog, IDOK));
        EXPECT_TRUE(Visible(dialog, IDCANCEL));
        EXPECT_TRUE(Visible(dialog, IDC_DRY_TIME));
        EXPECT_TRUE(ClickButton(dialog, IDC_CROP_MARK));
        EXPECT_TRUE(ChooseListItem(dialog, IDC_PAGE_SPACING, 0));
        EXPECT_EQ(m_area.settings.pageSpacing, 0);
        EXPECT_TRUE(ClickButton(dialog, IDCANCEL));
        return 0;
    });
    EXPECT_EQ(Show(3), 1);
    EXPECT_EQ(m_runs, 1);
    EXPECT_TRUE(SameBytes(before, m_area));
}

TEST_F(ShowOptionsDialogTest, ResetEditThenCancelKeepsTheDefaults) {
    ScopedModalRunner runner([&](CDialog& dialog) {
        ++m_runs;
        EXPECT_EQ(Shown(dialog, IDC_PAGE_SPACING), "10 mm");
        ClickButton(dialog, IDC_UNIDIRECTIONAL);
        ClickButton(dialog, IDCANCEL);
        return 0;
    });
    EXPECT_EQ(Show(1), 1);
    EXPECT_EQ(m_runs, 1);
    // The copy for Cancel is taken after the reset.
    ExpectDefaults(m_area.settings);
    // Even the model class the dialog wrote is taken back.
    EXPECT_EQ(m_area.settings.modelClass, 0);
}

TEST_F(ShowOptionsDialogTest, ResetEditThenOkKeepsTheEdits) {
    ScopedModalRunner runner([&](CDialog& dialog) {
        ++m_runs;
        ClickButton(dialog, IDC_UNIDIRECTIONAL);
        ChooseListItem(dialog, IDC_DRY_TIME, 3);
        ClickButton(dialog, IDC_ADVANCE);
        ClickButton(dialog, IDOK);
        return 0;
    });
    EXPECT_EQ(Show(1), 1);
    EXPECT_EQ(m_runs, 1);
    PrinterSettings expected = m_area.settings;
    expected.printDirection = 1;
    expected.dryTime = 0;
    expected.advanceAfterPrint = 1;
    ExpectDefaults(expected);
    EXPECT_EQ(m_area.settings.printDirection, 0);
    EXPECT_EQ(m_area.settings.dryTime, 3);
    EXPECT_EQ(m_area.settings.advanceAfterPrint, 0);
}

TEST_F(ShowOptionsDialogTest, OtherActionsDoNothing) {
    const SettingsArea before = m_area;
    ScopedModalRunner runner([&](CDialog&) {
        ++m_runs;
        return IDOK;
    });
    for (int32_t action : {0, 4, -1, 0x10001}) {
        EXPECT_EQ(Show(action), 0) << action;
    }
    EXPECT_EQ(m_runs, 0);
    EXPECT_TRUE(SameBytes(before, m_area));
}

TEST_F(ShowOptionsDialogTest, UninitialisedRecordIsResetBeforeTheDialog) {
    m_area.settings.tag = 0;
    m_area.settings.pageSpacing = 99;
    ScopedModalRunner runner([&](CDialog& dialog) {
        ++m_runs;
        EXPECT_EQ(m_area.settings.tag, 24);
        EXPECT_EQ(Shown(dialog, IDC_PAGE_SPACING), "10 mm");
        ClickButton(dialog, IDCANCEL);
        return 0;
    });
    EXPECT_EQ(Show(3), 1);
    EXPECT_EQ(m_runs, 1);
    ExpectDefaults(m_area.settings);
}

TEST_F(ShowOptionsDialogTest, WithoutARunnerTheDialogIsCancelled) {
    const SettingsArea before = m_area;
    EXPECT_EQ(Show(3), 1);
    EXPECT_TRUE(SameBytes(before, m_area));
}

TEST_F(ShowOptionsDialogTest, RunnerThatDoesNotEndTheDialogDecidesTheResult) {
    ScopedModalRunner runner([&](CDialog& dialog) {
        ClickButton(dialog, IDC_CROP_MARK);
        return IDOK;
    });
    EXPECT_EQ(Show(3), 1);
    EXPECT_EQ(m_area.settings.cropMark, 0);
}

TEST_F(ShowOptionsDialogTest, FailureInsideTheDialogReturnsZeroAndKeepsTheEdits) {
    ScopedModalRunner runner([&](CDialog& dialog) -> int {
        ClickButton(dialog, IDC_CROP_MARK);
        throw std::runtime_error("window system gone");
    });
    EXPECT_EQ(Show(3), 0);
    // No copy-back: the dialog never ended.
    EXPECT_EQ(m_area.settings.cropMark, 0);
}

TEST_F(ShowOptionsDialogTest, HandsTheSetupToTheEngineAndTheModelToTheDialog) {
    std::strcpy(m_setup.modelName, "Plain RTL");
    bool moduleState = false;
    ScopedModalRunner runner([&](CDialog& dialog) {
        moduleState = ModuleStateScope::ModuleStateCurrent();
        EXPECT_FALSE(Visible(dialog, IDC_ADVANCE));
        return IDCANCEL;
    });
    EXPECT_EQ(Show(3), 1);
    EXPECT_TRUE(moduleState);
    EXPECT_FALSE(ModuleStateScope::ModuleStateCurrent());
    EXPECT_STREQ(m_driver.Engine()->CurrentPrintSetup().modelName, "Plain RTL");
    // This engine has no media list, so the placeholder stays.
    EXPECT_EQ(m_setup.media, -100);
}

TEST_F(ShowOptionsDialogTest, MissingRecordOrSetup) {
    EXPECT_EQ(m_driver.ShowOptionsDialog(nullptr, 2, &m_setup, nullptr), 0);
    ScopedModalRunner runner([&](CDialog& dialog) {
        ++m_runs;
        // Without a setup there is no model name: a generic printer.
        EXPECT_FALSE(Visible(dialog, IDC_CROP_MARK));
        ClickButton(dialog, IDOK);
        return 0;
    });
    EXPECT_EQ(m_driver.ShowOptionsDialog(&m_area.settings, 3, nullptr, nullptr), 1);
    EXPECT_EQ(m_runs, 1);
    EXPECT_EQ(m_area.settings.modelClass, 0);
}

}  // namespace
}  // namespace tarnwick
