#include "options/driver_option_dialog_qz.h"

#include "platform/message_box.h"
#include "platform/mfc/driver_dll.h"

namespace tarnwick {

CDriverOptionDialogQZ::CDriverOptionDialogQZ(CWnd* parent, PrinterSettings* settings,
                                             const char* modelName)
    : CDriverOptionDialog(parent, settings, modelName) {
    // Unlike the page in the host's sheet, the modal form is owned by the
    // host's window.
    SetParentWindow(parent);
}

int CDriverOptionDialogQZ::OnInitDialog() {
    ModuleStateScope moduleState;
    CDriverOptionDialog::OnInitDialog();
    // Alone on the screen the form needs its own way to close.
    if (CWnd* ok = GetDlgItem(IDOK)) ok->ShowWindow(SW_SHOW);
    if (CWnd* cancel = GetDlgItem(IDCANCEL)) cancel->ShowWindow(SW_SHOW);
    return 1;
}

void CDriverOptionDialogQZ::OnOK() {
    CPropertyPage::OnOK();
    CDialog::OnOK();
}

void CDriverOptionDialogQZ::OnCancel() {
    CPropertyPage::OnCancel();
    CDialog::OnCancel();
}

}  // namespace tarnwick
