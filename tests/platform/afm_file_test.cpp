#include "platform/afm_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>

#include "support/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// Lets a test give an open file any kept path, to check the path operations on exact texts.
class PathProbe : public AFM_File {
  public:
    void SetKeptPath(const char* path) { std::strcpy(m_szPath, path); }
    const char* KeptPath() const { return m_szPath; }
};

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

TEST(AFMFileTest, EveryModeCreatesTheFileAndGivesItsAccess) {
    test::TempDir dir;
    struct Case {
        int mode;
        bool reads, writes;
    };
    for (const Case c :
         {Case{0, true, false}, Case{1, false, true}, Case{2, true, true}, Case{7, false, false}}) {
        const std::string path = dir.file("m" + std::to_string(c.mode));
        AFM_File file;
        ASSERT_EQ(file.Open(path.c_str(), c.mode), 1) << c.mode;
        EXPECT_EQ(fs::file_size(path), 0u);
        EXPECT_EQ(file.Write("abcd", 4, 0, 0), c.writes ? 4u : 0u) << c.mode;
        char buffer[4];
        EXPECT_EQ(file.Read(buffer, 4, 0, 0), c.reads && c.writes ? 4u : 0u) << c.mode;
    }
}

TEST(AFMFileTest, PositionsSeeksAndTruncation) {
    test::TempDir dir;
    AFM_File file;
    ASSERT_EQ(file.Open(dir.file("data.bin").c_str(), 2), 1);
    ASSERT_EQ(file.Write("abcdef", 6, 0, 0), 6u);
    ASSERT_EQ(file.Seek(2, 0), 1);
    char buffer[3] = {};
    EXPECT_EQ(file.Read(buffer, 2, 0, 1), 2u);  // (0, 1): from the current position
    EXPECT_STREQ(buffer, "cd");
    EXPECT_EQ(file.Read(buffer, 2, 0, 0), 2u);  // (0, 0) rewinds
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(file.Read(buffer, 2, -1, 2), 1u);  // short read at end of file
    EXPECT_EQ(buffer[0], 'f');
    EXPECT_EQ(file.Tell(), 6);
    EXPECT_EQ(file.Seek(1, 3), 0);
    EXPECT_EQ(file.Read(buffer, 2, 1, 3), 0u);
    EXPECT_EQ(file.Tell(), 6);
    EXPECT_EQ(file.Seek(-100, 0), 0);
    ASSERT_EQ(file.Seek(3, 0), 1);
    EXPECT_EQ(file.Truncate(), 1);
    EXPECT_EQ(fs::file_size(dir.file("data.bin")), 3u);

    constexpr int64_t kFar = (int64_t{5} << 30) + 3;  // beyond 4 GiB, sparse
    ASSERT_EQ(file.Write("tail", 4, kFar, 0), 4u);
    EXPECT_EQ(file.Tell(), kFar + 4);
    ASSERT_EQ(file.Seek(-4, 2), 1);
    EXPECT_EQ(file.Tell(), kFar);
    char tail[5] = {};
    ASSERT_EQ(file.Read(tail, 4, kFar, 0), 4u);
    EXPECT_STREQ(tail, "tail");
    ASSERT_EQ(file.Seek(-(kFar - 1), 1), 1);
    EXPECT_EQ(file.Tell(), 5);
}

TEST(AFMFileTest, PathPartsSplitAtEitherSeparator) {
    test::TempDir dir;
    PathProbe file;
    ASSERT_EQ(file.Open(dir.file("probe.bin").c_str(), 0), 1);
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"C:\\a\\b.txt", "C:\\a", "b.txt"},
        {"/x/y.bin", "/x", "y.bin"},
        {"plain.bin", "", "plain.bin"},
        {"mixed/dir\\f", "mixed/dir", "f"},
        {"/top", "", "top"}};
    for (const auto& [path, directory, name] : cases) {
        file.SetKeptPath(path);
        char out[512];
        ASSERT_EQ(file.GetDirectory(out), 1);
        EXPECT_STREQ(out, directory) << path;
        ASSERT_EQ(file.GetFileName(out), 1);
        EXPECT_STREQ(out, name) << path;
        ASSERT_EQ(file.GetPath(out), 1);
        EXPECT_STREQ(out, path);
    }
    file.SetKeptPath(("/d/" + std::string(300, 'n')).c_str());
    char name[512];
    ASSERT_EQ(file.GetFileName(name), 1);
    EXPECT_EQ(std::strlen(name), 255u);
}

TEST(AFMFileTest, ClosedObjectLeavesOutputsAlone) {
    test::TempDir dir;
    AFM_File file;
    char out[16] = "untouched";
    EXPECT_EQ(file.GetPath(out) + file.GetDirectory(out) + file.GetFileName(out), 0);
    EXPECT_STREQ(out, "untouched");
    EXPECT_EQ(file.GetHandle(), -1);
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(file.Seek(0, 0) + file.Truncate() + file.Delete(), 0);
    EXPECT_EQ(file.Read(out, 4, 0, 1) + file.Write(out, 4, 0, 1), 0u);

    // A failed open keeps the (cut) path but stays closed.
    PathProbe probe;
    const std::string tooLong = dir.file("missing-dir/") + std::string(600, 'p');
    EXPECT_EQ(probe.Open(tooLong.c_str(), 0), 0);
    EXPECT_EQ(std::string(probe.KeptPath()), tooLong.substr(0, 511));
    EXPECT_EQ(probe.GetPath(out), 0);
}

TEST(AFMFileTest, SecondOpenClosesTheFirstAndDeleteRemovesOnlyTheOpenFile) {
    test::TempDir dir;
    const int before = OpenDescriptorCount();
    {
        AFM_File file;
        ASSERT_EQ(file.Open(dir.file("one.bin").c_str(), 2), 1);
        const int first = file.GetHandle();
        ASSERT_EQ(file.Open(dir.file("two.bin").c_str(), 2), 1);
        EXPECT_EQ(OpenDescriptorCount(), before + 1);
        EXPECT_EQ(file.GetHandle(), first);  // the freed number is reused
        char name[256];
        ASSERT_EQ(file.GetFileName(name), 1);
        EXPECT_STREQ(name, "two.bin");
    }
    EXPECT_EQ(OpenDescriptorCount(), before);

    AFM_File file;
    const std::string path = dir.file("gone.bin");
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    EXPECT_EQ(file.Delete(), 1);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(file.GetHandle(), -1);
    ASSERT_EQ(file.Open(path.c_str(), 1), 1);
    fs::remove(path);
    AFM_File other;
    ASSERT_EQ(other.Open(path.c_str(), 1), 1);  // a new file under the same name
    EXPECT_EQ(file.Delete(), 0);
    EXPECT_TRUE(fs::exists(path));
}

}  // namespace
}  // namespace tarnwick
