#include "platform/mfc/user_input.h"

#include <cstddef>
#include <span>

#include "platform/mfc/cdialog.h"

namespace tarnwick {
namespace {

WindowState* TakesInput(CDialog& dialog, int id) {
    if (!dialog.IsCreated() || !dialog.IsWindowEnabled() || !dialog.IsWindowVisible()) {
        return nullptr;
    }
    WindowState* state = dialog.FindChild(id);
    if (state == nullptr || !state->enabled || !state->visible) return nullptr;
    return state;
}

// A group runs from a control with the group style up to the next one.
void CheckInGroup(CDialog& dialog, const WindowState& clicked) {
    const std::span<const CWnd::Child> children = dialog.Children();
    std::size_t at = 0;
    while (at < children.size() && children[at].state.get() != &clicked) ++at;
    std::size_t first = at;
    while (first > 0 && (children[first].state->style & style::kGroup) == 0) --first;
    for (std::size_t i = first; i < children.size(); ++i) {
        WindowState& state = *children[i].state;
        if (i > first && (state.style & style::kGroup) != 0) break;
        if (state.kind != ControlKind::RadioButton) continue;
        state.check = &state == &clicked ? BST_CHECKED : BST_UNCHECKED;
    }
}

}  // namespace

bool ClickButton(CDialog& dialog, int id) {
    WindowState* state = TakesInput(dialog, id);
    if (state == nullptr) return false;
    switch (state->kind) {
        case ControlKind::PushButton:
            break;
        case ControlKind::CheckBox:
            state->check = state->check == BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
            break;
        case ControlKind::RadioButton:
            CheckInGroup(dialog, *state);
            break;
        default:
            return false;
    }
    dialog.OnCommand(id, BN_CLICKED);
    return true;
}

bool ChooseListItem(CDialog& dialog, int id, int index) {
    WindowState* state = TakesInput(dialog, id);
    if (state == nullptr || state->kind != ControlKind::DropDownList) return false;
    if (index < 0 || static_cast<std::size_t>(index) >= state->items.size()) return false;
    state->curSel = index;
    dialog.OnCommand(id, CBN_SELCHANGE);
    return true;
}

}  // namespace tarnwick
