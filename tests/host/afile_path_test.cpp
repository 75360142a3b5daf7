#include "host/afile_path.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <tuple>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

TEST(AFilePathTest, AppendingPutsOneSlashBetweenParts) {
    struct Case {
        const char *base, *part, *expected;
    };
    const Case cases[] = {
        {"root", "OutputDrivers", "root/OutputDrivers"},
        {"root/", "a", "root/a"},
        {"C:\\root\\", "a", "C:\\root\\a"},
        {"", "a", "a"},
        {"root", "\\a", "root/a"},
        {"/data", "Dither\\CP\\mode.xml", "/data/Dither/CP/mode.xml"},  // Windows separators
        {"/data", nullptr, "/data"},
        {"/data", "", "/data"},
    };
    for (const Case& c : cases) {
        AFilePath p(c.base);
        p += c.part;
        EXPECT_EQ(p.GetFullPath(), c.expected) << c.base << " + " << (c.part ? c.part : "(null)");
    }
    AFilePath p("root");
    p += AString("Generic");
    EXPECT_STREQ(p.c_str(), "root/Generic");
}

TEST(AFilePathTest, ExistsAndIsDirectoryTellFilesFromFolders) {
    test::TempDir dir;
    std::ofstream(dir.file("f.xml")) << "<a/>";
    const std::tuple<std::string, int, int> cases[] = {
        {dir.path(), 1, 1}, {dir.file("f.xml"), 1, 0}, {dir.file("missing"), 0, 0}, {"", 0, 0}};
    for (const auto& [path, exists, folder] : cases) {
        EXPECT_EQ(AFilePath(path.c_str()).exists() != 0, exists != 0) << path;
        EXPECT_EQ(AFilePath(path.c_str()).isDirectory() != 0, folder != 0) << path;
    }
}

TEST(AFilePathTest, RootIsTheEnvironmentThenInstalledThenSourceFolder) {
    const std::string existing = ::testing::TempDir();
    EXPECT_EQ(ChooseConfigurationRoot("/env/root", existing, "/src/data"), "/env/root");
    EXPECT_EQ(ChooseConfigurationRoot("", existing, "/src/data"), existing);
    EXPECT_EQ(ChooseConfigurationRoot(nullptr, existing, "/src/data"), existing);
    EXPECT_EQ(ChooseConfigurationRoot(nullptr, "/no/such/install/dir", "/src/data"), "/src/data");
    {
        // TARNWICK_ROOT is read every time a default path is made.
        test::ScopedEnv env("TARNWICK_ROOT", "/first/root");
        EXPECT_STREQ(AFilePath().c_str(), "/first/root");
        ::setenv("TARNWICK_ROOT", "/second/root", 1);
        AFilePath drivers;
        drivers += "OutputDrivers";
        EXPECT_STREQ(drivers.c_str(), "/second/root/OutputDrivers");
    }
    test::ScopedEnv empty("TARNWICK_ROOT", "");
    EXPECT_STRNE(AFilePath().c_str(), "");
}

}  // namespace
}  // namespace tarnwick
