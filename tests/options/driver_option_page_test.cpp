// The options page against its record and the driver's options slot: the
// scenarios of page_scenarios.txt, and the string, module state and factory
// cases a line of text cannot say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/fixed_text.h"
#include "driver/cdriver.h"
#include "options/driver_option_dialog.h"
#include "options_test_support.h"
#include "platform/message_box.h"
#include "platform/mfc/driver_dll.h"
#include "platform/mfc/load_string.h"
#include "platform/mfc/modal_runner.h"
#include "platform/mfc/resource.h"
#include "platform/mfc/string_table.h"
#include "platform/mfc/user_input.h"
#include "support/message_script.h"
#include "tarnwick/printer_driver.h"

namespace tarnwick {
namespace {

using namespace options_test;

const std::map<std::string, std::vector<int>> kControls = {
    {"OK", {IDOK}},
    {"CANCEL", {IDCANCEL}},
    {"RESTORE_DEFAULTS", {IDC_RESTORE_DEFAULTS}},
    {"ENABLE_OPTIONS", {IDC_ENABLE_OPTIONS}},
    {"UNIDIRECTIONAL", {IDC_UNIDIRECTIONAL}},
    {"BIDIRECTIONAL", {IDC_BIDIRECTIONAL}},
    {"CALIBRATION", {IDC_CALIBRATION}},
    {"CUT_SHEET", {IDC_CUT_SHEET}},
    {"OVERPRINT", {IDC_OVERPRINT}},
    {"PAGE_SPACING", {IDC_PAGE_SPACING}},
    {"DRY_TIME", {IDC_DRY_TIME}},
    {"CROP_MARK", {IDC_CROP_MARK}},
    {"ADVANCE", {IDC_ADVANCE}},
    {"COLOR_BAR", {IDC_COLOR_BAR}},
    {"OVERPRINT_LABEL", {IDC_OVERPRINT_LABEL}},
    {"NONE", {9999}},
    {"CLASS", {IDC_DRY_TIME, IDC_DRY_TIME_LABEL, IDC_CROP_MARK, IDC_ADVANCE}},
    {"OPTIONS",
     {IDC_UNIDIRECTIONAL, IDC_BIDIRECTIONAL, IDC_OVERPRINT, IDC_PAGE_SPACING, IDC_COLOR_BAR,
      IDC_DRY_TIME, IDC_CALIBRATION, IDC_CUT_SHEET, IDC_CROP_MARK, IDC_ADVANCE}}};

const std::map<int, std::string> kStrings = {{IDS_OVERPRINT, "IDS_OVERPRINT"},
                                             {IDS_SPACE, "IDS_SPACE"},
                                             {IDS_DRY_TIME, "IDS_DRY_TIME"},
                                             {IDS_COLORBAR, "IDS_COLORBAR"}};

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> Split(const std::string& s, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(Trim(part));
    if (!s.empty() && s.back() == separator) parts.emplace_back();
    return parts;
}

std::size_t FieldOffset(const std::string& name) {
    for (const Field& f : kFields) {
        if (name == f.name) return f.offset;
    }
    throw std::invalid_argument("no record field " + name);
}

int ControlId(const std::string& name) {
    return kControls.at(name).front();
}

// One scenario: the record, the page or the driver slot, and the counters the
// checks read.
class Scenario {
  public:
    explicit Scenario(std::string dialogSteps) : m_dialogSteps(std::move(dialogSteps)) {
        std::strcpy(m_setup.modelName, "Coldstream SP-1400C");
        m_setup.media = -100;
    }

    void Run(CDialog* dialog, const std::string& steps) {
        for (const std::string& step : Split(steps, ';')) {
            if (step.empty()) continue;
            SCOPED_TRACE(step);
            const auto space = step.find(' ');
            const std::string verb = step.substr(0, space);
            const std::string arg = space == std::string::npos ? "" : step.substr(space + 1);
            const auto eq = arg.find('=');
            const std::string key = arg.substr(0, eq);
            const int value = eq == std::string::npos ? 0 : std::atoi(arg.c_str() + eq + 1);
            const std::string text = eq == std::string::npos ? arg : arg.substr(eq + 1);
            Step(dialog, verb, arg, key, value, text);
        }
    }

