// Finds and loads the driver module and makes a driver through its exported factory. The tool
// reaches the driver only this way, exactly as a print host does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/mfc/cproperty_page.h"
#include "tarnwick/printer_driver.h"

namespace tarnwick::hostkit {

// Where the module is looked for, first match wins: the explicit path (--module), else
// $TARNWICK_MODULE; when neither is given, beside the tool, then in the installed library
// folder relative to the tool, then at the installed path the tool was built for.
std::vector<std::string> ModuleCandidates(const std::string& explicitPath);

// The folder of the running executable ("" if unknown).
std::string ExecutableDirectory();

class DriverModule {
    struct Key {
        explicit Key() = default;
    };

  public:
    // Null with error set when no candidate loads or the factory fails.
    static std::unique_ptr<DriverModule> Open(const std::string& explicitPath, std::string& error);
    DriverModule(Key, void* handle, ABasePrinterDriver* driver, std::string path);
    ~DriverModule();
    DriverModule(const DriverModule&) = delete;
    DriverModule& operator=(const DriverModule&) = delete;

    ABasePrinterDriver& driver() { return *m_driver; }

    // The module's options page on a settings record, from its second factory, with the page's
    // window made and shown as a property sheet does; null with error set when the module cannot
    // make it. The record and the model name must outlive the page, which the caller owns and
    // ends before this module.
    std::unique_ptr<CPropertyPage> OpenOptionsPage(PrinterSettings& settings, const char* model,
                                                   std::string& error);
    const std::string& path() const { return m_path; }

  private:
    void* m_handle;
    // The host deletes the driver through its virtual destructor, before the module goes.
    struct Deleter {
        void operator()(ABasePrinterDriver* driver) const { delete driver; }
    };
    std::unique_ptr<ABasePrinterDriver, Deleter> m_driver;
    std::string m_path;
};

}  // namespace tarnwick::hostkit
