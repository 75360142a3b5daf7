// A dialog made from a dialog resource. DoModal hands the dialog to the
// installed modal runner (see modal_runner.h), which plays the part of the
// window system's modal loop: it delivers commands until the dialog ends.
#pragma once

#include <memory>

#include "platform/mfc/cwnd.h"
#include "platform/mfc/dialog_template.h"

namespace tarnwick {

class CDataExchange;

class CDialog : public CWnd {
  public:
    explicit CDialog(int templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Makes the dialog, runs OnInitDialog and the modal runner. Returns the
    // value given to EndDialog (the runner's own answer when it returned
    // without ending the dialog), or -1 when the template does not exist.
    virtual int DoModal();
    void EndDialog(int result);
    bool IsEnded() const { return m_bEnded; }
    int ModalResult() const { return m_nModalResult; }

    // Binds the controls; returns 1.
    virtual int OnInitDialog();
    // Takes the data from the controls and ends with IDOK.
    virtual void OnOK();
    // Ends with IDCANCEL.
    virtual void OnCancel();
    // A command from control `id` with a notification code (BN_CLICKED,
    // CBN_SELCHANGE); true when something handled it. IDOK and IDCANCEL
    // clicks go to OnOK and OnCancel.
    virtual bool OnCommand(int id, int notification);

    // Runs the data exchange; false when the dialog has no window yet or the
    // exchange failed.
    bool UpdateData(bool saveAndValidate = true);

    int TemplateId() const { return m_nIDTemplate; }
    // The resource the window was made from; null until then.
    const DialogTemplate* Template() const { return m_pTemplate; }
    bool IsCreated() const { return GetSafeHwnd() != nullptr; }
    CWnd* GetParent() const { return m_pParent; }

  protected:
    virtual void DoDataExchange(CDataExchange* dx);
    // The window that owns a modal dialog.
    void SetParentWindow(CWnd* parent) { m_pParent = parent; }
    // Makes the dialog's window and its controls from the template, or puts
    // an existing one back to the template's state. false when the module
    // has no such template.
    bool CreateFromTemplate();

  private:
    int m_nIDTemplate;
    CWnd* m_pParent;
    const DialogTemplate* m_pTemplate = nullptr;
    std::unique_ptr<WindowState> m_ownState;
    bool m_bEnded = false;
    int m_nModalResult = 0;
};

}  // namespace tarnwick
