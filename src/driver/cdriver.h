// The concrete driver of this printer family: the façade with the RTL
// engine and the options dialog.
#pragma once

#include "driver/abase_printer_driver_imp.h"

namespace tarnwick {

class CDriver : public ABasePrinterDriverImp {
  public:
    CDriver();
    ~CDriver() override;

    int ShowOptionsDialog(PrinterSettings* settings, int32_t action, PrintSetup* setup,
                          void* parentWindow) override;
};

}  // namespace tarnwick
