// dravik-cli drives: virtual drives from DRAVIK_IMAGES, bad images on
// stderr, and an empty table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

using dravik::test::TempDir;

namespace {

using DrivesRun = dravik::test::CliRun;

// Runs dravik-cli drives with DRAVIK_IMAGES = `images` and the settings
// hives in a fresh folder, so no VirtualDrives value of this machine counts.
DrivesRun RunDrives(const std::string& images) {
    TempDir config;
    return dravik::test::RunCli({"drives"}, {{"DRAVIK_CONFIG_DIR", config.path()}, {"DRAVIK_IMAGES", images}});
}

bool MachineHasOpticalDrives() {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/sys/class/block", ec))
        if (e.path().filename().string().rfind("sr", 0) == 0) return true;
    return false;
}

TEST(DrivesCommand, ListsAnImageAsAVirtualDrive) {
    TempDir dir;
    const std::string iso = dir.File("some.iso");
    std::ofstream(iso, std::ios::binary) << std::string(2048 * 30, '\0');
    DrivesRun run = RunDrives(iso);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("virtual"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(iso), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("DRAVIK VIRTUAL CD-ROM"), std::string::npos) << run.out;
    if (!MachineHasOpticalDrives()) {
        EXPECT_EQ(run.out.rfind("D:", 0), 0u) << run.out;
    }
    EXPECT_EQ(run.err.find("dravik-cli drives:"), std::string::npos) << run.err;  // no image problems
}

// Images of other programs: a cdrdao table of contents and a CHD made by
// chdman from it are each a drive; a damaged CHD is reported with its reason.
TEST(DrivesCommand, ListsCdrdaoAndChdImages) {
    TempDir dir;
    std::ofstream(dir.File("disc.bin"), std::ios::binary) << std::string(2352 * 300, '\0');
    const std::string toc = dir.Write("disc.toc", "CD_DA\nTRACK AUDIO\nFILE \"disc.bin\" 0\n");
    std::vector<std::string> images = {toc};
    if (std::system("command -v chdman >/dev/null 2>&1") == 0) {
        dir.Write("disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
        const std::string command = "cd '" + dir.path() + "' && chdman createcd -i disc.cue -o disc.chd >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        images.push_back(dir.File("disc.chd"));
    }
    DrivesRun run = RunDrives(images.size() == 2 ? images[0] + ":" + images[1] : images[0]);
    EXPECT_EQ(run.status, 0) << run.err;
    for (const std::string& image : images) EXPECT_NE(run.out.find(image), std::string::npos) << run.out;
    const std::string broken = dir.Write("broken.chd", "MComprHD but not more");
    run = RunDrives(broken);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(broken + ": not a CHD image"), std::string::npos) << run.err;
}

TEST(DrivesCommand, BadImageIsReportedWithFileAndLine) {
    TempDir dir;
    const std::string cue = dir.Write("bad.cue", "FILE \"gone.bin\" BINARY\n");
    DrivesRun run = RunDrives(cue);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(cue + ":1:"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("gone.bin"), std::string::npos) << run.err;
}

TEST(DrivesCommand, NoDrivesAndNoImages) {
    if (MachineHasOpticalDrives()) GTEST_SKIP() << "this machine has optical drives";
    DrivesRun run = RunDrives("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "No drives found.\n");
}

}  // namespace
