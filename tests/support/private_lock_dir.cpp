// ctest runs test processes side by side, and jobs with the same job id share
// named mutexes: each test process gets a lock folder of its own, so one
// test's job never waits for another's. A folder set from outside wins.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class PrivateLockDir {
  public:
    PrivateLockDir() {
        if (std::getenv("TARNWICK_LOCK_DIR") != nullptr) return;
        m_path = (std::filesystem::temp_directory_path() /
                  ("tarnwick-test-locks-" + std::to_string(::getpid())))
                     .string();
        ::setenv("TARNWICK_LOCK_DIR", m_path.c_str(), 1);
    }
    ~PrivateLockDir() {
        if (m_path.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }

  private:
    std::string m_path;
};

const PrivateLockDir g_privateLockDir;

}  // namespace
