// dravik-cli's front end: messages on stderr, questions answered by their
// default button or by --yes / --no, and -D[n] writing the debug log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

using dravik::test::TempDir;

namespace {

using MessageRun = dravik::test::CliRun;
using dravik::test::BuiltCli;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `exe` with `args`; `logPath` (if not empty) becomes DRAVIK_DEBUG_LOG.
MessageRun RunCli(const std::vector<std::string>& args, const std::string& logPath = {},
                  const std::string& exe = BuiltCli()) {
    std::optional<std::string> log;
    if (!logPath.empty()) log = logPath;
    return dravik::test::RunProgram(exe, args, {{"DRAVIK_DEBUG_LOG", log}});
}

TEST(CliMessages, QuestionsTakeTheirDefaultButtonAndSayWhy) {
    MessageRun run = RunCli({"message", "218", "3", "4"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "6\n");
    EXPECT_NE(run.err.find("Dravik: A sector between track 3 and track 4 could not be read."), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("[Yes/No] -> Yes (default)"), std::string::npos) << run.err;

    MessageRun cancelDefault = RunCli({"message", "253"});
    EXPECT_EQ(cancelDefault.out, "2\n");
    EXPECT_NE(cancelDefault.err.find("[OK/Cancel] -> Cancel (default)"), std::string::npos) << cancelDefault.err;
}

TEST(CliMessages, YesAndNoAnswerQuestionsBeforeOrAfterTheCommand) {
    EXPECT_EQ(RunCli({"--no", "message", "218", "3", "4"}).out, "7\n");
    EXPECT_EQ(RunCli({"message", "218", "3", "4", "--no"}).out, "7\n");
    EXPECT_EQ(RunCli({"--yes", "message", "253"}).out, "1\n");
    EXPECT_EQ(RunCli({"message", "--no", "220"}).out, "7\n");  // three-way: No is button 7
    EXPECT_EQ(RunCli({"message", "--no", "253"}).out, "2\n");
    // A plain message has one button whatever the flag says.
    EXPECT_EQ(RunCli({"--no", "message", "111"}).out, "1\n");
    EXPECT_EQ(RunCli({"--yes", "--no", "message", "111"}).status, 2);
}

TEST(CliMessages, DebugSwitchWritesTheLog) {
    TempDir dir;
    std::string log = dir.File("cli.DBG");
    MessageRun run = RunCli({"-D5", "message", "107", "E:"}, log);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string text = ReadFile(log);
    EXPECT_NE(text.find("The drive E: is not ready."), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n"), std::string::npos);

    MessageRun quiet = RunCli({"message", "107", "E:"}, dir.File("quiet.DBG"));
    EXPECT_EQ(quiet.status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("quiet.DBG")));

    for (const char* bad : {"-D16", "-D3x", "-D0"}) {
        MessageRun rejected = RunCli({bad, "message", "111"}, log);
        EXPECT_EQ(rejected.status, 2) << bad;
        EXPECT_NE(rejected.err.find("bad debug switch"), std::string::npos) << rejected.err;
    }
}

TEST(CliMessages, MessageCommandChecksItsArguments) {
    EXPECT_EQ(RunCli({"message", "107"}).status, 2);          // one text missing
    EXPECT_EQ(RunCli({"message", "156", "1", "x"}).status, 2);  // a number expected
    EXPECT_EQ(RunCli({"message", "9999"}).status, 2);         // not a message
    EXPECT_EQ(RunCli({"message", "0x6B", "D:"}).out, "1\n");  // 107 in hex
}

TEST(CliMessages, MissingLanguageModuleIsReported) {
    TempDir dir;
    std::string lonely = dir.File("dravik-cli");
    std::filesystem::copy_file(BuiltCli(), lonely);
    ::chmod(lonely.c_str(), 0755);
    MessageRun run = RunCli({"message", "111"}, {}, lonely);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("liblangres.so could not be loaded"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "1\n");
}

}  // namespace
