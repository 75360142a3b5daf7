// The dialog layer's message box: the driver's ShowMessage with no owner
// window and no caption.
#pragma once

#include <string>

#include "platform/message_box.h"

namespace tarnwick {

int AfxMessageBox(const std::string& text, unsigned type = MB_OK);

}  // namespace tarnwick
