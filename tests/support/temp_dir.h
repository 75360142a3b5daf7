// A private folder under the system's temporary folder, removed with everything in it.
#pragma once

#include <string>

namespace tarnwick::test {

class TempDir {
  public:
    TempDir();  // throws std::runtime_error when no folder can be made
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

}  // namespace tarnwick::test
