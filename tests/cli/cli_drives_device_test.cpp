// dravik-cli drives through the device library: the drives the transport
// walks over, with their transport address and the interface version, the
// start-up lines in the debug log, and the language module it cannot do
// without.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

using dravik::test::BuiltCli;
using dravik::test::CliRun;
using dravik::test::RunProgram;
using dravik::test::TempDir;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CliDrivesDeviceTest : public ::testing::Test {
protected:
    // An image of `blocks` empty 2048-byte blocks, which a virtual drive serves.
    std::string Image(const std::string& name, int blocks = 32) {
        std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary) << std::string(static_cast<size_t>(blocks) * 2048, '\0');
        return path;
    }

    CliRun RunCli(const std::vector<std::string>& args, const std::string& images,
                  const std::string& exe = BuiltCli()) {
        return RunProgram(exe, args,
                          {{"DRAVIK_CONFIG_DIR", config.path()}, {"DRAVIK_DEBUG_LOG", dir.File("run.DBG")},
                           {"DRAVIK_IMAGES", images}});
    }

    TempDir dir;
    TempDir config;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(CliDrivesDeviceTest, EveryDriveIsWalkedWithItsAddressAndTheInterfaceVersion) {
    std::string first = Image("first.iso"), second = Image("second.iso"), third = Image("third.iso");
    CliRun run = RunCli({"-D", "drives"}, first + ":" + second + ":" + third);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    const char* letters[] = {"D:", "E:", "F:"};
    const std::string* paths[] = {&first, &second, &third};
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(letters[i], 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(*paths[i]), std::string::npos) << lines[i];
        EXPECT_NE(lines[i].find("virtual"), std::string::npos) << lines[i];
        EXPECT_NE(lines[i].find("ZOLTDEV "), std::string::npos) << lines[i];
    }
    // The transport's own address of each drive; the ASPI manager puts two
    // drives on each host adapter.
    if (lines[0].find("libwnaspi32") != std::string::npos) {
        EXPECT_NE(lines[0].find(" 0:0 "), std::string::npos) << lines[0];
        EXPECT_NE(lines[2].find(" 1:0 "), std::string::npos) << lines[2];
    } else {
        EXPECT_NE(lines[0].find(" D: "), std::string::npos) << lines[0];
        EXPECT_NE(lines[2].find(" F: "), std::string::npos) << lines[2];
    }

    std::string log = ReadFile(dir.File("run.DBG"));
    EXPECT_NE(log.find("Device interface: OS="), std::string::npos) << log;
    EXPECT_NE(log.find("Device Interface initialization for"), std::string::npos) << log;

    // The walk ended with Terminate: the crash marker is clear again.
    std::string hive = ReadFile(config.File("machine.reg"));
    EXPECT_NE(hive.find("\"CrashDetect\"=dword:00000000"), std::string::npos) << hive;
}

TEST_F(CliDrivesDeviceTest, MissingLanguageModuleStopsTheCommandWithAClearError) {
    std::string lonely = dir.File("dravik-cli");
    std::filesystem::copy_file(BuiltCli(), lonely);
    ::chmod(lonely.c_str(), 0755);
    CliRun run = RunCli({"drives"}, Image("only.iso"), lonely);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot start without its language module"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace
