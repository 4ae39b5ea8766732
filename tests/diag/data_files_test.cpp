// Shipped files are found beside the program in the build tree and under
// share/dravik when installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "program/diag/data_files.h"
#include "support/temp_dir.h"

namespace dravik::test {
namespace {

void Touch(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "x";
}

TEST(DataFilesTest, BuildTreeFirstThenInstalledThenTheBuildTreeName) {
    TempDir root;
    const std::string program = root.File("bin/dravik");
    Touch(program);
    const std::string beside = root.File("bin/../Shared/ASPIDEV.DDB");
    const std::string installed = root.File("bin/../share/dravik/ASPIDEV.DDB");
    // Neither: the build tree's place, for the message.
    EXPECT_EQ(diag::FindDataFileOf(program, "../Shared/ASPIDEV.DDB", "ASPIDEV.DDB"), beside);
    Touch(root.File("share/dravik/ASPIDEV.DDB"));
    EXPECT_EQ(diag::FindDataFileOf(program, "../Shared/ASPIDEV.DDB", "ASPIDEV.DDB"), installed);
    Touch(root.File("Shared/ASPIDEV.DDB"));
    EXPECT_EQ(diag::FindDataFileOf(program, "../Shared/ASPIDEV.DDB", "ASPIDEV.DDB"), beside);
    // A folder is found like a file.
    std::filesystem::create_directories(root.File("share/dravik/help"));
    EXPECT_EQ(diag::FindDataFileOf(program, "../help", "help"), root.File("bin/../share/dravik/help"));
}

TEST(DataFilesTest, TheRunningProgramHasAnInstalledFolderBesideIt) {
    const std::string folder = diag::InstalledDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.find("/../share/dravik"), std::string::npos);
}

}  // namespace
}  // namespace dravik::test
