// The module's application object, made when the module is loaded, and the
// module state that exported entry points make current for their duration.
#pragma once

namespace tarnwick {

class CDriverDLL {
  public:
    CDriverDLL();
    int InitInstance();
    int ExitInstance();
    bool Initialised() const { return m_bInitialised; }

  private:
    bool m_bInitialised = false;
};

CDriverDLL& TheApp();

// Makes the module's own state current while it lives, so resources are
// looked up in this module and not in the host's.
class ModuleStateScope {
  public:
    ModuleStateScope();
    ~ModuleStateScope();
    ModuleStateScope(const ModuleStateScope&) = delete;
    ModuleStateScope& operator=(const ModuleStateScope&) = delete;

    static bool ModuleStateCurrent();

  private:
    bool m_previous;
};

}  // namespace tarnwick
