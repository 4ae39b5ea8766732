// The whole path from the command-line program to a disc image through each
// of the device library's transports in turn (kernel driver, pass-through,
// VxD on the 9x family, ASPI): the drive is listed with the transport that
// serves it, and the scan and extraction of one real-tool image come out
// the same through every one of them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

struct TransportCase {
    const char* name;
    EnvChanges env;
    const char* deviceIntfValues;  // lines of the ".DeviceIntf" key; "%VXD%" is the VxD's folder
    const char* versionText;       // part of the interface version `drives` shows
};

void PrintTo(const TransportCase& c, std::ostream* out) { *out << c.name; }

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The files below `folder`, relative path -> bytes.
std::map<std::string, std::string> FilesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path());
    return files;
}

class CliTransportsTest : public ::testing::TestWithParam<TransportCase> {};

TEST_P(CliTransportsTest, ScanAndExtractionAreTheSameThroughEveryTransport) {
    if (std::system("command -v genisoimage >/dev/null 2>&1") != 0) GTEST_SKIP() << "genisoimage is not installed";
    const TransportCase& c = GetParam();
    TempDir dir, config, vxd;
    fs::create_directories(dir.File("src/DOCS"));
    std::string big(3 * 2048 + 100, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
    std::ofstream(dir.File("src/DOCS/BIG.BIN"), std::ios::binary) << big;
    std::ofstream(dir.File("src/README.TXT")) << "read me through every transport\n";
    ASSERT_EQ(std::system(("genisoimage -quiet -r -J -o '" + dir.File("disc.iso") + "' '" + dir.File("src") + "'")
                              .c_str()),
              0);

    std::string values = c.deviceIntfValues;
    values = std::regex_replace(values, std::regex("%VXD%"), vxd.path());
    std::ofstream(vxd.File("ZOLTVXD.VXD")) << "stand-in";
    std::ofstream(config.File("machine.reg")) << "[SOFTWARE\\Quenby\\DeviceIntf]\n" << values;
    EnvChanges env = c.env;
    env.push_back({"DRAVIK_CONFIG_DIR", config.path()});
    env.push_back({"DRAVIK_IMAGES", dir.File("disc.iso")});

    CliRun drives = RunCli({"drives"}, env);
    ASSERT_EQ(drives.status, 0) << drives.out << drives.err;
    EXPECT_NE(drives.out.find(c.versionText), std::string::npos) << drives.out;
    EXPECT_NE(drives.out.find("D:"), std::string::npos) << drives.out;

    env.back() = {"DRAVIK_IMAGES", ""};
    CliRun scan = RunCli({"scan", "--json", dir.File("disc.iso")}, env);
    ASSERT_EQ(scan.status, 0) << scan.err;
    EXPECT_NE(scan.out.find("\"BIG.BIN\""), std::string::npos) << scan.out;
    EXPECT_NE(scan.out.find("\"size\":" + std::to_string(big.size())), std::string::npos) << scan.out;

    CliRun extract = RunCli({"extract", dir.File("disc.iso"), "--to", dir.File("out")}, env);
    ASSERT_EQ(extract.status, 0) << extract.err;
    const auto files = FilesBelow(dir.File("out"));
    bool bigFound = false, readmeFound = false;
    for (const auto& [path, bytes] : files) {
        if (path.find("BIG.BIN") != std::string::npos) bigFound = bytes == big;
        if (path.find("README.TXT") != std::string::npos) readmeFound = bytes == "read me through every transport\n";
    }
    EXPECT_TRUE(bigFound) << "BIG.BIN extracted byte for byte";
    EXPECT_TRUE(readmeFound) << "README.TXT extracted byte for byte";
}

INSTANTIATE_TEST_SUITE_P(
    Transports, CliTransportsTest,
    ::testing::Values(TransportCase{"KernelDriver", {}, "", "Dravik kernel driver"},
                      TransportCase{"PassThrough", {{"DRAVIK_KERNEL_DRIVER", "off"}}, "", "SPT 1.1"},
                      TransportCase{"Vxd", {{"DRAVIK_SYSTEM", "win9x"}}, "\"Shared\"=\"%VXD%\"\n", "Dravik VxD"},
                      TransportCase{"Aspi", {}, "\"UseASPIOnly\"=dword:00000001\n", "wnaspi32"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dravik::test
