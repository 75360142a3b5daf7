#include "host_kit/module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#ifndef TARNWICK_INSTALLED_MODULE
#define TARNWICK_INSTALLED_MODULE "/usr/local/lib/tarnwick/libtarnwick_driver.so"
#endif
#ifndef TARNWICK_MODULE_FROM_BINDIR
#define TARNWICK_MODULE_FROM_BINDIR "../lib/tarnwick/libtarnwick_driver.so"
#endif

namespace tarnwick::hostkit {
namespace {

constexpr const char* kModuleFile = "libtarnwick_driver.so";

}  // namespace

std::string ExecutableDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::vector<std::string> ModuleCandidates(const std::string& explicitPath) {
    if (!explicitPath.empty()) return {explicitPath};
    if (const char* env = std::getenv("TARNWICK_MODULE"); env != nullptr && *env != '\0') {
        return {env};
    }
    std::vector<std::string> candidates;
    const std::string dir = ExecutableDirectory();
    if (!dir.empty()) {
        candidates.push_back(dir + "/" + kModuleFile);
        candidates.push_back(
            (std::filesystem::path(dir) / TARNWICK_MODULE_FROM_BINDIR).lexically_normal().string());
    }
    candidates.push_back(TARNWICK_INSTALLED_MODULE);
    return candidates;
}

std::unique_ptr<DriverModule> DriverModule::Open(const std::string& explicitPath,
                                                 std::string& error) {
    const std::vector<std::string> candidates = ModuleCandidates(explicitPath);
    const bool named = candidates.size() == 1;
    std::string tried;
    for (const std::string& path : candidates) {
        std::error_code ec;
        if (!named && !std::filesystem::exists(path, ec)) {
            tried += (tried.empty() ? "" : ", ") + path;
            continue;
        }
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = ::dlerror();
            error = "cannot load the driver module " + path + ": " + (why ? why : "unknown error");
            return nullptr;
        }
        auto factory =
            reinterpret_cast<CreateNewPrinterDriverFn>(::dlsym(handle, "createNewPrinterDriver"));
        if (factory == nullptr) {
            error = path + " is not a driver module (no createNewPrinterDriver)";
            ::dlclose(handle);
            return nullptr;
        }
        ABasePrinterDriver* driver = factory();
        if (driver == nullptr) {
            error = "the driver module " + path + " could not make a driver";
            ::dlclose(handle);
            return nullptr;
        }
        return std::make_unique<DriverModule>(Key{}, handle, driver, path);
    }
    error = "no driver module found (looked at " + tried +
            "); name one with --module PATH or TARNWICK_MODULE";
    return nullptr;
}

DriverModule::DriverModule(Key, void* handle, ABasePrinterDriver* driver, std::string path)
    : m_handle(handle), m_driver(driver), m_path(std::move(path)) {}

std::unique_ptr<CPropertyPage> DriverModule::OpenOptionsPage(PrinterSettings& settings,
                                                             const char* model,
                                                             std::string& error) {
    using CreateDriverPageFn = void* (*)(PrinterSettings*, const char*);
    auto factory = reinterpret_cast<CreateDriverPageFn>(::dlsym(m_handle, "createDriverPage"));
    if (factory == nullptr) {
        error = m_path + " offers no options page (no createDriverPage)";
        return nullptr;
    }
    std::unique_ptr<CPropertyPage> page(static_cast<CPropertyPage*>(factory(&settings, model)));
    if (!page) {
        error = "the driver module could not make its options page";
        return nullptr;
    }
    if (!page->Create() || page->OnSetActive() == 0) {
        error = "the driver's options page could not be shown";
        return nullptr;
    }
    return page;
}

DriverModule::~DriverModule() {
    m_driver.reset();
    ::dlclose(m_handle);
}

}  // namespace tarnwick::hostkit
