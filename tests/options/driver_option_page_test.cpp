// The options page against its record: what it shows for each model class,
// how each control writes the record, and the rules between controls.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "options/driver_option_dialog.h"
#include "options_test_support.h"
#include "platform/message_box.h"
#include "platform/mfc/driver_dll.h"
#include "platform/mfc/load_string.h"
#include "platform/mfc/resource.h"
#include "platform/mfc/string_table.h"
#include "platform/mfc/user_input.h"
#include "support/message_script.h"
#include "tarnwick/printer_driver.h"

namespace tarnwick {
namespace {

using namespace options_test;

constexpr int kClassDependent[] = {IDC_DRY_TIME, IDC_DRY_TIME_LABEL, IDC_CROP_MARK, IDC_ADVANCE};
constexpr int kOptionControls[] = {
    IDC_UNIDIRECTIONAL, IDC_BIDIRECTIONAL, IDC_OVERPRINT, IDC_PAGE_SPACING, IDC_COLOR_BAR,
    IDC_DRY_TIME,       IDC_CALIBRATION,   IDC_CUT_SHEET, IDC_CROP_MARK,    IDC_ADVANCE};

class PageTest : public ::testing::Test {
  protected:
    CDriverOptionDialog& Open(const char* model) {
        m_page = std::make_unique<CDriverOptionDialog>(nullptr, &m_area.settings, model);
        EXPECT_TRUE(m_page->Create());
        return *m_page;
    }

