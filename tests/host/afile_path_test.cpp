#include "host/afile_path.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/scoped_env.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

using test::ScopedEnv;

TEST(AFilePathTest, AppendInsertsOneSeparator) {
    AFilePath p("root");
    p += "OutputDrivers";
    p += AString("Generic");
    EXPECT_STREQ(p.c_str(), "root/OutputDrivers/Generic");

    AFilePath slash("root/");
    slash += "a";
    EXPECT_STREQ(slash.c_str(), "root/a");

    AFilePath back("C:\\root\\");
    back += "a";
    EXPECT_STREQ(back.c_str(), "C:\\root\\a");

    AFilePath empty("");
    empty += "a";
    EXPECT_STREQ(empty.c_str(), "a");

    AFilePath lead("root");
    lead += "\\a";
    EXPECT_STREQ(lead.c_str(), "root/a");
}

TEST(AFilePathTest, AppendTurnsWindowsSeparatorsIntoSlashes) {
    AFilePath p("/data");
    p += "Dither\\CP\\mode.xml";
    EXPECT_EQ(p.GetFullPath(), "/data/Dither/CP/mode.xml");
    p += static_cast<const char*>(nullptr);
    p += "";
    EXPECT_EQ(p.GetFullPath(), "/data/Dither/CP/mode.xml");
}

TEST(AFilePathTest, ExistsAndIsDirectoryTellFilesFromFolders) {
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("afile_path_test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "f.xml") << "<a/>";

    AFilePath folder(dir.c_str());
    EXPECT_NE(folder.exists(), 0);
    EXPECT_NE(folder.isDirectory(), 0);

    AFilePath file(folder);
    file += "f.xml";
    EXPECT_NE(file.exists(), 0);
    EXPECT_EQ(file.isDirectory(), 0);

    AFilePath missing(folder);
    missing += "missing";
    EXPECT_EQ(missing.exists(), 0);
    EXPECT_EQ(missing.isDirectory(), 0);
    EXPECT_EQ(AFilePath("").exists(), 0);

    fs::remove_all(dir);
}

TEST(AFilePathTest, RootRulePrefersEnvironmentThenInstalledThenSource) {
    const std::string existing = ::testing::TempDir();
    EXPECT_EQ(ChooseConfigurationRoot("/env/root", existing, "/src/data"), "/env/root");
    EXPECT_EQ(ChooseConfigurationRoot("", existing, "/src/data"), existing);
    EXPECT_EQ(ChooseConfigurationRoot(nullptr, existing, "/src/data"), existing);
    EXPECT_EQ(ChooseConfigurationRoot(nullptr, "/no/such/install/dir", "/src/data"), "/src/data");
}

TEST(AFilePathTest, DefaultPathReadsTarnwickRootEveryTime) {
    {
        ScopedEnv env("TARNWICK_ROOT", "/first/root");
        EXPECT_STREQ(AFilePath().c_str(), "/first/root");
        ::setenv("TARNWICK_ROOT", "/second/root", 1);
        AFilePath drivers;
        drivers += "OutputDrivers";
        EXPECT_STREQ(drivers.c_str(), "/second/root/OutputDrivers");
    }
    ScopedEnv empty("TARNWICK_ROOT", "");
    EXPECT_STRNE(AFilePath().c_str(), "");
}

}  // namespace
}  // namespace tarnwick
