// dravik-cli ddb-check run as a user would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

using dravik::test::TempDir;

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs dravik-cli with `args`, capturing its output and exit status.
CliRun DravikCli(const std::vector<std::string>& args) {
    const char* build = std::getenv("DRAVIK_BUILD_DIR");
    std::string exe = std::string(build ? build : ".") + "/bin/dravik-cli";
    TempDir capture;
    std::string outPath = capture.File("out"), errPath = capture.File("err");
    CliRun run;
    pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr)) _exit(126);
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    return run;
}

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
