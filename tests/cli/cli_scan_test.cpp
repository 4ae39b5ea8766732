// dravik-cli scan: a two-session cue image listed with its sessions,
// starts and ends as JSON and as a tree, the options that reach the scan,
// the exit statuses, and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_runner.h"
#include "support/disc_builder.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

using ScanRun = CliRun;

struct TrackLine {
    int number, session, start, end;
};

class CliScanTest : public ::testing::Test {
protected:
    // Runs dravik-cli with `args`; no image list or registry of this machine counts.
    ScanRun RunCli(const std::vector<std::string>& args) {
        return test::RunCli(args, {{"DRAVIK_IMAGES", ""},
                                   {"DRAVIK_CONFIG_DIR", config_.path()},
                                   {"DRAVIK_DEBUG_LOG", dir_.File("run.DBG")}});
    }

    // An audio session of 300 blocks, then a data session of 200, in the
    // style of current archival rippers: one .bin per track.
    std::string TwoSessionCue() {
        std::ofstream(dir_.File("track1.bin"), std::ios::binary) << std::string(2352 * 300, '\0');
        std::ofstream(dir_.File("track2.bin"), std::ios::binary) << std::string(2352 * 200, '\0');
        return dir_.Write("disc.cue",
                          "REM SESSION 01\n"
                          "FILE \"track1.bin\" BINARY\n"
                          "  TRACK 01 AUDIO\n"
                          "    INDEX 01 00:00:00\n"
                          "REM LEAD-OUT 01:30:00\n"
                          "REM SESSION 02\n"
                          "REM LEAD-IN 01:00:00\n"
                          "REM PREGAP 00:02:00\n"
                          "FILE \"track2.bin\" BINARY\n"
                          "  TRACK 02 MODE1/2352\n"
                          "    INDEX 01 00:00:00\n");
    }

    static std::vector<TrackLine> JsonTracks(const std::string& json) {
        std::vector<TrackLine> tracks;
        const std::regex track(R"(\{"number":(\d+),"session":(\d+),"start":(-?\d+),"end":(-?\d+),"control":\d+)");
        for (std::sregex_iterator it(json.begin(), json.end(), track), end; it != end; ++it)
            tracks.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), std::stoi((*it)[3]), std::stoi((*it)[4])});
        return tracks;
    }

    TempDir dir_;
    TempDir config_;
};

TEST_F(CliScanTest, JsonListsBothSessionsOfACueImage) {
    ScanRun run = RunCli({"scan", "--json", TwoSessionCue()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<TrackLine> tracks = JsonTracks(run.out);
    ASSERT_EQ(tracks.size(), 3u) << run.out;
    // Session 2 begins after the gap of a real CD-R: 6750 + 4500 + 150 blocks.
    EXPECT_EQ(tracks[0].number, 1);
    EXPECT_EQ(tracks[0].session, 1);
    EXPECT_EQ(tracks[0].start, 0);
    EXPECT_EQ(tracks[0].end, 300);
    EXPECT_EQ(tracks[1].number, 2);
    EXPECT_EQ(tracks[1].session, 2);
    EXPECT_EQ(tracks[1].start, 300 + 11400);
    EXPECT_EQ(tracks[1].end, 300 + 11400 + 200);
    EXPECT_EQ(tracks[2].number, 170);
    EXPECT_EQ(tracks[2].session, 2);
    EXPECT_EQ(tracks[2].start, 300 + 11400 + 200);
    // The whole document: one object, the volume first, labels as roots.
    EXPECT_EQ(run.out.rfind("{\"volume\":", 0), 0u);
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_NE(run.out.find("\"root\":{\"name\":\"Audio track (2:36)\",\"start\":0,\"size\":0,\"date\":null,"
                           "\"fsId\":0,\"flags\":[\"unnamed\"],\"children\":[]}"),
              std::string::npos)
        << run.out;
}

TEST_F(CliScanTest, TextTreeShowsTracksAndTheirItems) {
    ScanRun run = RunCli({"scan", TwoSessionCue()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Track 2  session 2  start 11700  end 11900  control 0x14\n"
                           "  Unrecognised track (200 blocks)  start 0  size 0  -- N/A --\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  Audio track (2:36)  start 0  size 0  -- N/A --  [unnamed]\n"), std::string::npos);
}

TEST_F(CliScanTest, ShowAllReachesTheScan) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300, {.start = 150});
    const std::string description = b.Write();
    ScanRun plain = RunCli({"scan", "--json", description});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(JsonTracks(plain.out).size(), 2u);
    ScanRun all = RunCli({"scan", "--json", "--show-all", description});
    ASSERT_EQ(all.status, 0) << all.err;
    std::vector<TrackLine> tracks = JsonTracks(all.out);
    ASSERT_EQ(tracks.size(), 3u) << all.out;
    EXPECT_EQ(tracks[0].number, 0);
    EXPECT_EQ(tracks[0].end, 150);
    EXPECT_NE(all.out.find("\"flags\":[\"pregap\"]"), std::string::npos);
    EXPECT_NE(all.err.find("block 149"), std::string::npos) << "message 203 on stderr: " << all.err;
}

TEST_F(CliScanTest, DebugLogRecordsTheScan) {
    ScanRun run = RunCli({"-D", "scan", "--ignore-joliet", TwoSessionCue()});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string log = dir_.Read("run.DBG");
    EXPECT_NE(log.find("Processing track 2, starting at 11700, IgnJoliet=1"), std::string::npos) << log;
    EXPECT_NE(log.find("Mode 0 TOC"), std::string::npos);
}

