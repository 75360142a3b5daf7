// The options page against its record and the driver's options slot (the scenarios of
// page_scenarios.txt: through the modal loop, the string table and message boxes too), and the
// dialog resource under it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/fixed_text.h"
#include "driver/cdriver.h"
#include "options/driver_option_dialog.h"
#include "options/settings_hex.h"
#include "options_test_support.h"
#include "platform/message_box.h"
#include "platform/mfc/data_exchange.h"
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

// Each id under its name less `drop`, from the names as the macro below writes them.
std::map<std::string, std::vector<int>> ByName(const std::string& names,
                                               const std::vector<int>& ids,
                                               const std::string& drop = "") {
    std::map<std::string, std::vector<int>> named;
    std::istringstream in(names);
    std::size_t i = 0;
    for (std::string name; std::getline(in >> std::ws, name, ',');)
        named[name.substr(drop.size())] = {ids.at(i++)};
    return named;
}
#define BY_NAME(drop, ...) ByName(#__VA_ARGS__, {__VA_ARGS__}, drop)

// The controls by their names less IDC_, and groups of them.
const auto kControls = [] {
    auto controls =
        BY_NAME("IDC_", IDC_RESTORE_DEFAULTS, IDC_ENABLE_OPTIONS, IDC_UNIDIRECTIONAL,
                IDC_BIDIRECTIONAL, IDC_CALIBRATION, IDC_CUT_SHEET, IDC_OVERPRINT, IDC_PAGE_SPACING,
                IDC_DRY_TIME, IDC_CROP_MARK, IDC_ADVANCE, IDC_COLOR_BAR, IDC_OVERPRINT_LABEL);
    controls.insert({{"OK", {IDOK}}, {"CANCEL", {IDCANCEL}}, {"NONE", {9999}}});
    controls["CLASS"] = {IDC_DRY_TIME, IDC_DRY_TIME_LABEL, IDC_CROP_MARK, IDC_ADVANCE};
    controls["OPTIONS"] = {IDC_UNIDIRECTIONAL, IDC_BIDIRECTIONAL, IDC_OVERPRINT,   IDC_PAGE_SPACING,
                           IDC_COLOR_BAR,      IDC_DRY_TIME,      IDC_CALIBRATION, IDC_CUT_SHEET,
                           IDC_CROP_MARK,      IDC_ADVANCE};
    return controls;
}();
const auto kStrings = BY_NAME("", IDS_OVERPRINT, IDS_SPACE, IDS_DRY_TIME, IDS_COLORBAR);

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

int ControlId(const std::string& name) {
    return kControls.at(name).front();
}

const WindowState& Control(const CDialog& dialog, int id) {
    static const WindowState kMissing{};
    const WindowState* state = dialog.FindChild(id);
    EXPECT_NE(state, nullptr) << "no control " << id;
    return state ? *state : kMissing;
}

