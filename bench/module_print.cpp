#include "module_print.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

namespace tarnwick::bench {
namespace {

// A print step handles at most 200 ms of rows; no bench page needs anywhere near this many.
constexpr int kMaxSteps = 10'000'000;
constexpr int32_t kSuperMode = 1;  // 720 dpi

}  // namespace

const char* ModulePath() {
    return TARNWICK_MODULE_PATH;
}

std::unique_ptr<DriverModule> DriverModule::Load(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = "cannot load " + path + ": " + (why != nullptr ? why : "unknown error");
        return nullptr;
    }
    auto create =
        reinterpret_cast<CreateNewPrinterDriverFn>(dlsym(handle, "createNewPrinterDriver"));
    if (create == nullptr) {
        dlclose(handle);
        error = path + " has no createNewPrinterDriver";
        return nullptr;
    }
    return std::make_unique<DriverModule>(Key{}, handle, create);
}

DriverModule::~DriverModule() {
    dlclose(m_handle);
}

PrintOutcome PrintJob(const DriverModule& module, const std::string& ticketPath,
                      OutputChannel& out) {
    PrintOutcome outcome;
    auto job = std::make_unique<HostJobRecord>();
    std::memset(job.get(), 0, sizeof(HostJobRecord));
    std::snprintf(job->path, sizeof job->path, "%s", ticketPath.c_str());
    job->m_bDirectDataName = 1;
    job->m_nPrintMode = kSuperMode;
    auto driver = module.NewDriver();
    if (!driver) {
        outcome.error = "the module made no driver";
        return outcome;
    }
    if (driver->OpenJob(job.get(), &out) == 0) {
        outcome.error = "OpenJob failed for " + ticketPath;
        return outcome;
    }
    while (job->m_nDone != -1) {
        if (++outcome.steps > kMaxSteps || driver->PrintStep(nullptr, nullptr, nullptr) == 0) {
            outcome.error = "PrintStep failed at step " + std::to_string(outcome.steps) + ": " +
                            job->m_szStatus;
            return outcome;
        }
    }
    outcome.ok = true;
    return outcome;
}

}  // namespace tarnwick::bench
