#include <sys/stat.h>

#include <thread>
#include <vector>

#include "log_fixture.h"
#include "program/diag/debug_log.h"
#include "program/diag/debug_switches.h"
#include "program/diag/hex_dump.h"
#include "program/diag/version_banner.h"

namespace dravik::test {
namespace {

using diag::DebugDump;
using diag::DebugDumpSector;
using diag::DebugPrint;

class DebugLogTest : public LogFixture {};

const std::string kZeroLine =
    "0000 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  |................|";

TEST_F(DebugLogTest, FortyZeroBytesGiveThreeLinesAfterTheBanner) {
    unsigned char zeros[40] = {};
    DebugDump(zeros, 40, "Zeros");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "");  // every dump starts after an empty line
    ASSERT_TRUE(HasTimeStamp(lines[1]));
    EXPECT_EQ(lines[1].substr(13), "--------- Zeros ---------");
    EXPECT_EQ(lines[2], kZeroLine);
    EXPECT_EQ(lines[2].size(), 72u);
    EXPECT_EQ(lines[3], "---------- Omitted lines same as above ----------");
    EXPECT_EQ(lines[4], "0020 00 00 00 00 00 00 00 00                          |........|");
}

TEST_F(DebugLogTest, LengthZeroOrNegativeDumps256Bytes) {
    unsigned char data[256];
    for (int i = 0; i < 256; ++i) data[i] = static_cast<unsigned char>(i);
    DebugDump(data, 0, "Default");
    DebugDump(data, -5, "Negative");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u * (2 + 16));
    EXPECT_EQ(lines[17].substr(0, 4), "00F0");
    EXPECT_EQ(lines[17], "00F0 f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff  |................|");
    EXPECT_EQ(lines[2 + 18 + 15].substr(0, 4), "00F0");
}

TEST_F(DebugLogTest, CharacterColumnShowsPrintableBytesUpTo0x7F) {
    unsigned char data[16] = {'A', 'z', ' ', '~', 0x7F, 0x80, 0x1F, 0x00, 'x', 'y', '0', '9', '|', '.', 0xFF, 'Q'};
    DebugDump(data, 16, "Chars");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "0000 41 7a 20 7e 7f 80 1f 00 78 79 30 39 7c 2e ff 51  |Az ~\x7f...xy09|..Q|");
}

TEST_F(DebugLogTest, RunsOfEqualLinesFoldIntoOneOmissionLineEach) {
    std::vector<unsigned char> data(16 * 7, 1);
    // lines: 1 1 1 2 2 1 1 -> 1, omitted, 2, omitted, 1, omitted
    for (int i = 48; i < 80; ++i) data[i] = 2;
    auto lines = diag::FormatHexDumpLines(data.data(), data.size());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].substr(0, 4), "0000");
    EXPECT_EQ(lines[1], diag::kOmittedLine);
    EXPECT_EQ(lines[2].substr(0, 4), "0030");
    EXPECT_EQ(lines[3], diag::kOmittedLine);
    EXPECT_EQ(lines[4].substr(0, 4), "0050");
    EXPECT_EQ(lines[5], diag::kOmittedLine);
}

TEST_F(DebugLogTest, DumpsAreCutAt8192Bytes) {
    std::vector<unsigned char> data(10000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i / 16);
    DebugDump(data.data(), static_cast<int>(data.size()), "Long");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u + 512);
    EXPECT_EQ(lines.back().substr(0, 4), "1FF0");
}

TEST_F(DebugLogTest, SectorDumpHasItsBannerAndAlways2048Bytes) {
    std::vector<unsigned char> sector(2048);
    for (std::size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<unsigned char>(i / 16);
    DebugDumpSector(sector.data(), 17, "ISO Directory");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u + 128);
    EXPECT_EQ(lines[1].substr(13), "--------- Sector 17: ISO Directory ---------");
    EXPECT_EQ(lines.back().substr(0, 4), "07F0");
}

TEST_F(DebugLogTest, PrintWritesOneTimeStampedLineFormattedLikePrintf) {
    DebugPrint("Track %d at %08x: %s %c%-3s|", 3, 0x1f, "data", 'X', "ab");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_TRUE(HasTimeStamp(lines[0]));
    EXPECT_EQ(lines[0].substr(13), "Track 3 at 0000001f: data Xab |");
}

TEST_F(DebugLogTest, LinesLongerThan600CharactersAreCut) {
    std::string longText(1000, 'x');
    DebugPrint("%s", longText.c_str());
    // A multi-byte character straddling the limit is dropped whole.
    std::string utf8(586, 'y');
    utf8 += "\xC3\xA9\xC3\xA9";  // two 2-byte characters across column 600
    DebugPrint("%s", utf8.c_str());
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), diag::kMaxLogLine);
    EXPECT_EQ(lines[1].size(), 13u + 586);
    EXPECT_EQ(lines[1].find('\xC3'), std::string::npos);
}

TEST_F(DebugLogTest, EntriesAppendAcrossCalls) {
    DebugPrint("first");
    DebugPrint("second");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(13), "first");
    EXPECT_EQ(lines[1].substr(13), "second");
}

TEST_F(DebugLogTest, UnopenableLogDropsEntriesAndReleasesTheLock) {
    diag::SetLogPath(dir_.File("missing-folder/test.DBG"));
    DebugPrint("lost");
    unsigned char bytes[4] = {};
    DebugDump(bytes, 4, "lost too");
    ASSERT_TRUE(diag::LogLock.try_lock());  // not left held
    diag::LogLock.unlock();
    struct stat info {};
    EXPECT_NE(::stat(dir_.File("missing-folder").c_str(), &info), 0);
}

