// The options page as a modal dialog of its own, with OK and Cancel: what
// the driver shows from its options slot.
#pragma once

#include "options/driver_option_dialog.h"

namespace tarnwick {

class CDriverOptionDialogQZ : public CDriverOptionDialog {
  public:
    CDriverOptionDialogQZ(CWnd* parent, PrinterSettings* settings, const char* modelName);

    // The page's start, then OK and Cancel are shown again.
    int OnInitDialog() override;
    // The page's part, then the dialog's, which ends the modal loop.
    void OnOK() override;
    void OnCancel() override;
};

}  // namespace tarnwick