// The text of the selected list item, or "<none>".
std::string Shown(const CDialog& dialog, int id) {
    const WindowState& list = Control(dialog, id);
    if (list.curSel < 0 || static_cast<std::size_t>(list.curSel) >= list.items.size()) {
        return "<none>";
    }
    return list.items[static_cast<std::size_t>(list.curSel)];
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
            Byte(m_area, key) = static_cast<uint8_t>(value);
        } else if (verb == "page" || verb == "open") {
            // Made by the module's factory, as the host makes it.
            m_page.reset(static_cast<CDriverOptionDialog*>(
                createDriverPage(Flag("norecord") ? nullptr : &m_area.settings,
                                 arg == "-" ? nullptr : m_model.assign(arg).c_str())));
            ASSERT_NE(m_page, nullptr);
            m_page->SetModifiedListener([this](bool changed) {
                EXPECT_TRUE(ModuleStateScope::ModuleStateCurrent())
                    << "a handler outside the module";
                m_modified += changed ? 1 : 0;
            });
            if (verb == "open") Step(dialog, "create", "", "", 0, "");
        } else if (verb == "create") {
            ASSERT_TRUE(m_page->Create());
            m_before = m_area;
        } else if (verb == "hex" || verb == "nohex") {
            std::string error;
            const auto area = ParseSettingsHex(key, error);
            EXPECT_EQ(error, text == key ? "" : text);
            ASSERT_EQ(area.has_value(), verb == "hex");
            if (area) m_area = *area;
        } else if (verb == "hexout") {
            EXPECT_EQ(FormatSettingsHex(m_area.settings), arg);
        } else if (verb == "setup") {
            CopyFixedText(m_setup.modelName, arg.c_str());
        } else if (verb == "strings" || verb == "text") {
            if (verb == "strings") m_missing = Split(arg, ' ');
            if (verb == "text") m_texts[key] = text;
            if (m_strings) return;
            m_strings.emplace([this](int id) -> std::optional<std::string> {
                EXPECT_TRUE(ModuleStateScope::ModuleStateCurrent())
                    << "a string outside the module";
                std::string name = "?";
                for (const auto& [n, ids] : kStrings) name = ids[0] == id ? n : name;
                m_asked += (m_asked.empty() ? "" : " ") + name;
                if (std::ranges::count(m_missing, name) != 0) return std::nullopt;
                if (m_texts.contains(name)) return m_texts.at(name);
                return std::string(*FindStringResource(id));
            });
        } else if (verb == "load" || verb == "noload") {
            ModuleStateScope moduleState;  // as the page loads its lists
            std::string loaded = "stale";
            EXPECT_EQ(
                LoadString(kStrings.contains(key) ? kStrings.at(key)[0] : std::atoi(key.c_str()),
                           loaded),
                verb == "load");
            EXPECT_EQ(loaded, verb == "load" ? text : "");
        } else if (verb == "nostrings") {
            m_strings.reset();
        } else if (verb == "asked") {
            EXPECT_EQ(m_asked, arg);
        } else if (verb == "said") {
            const auto& shown = m_messages.requests();
            ASSERT_EQ(shown.size(), static_cast<std::size_t>(value));
            for (std::size_t i = 0; i < shown.size(); ++i) {
                EXPECT_EQ(shown[i].text, "Error Loading String: " + Split(key, ' ')[i]);
                EXPECT_EQ(shown[i].caption, "");
                EXPECT_EQ(shown[i].flags, MB_OK | MB_SETFOREGROUND);
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
            EXPECT_EQ(Byte(m_area, key), value);
        } else if (verb == "defaults") {
            const std::vector<std::string> skip = Split(arg, ' ');
            ExpectDefaults(m_area.settings, {skip.begin(), skip.end()});
        } else if (verb == "same") {
            SettingsArea expected = m_before;
            for (const std::string& f : Split(arg, ' ')) {
                if (!f.empty()) Byte(expected, f) = Byte(m_area, f);
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

    bool Flag(const char* f) const {
        return std::find(m_flags.begin(), m_flags.end(), f) != m_flags.end();
    }

    void Show(int action, int result) {
        std::optional<ScopedModalRunner> runner;
        if (!Flag("norunner")) {
            runner.emplace([this](CDialog& dialog) {
                ++m_runs;
                Run(&dialog, m_dialogSteps);
                return m_return;
            });
        }
        m_before = m_area;
        EXPECT_EQ(m_driver.ShowOptionsDialog(Flag("norecord") ? nullptr : &m_area.settings, action,
                                             Flag("nosetup") ? nullptr : &m_setup, nullptr),
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
    std::vector<std::string> m_missing;
    std::map<std::string, std::string> m_texts;
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

TEST(OptionsPage, ModuleStateIsCurrentAtEveryDataExchange) {
    // Handlers and string loads are checked in every scenario.
    ASSERT_FALSE(ModuleStateScope::ModuleStateCurrent());
    SettingsArea area = EditedArea();
    ObservedPage page(nullptr, &area.settings, "CP52");
    ASSERT_TRUE(page.Create());
    page.OnSetActive();
    page.OnKillActive();
    EXPECT_EQ(page.seen, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(ModuleStateScope::ModuleStateCurrent());
}

// The options resource as the window system lays it out (the GTK window and the printer
// application place their widgets from it), and a disabled dialog taking no input.
TEST(ControlLayer, TemplateMakesEveryControlOnceAndADisabledDialogTakesNoInput) {
    struct PlainDialog : CDialog {
        PlainDialog() : CDialog(IDD_DRIVER_OPTIONS) {}
        bool Make() { return CreateFromTemplate(); }
    } dialog;
    ASSERT_TRUE(dialog.Make());
    // Every control of the template made once, inside the dialog, enabled and shown.
    std::set<int> ids;
    for (const CWnd::Child& child : dialog.Children()) {
        const WindowState& c = *child.state;
        EXPECT_TRUE(ids.insert(c.id).second && c.rect.x >= 0 && c.rect.y >= 0 &&
                    c.rect.x + c.rect.width <= 250 && c.rect.y + c.rect.height <= 231 &&
                    c.enabled && c.visible)
            << c.id;
    }
    EXPECT_EQ(ids.size(), 19u);
    EXPECT_EQ(Control(dialog, IDOK).style & style::kDefaultButton, style::kDefaultButton);
    dialog.EnableWindow(false);
    EXPECT_FALSE(ClickButton(dialog, IDC_CALIBRATION));
}

}  // namespace
}  // namespace tarnwick