TEST_F(CliScanTest, ExitStatuses) {
    EXPECT_EQ(RunCli({"scan"}).status, 2) << "no target";
    EXPECT_EQ(RunCli({"scan", "--bogus", "x.iso"}).status, 2);
    EXPECT_EQ(RunCli({"scan", "a.iso", "b.iso"}).status, 2);
    ScanRun missing = RunCli({"scan", dir_.File("missing.iso")});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("missing.iso"), std::string::npos);
    EXPECT_EQ(RunCli({"scan", "Q:"}).status, 3) << "no such drive letter";
    const std::string broken = dir_.Write("broken.cue", "FILE \"nothing.bin\" BINARY\n  TRACK 01 FLOPPY\n");
    ScanRun bad = RunCli({"scan", broken});
    EXPECT_EQ(bad.status, 3);
    EXPECT_NE(bad.err.find("broken.cue"), std::string::npos) << bad.err;
    DiscBuilder empty(dir_, "empty");
    empty.Medium("none");
    ScanRun notReady = RunCli({"scan", empty.Write()});
    EXPECT_EQ(notReady.status, 3);
    EXPECT_NE(notReady.err.find("not ready"), std::string::npos) << notReady.err;
    EXPECT_TRUE(notReady.out.empty());
}

// Starts a scan of a drive that takes long to become ready, sends `signals`
// Ctrl-C 20 ms apart once the scan waits, and returns the exit status.
// Whether process `pid` has a handler for SIGINT (bit 1 of SigCgt in its
// /proc status).
bool CatchesInterrupt(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) & 0x2) != 0;
    return false;
}

int ScanInterrupted(const std::string& description, const std::string& config,
                    const std::string& err, int signals) {
    const std::string cli = BuildDir() + "/bin/dravik-cli";
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
        setenv("DRAVIK_CONFIG_DIR", config.c_str(), 1);
        setenv("DRAVIK_IMAGES", "", 1);
        execl(cli.c_str(), cli.c_str(), "scan", description.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Ctrl-C counts once the scan has put its handler in place; on a busy
    // machine the start can take longer than any fixed wait, so the test
    // watches the child's caught-signal mask instead.
    for (int waited = 0; waited < 30000 && !CatchesInterrupt(pid); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < signals; ++i) {
        kill(pid, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CliScanTest, CtrlCCancelsTheScanAndASecondEndsTheProgram) {
    // The drive stays not ready for 40 commands, each taking 20 ms, while
    // the scan polls it every 500 ms: the scan is still waiting when the
    // signals arrive.
    DiscBuilder b(dir_);
    b.Directive("timing 20000 176");
    b.NotReady(40);
    b.Track(TrackKind::kMode1, 300);
    const std::string description = b.Write();
    EXPECT_EQ(ScanInterrupted(description, config_.path(), dir_.File("err"), 1), 3)
        << "cancelled while waiting for the drive: " << dir_.Read("err");
    EXPECT_NE(dir_.Read("err").find("Cancelling the scan"), std::string::npos) << dir_.Read("err");
    EXPECT_EQ(ScanInterrupted(description, config_.path(), dir_.File("err2"), 2), 130) << dir_.Read("err2");
}

TEST_F(CliScanTest, ReportsEscapeNamesAndGiveTheRecordedTimeZone) {
    if (std::system("command -v genisoimage >/dev/null 2>&1") != 0) GTEST_SKIP() << "genisoimage is not installed";
    // Rock Ridge keeps the names as written: a quote, a backslash and a tab.
    std::filesystem::create_directories(dir_.File("src"));
    dir_.Write("src/we\"ird\\name\ttab.txt", "x");
    dir_.Write("src/plain.txt", "y");
    const std::string iso = dir_.File("zone.iso");
    // Written half past five hours east of Greenwich, which the disc records.
    ASSERT_EQ(std::system(("TZ=IST-5:30 genisoimage -quiet -R -o '" + iso + "' '" + dir_.File("src") + "'").c_str()),
              0);

    ScanRun json = RunCli({"scan", "--json", iso});
    ASSERT_EQ(json.status, 0) << json.err;
    const std::regex weird(R"re(\{"name":"we\\"ird\\\\name\\u0009tab\.txt","start":\d+,"size":1,)re"
                           R"re("date":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\+05:30","fsId":0,"flags":\[\],"children":\[\]\})re");
    EXPECT_TRUE(std::regex_search(json.out, weird)) << json.out;
    EXPECT_NE(json.out.find("\"flags\":[\"iso\",\"rockridge\"]"), std::string::npos) << json.out;

    ScanRun text = RunCli({"scan", iso});
    ASSERT_EQ(text.status, 0) << text.err;
    const std::regex plain(R"re(\n    plain\.txt  start \d+  size 1  \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\+05:30\n)re");
    EXPECT_TRUE(std::regex_search(text.out, plain)) << text.out;
    const std::regex root(R"re(\n  \\ CDROM \(Session 1\)  start \d+  size 2048  \S+\+05:30  \[directory\]\n)re");
    EXPECT_TRUE(std::regex_search(text.out, root)) << text.out;
}

}  // namespace
}  // namespace dravik::test
