// Dialog data exchange: binds the dialog's members to its controls.
#pragma once

#include "platform/mfc/cwnd.h"

namespace tarnwick {

class CDataExchange {
  public:
    CDataExchange(CWnd* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    // Marks the exchange as failed; later exchanges are skipped.
    void Fail(int controlId);
    bool Failed() const { return m_bFailed; }
    int FailedControlId() const { return m_nFailedId; }

    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;

  private:
    bool m_bFailed = false;
    int m_nFailedId = 0;
};

// Attaches `control` to the dialog's control `id`; fails the exchange when
// the dialog has no such control.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

}  // namespace tarnwick
