#include "platform/afm_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// Lets a test give an open file any kept path, to check the path operations on exact texts.
class PathProbe : public AFM_File {
  public:
    void SetKeptPath(const char* path) { std::strcpy(m_szPath, path); }
    const char* KeptPath() const { return m_szPath; }
};

class AFMFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("afm_file_test-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const char* name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

TEST_F(AFMFileTest, ReadModeCreatesMissingFile) {
    AFM_File file;
    const std::string path = Path("new.bin");
    ASSERT_EQ(file.Open(path.c_str(), 0), 1);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, sizeof(buffer), 0, 0), 0u);
    EXPECT_EQ(file.Write("x", 1, 0, 0), 0u);  // read-only
}

TEST_F(AFMFileTest, CurrentPositionPairSkipsTheSeek) {
    AFM_File file;
    ASSERT_EQ(file.Open(Path("data.bin").c_str(), 2), 1);
    ASSERT_EQ(file.Write("abcdef", 6, 0, 0), 6u);
    ASSERT_EQ(file.Seek(2, 0), 1);
    char buffer[3] = {};
    EXPECT_EQ(file.Read(buffer, 2, 0, 1), 2u);
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
    EXPECT_EQ(fs::file_size(Path("data.bin")), 3u);
}

TEST_F(AFMFileTest, OtherModesCreateButGiveNoDataAccess) {
    AFM_File file;
    const std::string path = Path("nodata.bin");
    ASSERT_EQ(file.Open(path.c_str(), 7), 1);
    EXPECT_TRUE(fs::exists(path));
    char buffer[4];
    EXPECT_EQ(file.Read(buffer, 4, 0, 0), 0u);
    EXPECT_EQ(file.Write("abcd", 4, 0, 0), 0u);

    AFM_File writer;
    ASSERT_EQ(writer.Open(path.c_str(), 1), 1);
    EXPECT_EQ(writer.Write("abcd", 4, 0, 0), 4u);
    EXPECT_EQ(writer.Read(buffer, 4, 0, 0), 0u);  // write-only
}

TEST_F(AFMFileTest, PathPartsSplitAtEitherSeparator) {
    PathProbe file;
    ASSERT_EQ(file.Open(Path("probe.bin").c_str(), 0), 1);
    struct Case {
        const char* path;
        const char* directory;
        const char* name;
    };
    for (const Case& c : {Case{"C:\\a\\b.txt", "C:\\a", "b.txt"}, Case{"/x/y.bin", "/x", "y.bin"},
                          Case{"plain.bin", "", "plain.bin"},
                          Case{"mixed/dir\\f", "mixed/dir", "f"}, Case{"/top", "", "top"}}) {
        file.SetKeptPath(c.path);
        char out[512];
        ASSERT_EQ(file.GetDirectory(out), 1);
        EXPECT_STREQ(out, c.directory) << c.path;
        ASSERT_EQ(file.GetFileName(out), 1);
        EXPECT_STREQ(out, c.name) << c.path;
        ASSERT_EQ(file.GetPath(out), 1);
        EXPECT_STREQ(out, c.path);
    }

    const std::string longName(300, 'n');
    file.SetKeptPath(("/d/" + longName).c_str());
    char name[512];
    ASSERT_EQ(file.GetFileName(name), 1);
    EXPECT_EQ(std::strlen(name), 255u);
}

TEST_F(AFMFileTest, ClosedObjectLeavesOutputsAlone) {
    AFM_File file;
    char out[16] = "untouched";
    EXPECT_EQ(file.GetPath(out), 0);
    EXPECT_EQ(file.GetDirectory(out), 0);
    EXPECT_EQ(file.GetFileName(out), 0);
    EXPECT_STREQ(out, "untouched");
    EXPECT_EQ(file.GetHandle(), -1);
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(file.Seek(0, 0), 0);
    EXPECT_EQ(file.Read(out, 4, 0, 1), 0u);
    EXPECT_EQ(file.Write(out, 4, 0, 1), 0u);
    EXPECT_EQ(file.Truncate(), 0);
    EXPECT_EQ(file.Delete(), 0);

    // A failed open keeps the (cut) path but stays closed.
    PathProbe probe;
    const std::string tooLong = Path("missing-dir/") + std::string(600, 'p');
    EXPECT_EQ(probe.Open(tooLong.c_str(), 0), 0);
    EXPECT_EQ(std::string(probe.KeptPath()), tooLong.substr(0, 511));
    EXPECT_EQ(probe.GetPath(out), 0);
}

TEST_F(AFMFileTest, SecondOpenClosesTheFirstDescriptor) {
    const int before = OpenDescriptorCount();
    {
        AFM_File file;
        ASSERT_EQ(file.Open(Path("one.bin").c_str(), 2), 1);
        const int first = file.GetHandle();
        ASSERT_EQ(file.Open(Path("two.bin").c_str(), 2), 1);
        EXPECT_EQ(OpenDescriptorCount(), before + 1);
        EXPECT_EQ(file.GetHandle(), first);  // the freed number is reused
        char name[256];
        ASSERT_EQ(file.GetFileName(name), 1);
        EXPECT_STREQ(name, "two.bin");
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(AFMFileTest, DeleteRemovesOnlyTheOpenFile) {
    AFM_File file;
    const std::string path = Path("gone.bin");
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

TEST_F(AFMFileTest, PositionsBeyondFourGiB) {
    constexpr int64_t kFar = (int64_t{5} << 30) + 3;
    AFM_File file;
    ASSERT_EQ(file.Open(Path("sparse.bin").c_str(), 2), 1);
    ASSERT_EQ(file.Write("tail", 4, kFar, 0), 4u);
    EXPECT_EQ(file.Tell(), kFar + 4);
    ASSERT_EQ(file.Seek(-4, 2), 1);
    EXPECT_EQ(file.Tell(), kFar);
    char buffer[5] = {};
    ASSERT_EQ(file.Read(buffer, 4, kFar, 0), 4u);
    EXPECT_STREQ(buffer, "tail");
    ASSERT_EQ(file.Seek(-(kFar - 1), 1), 1);
    EXPECT_EQ(file.Tell(), 5);
}

}  // namespace
}  // namespace tarnwick
