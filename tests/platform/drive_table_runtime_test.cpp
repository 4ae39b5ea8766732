// Virtual drives added to the process's drive table while the program runs:
// the next letter, the lister sees them, an image opened twice is one
// drive, and a bad image leaves the table as it was.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/drive_source.h"
#include "platform/drives/drive_table.h"
#include "support/temp_dir.h"

using namespace dravik::platform;
using dravik::test::TempDir;

namespace {

std::string MakeIso(const TempDir& dir, const char* name) {
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << std::string(32 * 2048, '\0');
    return path;
}

TEST(ProcessDriveTable, AddedImageTakesTheNextLetterAndIsListed) {
    TempDir dir;
    const std::string image = MakeIso(dir, "added.iso");
    const std::size_t before = DriveTable::Process().Drives().size();
    InstallProcessDriveTable();
    char letter = 0;
    std::string error;
    ASSERT_TRUE(DriveTable::AddProcessImage(image, letter, error)) << error;
    EXPECT_EQ(letter, char('D' + before));
    ASSERT_EQ(DriveTable::Process().Drives().size(), before + 1);
    EXPECT_EQ(DriveTable::Process().Drives().back().kind, DriveKind::kVirtual);
    EXPECT_EQ(DriveTable::Process().Find(letter)->location, image);
    bool listed = false;
    for (const LetteredDrive& drive : ListDrives()) listed = listed || drive.letter == letter;
    EXPECT_TRUE(listed) << "the transports see the new drive";

    // The same file again, also by another spelling of its path: one drive.
    char again = 0;
    ASSERT_TRUE(DriveTable::AddProcessImage(dir.path() + "/./added.iso", again, error)) << error;
    EXPECT_EQ(again, letter);
    EXPECT_EQ(DriveTable::Process().Drives().size(), before + 1);
    SetDriveLister({});
}

TEST(ProcessDriveTable, ImageThatCannotBeOpenedChangesNothing) {
    TempDir dir;
    const std::size_t before = DriveTable::Process().Drives().size();
    const std::size_t problemsBefore = DriveTable::Process().Problems().size();
    const std::string cue = dir.File("broken.cue");
    std::ofstream(cue) << "FILE \"missing.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n";
    char letter = 'x';
    std::string error;
    EXPECT_FALSE(DriveTable::AddProcessImage(cue, letter, error));
    EXPECT_NE(error.find("broken.cue"), std::string::npos) << error;
    EXPECT_EQ(letter, 'x');
    EXPECT_FALSE(DriveTable::AddProcessImage(dir.File("nothing-here.iso"), letter, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(DriveTable::Process().Drives().size(), before);
    EXPECT_EQ(DriveTable::Process().Problems().size(), problemsBefore) << "a refused image is the caller's to report";
}

TEST(ProcessDriveTable, NoLetterLeftAfterZ) {
    TempDir dir;
    InstallProcessDriveTable();
    std::string error;
    char letter = 0;
    // Fill the table up to Z with distinct images.
    for (int i = 0; DriveTable::Process().Drives().size() < 23; ++i) {
        const std::string image = MakeIso(dir, ("fill" + std::to_string(i) + ".iso").c_str());
        ASSERT_TRUE(DriveTable::AddProcessImage(image, letter, error)) << error;
    }
    EXPECT_EQ(letter, 'Z');
    const std::string extra = MakeIso(dir, "extra.iso");
    EXPECT_FALSE(DriveTable::AddProcessImage(extra, letter, error));
    EXPECT_NE(error.find("no drive letter left"), std::string::npos) << error;
    EXPECT_EQ(DriveTable::Process().Drives().size(), 23u);
    EXPECT_EQ(ListDrives().size(), 23u);
    SetDriveLister({});
}

}  // namespace
