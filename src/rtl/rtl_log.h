// Log source of the printer class, for KVLogHelper.
#pragma once

namespace tarnwick {

inline constexpr char kRtlLogSource[] = "PrinterDriver/Common/Xsrc/RTL";

}  // namespace tarnwick
