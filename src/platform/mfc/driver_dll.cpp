#include "platform/mfc/driver_dll.h"

namespace tarnwick {
namespace {
thread_local bool t_moduleStateCurrent = false;
}

CDriverDLL::CDriverDLL() {
    InitInstance();
}

int CDriverDLL::InitInstance() {
    m_bInitialised = true;
    return 1;
}

int CDriverDLL::ExitInstance() {
    m_bInitialised = false;
    return 0;
}

CDriverDLL& TheApp() {
    static CDriverDLL app;
    return app;
}

ModuleStateScope::ModuleStateScope() : m_previous(t_moduleStateCurrent) {
    TheApp();
    t_moduleStateCurrent = true;
}

ModuleStateScope::~ModuleStateScope() {
    t_moduleStateCurrent = m_previous;
}

bool ModuleStateScope::ModuleStateCurrent() {
    return t_moduleStateCurrent;
}

}  // namespace tarnwick
