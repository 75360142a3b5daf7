#include "platform/mfc/cbutton.h"

namespace tarnwick {

int CButton::GetCheck() const {
    const WindowState* state = GetSafeHwnd();
    return state ? state->check : BST_UNCHECKED;
}

void CButton::SetCheck(int check) {
    WindowState* state = GetSafeHwnd();
    if (!state) return;
    // Push buttons and the like have no check state to keep.
    if (state->kind != ControlKind::CheckBox && state->kind != ControlKind::RadioButton) return;
    state->check = check != BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
}

}  // namespace tarnwick
