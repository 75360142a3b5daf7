// The plug-in module. Its code lives in the core library, linked in whole;
// this unit makes the application object exist when the module is loaded.
#include "platform/mfc/driver_dll.h"

namespace {

struct ModuleLoad {
    ModuleLoad() { tarnwick::TheApp(); }
} g_moduleLoad;

}  // namespace
