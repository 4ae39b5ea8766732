// dravik-cli extract on images made at test time by genisoimage and
// xorriso, and on HFS volumes made with hfsutils (data forks, and resource
// forks as AppleDouble files): the extracted files match the sources byte
// for byte; and the
// damaged cases through a virtual drive: an unreadable block inside a
// file, a file beyond the end of its track, an existing file, exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/hfs_images.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

#define REQUIRE_TOOL(tool)                                                                       \
    if (std::system("command -v " tool " >/dev/null 2>&1") != 0) GTEST_SKIP() << tool " is not installed"

class CliExtractTest : public ::testing::Test {
protected:
    CliRun RunCli(const std::vector<std::string>& args) {
        return test::RunCli(args, {{"DRAVIK_IMAGES", ""}, {"DRAVIK_CONFIG_DIR", config_.path()}});
    }
    void Shell(const std::string& command) {
        ASSERT_EQ(std::system(("cd '" + dir_.path() + "' && " + command).c_str()), 0) << command;
    }
    // A source file of repeatable bytes.
    void AddFile(const std::string& relative, std::size_t size, unsigned seed = 1) {
        const fs::path path = fs::path(dir_.File("src")) / relative;
        fs::create_directories(path.parent_path());
        std::string bytes(size, '\0');
        unsigned state = seed * 977 + static_cast<unsigned>(size);
        for (char& c : bytes) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
        std::ofstream(path, std::ios::binary) << bytes;
        files_[relative] = bytes;
    }
    static std::string ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return "<none>";
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Every source file is in `folder` (names compared without case: plain
    // ISO names are upper case) with the same bytes.
    void ExpectSame(const fs::path& folder, const std::map<std::string, std::string>& files) {
        std::map<std::string, fs::path> found;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            std::string relative = fs::relative(entry.path(), folder).string();
            for (char& c : relative) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            found[relative] = entry.path();
        }
        for (const auto& [name, bytes] : files) {
            std::string upper = name;
            for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            ASSERT_EQ(found.count(upper), 1u) << name << " was not extracted";
            EXPECT_TRUE(ReadFile(found[upper]) == bytes) << name << " differs";
        }
    }
    static std::int32_t Blocks(const std::string& path) { return static_cast<std::int32_t>(fs::file_size(path) / 2048); }

    TempDir dir_;
    TempDir config_;
    std::map<std::string, std::string> files_;
};

