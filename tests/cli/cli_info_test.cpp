// dravik-cli info over the sample disc: the drive, the medium with both
// sessions, and one line per track with what it holds; usage errors.
#include <gtest/gtest.h>

#include <string>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace dravik::test {
namespace {

class CliInfoTest : public ::testing::Test {
protected:
    CliRun Run(const std::vector<std::string>& args) {
        return RunCli(args, {{"DRAVIK_IMAGES", ""}, {"DRAVIK_CONFIG_DIR", config_.path()}});
    }
    TempDir dir_, config_;
};

TEST_F(CliInfoTest, TheSampleDiscsTwoSessionsWithTheirFiles) {
    CliRun run = Run({"make-demo", dir_.File("demo")});
    ASSERT_EQ(run.status, 0) << run.err;
    run = Run({"info", dir_.File("demo/sample.vdisc")});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* piece : {"Drive: ", "Medium: ", ", 2 sessions, finalized\n", "Volume: HOLIDAY_2024\n",
                              "Track 1  session 1  start 0  ", "Track 2  session 2  start 11474  ",
                              "  ISO 9660  \"HOLIDAY_2024 (Session 1)\"  5 files, ",
                              "  ISO 9660  \"HOLIDAY_2024 (Session 2)\"  3 files, ", "Lead-out  session 2"})
        EXPECT_NE(run.out.find(piece), std::string::npos) << piece << " in:\n" << run.out;
}

TEST_F(CliInfoTest, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const Case cases[] = {
        {{"info"}, 2},
        {{"info", "--json", dir_.File("x")}, 2},
        {{"info", dir_.File("a"), dir_.File("b")}, 2},
        {{"info", dir_.File("none.iso")}, 3},
    };
    for (const Case& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.back() << "\n" << run.err;
    }
}

}  // namespace
}  // namespace dravik::test
