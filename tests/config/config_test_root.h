// A throwaway configuration root for the configuration-file tests: a fresh
// temporary folder with an "OutputDrivers" folder in it, made the root
// through TARNWICK_ROOT for the life of the object.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "tarnwick/records.h"

namespace tarnwick::config_test {

class TempConfigRoot {
  public:
    TempConfigRoot();

    // Paths are relative to the OutputDrivers folder; folders are made as
    // needed. Returns the full path written.
    std::string WritePlain(std::string_view relative, std::string_view text) const;
    std::string WriteEnciphered(std::string_view relative, std::string_view text) const;
    std::string Path(std::string_view relative) const;

  private:
    test::TempDir m_dir;
    std::filesystem::path m_root;
    test::ScopedEnv m_rootVariable;
};

// A print setup with the fields the configuration readers look at.
PrintSetup MakeSetup(const char* model, const char* manufacturer, int media, int printMode,
                     int resolution, int colorMode);

// Wraps a "PrinterHardware" body in a document.
std::string Hardware(std::string_view body);

}  // namespace tarnwick::config_test
