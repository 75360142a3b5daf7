#include "platform/mfc/afx_message_box.h"

namespace tarnwick {

int AfxMessageBox(const std::string& text, unsigned type) {
    return ShowMessage(text.c_str(), type);
}

}  // namespace tarnwick
