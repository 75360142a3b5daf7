// ctest runs test processes side by side, and jobs with the same job id share named mutexes:
// each test process gets a lock folder of its own, so one test's job never waits for another's.
// A folder set from outside wins.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const struct PrivateLockDir {
    std::string path;
    PrivateLockDir() {
        if (std::getenv("TARNWICK_LOCK_DIR") != nullptr) return;
        path = std::filesystem::temp_directory_path() /
               ("tarnwick-test-locks-" + std::to_string(::getpid()));
        ::setenv("TARNWICK_LOCK_DIR", path.c_str(), 1);
    }
    ~PrivateLockDir() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
} g_privateLockDir;

}  // namespace