  private:
    void Step(CDialog* dialog, const std::string& verb, const std::string& arg,
              const std::string& key, int value, const std::string& text) {
        if (verb == "set") {
            Byte(m_area, FieldOffset(key)) = static_cast<uint8_t>(value);
        } else if (verb == "open") {
            m_page = std::make_unique<CDriverOptionDialog>(
                nullptr, &m_area.settings, arg == "-" ? nullptr : m_model.assign(arg).c_str());
            ASSERT_TRUE(m_page->Create());
            m_before = m_area;
            m_page->SetModifiedListener([this](bool changed) { m_modified += changed ? 1 : 0; });
        } else if (verb == "setup") {
            CopyFixedText(m_setup.modelName, arg.c_str());
        } else if (verb == "strings") {
            const std::vector<std::string> missing = Split(arg, ' ');
            m_strings.emplace([this, missing](int id) -> std::optional<std::string> {
                const std::string name = kStrings.contains(id) ? kStrings.at(id) : "?";
                m_asked += (m_asked.empty() ? "" : " ") + name;
                if (std::ranges::count(missing, name) != 0) return std::nullopt;
                return std::string(*FindStringResource(id));
            });
        } else if (verb == "asked") {
            EXPECT_EQ(m_asked, arg);
        } else if (verb == "said") {
            const auto& shown = m_messages.requests();
            ASSERT_EQ(shown.size(), static_cast<std::size_t>(value));
            for (std::size_t i = 0; i < shown.size(); ++i) {
                EXPECT_EQ(shown[i].text, "Error Loading String: " + Split(key, ' ')[i]);
                EXPECT_EQ(shown[i].caption, "");
            }
        } else if (verb == "norunner" || verb == "norecord" || verb == "nosetup") {
            m_flags.push_back(verb);
        } else if (verb == "show") {
            Show(std::atoi(key.c_str()), value);
        } else if (verb == "return") {
            m_return = std::atoi(arg.c_str());
        } else if (verb == "throw") {
            throw std::runtime_error("window system gone");
        } else if (verb == "rec") {
            EXPECT_EQ(Byte(m_area, FieldOffset(key)), value);
        } else if (verb == "defaults") {
            const std::vector<std::string> skip = Split(arg, ' ');
            ExpectDefaults(m_area.settings, {skip.begin(), skip.end()});
        } else if (verb == "same") {
            SettingsArea expected = m_before;
            for (const std::string& f : Split(arg, ' ')) {
                if (!f.empty()) Byte(expected, FieldOffset(f)) = Byte(m_area, FieldOffset(f));
            }
            EXPECT_EQ(std::memcmp(&expected, &m_area, sizeof m_area), 0);
        } else if (verb == "modified") {
            EXPECT_EQ(m_modified, std::atoi(arg.c_str()));
        } else if (verb == "runs") {
            EXPECT_EQ(m_runs, std::atoi(arg.c_str()));
        } else if (verb == "modulestate") {
            EXPECT_EQ(ModuleStateScope::ModuleStateCurrent(), arg == "1");
        } else if (verb == "engine") {
            EXPECT_EQ(std::string(m_driver.Engine()->CurrentPrintSetup().modelName), arg);
        } else if (verb == "media") {
            EXPECT_EQ(m_setup.media, std::atoi(arg.c_str()));
        } else {
            if (dialog == nullptr) dialog = m_page.get();
            ASSERT_NE(dialog, nullptr) << "no page for " << verb;
            ControlStep(*dialog, verb, key, value, text);
        }
    }

    void ControlStep(CDialog& dialog, const std::string& verb, const std::string& key, int value,
                     const std::string& text) {
        if (verb == "click" || verb == "noclick") {
            EXPECT_EQ(ClickButton(dialog, ControlId(key)), verb == "click");
        } else if (verb == "choose" || verb == "nochoose") {
            EXPECT_EQ(ChooseListItem(dialog, ControlId(key), value), verb == "choose");
        } else if (verb == "unselect") {
            dialog.FindChild(ControlId(key))->curSel = CB_ERR;
        } else if (verb == "selchange" || verb == "bnclicked") {
            const int code = verb == "selchange" ? CBN_SELCHANGE : BN_CLICKED;
            EXPECT_EQ(dialog.OnCommand(ControlId(key), code), value != 0);
        } else if (verb == "activate") {
            EXPECT_EQ(m_page->OnSetActive(), std::atoi(key.c_str()));
        } else if (verb == "deactivate") {
            EXPECT_EQ(m_page->OnKillActive(), std::atoi(key.c_str()));
        } else if (verb == "shown") {
            EXPECT_EQ(Shown(dialog, ControlId(key)), text);
        } else if (verb == "items") {
            const std::vector<std::string> items =
                text.empty() ? std::vector<std::string>{} : Split(text, ',');
            EXPECT_EQ(Control(dialog, ControlId(key)).items, items);
        } else if (verb == "checked" || verb == "enabled" || verb == "visible") {
            for (int id : kControls.at(key)) {
                const WindowState& c = Control(dialog, id);
                const bool state = verb == "checked"   ? c.check == BST_CHECKED
                                   : verb == "enabled" ? c.enabled
                                                       : c.visible;
                EXPECT_EQ(state, value != 0) << verb << " " << id;
            }
        } else {
            FAIL() << "unknown step " << verb;
        }
    }

