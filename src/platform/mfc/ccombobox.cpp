#include "platform/mfc/ccombobox.h"

namespace tarnwick {
namespace {

bool InRange(const WindowState& state, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < state.items.size();
}

}  // namespace

int CComboBox::AddString(std::string_view text) {
    WindowState* state = GetSafeHwnd();
    if (!state) return CB_ERR;
    state->items.emplace_back(text);
    return static_cast<int>(state->items.size()) - 1;
}

int CComboBox::GetCount() const {
    const WindowState* state = GetSafeHwnd();
    return state ? static_cast<int>(state->items.size()) : CB_ERR;
}

int CComboBox::GetCurSel() const {
    const WindowState* state = GetSafeHwnd();
    return state ? state->curSel : CB_ERR;
}

int CComboBox::SetCurSel(int index) {
    WindowState* state = GetSafeHwnd();
    if (!state) return CB_ERR;
    state->curSel = InRange(*state, index) ? index : CB_ERR;
    return state->curSel;
}

int CComboBox::GetLBText(int index, std::string& text) const {
    const WindowState* state = GetSafeHwnd();
    if (!state || !InRange(*state, index)) return CB_ERR;
    text = state->items[static_cast<std::size_t>(index)];
    return static_cast<int>(text.size());
}

void CComboBox::ResetContent() {
    WindowState* state = GetSafeHwnd();
    if (!state) return;
    state->items.clear();
    state->curSel = CB_ERR;
}

}  // namespace tarnwick
