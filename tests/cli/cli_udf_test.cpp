// dravik-cli on UDF volumes made by real tools: the JSON report carries
// the UDF track flags, and extract copies a bridge disc's files out
// through their UDF side.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

bool HaveTool(const std::string& name) { return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0; }

class CliUdfTest : public ::testing::Test {
protected:
    CliRun Run(const std::vector<std::string>& args) {
        return RunCli(args, {{"DRAVIK_IMAGES", ""}, {"DRAVIK_CONFIG_DIR", config_.path()},
                             {"DRAVIK_DEBUG_LOG", dir_.File("run.DBG")}});
    }
    void Tool(const std::string& command) {
        ASSERT_EQ(std::system(("cd '" + dir_.path() + "' && { " + command + "; } >tool.out 2>&1").c_str()), 0)
            << command << "\n" << dir_.Read("tool.out");
    }
    TempDir dir_;
    TempDir config_;
};

TEST_F(CliUdfTest, JsonReportShowsTheUdfFlagsOfEachKindOfVolume) {
    if (!HaveTool("mkudffs") || !HaveTool("genisoimage")) GTEST_SKIP() << "mkudffs and genisoimage are needed";
    fs::create_directories(dir_.File("src/Sub"));
    dir_.Write("src/Sub/a.txt", "alpha");
    Tool("genisoimage -quiet -udf -o bridge.iso src");
    Tool("mkudffs --media-type=cdrw --label=RW rw.img 3000");
    Tool("mkudffs --media-type=hd --blocksize=2048 --label=HD hd.img 3000");
    const struct {
        const char* image;
        const char* flags;
    } cases[] = {
        {"bridge.iso", R"("flags":["udf"])"},
        {"rw.img", R"("flags":["udf","sparing"])"},
        {"hd.img", R"("flags":["udf"])"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run({"scan", "--json", dir_.File(c.image)});
        EXPECT_EQ(run.status, 0) << c.image << run.err;
        EXPECT_NE(run.out.find(c.flags), std::string::npos) << c.image << "\n" << run.out;
    }
}

// A write-once volume names the VAT it was read through; others name none.
TEST_F(CliUdfTest, JsonReportNamesTheVatOfAWriteOnceVolume) {
    if (!HaveTool("mkudffs")) GTEST_SKIP() << "mkudffs is needed";
    Tool("mkudffs --media-type=cdr --blocksize=2048 --label=WO cdr.img 600");
    Tool("mkudffs --media-type=hd --blocksize=2048 --label=HD hd.img 3000");
    const auto blocks = static_cast<long long>(fs::file_size(dir_.File("cdr.img")) / 2048);
    const CliRun run = Run({"scan", "--json", dir_.File("cdr.img")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(R"("vat":)" + std::to_string(blocks - 1) + R"(,"vatFallbacks":0)"), std::string::npos)
        << run.out;
    const CliRun plain = Run({"scan", "--json", dir_.File("hd.img")});
    EXPECT_EQ(plain.out.find(R"("vat":)"), std::string::npos) << plain.out;
}

TEST_F(CliUdfTest, ExtractCopiesABridgeDiscThroughItsUdfSide) {
    if (!HaveTool("genisoimage")) GTEST_SKIP() << "genisoimage is needed";
    fs::create_directories(dir_.File("src/Sub"));
    dir_.Write("src/Sub/a.txt", std::string(5000, 'a'));
    dir_.Write("src/b.txt", "b");
    Tool("genisoimage -quiet -udf -o bridge.iso src");
    const CliRun run = Run({"extract", dir_.File("bridge.iso"), "--to", dir_.File("out")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const std::string track = dir_.File("out/CDROM (Session 1)");
    std::ifstream a(track + "/Sub/a.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(a), {}), std::string(5000, 'a'));
    std::ifstream b(track + "/b.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(b), {}), "b");
}

}  // namespace
}  // namespace dravik::test