    void Show(int action, int result) {
        const auto flag = [&](const char* f) {
            return std::find(m_flags.begin(), m_flags.end(), f) != m_flags.end();
        };
        std::optional<ScopedModalRunner> runner;
        if (!flag("norunner")) {
            runner.emplace([this](CDialog& dialog) {
                ++m_runs;
                Run(&dialog, m_dialogSteps);
                return m_return;
            });
        }
        m_before = m_area;
        EXPECT_EQ(m_driver.ShowOptionsDialog(flag("norecord") ? nullptr : &m_area.settings, action,
                                             flag("nosetup") ? nullptr : &m_setup, nullptr),
                  result);
    }

    std::string m_dialogSteps;
    std::string m_model;
    SettingsArea m_area = EditedArea();
    SettingsArea m_before = m_area;
    std::unique_ptr<CDriverOptionDialog> m_page;
    CDriver m_driver;
    PrintSetup m_setup{};
    std::vector<std::string> m_flags;
    int m_modified = 0, m_runs = 0, m_return = 0;
    std::optional<ScopedStringSource> m_strings;
    std::string m_asked;
    ScopedMessageScript m_messages;
};

TEST(OptionsPage, Scenarios) {
    const auto file = std::filesystem::path(__FILE__).parent_path() / "page_scenarios.txt";
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    int count = 0;
    for (std::string line; std::getline(in, line);) {
        if (Trim(line).empty() || line[0] == '#') continue;
        const std::vector<std::string> columns = Split(line, '|');
        ASSERT_GE(columns.size(), 2u) << line;
        SCOPED_TRACE(columns[0]);
        Scenario(columns.size() > 2 ? columns[2] : "").Run(nullptr, columns[1]);
        ++count;
    }
    EXPECT_GE(count, 30);
}

TEST(OptionsPage, FillComboFromListCountsByTheLastCharacter) {
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
    SettingsArea area = EditedArea();
    CDriverOptionDialog page(nullptr, &area.settings, "CP52");
    ASSERT_TRUE(page.Create());
    CComboBox combo;
    combo.Attach(page.FindChild(IDC_OVERPRINT));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        combo.ResetContent();
        CDriverOptionDialog::FillComboFromList(combo, c.text);
        EXPECT_EQ(page.FindChild(IDC_OVERPRINT)->items, c.items);
    }
}

TEST(OptionsPage, FactoryPageAndPageWithoutARecord) {
    SettingsArea area = EditedArea();
    std::unique_ptr<CDriverOptionDialog> page(
        static_cast<CDriverOptionDialog*>(createDriverPage(&area.settings, "CP52")));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Settings(), &area.settings);
    EXPECT_STREQ(page->ModelName(), "CP52");
    EXPECT_EQ(page->TemplateId(), IDD_DRIVER_OPTIONS);
    // Not made yet: the sheet must not activate it.
    EXPECT_EQ(page->OnSetActive(), 0);
    EXPECT_EQ(page->OnKillActive(), 0);
    ASSERT_TRUE(page->Create());
    EXPECT_EQ(page->OnSetActive(), 1);
    ASSERT_TRUE(ChooseListItem(*page, IDC_PAGE_SPACING, 2));
    EXPECT_EQ(area.settings.pageSpacing, 2);

    CDriverOptionDialog bare(nullptr, nullptr, "CP52");
    ASSERT_TRUE(bare.Create());
    EXPECT_TRUE(ClickButton(bare, IDC_RESTORE_DEFAULTS));
    EXPECT_TRUE(ClickButton(bare, IDC_ENABLE_OPTIONS));
    EXPECT_TRUE(ChooseListItem(bare, IDC_OVERPRINT, 1));
    EXPECT_EQ(bare.DetectModelClass(), 1);
    EXPECT_FALSE(bare.IsModified());
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

TEST(OptionsPage, ModuleStateIsCurrentAtEveryEntry) {
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

}  // namespace
}  // namespace tarnwick
