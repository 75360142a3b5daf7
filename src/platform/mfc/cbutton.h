// A push button, check box or radio button.
#pragma once

#include "platform/mfc/cwnd.h"

namespace tarnwick {

class CButton : public CWnd {
  public:
    // BST_CHECKED or BST_UNCHECKED; BST_UNCHECKED when not attached.
    int GetCheck() const;
    // Any nonzero state checks the button. Only this button changes: radio
    // groups are kept by CheckRadioButton or by a click.
    void SetCheck(int check);
};

}  // namespace tarnwick
