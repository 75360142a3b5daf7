// A throwaway configuration root for the configuration-file tests: a fresh
// temporary folder with an "OutputDrivers" folder in it, made the root
// through TARNWICK_ROOT for the life of the object.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

// Splits at `separator` and trims each part; a part in double quotes keeps its blanks.
std::vector<std::string> Split(const std::string& s, char separator);

// Calls `each` with the columns of every case line of the table tests/config/<name>, after
// "define NAME text" lines; {NAME} stands for its text, {N*text} for N copies of text (with
// '#' the copy's number) and \xNN for a byte.
int ForEachCase(const char* name, const std::function<void(std::vector<std::string>&)>& each);

}  // namespace tarnwick::config_test
