// The window wrapper of the control layer. A CWnd works on a WindowState it
// is attached to; a dialog also owns the states of its child controls and a
// plain wrapper for each, which GetDlgItem hands out. A wrapper that is not
// attached does nothing and answers as for a missing window.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/mfc/window_state.h"

namespace tarnwick {

struct ControlTemplate;

class CWnd {
  public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    void Attach(WindowState* state) { m_hWnd = state; }
    WindowState* Detach();
    WindowState* GetSafeHwnd() const { return m_hWnd; }

    // A window of another program (the host's), kept only to be handed on.
    void SetNativeHandle(void* handle) { m_pNativeHandle = handle; }
    void* NativeHandle() const { return m_pNativeHandle; }

    int GetDlgCtrlID() const;
    void SetWindowText(std::string_view text);
    std::string GetWindowText() const;

    // Returns true when the window was disabled before.
    bool EnableWindow(bool enable = true);
    bool IsWindowEnabled() const;
    // SW_HIDE or SW_SHOW; returns true when the window was visible before.
    bool ShowWindow(int cmdShow);
    bool IsWindowVisible() const;

    // The child control with that id, or null.
    CWnd* GetDlgItem(int id) const;
    WindowState* FindChild(int id) const;
    // Checks checkId and clears the other buttons whose ids lie in
    // [firstId, lastId]; an id outside the range checks nothing.
    void CheckRadioButton(int firstId, int lastId, int checkId);

    struct Child {
        std::unique_ptr<WindowState> state;
        std::unique_ptr<CWnd> wrapper;
    };
    // The child controls in creation order.
    std::span<const Child> Children() const { return m_children; }

  protected:
    // Adds a child made from the template, or resets the existing child at
    // that position to it, so handles given out earlier stay valid.
    WindowState* CreateChild(std::size_t position, const ControlTemplate& control);

    WindowState* m_hWnd = nullptr;

  private:
    void* m_pNativeHandle = nullptr;
    std::vector<Child> m_children;
};

}  // namespace tarnwick
