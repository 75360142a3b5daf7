// The module's two factories. They are compiled into the core library so
// tests can call them directly; the module exports them unchanged.
#include "driver/cdriver.h"
#include "options/driver_option_dialog.h"
#include "platform/mfc/driver_dll.h"

extern "C" __attribute__((visibility("default"))) tarnwick::ABasePrinterDriver*
createNewPrinterDriver() {
    tarnwick::ModuleStateScope moduleState;
    try {
        return std::make_unique<tarnwick::CDriver>().release();
    } catch (...) {
        return nullptr;
    }
}

extern "C" __attribute__((visibility("default"))) void* createDriverPage(
    tarnwick::PrinterSettings* settings, const char* modelName) {
    tarnwick::ModuleStateScope moduleState;
    try {
        return new tarnwick::CDriverOptionDialog(nullptr, settings, modelName);
    } catch (...) {
        return nullptr;
    }
}
