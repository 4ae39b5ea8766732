// dravik-cli drives: virtual drives from DRAVIK_IMAGES, bad images on
// stderr, and an empty table.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
