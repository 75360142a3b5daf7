// A drop-down list: its items and the selected position.
#pragma once

#include <string>
#include <string_view>

#include "platform/mfc/cwnd.h"

namespace tarnwick {

class CComboBox : public CWnd {
  public:
    // Appends the item; its position, or CB_ERR when not attached.
    int AddString(std::string_view text);
    int GetCount() const;
    // The selected position, or CB_ERR when nothing is selected.
    int GetCurSel() const;
    // Selects the position and returns it; a position outside the list
    // clears the selection and returns CB_ERR.
    int SetCurSel(int index);
    // Copies item `index` into text; its length, or CB_ERR for no such item.
    int GetLBText(int index, std::string& text) const;
    void ResetContent();
};

}  // namespace tarnwick