    SettingsArea m_area = EditedArea();
    std::unique_ptr<CDriverOptionDialog> m_page;
};

TEST_F(PageTest, NamedModelsShowTheDryTimeCropMarkAndAdvanceControls) {
    struct Case {
        const char* model;
        int modelClass;
    };
    for (const Case& c : {Case{"Coldstream SP-1400C", 1}, Case{"CP52-LM", 2}, Case{"CP52", 1},
                          Case{"ASBRU_V3C rev B", 1}}) {
        SCOPED_TRACE(c.model);
        m_area = EditedArea();
        CDriverOptionDialog& page = Open(c.model);
        EXPECT_EQ(m_area.settings.modelClass, c.modelClass);
        for (int id : kClassDependent) EXPECT_TRUE(Visible(page, id)) << id;
        EXPECT_EQ(Shown(page, IDC_DRY_TIME), "7 min");
        EXPECT_TRUE(Checked(page, IDC_CROP_MARK));
        // The page in the host's sheet has no OK or Cancel of its own.
        EXPECT_FALSE(Visible(page, IDOK));
        EXPECT_FALSE(Visible(page, IDCANCEL));
    }
}

TEST_F(PageTest, GenericModelHidesTheNamedModelControls) {
    m_area.settings.modelClass = 1;
    CDriverOptionDialog& page = Open("Some RTL Plotter 5000");
    EXPECT_EQ(m_area.settings.modelClass, 0);
    for (int id : kClassDependent) EXPECT_FALSE(Visible(page, id)) << id;
    EXPECT_EQ(Control(page, IDC_DRY_TIME).items.size(), 0u);
    // The rest of the page is there.
    EXPECT_TRUE(Visible(page, IDC_CUT_SHEET));
    EXPECT_EQ(Shown(page, IDC_PAGE_SPACING), "70 mm");
}

TEST_F(PageTest, ShowsTheRecord) {
    CDriverOptionDialog& page = Open("CP52");
    EXPECT_TRUE(Checked(page, IDC_ENABLE_OPTIONS));
    EXPECT_TRUE(Checked(page, IDC_UNIDIRECTIONAL));
    EXPECT_FALSE(Checked(page, IDC_BIDIRECTIONAL));
    EXPECT_FALSE(Checked(page, IDC_CALIBRATION));
    EXPECT_TRUE(Checked(page, IDC_CUT_SHEET));
    EXPECT_TRUE(Checked(page, IDC_ADVANCE));
    EXPECT_EQ(Shown(page, IDC_OVERPRINT), "3");
    EXPECT_EQ(Shown(page, IDC_PAGE_SPACING), "70 mm");
    EXPECT_EQ(Shown(page, IDC_COLOR_BAR), "Mixed color");
    for (int id : kOptionControls) EXPECT_TRUE(Enabled(page, id)) << id;
}

TEST_F(PageTest, ListsHoldTheirItems) {
    CDriverOptionDialog& page = Open("CP52");
    const std::vector<std::string> spacing = {"None",  "10 mm", "20 mm", "30 mm", "40 mm", "50 mm",
                                              "60 mm", "70 mm", "80 mm", "90 mm", "100 mm"};
    const std::vector<std::string> dryTime = {"None",  "1 min",  "3 min", "5 min",
                                              "7 min", "10 min", "15 min"};
    EXPECT_EQ(Control(page, IDC_PAGE_SPACING).items, spacing);
    EXPECT_EQ(Control(page, IDC_DRY_TIME).items, dryTime);
    EXPECT_EQ(Control(page, IDC_OVERPRINT).items, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Control(page, IDC_COLOR_BAR).items,
              (std::vector<std::string>{"None", "Pure color", "Mixed color"}));
}

TEST_F(PageTest, OutOfRangeRecordValuesSelectNothing) {
    m_area.settings.pageSpacing = 11;
    m_area.settings.printDirection = 2;
    CDriverOptionDialog& page = Open("CP52");
    EXPECT_EQ(Shown(page, IDC_PAGE_SPACING), "<none>");
    EXPECT_FALSE(Checked(page, IDC_UNIDIRECTIONAL));
    EXPECT_FALSE(Checked(page, IDC_BIDIRECTIONAL));
    // Nothing outside the radio pair was checked in their place.
    EXPECT_TRUE(Checked(page, IDC_CUT_SHEET));
}

TEST_F(PageTest, EveryControlWritesItsFieldAtOnce) {
    CDriverOptionDialog& page = Open("CP52-LM");
    int modified = 0;
    page.SetModifiedListener([&](bool changed) { modified += changed ? 1 : 0; });
    const PrinterSettings& s = m_area.settings;

    ASSERT_TRUE(ChooseListItem(page, IDC_OVERPRINT, 1));
    EXPECT_EQ(s.overprint, 1);
    ASSERT_TRUE(ChooseListItem(page, IDC_PAGE_SPACING, 10));
    EXPECT_EQ(s.pageSpacing, 10);
    ASSERT_TRUE(ChooseListItem(page, IDC_COLOR_BAR, 0));
    EXPECT_EQ(s.colorBar, 0);
    ASSERT_TRUE(ChooseListItem(page, IDC_DRY_TIME, 6));
    EXPECT_EQ(s.dryTime, 6);
    ASSERT_TRUE(ClickButton(page, IDC_BIDIRECTIONAL));
    EXPECT_EQ(s.printDirection, 1);
    EXPECT_FALSE(Checked(page, IDC_UNIDIRECTIONAL));
    ASSERT_TRUE(ClickButton(page, IDC_UNIDIRECTIONAL));
    EXPECT_EQ(s.printDirection, 0);
    ASSERT_TRUE(ClickButton(page, IDC_CALIBRATION));
    EXPECT_EQ(s.mediaFeedCalibration, 1);
    ASSERT_TRUE(ClickButton(page, IDC_CUT_SHEET));
    EXPECT_EQ(s.cutSheet, 0);
    ASSERT_TRUE(ClickButton(page, IDC_CROP_MARK));
    EXPECT_EQ(s.cropMark, 0);
    ASSERT_TRUE(ClickButton(page, IDC_ADVANCE));
    EXPECT_EQ(s.advanceAfterPrint, 0);
    EXPECT_EQ(modified, 10);
    // Fields no control touched.
    EXPECT_EQ(s.reserved10, 0x42);
    EXPECT_EQ(m_area.rest[0], 0xA5);
}

TEST_F(PageTest, SelectionChangeWithoutSelectionLeavesTheField) {
    CDriverOptionDialog& page = Open("CP52");
    page.FindChild(IDC_OVERPRINT)->curSel = CB_ERR;
    EXPECT_TRUE(page.OnCommand(IDC_OVERPRINT, CBN_SELCHANGE));
    EXPECT_EQ(m_area.settings.overprint, 2);
    // A notification the control does not send is not handled.
    EXPECT_FALSE(page.OnCommand(IDC_OVERPRINT, BN_CLICKED));
}

TEST_F(PageTest, UncheckingEnableDisablesTheOptionsAndKeepsTheRecord) {
    CDriverOptionDialog& page = Open("Coldstream SP-1400C");
    SettingsArea before = m_area;
    ASSERT_TRUE(ClickButton(page, IDC_ENABLE_OPTIONS));
    EXPECT_EQ(m_area.settings.driverOptionsOff, 1);
    before.settings.driverOptionsOff = 1;
    EXPECT_TRUE(SameBytes(before, m_area));
    for (int id : kOptionControls) EXPECT_FALSE(Enabled(page, id)) << id;
    // The disabled controls still show the record.
    EXPECT_EQ(Shown(page, IDC_OVERPRINT), "3");
    EXPECT_TRUE(Checked(page, IDC_CUT_SHEET));
    EXPECT_FALSE(ClickButton(page, IDC_CROP_MARK));
    EXPECT_FALSE(ChooseListItem(page, IDC_OVERPRINT, 0));
    EXPECT_EQ(m_area.settings.cropMark, 1);

    ASSERT_TRUE(ClickButton(page, IDC_ENABLE_OPTIONS));
    EXPECT_EQ(m_area.settings.driverOptionsOff, 0);
    for (int id : kOptionControls) EXPECT_TRUE(Enabled(page, id)) << id;
}

TEST_F(PageTest, RecordWithOptionsOffOpensDisabled) {
    m_area.settings.driverOptionsOff = 1;
    CDriverOptionDialog& page = Open("CP52");
    EXPECT_FALSE(Checked(page, IDC_ENABLE_OPTIONS));
    for (int id : kOptionControls) EXPECT_FALSE(Enabled(page, id)) << id;
}

TEST_F(PageTest, CutSheetFollowsAdvanceAfterPrint) {
    CDriverOptionDialog& page = Open("CP52");
    ASSERT_TRUE(ClickButton(page, IDC_ADVANCE));
    EXPECT_EQ(m_area.settings.advanceAfterPrint, 0);
    EXPECT_FALSE(Enabled(page, IDC_CUT_SHEET));
    EXPECT_FALSE(Checked(page, IDC_CUT_SHEET));
    EXPECT_EQ(m_area.settings.cutSheet, 1);

    ASSERT_TRUE(ClickButton(page, IDC_ADVANCE));
    EXPECT_TRUE(Enabled(page, IDC_CUT_SHEET));
    EXPECT_TRUE(Checked(page, IDC_CUT_SHEET));

    // With cutting off in the record, switching advance back on shows it off.
    ASSERT_TRUE(ClickButton(page, IDC_CUT_SHEET));
    ASSERT_TRUE(ClickButton(page, IDC_ADVANCE));
    ASSERT_TRUE(ClickButton(page, IDC_ADVANCE));
    EXPECT_TRUE(Enabled(page, IDC_CUT_SHEET));
    EXPECT_FALSE(Checked(page, IDC_CUT_SHEET));
}

TEST_F(PageTest, RestoreDefaults) {
    m_area.settings.driverOptionsOff = 1;
    CDriverOptionDialog& page = Open("CP52-LM");
    ASSERT_TRUE(ClickButton(page, IDC_RESTORE_DEFAULTS));
    ExpectDefaults(m_area.settings);
    EXPECT_EQ(m_area.settings.modelClass, 2);
    EXPECT_EQ(m_area.settings.reserved10, 0x42);
    EXPECT_EQ(m_area.rest[0], 0xA5);
    EXPECT_TRUE(Checked(page, IDC_ENABLE_OPTIONS));
    EXPECT_TRUE(Checked(page, IDC_BIDIRECTIONAL));
    EXPECT_FALSE(Checked(page, IDC_UNIDIRECTIONAL));
    EXPECT_TRUE(Checked(page, IDC_CALIBRATION));
    EXPECT_EQ(Shown(page, IDC_PAGE_SPACING), "10 mm");
    EXPECT_EQ(Shown(page, IDC_OVERPRINT), "1");
    EXPECT_EQ(Shown(page, IDC_COLOR_BAR), "Pure color");
    EXPECT_EQ(Shown(page, IDC_DRY_TIME), "None");
    EXPECT_FALSE(Checked(page, IDC_CUT_SHEET));
    EXPECT_FALSE(Checked(page, IDC_CROP_MARK));
    EXPECT_TRUE(Checked(page, IDC_ADVANCE));
    for (int id : kOptionControls) EXPECT_TRUE(Enabled(page, id)) << id;
}

TEST_F(PageTest, MissingStringsAreReportedAndLeaveTheirListEmpty) {
    ScopedStringSource strings([](int id) -> std::optional<std::string> {
        if (id == IDS_SPACE || id == IDS_DRY_TIME) return std::nullopt;
        return std::string(*FindStringResource(id));
    });
    ScopedMessageScript messages;
    CDriverOptionDialog& page = Open("CP52");
    ASSERT_EQ(messages.requests().size(), 2u);
    EXPECT_EQ(messages.requests()[0].text, "Error Loading String: IDS_SPACE");
    EXPECT_EQ(messages.requests()[1].text, "Error Loading String: IDS_DRY_TIME");
    EXPECT_EQ(messages.requests()[0].caption, "");
    EXPECT_EQ(Control(page, IDC_PAGE_SPACING).items.size(), 0u);
    EXPECT_EQ(Control(page, IDC_OVERPRINT).items.size(), 3u);
    // The page still works.
    EXPECT_TRUE(ClickButton(page, IDC_CROP_MARK));
    EXPECT_FALSE(ChooseListItem(page, IDC_PAGE_SPACING, 0));
    EXPECT_EQ(m_area.settings.pageSpacing, 7);
}

TEST_F(PageTest, GenericModelDoesNotAskForTheDryTimeString) {
    std::vector<int> asked;
    ScopedStringSource strings([&](int id) -> std::optional<std::string> {
        asked.push_back(id);
        return std::nullopt;
    });
    ScopedMessageScript messages;
    Open("Generic RTL");
    EXPECT_EQ(asked, (std::vector<int>{IDS_OVERPRINT, IDS_SPACE, IDS_COLORBAR}));
    ASSERT_EQ(messages.requests().size(), 3u);
    EXPECT_EQ(messages.requests()[2].text, "Error Loading String: IDS_COLORBAR");
}

TEST(FillComboFromList, CountsByTheLastCharacter) {
    struct Case {
        const char* text;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {"a,b,c,", {"a", "b", "c"}},
        // A list ending in a comma and a blank counts its blanks.
        {"x y,z, ", {"x y", "z"}},
        {"", {}},
        // An item without its closing comma comes out empty.
        {"ab,b", {"ab", ""}},
        {",,,", {"", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SettingsArea area = EditedArea();
        CDriverOptionDialog page(nullptr, &area.settings, "CP52");
        ASSERT_TRUE(page.Create());
        CComboBox combo;
        combo.Attach(page.FindChild(IDC_OVERPRINT));
        combo.ResetContent();
        CDriverOptionDialog::FillComboFromList(combo, c.text);
        EXPECT_EQ(page.FindChild(IDC_OVERPRINT)->items, c.items);
    }
}

TEST(DriverOptionPage, WithoutARecordTheControlsDoNothing) {
    CDriverOptionDialog page(nullptr, nullptr, "CP52");
    ASSERT_TRUE(page.Create());
    EXPECT_TRUE(ClickButton(page, IDC_RESTORE_DEFAULTS));
    EXPECT_TRUE(ClickButton(page, IDC_ENABLE_OPTIONS));
    EXPECT_TRUE(ChooseListItem(page, IDC_OVERPRINT, 1));
    EXPECT_EQ(page.DetectModelClass(), 1);
    EXPECT_FALSE(page.IsModified());
}

TEST(DriverOptionPage, NullModelNameIsAGenericPrinter) {
    SettingsArea area = EditedArea();
    CDriverOptionDialog page(nullptr, &area.settings, nullptr);
    ASSERT_TRUE(page.Create());
    EXPECT_EQ(area.settings.modelClass, 0);
    EXPECT_FALSE(Visible(page, IDC_ADVANCE));
}

TEST(DriverOptionPage, ActivationRereadsTheRecord) {
    SettingsArea area = EditedArea();
    CDriverOptionDialog page(nullptr, &area.settings, "CP52-LM");
    // Not made yet: the sheet must not activate it.
    EXPECT_EQ(page.OnSetActive(), 0);
    EXPECT_EQ(page.OnKillActive(), 0);
    ASSERT_TRUE(page.Create());
    area.settings.overprint = 0;
    area.settings.modelClass = 0;
    area.settings.advanceAfterPrint = 0;
    EXPECT_EQ(page.OnSetActive(), 1);
    EXPECT_EQ(area.settings.modelClass, 2);
    EXPECT_EQ(Shown(page, IDC_OVERPRINT), "1");
    EXPECT_FALSE(Enabled(page, IDC_CUT_SHEET));
    EXPECT_EQ(page.OnKillActive(), 1);
}

// Records whether the module's state was current each time the page's data
// exchange ran.
class ObservedPage : public CDriverOptionDialog {
  public:
    using CDriverOptionDialog::CDriverOptionDialog;
    std::vector<bool> seen;

  protected:
    void DoDataExchange(CDataExchange* dx) override {
        seen.push_back(ModuleStateScope::ModuleStateCurrent());
        CDriverOptionDialog::DoDataExchange(dx);
    }
};

TEST(DriverOptionPage, ModuleStateIsCurrentAtEveryEntry) {
    ASSERT_FALSE(ModuleStateScope::ModuleStateCurrent());
    SettingsArea area = EditedArea();
    ObservedPage page(nullptr, &area.settings, "CP52");
    std::vector<bool> loading;
    ScopedStringSource strings([&](int id) -> std::optional<std::string> {
        loading.push_back(ModuleStateScope::ModuleStateCurrent());
        return std::string(*FindStringResource(id));
    });
    ASSERT_TRUE(page.Create());
    page.OnSetActive();
    page.OnKillActive();
    EXPECT_EQ(page.seen, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(loading, (std::vector<bool>{true, true, true, true}));

    std::vector<bool> handlers;
    page.SetModifiedListener(
        [&](bool) { handlers.push_back(ModuleStateScope::ModuleStateCurrent()); });
    ClickButton(page, IDC_CROP_MARK);
    ChooseListItem(page, IDC_COLOR_BAR, 0);
    ClickButton(page, IDC_RESTORE_DEFAULTS);
    EXPECT_EQ(handlers, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(ModuleStateScope::ModuleStateCurrent());
}

TEST(CreateDriverPage, GivesAPageBoundToTheRecord) {
    SettingsArea area = EditedArea();
    std::unique_ptr<CDriverOptionDialog> page(
        static_cast<CDriverOptionDialog*>(createDriverPage(&area.settings, "CP52")));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Settings(), &area.settings);
    EXPECT_STREQ(page->ModelName(), "CP52");
    EXPECT_EQ(page->TemplateId(), IDD_DRIVER_OPTIONS);
    ASSERT_TRUE(page->Create());
    EXPECT_EQ(page->OnSetActive(), 1);
    ASSERT_TRUE(ChooseListItem(*page, IDC_PAGE_SPACING, 2));
    EXPECT_EQ(area.settings.pageSpacing, 2);
}

}  // namespace
}  // namespace tarnwick