TEST_F(CliExtractTest, PlainAndJolietRockRidgeImagesComeOutWhole) {
    REQUIRE_TOOL("genisoimage");
    AddFile("README.TXT", 10000);
    AddFile("DATA/BLOCK.BIN", 2048 * 5);
    AddFile("DATA/EMPTY.TXT", 0);
    AddFile("DATA/DEEP/ER/ONE.TXT", 3333);
    Shell("genisoimage -quiet -V PLAIN -o plain.iso src");
    CliRun run = RunCli({"extract", dir_.File("plain.iso"), "--to", dir_.File("plain")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Summary: 4 written, 0 damaged, 0 missing, 0 kept, 0 failed, 0 not found"),
              std::string::npos) << run.out;
    ExpectSame(dir_.File("plain") + "/PLAIN (Session 1)", files_);

    AddFile("Mixed Case name with spaces.txt", 777);
    AddFile("Ünïcode/long file name that plain ISO cannot hold.data", 4097);
    Shell("genisoimage -quiet -R -J -joliet-long -input-charset utf-8 -V MIXED -o mixed.iso src");
    run = RunCli({"extract", dir_.File("mixed.iso"), "--to", dir_.File("mixed")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    ExpectSame(dir_.File("mixed") + "/MIXED (Session 1)", files_);
}

TEST_F(CliExtractTest, OffsetImageAndBothSessionsOfAMultiSessionImage) {
    REQUIRE_TOOL("genisoimage");
    AddFile("FIRST.TXT", 3000);
    AddFile("OLD/KEEP.TXT", 100);
    Shell("genisoimage -quiet -R -J -V MULTI -o s1.iso src");
    const auto firstFiles = files_;
    const std::int32_t start2 = Blocks(dir_.File("s1.iso")) + 11400;
    AddFile("SECOND.TXT", 5000);
    fs::remove(dir_.File("src/FIRST.TXT"));
    fs::remove_all(dir_.File("src/OLD"));
    files_.erase("FIRST.TXT");
    files_.erase("OLD/KEEP.TXT");
    Shell("genisoimage -quiet -R -J -V MULTI -C 0," + std::to_string(start2) + " -M s1.iso -o s2.iso src");
    dir_.Write("multi.vdisc", "medium cd-r\nsession\ntrack mode1 file s1.iso\nsession start " +
                                  std::to_string(start2) + "\ntrack mode1 file s2.iso\n");
    CliRun run = RunCli({"extract", dir_.File("multi.vdisc"), "--to", dir_.File("multi")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    ExpectSame(dir_.File("multi") + "/MULTI (Session 1)", firstFiles);
    ExpectSame(dir_.File("multi") + "/MULTI (Session 2)", files_);

    // Mastered for block 0 but written as the second track, behind audio.
    Shell("genisoimage -quiet -J -V OFFSET -o offset.iso src");
    dir_.Write("offset.vdisc", "session\ntrack audio zero length 1000\ntrack mode1 file offset.iso start 1200\n");
    run = RunCli({"extract", dir_.File("offset.vdisc"), "--to", dir_.File("offset")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    ExpectSame(dir_.File("offset") + "/OFFSET (Session 1)", files_);
}

// Rock Ridge: a symbolic link comes out as a link with its target as
// written (not followed, even when it points outside), and a zisofs file
// comes out expanded.
TEST_F(CliExtractTest, RockRidgeLinksStayLinksAndZisofsFilesComeOutExpanded) {
    REQUIRE_TOOL("xorriso");
    AddFile("docs/packed.txt", 0);
    std::string text;
    for (int line = 0; text.size() < 100000; ++line) text += "row " + std::to_string(line % 977) + "\n";
    std::ofstream(dir_.File("src/docs/packed.txt"), std::ios::binary) << text;
    files_["docs/packed.txt"] = text;
    AddFile("plain.bin", 5000);
    Shell("ln -s docs/packed.txt src/inside && ln -s /etc/passwd src/outside");
    Shell("xorriso -outdev rr.iso -map src / -set_filter_r --zisofs /docs -- -commit >/dev/null 2>&1");
    CliRun run = RunCli({"extract", dir_.File("rr.iso"), "--to", dir_.File("out")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const fs::path folder = dir_.File("out") + "/ISOIMAGE (Session 1)";
    ExpectSame(folder, files_);
    EXPECT_TRUE(fs::is_symlink(folder / "inside"));
    EXPECT_EQ(fs::read_symlink(folder / "inside").string(), "docs/packed.txt");
    EXPECT_TRUE(fs::is_symlink(folder / "outside"));
    EXPECT_EQ(fs::read_symlink(folder / "outside").string(), "/etc/passwd");
}

TEST_F(CliExtractTest, MultiExtentFileFromXorrisoBeyondTheDisc) {
    REQUIRE_TOOL("xorriso");
    // xorriso splits only files over 4 GiB into extents, and no CD holds
    // one: the image keeps its first 4 MiB (descriptors and directories;
    // xorriso puts the data of both files after that) and both files are
    // reported missing, neither half written.
    AddFile("small.txt", 5000);
    {
        std::ofstream(dir_.File("src/huge.bin")).close();
        fs::resize_file(dir_.File("src/huge.bin"), 4295000000ull);
    }
    Shell("xorriso -as mkisofs -iso-level 3 -R -J -V HUGE -o - src 2>/dev/null | head -c 4194304 > huge.iso");
    CliRun run = RunCli({"extract", dir_.File("huge.iso"), "--to", dir_.File("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("missing   HUGE (Session 1)/huge.bin"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(dir_.File("out/HUGE (Session 1)/huge.bin")));
    EXPECT_NE(run.out.find("missing   HUGE (Session 1)/small.txt"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Summary: 0 written, 0 damaged, 2 missing"), std::string::npos) << run.out;
}

// An image of a failing disc made with ddrescue, its mapfile beside it
// (written here by ddrescuelog from a list of bad blocks): the files that
// cross the areas the map marks bad are reported damaged with exactly
// those blocks, written with zeros there; the others come out whole.
TEST_F(CliExtractTest, DdrescueMapMakesItsBadAreasDamagedBlocks) {
    REQUIRE_TOOL("genisoimage");
    REQUIRE_TOOL("ddrescuelog");
    AddFile("A.BIN", 20 * 2048);
    AddFile("B.BIN", 10 * 2048, 2);
    AddFile("C.TXT", 100);
    Shell("genisoimage -quiet -V RESCUED -o rescued.iso src");
    const CliRun scan = RunCli({"scan", dir_.File("rescued.iso")});
    std::map<std::string, int> start;
    for (const std::string name : {"A.BIN", "B.BIN"}) {
        const std::size_t at = scan.out.find(name + ";1  start ");
        ASSERT_NE(at, std::string::npos) << scan.out;
        start[name] = std::stoi(scan.out.substr(at + name.size() + 10));
    }
    const int a = start["A.BIN"], b = start["B.BIN"];
    Shell("printf '" + std::to_string(a + 3) + "\\n" + std::to_string(a + 4) + "\\n" + std::to_string(b) +
          "\\n' | ddrescuelog -q -b2048 --create-mapfile=-+ - > rescued.map");

    const CliRun run = RunCli({"extract", dir_.File("rescued.iso"), "--to", dir_.File("out")});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("damaged   RESCUED (Session 1)/A.BIN  unreadable blocks " + std::to_string(a + 3) + "-" +
                           std::to_string(a + 4) + ","),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("damaged   RESCUED (Session 1)/B.BIN  unreadable blocks " + std::to_string(b) + ","),
              std::string::npos) << run.out;
    std::string damagedA = files_["A.BIN"], damagedB = files_["B.BIN"];
    damagedA.replace(3 * 2048, 2 * 2048, 2 * 2048, '\0');
    damagedB.replace(0, 2048, 2048, '\0');
    EXPECT_TRUE(ReadFile(dir_.File("out/RESCUED (Session 1)/A.BIN")) == damagedA);
    EXPECT_TRUE(ReadFile(dir_.File("out/RESCUED (Session 1)/B.BIN")) == damagedB);
    EXPECT_EQ(ReadFile(dir_.File("out/RESCUED (Session 1)/C.TXT")), files_["C.TXT"]);
}

// The mapfile named with --map, kept in another folder, wins over one
// beside the image: its two bad areas make exactly the files that cross
// them damaged with those block ranges, and every other file comes out whole.
TEST_F(CliExtractTest, MapGivenOnTheCommandLineMarksItsTwoBadAreas) {
    REQUIRE_TOOL("genisoimage");
    REQUIRE_TOOL("ddrescuelog");
    AddFile("A.BIN", 20 * 2048);
    AddFile("B.BIN", 10 * 2048, 2);
    AddFile("C.BIN", 6 * 2048, 3);
    AddFile("D.TXT", 100);
    Shell("genisoimage -quiet -V RESCUED -o rescued.iso src");
    const CliRun scan = RunCli({"scan", dir_.File("rescued.iso")});
    std::map<std::string, int> start;
    for (const std::string name : {"A.BIN", "B.BIN"}) {
        const std::size_t at = scan.out.find(name + ";1  start ");
        ASSERT_NE(at, std::string::npos) << scan.out;
        start[name] = std::stoi(scan.out.substr(at + name.size() + 10));
    }
    const int a = start["A.BIN"], b = start["B.BIN"];
    // A map beside the image that marks everything read is not used.
    Shell("printf '' | ddrescuelog -q -b2048 --create-mapfile=-+ - > rescued.map");
    Shell("mkdir maps && seq " + std::to_string(a + 5) + " " + std::to_string(a + 9) + " > bad.txt && seq " +
          std::to_string(b + 2) + " " + std::to_string(b + 3) +
          " >> bad.txt && ddrescuelog -q -b2048 --create-mapfile=-+ - < bad.txt > maps/disc.log");

    const CliRun run = RunCli({"--map", dir_.File("maps/disc.log"), "extract", dir_.File("rescued.iso"), "--to",
                               dir_.File("out")});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("damaged   RESCUED (Session 1)/A.BIN  unreadable blocks " + std::to_string(a + 5) + "-" +
                           std::to_string(a + 9) + ","),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("damaged   RESCUED (Session 1)/B.BIN  unreadable blocks " + std::to_string(b + 2) + "-" +
                           std::to_string(b + 3) + ","),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Summary: 2 written, 2 damaged, 0 missing"), std::string::npos) << run.out;
    std::string damagedA = files_["A.BIN"], damagedB = files_["B.BIN"];
    damagedA.replace(5 * 2048, 5 * 2048, 5 * 2048, '\0');
    damagedB.replace(2 * 2048, 2 * 2048, 2 * 2048, '\0');
    EXPECT_TRUE(ReadFile(dir_.File("out/RESCUED (Session 1)/A.BIN")) == damagedA);
    EXPECT_TRUE(ReadFile(dir_.File("out/RESCUED (Session 1)/B.BIN")) == damagedB);
    EXPECT_TRUE(ReadFile(dir_.File("out/RESCUED (Session 1)/C.BIN")) == files_["C.BIN"]);
    EXPECT_EQ(ReadFile(dir_.File("out/RESCUED (Session 1)/D.TXT")), files_["D.TXT"]);

    // --map wants a file, once, and an image target.
    EXPECT_EQ(RunCli({"extract", dir_.File("rescued.iso"), "--to", dir_.File("o"), "--map"}).status, 2);
    EXPECT_EQ(RunCli({"--map", "x.map", "--map", "y.map", "scan", dir_.File("rescued.iso")}).status, 2);
    EXPECT_EQ(RunCli({"--map", dir_.File("maps/disc.log"), "scan", "D:"}).status, 2);
    const CliRun missing = RunCli({"--map", dir_.File("maps/none.map"), "scan", dir_.File("rescued.iso")});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("none.map"), std::string::npos) << missing.err;
}

TEST_F(CliExtractTest, UnreadableBlockMissingFileExistingFileAndPaths) {
    REQUIRE_TOOL("genisoimage");
    AddFile("A.BIN", 20 * 2048);
    AddFile("B.TXT", 100);
    Shell("genisoimage -quiet -V BAD -o bad.iso src");
    // Where A.BIN lies, from the tree.
    dir_.Write("probe.vdisc", "track mode1 file bad.iso\n");
    CliRun scan = RunCli({"scan", dir_.File("probe.vdisc")});
    const std::size_t at = scan.out.find("A.BIN;1  start ");
    ASSERT_NE(at, std::string::npos) << scan.out;
    const int start = std::stoi(scan.out.substr(at + 15));
    dir_.Write("bad.vdisc", "track mode1 file bad.iso\nunreadable " + std::to_string(start + 3) + " " +
                                std::to_string(start + 4) + "\n");

    CliRun run = RunCli({"extract", dir_.File("bad.vdisc"), "--to", dir_.File("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("damaged   BAD (Session 1)/A.BIN  unreadable blocks " + std::to_string(start + 3) + "-" +
                           std::to_string(start + 4)),
              std::string::npos) << run.out;
    std::string expected = files_["A.BIN"];
    expected.replace(3 * 2048, 2 * 2048, 2 * 2048, '\0');
    EXPECT_TRUE(ReadFile(dir_.File("out/BAD (Session 1)/A.BIN")) == expected);
    EXPECT_EQ(ReadFile(dir_.File("out/BAD (Session 1)/B.TXT")), files_["B.TXT"]);

    // Again: both exist and are kept; one path only, with overwrite.
    run = RunCli({"extract", dir_.File("bad.vdisc"), "--to", dir_.File("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Summary: 0 written, 0 damaged, 0 missing, 2 kept"), std::string::npos) << run.out;
    std::ofstream(dir_.File("out/BAD (Session 1)/B.TXT")) << "changed";
    run = RunCli({"extract", dir_.File("bad.vdisc"), "--to", dir_.File("out"), "--overwrite", "B.TXT;1"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(ReadFile(dir_.File("out/BAD (Session 1)/B.TXT")), files_["B.TXT"]);
    run = RunCli({"extract", dir_.File("bad.vdisc"), "--to", dir_.File("out"), "NOPE.TXT"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("not found NOPE.TXT"), std::string::npos) << run.out;

    // The image cut short: B.TXT's data lies beyond the track.
    const std::int32_t bStart = std::stoi(scan.out.substr(scan.out.find("B.TXT;1  start ") + 15));
    const std::int32_t aEnd = start + 20;
    if (bStart > aEnd) {
        fs::resize_file(dir_.File("bad.iso"), std::uint64_t(bStart) * 2048);
        dir_.Write("short.vdisc", "track mode1 file bad.iso\n");
        run = RunCli({"extract", dir_.File("short.vdisc"), "--to", dir_.File("short")});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("missing   BAD (Session 1)/B.TXT;1"), std::string::npos) << run.out;
        EXPECT_FALSE(fs::exists(dir_.File("short/BAD (Session 1)/B.TXT")));
        EXPECT_EQ(ReadFile(dir_.File("short/BAD (Session 1)/A.BIN")), files_["A.BIN"]);
    }
}

TEST_F(CliExtractTest, UsageErrors) {
    EXPECT_EQ(RunCli({"extract", "x.iso"}).status, 2);
    EXPECT_EQ(RunCli({"extract", "--to", dir_.File("o")}).status, 2);
    EXPECT_EQ(RunCli({"extract", "x.iso", "--to", dir_.File("o"), "--bogus"}).status, 2);
    EXPECT_EQ(RunCli({"extract", dir_.File("none.iso"), "--to", dir_.File("o")}).status, 3);
}

TEST_F(CliExtractTest, TheSampleDiscShowsBothSessions) {
    CliRun run = RunCli({"make-demo", dir_.File("demo")});
    ASSERT_EQ(run.status, 0) << run.err;
    run = RunCli({"scan", dir_.File("demo/sample.vdisc")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("HOLIDAY_2024 (Session 1)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("HOLIDAY_2024 (Session 2)"), std::string::npos);
    EXPECT_NE(run.out.find("IMG_0003.JPG;1"), std::string::npos);
    EXPECT_NE(run.out.find("SUMMARY.TXT;1"), std::string::npos);
    run = RunCli({"extract", dir_.File("demo/sample.vdisc"), "--to", dir_.File("rec")});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(fs::exists(dir_.File("rec/HOLIDAY_2024 (Session 1)/NOTES/TODO.TXT")));
    EXPECT_FALSE(fs::exists(dir_.File("rec/HOLIDAY_2024 (Session 2)/NOTES")));
    EXPECT_EQ(ReadFile(dir_.File("rec/HOLIDAY_2024 (Session 1)/PHOTOS/IMG_0001.JPG")),
              ReadFile(dir_.File("rec/HOLIDAY_2024 (Session 2)/PHOTOS/IMG_0001.JPG")));
}

TEST_F(CliExtractTest, HfsFilesComeOutWithTheirResourceForksOnRequest) {
    if (!HaveTools({"hformat", "hmount", "hcopy", "hmkdir", "humount"}))
        GTEST_SKIP() << "hfsutils (hformat, hcopy, hmount...) is not installed";
    const std::string resource = PatternContent("resource", 1300);
    {
        HfsVolumeMaker maker(dir_, "mac.iso", 1600, "Mac Disc");
        maker.Folder(":Letters");
        maker.File(":Letters:Plain", PatternContent("plain", 9000));
        maker.MacFile(":Letters:Memo", PatternContent("memo", 2500), resource, "TEXT", "ttxt");
        maker.File(":Empty", "");
        maker.Finish();
        ASSERT_TRUE(maker.ok()) << maker.error();
    }
    const std::string image = dir_.File("mac.iso");

    const CliRun scan = RunCli({"scan", "--json", image});
    ASSERT_EQ(scan.status, 0) << scan.err;
    EXPECT_NE(scan.out.find("\"name\":\"Memo\",\"start\":"), std::string::npos) << scan.out;
    EXPECT_NE(scan.out.find("\"rsize\":1300,\"type\":\"TEXT\",\"creator\":\"ttxt\""), std::string::npos) << scan.out;

    const CliRun run = RunCli({"extract", image, "--to", dir_.File("out"), "--resource-forks"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const fs::path track = fs::path(dir_.File("out")) / "Mac Disc (Session 1)";
    EXPECT_EQ(ReadFile(track / "Letters" / "Plain"), PatternContent("plain", 9000));
    EXPECT_EQ(ReadFile(track / "Letters" / "Memo"), PatternContent("memo", 2500));
    EXPECT_EQ(ReadFile(track / "Empty"), "");
    const std::string appleDouble = ReadFile(track / "Letters" / "._Memo");
    ASSERT_GT(appleDouble.size(), 82u);
    EXPECT_EQ(appleDouble.substr(50, 8), "TEXTttxt");
    EXPECT_EQ(appleDouble.substr(appleDouble.size() - resource.size()), resource);

    // Without the option no companion file is written.
    const CliRun plain = RunCli({"extract", image, "--to", dir_.File("plain")});
    EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
    EXPECT_FALSE(fs::exists(fs::path(dir_.File("plain")) / "Mac Disc (Session 1)" / "Letters" / "._Memo"));
}

}  // namespace
}  // namespace dravik::test
