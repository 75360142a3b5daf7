// AFilePath: the host library's path type over std::string / std::filesystem.
#pragma once

#include <string>

#include "host/astring.h"

namespace tarnwick {

// The configuration root (the folder under which "OutputDrivers" lies) is chosen by this rule,
// read again at every default construction of AFilePath:
//   1. the environment variable TARNWICK_ROOT, if set and non-empty;
//   2. else the installed data folder (compile definition TARNWICK_INSTALL_DATADIR), if that
//      folder exists;
//   3. else the source tree's data folder (compile definition TARNWICK_SOURCE_DATADIR).
// docs/configuration-root.md describes the same rule for users.
std::string ChooseConfigurationRoot(const char* envRoot, const std::string& installDir,
                                    const std::string& sourceDir);

class AFilePath {
  public:
    AFilePath();                     // the configuration root, see above
    AFilePath(const char* path);     // NOLINT(google-explicit-constructor)
    AFilePath(const AString& path);  // NOLINT(google-explicit-constructor)
    AFilePath(const AFilePath&) = default;
    AFilePath& operator=(const AFilePath&) = default;
    AFilePath& operator=(const char* path);
    AFilePath& operator=(const AString& path);

    // Appends one path component. Backslashes in the component become '/', since configuration
    // files written on Windows name relative paths with '\'.
    AFilePath& operator+=(const char* component);
    AFilePath& operator+=(const AString& component);

    int exists() const;       // nonzero when something exists at the path
    int isDirectory() const;  // nonzero when the path is a directory

    AString GetFullPath() const { return AString(m_path); }
    const char* c_str() const { return m_path.c_str(); }

  private:
    std::string m_path;
};

}  // namespace tarnwick
