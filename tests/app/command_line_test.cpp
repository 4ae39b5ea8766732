// The program's command-line switches.
#include <gtest/gtest.h>

#include "program/app/command_line.h"

namespace dravik::app {
namespace {

struct Row {
    std::string line;
    bool accepted;
    std::string badToken;
    bool checksums, debug, writeThrough, tracking, analyse, closeSplash;
};

TEST(CommandLine, SwitchesInEitherCaseWithDashOrSlash) {
    const Row rows[] = {
        {"", true, "", false, false, false, false, false, false},
        {"-D", true, "", false, true, false, false, false, false},
        {"/d", true, "", false, true, false, false, false, false},
        {"-D3", true, "", false, true, true, false, false, false},
        {"/d7", true, "", false, true, true, true, false, false},
        {"-D2", true, "", false, false, true, false, false, false},
        {"-c /K -n", true, "", true, false, false, false, true, true},
        {"  -C\t-d15  ", true, "", true, true, true, true, false, false},
        {"-Dx", false, "-Dx", false, false, false, false, false, false},
        {"-D0", false, "-D0", false, false, false, false, false, false},
        {"-D16", false, "-D16", false, false, false, false, false, false},
        {"-D3a", false, "-D3a", false, false, false, false, false, false},
        {"-C -X", false, "-X", false, false, false, false, false, false},
        {"-Ck", false, "-Ck", false, false, false, false, false, false},
        {"disc.iso", false, "disc.iso", false, false, false, false, false, false},
        {"-", false, "-", false, false, false, false, false, false},
        {"/", false, "/", false, false, false, false, false, false},
    };
    for (const Row& row : rows) {
        CommandLine line;
        std::string bad;
        EXPECT_EQ(ParseCommandLine(SplitCommandLine(row.line), line, bad), row.accepted) << row.line;
        EXPECT_EQ(bad, row.badToken) << row.line;
        if (!row.accepted) continue;
        EXPECT_EQ(line.ignoreChecksums, row.checksums) << row.line;
        EXPECT_EQ(line.debug.debugMode, row.debug) << row.line;
        EXPECT_EQ(line.debug.logWriteThrough, row.writeThrough) << row.line;
        EXPECT_EQ(line.debug.trackAllocations, row.tracking) << row.line;
        EXPECT_EQ(line.analyseDatabase, row.analyse) << row.line;
        EXPECT_EQ(line.closeSplash, row.closeSplash) << row.line;
    }
}

}  // namespace
}  // namespace dravik::app
