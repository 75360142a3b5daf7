// The whole print as a host does it: the built module loaded with dlopen, a driver from its
// factory, OpenJob, then PrintStep until the host record says the job is done.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tarnwick/printer_driver.h"

namespace tarnwick::bench {

// The path of the module this bench was built with.
const char* ModulePath();

class DriverModule {
    struct Key {
        explicit Key() = default;
    };

  public:
    // nullptr with error when the module cannot be loaded or lacks its factory.
    static std::unique_ptr<DriverModule> Load(const std::string& path, std::string& error);
    ~DriverModule();
    DriverModule(const DriverModule&) = delete;
    DriverModule& operator=(const DriverModule&) = delete;

    // A driver from the factory is the caller's, deleted through its virtual destructor.
    struct DriverDeleter {
        void operator()(ABasePrinterDriver* d) const { delete d; }
    };
    using DriverPtr = std::unique_ptr<ABasePrinterDriver, DriverDeleter>;
    DriverPtr NewDriver() const { return DriverPtr(m_create()); }

    DriverModule(Key, void* handle, CreateNewPrinterDriverFn create)
        : m_handle(handle), m_create(create) {}

  private:
    void* m_handle;
    CreateNewPrinterDriverFn m_create;
};

struct PrintOutcome {
    bool ok = false;
    std::string error;
    int steps = 0;
};

// Prints the job of the ticket into out with a fresh driver.
PrintOutcome PrintJob(const DriverModule& module, const std::string& ticketPath,
                      OutputChannel& out);

}  // namespace tarnwick::bench