// Each thread dumps four lines of its own bytes; another thread's lines or
// banner inside a dump would break the banner + four lines pattern.
TEST_F(DebugLogTest, TwoThreadsNeverInterleaveWithinAnEntry) {
    constexpr int kEntries = 150;
    auto worker = [](char base, const char* title) {
        unsigned char data[64];
        for (int i = 0; i < 64; ++i) data[i] = static_cast<unsigned char>(base + i / 16);
        for (int n = 0; n < kEntries; ++n) {
            DebugDump(data, 64, title);
            DebugPrint("line from %s", title);
        }
    };
    std::thread first(worker, 'A', "upper");
    std::thread second(worker, 'a', "lower");
    first.join();
    second.join();

    auto lines = LogLines();
    int dumps = 0, prints = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) {
            ASSERT_LT(i + 5, lines.size() + 0) << "a dump was cut short at line " << i;
            std::string banner = lines[i + 1].substr(13);
            char base = banner == "--------- upper ---------" ? 'A' : 'a';
            ASSERT_TRUE(banner == "--------- upper ---------" || banner == "--------- lower ---------") << banner;
            for (int row = 0; row < 4; ++row) {
                const std::string& hex = lines[i + 2 + row];
                ASSERT_EQ(hex.size(), 72u) << "line " << i + 2 + row << ": " << hex;
                EXPECT_EQ(hex.substr(55, 16), std::string(16, static_cast<char>(base + row)));
            }
            ++dumps;
            i += 5;
        } else {
            ASSERT_TRUE(HasTimeStamp(lines[i])) << lines[i];
            std::string text = lines[i].substr(13);
            ASSERT_TRUE(text == "line from upper" || text == "line from lower") << text;
            ++prints;
        }
    }
    EXPECT_EQ(dumps, 2 * kEntries);
    EXPECT_EQ(prints, 2 * kEntries);
}

TEST_F(DebugLogTest, VersionBannerNamesTheProgramAndTheToolkit) {
    diag::WriteVersionBanner();
    diag::SetWidgetToolkitVersion("Qt 6.4.2");
    diag::WriteVersionBanner();
    diag::SetWidgetToolkitVersion("");
    auto lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(diag::ProgramVersionText(), DRAVIK_TEST_PROJECT_VERSION);
    EXPECT_EQ(lines[0], std::string("Program Version: ") + DRAVIK_TEST_PROJECT_VERSION);
    EXPECT_EQ(lines[1], "No widget toolkit is loaded");
    EXPECT_EQ(lines[3], "Widget toolkit version = Qt 6.4.2");
}

TEST(LogPathTest, ReplacesOrAddsTheExtensionBesideTheProgramWhenWritable) {
    TempDir dir;
    EXPECT_EQ(diag::LogPathForProgram(dir.File("dravik")), dir.File("dravik.DBG"));
    EXPECT_EQ(diag::LogPathForProgram(dir.File("tool.bin")), dir.File("tool.DBG"));
    // A dot in a folder name is not an extension.
    ::mkdir(dir.File("v1.2").c_str(), 0755);
    EXPECT_EQ(diag::LogPathForProgram(dir.File("v1.2/dravik")), dir.File("v1.2/dravik.DBG"));
    EXPECT_EQ(diag::LogPathForProgram(""), "DRAVIK.DBG");
}

TEST(LogPathTest, UsesTheStateFolderWhenTheProgramFolderIsNotWritable) {
    TempDir dir;
    // A folder that does not exist is not writable, even for root.
    EXPECT_EQ(diag::LogPathForProgram(dir.File("gone/dravik"), dir.File("state")),
              dir.File("state/dravik/dravik.DBG"));
    struct stat info {};
    EXPECT_EQ(::stat(dir.File("state/dravik").c_str(), &info), 0);
}

TEST(DebugSwitchTest, NumberAfterDIsReadAsBits) {
    auto bare = diag::ParseDebugSwitch("");
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->debugMode);
    EXPECT_FALSE(bare->logWriteThrough || bare->trackAllocations);

    auto five = diag::ParseDebugSwitch("5");
    ASSERT_TRUE(five);
    EXPECT_TRUE(five->debugMode && five->trackAllocations);
    EXPECT_FALSE(five->logWriteThrough);

    auto eight = diag::ParseDebugSwitch("8");
    ASSERT_TRUE(eight);
    EXPECT_FALSE(eight->debugMode || eight->logWriteThrough || eight->trackAllocations);

    for (const char* bad : {"16", "3a", "0", "x", "-1", "100", "15 "}) EXPECT_FALSE(diag::ParseDebugSwitch(bad)) << bad;
}

TEST(DllVersionTest, ReadsTheVersionRecordOfAModule) {
    const char* build = std::getenv("DRAVIK_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    std::string module = std::string(build) + "/bin/liblangres.so";
    unsigned long version = diag::GetDllVersion(module.c_str());
    EXPECT_NE(version, 0ul);
    std::string text = std::to_string(version / 65536) + "." + std::to_string(version % 65536);
    EXPECT_EQ(std::string(DRAVIK_TEST_PROJECT_VERSION).rfind(text + ".", 0), 0u) << text;

    EXPECT_EQ(diag::GetDllVersion("libdravik-no-such-module.so"), 0ul);
    EXPECT_EQ(diag::GetDllVersion("libc.so.6"), 0ul);  // loads, but has no version export
    EXPECT_EQ(diag::GetDllVersion(nullptr), 0ul);
}

}  // namespace
}  // namespace dravik::test
