// dravik-cli ddb-check run as a user would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

using dravik::test::TempDir;

namespace {

using dravik::test::CliRun;

CliRun DravikCli(const std::vector<std::string>& args) { return dravik::test::RunCli(args); }

}  // namespace

TEST(DdbCheck, TheShippedDatabaseByDefault) {
    CliRun run = DravikCli({"ddb-check"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("ASPIDEV.DDB: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" sections, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(", all parse\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST(DdbCheck, GoodAndBadFiles) {
    TempDir dir;
    CliRun good = DravikCli({"ddb-check", dir.Write("good.DDB", "# c\r\n[ACME]\r\n\tCDR-1:Raw\r\n\tCDR-2:BufSz=0x400\r\n")});
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, "good.DDB: 1 section, 2 entries, all parse\n");

    CliRun bad = DravikCli({"ddb-check", dir.Write("bad.DDB", "[ACME]\r\n\tCDR-1:BufSz=12k\r\n\tCDR-2:Raw\r\n")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "bad.DDB: 1 section, 2 entries, 1 error\n");
    EXPECT_NE(bad.err.find("message 3201: near 'BufSz' in 'CDR-1'"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("Error returned for device ACME CDR-1"), std::string::npos) << bad.err;
}

TEST(DdbCheck, UnreadableFilesAndUsage) {
    TempDir dir;
    CliRun missing = DravikCli({"ddb-check", dir.File("none.DDB")});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("message 3203: " + dir.File("none.DDB")), std::string::npos) << missing.err;
    EXPECT_EQ(missing.out, "");

    EXPECT_EQ(DravikCli({"ddb-check", dir.path()}).status, 3) << "a folder cannot be read";
    EXPECT_EQ(DravikCli({"ddb-check", "a", "b"}).status, 2);
    EXPECT_EQ(DravikCli({"ddb-check", "--bogus"}).status, 2);
}
