#include "platform/mfc/cwnd.h"

#include "platform/mfc/dialog_template.h"

namespace tarnwick {
namespace {

WindowState StateFromTemplate(const ControlTemplate& control) {
    WindowState state;
    state.id = control.id;
    state.kind = control.kind;
    state.text = std::string(control.text);
    state.style = control.style;
    state.rect = control.rect;
    return state;
}

bool IsButton(ControlKind kind) {
    return kind == ControlKind::CheckBox || kind == ControlKind::RadioButton;
}

}  // namespace

CWnd::CWnd() = default;

CWnd::~CWnd() = default;

WindowState* CWnd::Detach() {
    WindowState* state = m_hWnd;
    m_hWnd = nullptr;
    return state;
}

int CWnd::GetDlgCtrlID() const {
    return m_hWnd ? m_hWnd->id : 0;
}

void CWnd::SetWindowText(std::string_view text) {
    if (m_hWnd) m_hWnd->text = std::string(text);
}

std::string CWnd::GetWindowText() const {
    return m_hWnd ? m_hWnd->text : std::string();
}

bool CWnd::EnableWindow(bool enable) {
    if (!m_hWnd) return false;
    const bool wasDisabled = !m_hWnd->enabled;
    m_hWnd->enabled = enable;
    return wasDisabled;
}

bool CWnd::IsWindowEnabled() const {
    return m_hWnd && m_hWnd->enabled;
}

bool CWnd::ShowWindow(int cmdShow) {
    if (!m_hWnd) return false;
    const bool wasVisible = m_hWnd->visible;
    m_hWnd->visible = cmdShow != SW_HIDE;
    return wasVisible;
}

bool CWnd::IsWindowVisible() const {
    return m_hWnd && m_hWnd->visible;
}

WindowState* CWnd::FindChild(int id) const {
    for (const Child& child : m_children) {
        if (child.state->id == id) return child.state.get();
    }
    return nullptr;
}

CWnd* CWnd::GetDlgItem(int id) const {
    for (const Child& child : m_children) {
        if (child.state->id == id) return child.wrapper.get();
    }
    return nullptr;
}

void CWnd::CheckRadioButton(int firstId, int lastId, int checkId) {
    for (const Child& child : m_children) {
        WindowState& state = *child.state;
        if (state.id < firstId || state.id > lastId || !IsButton(state.kind)) continue;
        state.check = state.id == checkId ? BST_CHECKED : BST_UNCHECKED;
    }
}

WindowState* CWnd::CreateChild(std::size_t position, const ControlTemplate& control) {
    if (position < m_children.size()) {
        *m_children[position].state = StateFromTemplate(control);
        return m_children[position].state.get();
    }
    Child child{std::make_unique<WindowState>(StateFromTemplate(control)),
                std::make_unique<CWnd>()};
    child.wrapper->Attach(child.state.get());
    m_children.push_back(std::move(child));
    return m_children.back().state.get();
}

}  // namespace tarnwick
