#include "host/afile_path.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef TARNWICK_INSTALL_DATADIR
#define TARNWICK_INSTALL_DATADIR "/usr/local/share/tarnwick"
#endif
#ifndef TARNWICK_SOURCE_DATADIR
#define TARNWICK_SOURCE_DATADIR "data"
#endif

namespace tarnwick {

std::string ChooseConfigurationRoot(const char* envRoot, const std::string& installDir,
                                    const std::string& sourceDir) {
    if (envRoot && *envRoot) return envRoot;
    std::error_code ec;
    if (!installDir.empty() && std::filesystem::is_directory(installDir, ec)) return installDir;
    return sourceDir;
}

namespace {

// The data folder of an installation that was moved after it was built: the
// module lives in <prefix>/lib/tarnwick, its data in <prefix>/share/tarnwick.
std::string DataDirBesideModule() {
    static const std::string dir = [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&DataDirBesideModule), &info) == 0 ||
            info.dli_fname == nullptr) {
            return std::string();
        }
        const std::filesystem::path module(info.dli_fname);
        return (module.parent_path() / ".." / ".." / "share" / "tarnwick")
            .lexically_normal()
            .string();
    }();
    return dir;
}

std::string InstalledDataDir() {
    std::error_code ec;
    const std::string besideModule = DataDirBesideModule();
    if (!besideModule.empty() &&
        std::filesystem::is_directory(besideModule + "/OutputDrivers", ec)) {
        return besideModule;
    }
    return TARNWICK_INSTALL_DATADIR;
}

}  // namespace

AFilePath::AFilePath()
    : m_path(ChooseConfigurationRoot(std::getenv("TARNWICK_ROOT"), InstalledDataDir(),
                                     TARNWICK_SOURCE_DATADIR)) {}

AFilePath::AFilePath(const char* path) : m_path(path ? path : "") {}

AFilePath::AFilePath(const AString& path) : m_path(path.str()) {}

AFilePath& AFilePath::operator=(const char* path) {
    m_path = path ? path : "";
    return *this;
}

AFilePath& AFilePath::operator=(const AString& path) {
    m_path = path.str();
    return *this;
}

AFilePath& AFilePath::operator+=(const char* component) {
    if (!component) return *this;
    std::string part(component);
    for (char& c : part) {
        if (c == '\\') c = '/';
    }
    // One separator between the parts: a component that starts with one would double it.
    if (!m_path.empty()) {
        const size_t first = part.find_first_not_of('/');
        part.erase(0, first == std::string::npos ? part.size() : first);
    }
    if (part.empty()) return *this;
    if (!m_path.empty() && m_path.back() != '/' && m_path.back() != '\\') m_path += '/';
    m_path += part;
    return *this;
}

AFilePath& AFilePath::operator+=(const AString& component) {
    return *this += component.c_str();
}

int AFilePath::exists() const {
    std::error_code ec;
    return !m_path.empty() && std::filesystem::exists(m_path, ec) ? 1 : 0;
}

int AFilePath::isDirectory() const {
    std::error_code ec;
    return !m_path.empty() && std::filesystem::is_directory(m_path, ec) ? 1 : 0;
}

}  // namespace tarnwick
