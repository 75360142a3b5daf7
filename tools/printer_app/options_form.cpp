#include "options_form.h"

#include <charconv>
#include <optional>
#include <set>

#include "platform/mfc/user_input.h"

namespace tarnwick::app {
namespace {

constexpr const char* kControlsField = "controls";
// Every change is sent at once, as the window delivers it; the Save button is for browsers that
// run no scripts.
constexpr const char* kSubmitOnChange = " onchange=\"this.form.submit()\"";

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string FieldName(int id) {
    return "c" + std::to_string(id);
}

const std::string* FieldValue(const FormFields& form, const std::string& name) {
    for (const auto& [key, value] : form) {
        if (key == name) return &value;
    }
    return nullptr;
}

std::optional<int> Number(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::set<int> OpenControls(const FormFields& form) {
    std::set<int> ids;
    const std::string* list = FieldValue(form, kControlsField);
    if (list == nullptr) return ids;
    std::size_t start = 0;
    while (start <= list->size()) {
        std::size_t end = list->find(',', start);
        if (end == std::string::npos) end = list->size();
        if (const auto id = Number(list->substr(start, end - start))) ids.insert(*id);
        start = end + 1;
    }
    return ids;
}

bool Open(const WindowState& state) {
    return state.visible && state.enabled;
}

std::string Disabled(const WindowState& state) {
    return state.enabled ? "" : " disabled";
}

// One pass over the controls: delivers the first difference between the form and the page.
bool DeliverOne(CDialog& page, const FormFields& form, const std::set<int>& open) {
    int groupName = 0;
    for (const CWnd::Child& child : page.Children()) {
        const WindowState& state = *child.state;
        if ((state.style & style::kGroup) != 0) groupName = state.id;
        if (open.count(state.id) == 0 || !Open(state)) continue;
        const std::string* value = FieldValue(form, FieldName(state.id));
        switch (state.kind) {
            case ControlKind::CheckBox:
                if ((value != nullptr) != (state.check == BST_CHECKED)) {
                    return ClickButton(page, state.id);
                }
                break;
            case ControlKind::RadioButton: {
                const std::string* chosen = FieldValue(form, FieldName(groupName));
                if (chosen != nullptr && Number(*chosen) == state.id &&
                    state.check != BST_CHECKED) {
                    return ClickButton(page, state.id);
                }
                break;
            }
            case ControlKind::DropDownList: {
                const auto index = value != nullptr ? Number(*value) : std::nullopt;
                if (index && *index != state.curSel) return ChooseListItem(page, state.id, *index);
                break;
            }
            default:
                break;
        }
    }
    return false;
}

}  // namespace

std::string OptionsFormHtml(const CDialog& page) {
    std::string rows;
    std::string buttons;
    std::string open;
    std::string label;  // a static text names the list after it
    int groupName = 0;
    bool inGroup = false;  // a row of radio buttons is open
    auto closeGroup = [&] {
        if (inGroup) rows += "</td></tr>\n";
        inGroup = false;
    };
    for (const CWnd::Child& child : page.Children()) {
        const WindowState& state = *child.state;
        if ((state.style & style::kGroup) != 0) groupName = state.id;
        if (!state.visible) continue;
        if (state.kind != ControlKind::RadioButton) closeGroup();
        if (state.enabled && state.kind != ControlKind::StaticText &&
            state.kind != ControlKind::GroupBox) {
            open += (open.empty() ? "" : ",") + std::to_string(state.id);
        }
        const std::string name = FieldName(state.id);
        switch (state.kind) {
            case ControlKind::StaticText:
                label = state.text;
                break;
            case ControlKind::GroupBox:
                rows += "<tr><th>" + Escaped(state.text) + ":</th><td>";
                inGroup = true;
                break;
            case ControlKind::RadioButton:
                if (!inGroup) rows += "<tr><th></th><td>";
                inGroup = true;
                rows += "<label><input type=\"radio\" name=\"" + FieldName(groupName) +
                        "\" value=\"" + std::to_string(state.id) + "\"" +
                        (state.check == BST_CHECKED ? " checked" : "") + Disabled(state) +
                        kSubmitOnChange + "> " + Escaped(state.text) + "</label> ";
                break;
            case ControlKind::CheckBox:
                rows += "<tr><th></th><td><label><input type=\"checkbox\" name=\"" + name +
                        "\" value=\"1\"" + (state.check == BST_CHECKED ? " checked" : "") +
                        Disabled(state) + kSubmitOnChange + "> " + Escaped(state.text) +
                        "</label></td></tr>\n";
                break;
            case ControlKind::DropDownList:
                rows += "<tr><th><label for=\"" + name + "\">" + Escaped(label) +
                        "</label></th><td><select name=\"" + name + "\" id=\"" + name + "\"" +
                        Disabled(state) + kSubmitOnChange + ">";
                for (std::size_t i = 0; i < state.items.size(); ++i) {
                    rows += "<option value=\"" + std::to_string(i) + "\"" +
                            (static_cast<int>(i) == state.curSel ? " selected" : "") + ">" +
                            Escaped(state.items[i]) + "</option>";
                }
                rows += "</select></td></tr>\n";
                break;
            case ControlKind::PushButton:
                buttons += "<button type=\"submit\" name=\"" + name + "\" value=\"1\"" +
                           Disabled(state) + ">" + Escaped(state.text) + "</button> ";
                break;
            case ControlKind::Dialog:
                break;
        }
        if (state.kind != ControlKind::StaticText) label.clear();
    }
    closeGroup();
    return rows + "<tr><th></th><td><input type=\"hidden\" name=\"" + kControlsField +
           "\" value=\"" + open + "\">" + buttons +
           "<input type=\"submit\" value=\"Save Changes\"></td></tr>\n";
}

bool ApplyOptionsForm(CDialog& page, const FormFields& form) {
    const std::set<int> open = OpenControls(form);
    for (const CWnd::Child& child : page.Children()) {
        const WindowState& state = *child.state;
        if (state.kind == ControlKind::PushButton && open.count(state.id) != 0 &&
            FieldValue(form, FieldName(state.id)) != nullptr) {
            return ClickButton(page, state.id);
        }
    }
    // Each delivery may open or close controls; there are never more changes than controls.
    bool delivered = false;
    for (std::size_t pass = 0; pass < page.Children().size(); ++pass) {
        if (!DeliverOne(page, form, open)) break;
        delivered = true;
    }
    return delivered;
}

}  // namespace tarnwick::app
