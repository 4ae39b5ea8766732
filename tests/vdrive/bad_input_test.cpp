// Images and descriptions that cannot be served: one clear error naming
// the file and the line, no drive in the table; and the parsers fed with
// random and mangled text (run under the sanitizers).
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/drives/drive_table.h"
#include "support/temp_dir.h"
#include "vdrive/image_loader.h"

using namespace dravik;
using dravik::test::TempDir;

namespace {

void WriteZeros(const std::string& path, size_t bytes) {
    std::ofstream f(path, std::ios::binary);
    std::vector<char> zeros(bytes);
    f.write(zeros.data(), std::streamsize(bytes));
}

struct BadCase {
    const char* name;
    const char* fileName;
    const char* text;
    int line;
    const char* words;  // expected in the message
};

class BadInputTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInputTest, OneErrorNamingFileAndLineAndNoDrive) {
    TempDir dir;
    WriteZeros(dir.File("a.bin"), 2352 * 100);
    WriteZeros(dir.File("short.bin"), 2352 * 10 + 100);
    WriteZeros(dir.File("data.iso"), 2048 * 50);
    WriteZeros(dir.File("x.img"), 2352 * 100);
    const BadCase& c = GetParam();
    const std::string path = dir.Write(c.fileName, c.text);
    vdrive::LoadedImage image;
    vdrive::LoadError error;
    EXPECT_FALSE(vdrive::LoadImage(path, image, error));
    EXPECT_EQ(error.file, path);
    EXPECT_EQ(error.line, c.line) << error.Text();
    EXPECT_NE(error.message.find(c.words), std::string::npos) << error.Text();

    platform::DriveTableSources sources;
    sources.realDrives = false;
    sources.imagePaths = {path};
    platform::DriveTable table = platform::DriveTable::Build(sources);
    EXPECT_TRUE(table.Drives().empty());
    ASSERT_EQ(table.Problems().size(), 1u);
    EXPECT_EQ(table.Problems()[0], error.Text());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputTest,
    ::testing::Values(
        BadCase{"CueMissingFile", "m.cue", "FILE \"nothere.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", 1,
                "nothere.bin"},
        BadCase{"CueWrongMode", "w.cue", "FILE \"a.bin\" BINARY\n  TRACK 01 MODE3/2352\n    INDEX 01 00:00:00\n", 2,
                "MODE3/2352"},
        BadCase{"CueOverlappingTracks", "o.cue",
                "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:50\n  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n",
                5, "overlaps"},
        BadCase{"CueTruncatedFile", "t.cue", "FILE \"short.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n",
                1, "truncated"},
        BadCase{"CueIndexPastEnd", "p.cue",
                "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n",
                5, "truncated"},
        BadCase{"CueNoIndex", "n.cue", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n", 2, "INDEX 01"},
        BadCase{"CueFirstTrackWithoutIndex", "f.cue",
                "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n", 2, "INDEX 01"},
        BadCase{"DescriptionMissingFile", "m.vdisc", "# a disc\ntrack mode1 file gone.iso\n", 2, "gone.iso"},
        BadCase{"DescriptionWrongMode", "w.vdisc", "track mode3 zero length 10\n", 1, "mode3"},
        BadCase{"DescriptionOverlap", "o.vdisc", "track mode1 zero length 100\ntrack mode1 zero start 50 length 10\n", 2,
                "overlaps track 1"},
        BadCase{"DescriptionTruncated", "t.vdisc", "\n\ntrack mode1 file data.iso length 60\n", 3, "truncated"},
        BadCase{"DescriptionUnknownDirective", "u.vdisc", "medium cd-r\nbogus 1\n", 2, "bogus"},
        BadCase{"DescriptionOpenCdRom", "c.vdisc", "medium cd-rom\nsession open\ntrack mode1 zero length 5\n", 0, "cd-r"},
        BadCase{"CcdTruncatedImage", "x.ccd",
                "[CloneCD]\nVersion=3\n[Disc]\nSessions=1\n[Entry 0]\nSession=1\nPoint=0xa2\nPLBA=500\n"
                "[Entry 1]\nSession=1\nPoint=1\nControl=4\nPLBA=0\n",
                5, "truncated"}),
    [](const ::testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

TEST(BadInput, CcdImageIsFoundBesideTheControlFile) {
    TempDir dir;
    const std::string ccd = dir.Write("disc.ccd", "[CloneCD]\nVersion=3\n");
    vdrive::LoadedImage image;
    vdrive::LoadError error;
    EXPECT_FALSE(vdrive::LoadImage(ccd, image, error));
    EXPECT_FALSE(error.message.empty());
}

// Random bytes, and valid texts with bytes changed, fed to every parser.
TEST(ParserFuzz, SurvivesRandomAndMangledText) {
    TempDir dir;
    WriteZeros(dir.File("a.bin"), 2352 * 40);
    WriteZeros(dir.File("disc.img"), 2352 * 40);
    const std::string seeds[] = {
        "REM SESSION 01\nFILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:00:10\n"
        "  TRACK 02 MODE1/2352\n    PREGAP 00:02:00\n    INDEX 01 00:00:20\nREM LEAD-OUT 00:30:00\nREM SESSION 02\n"
        "REM LEAD-IN 00:10:00\nFILE \"a.bin\" BINARY\n  TRACK 03 MODE2/2352\n    INDEX 01 00:00:00\n",
        "[CloneCD]\nVersion=3\n[Disc]\nSessions=1\n[Entry 0]\nSession=1\nPoint=0xa0\nControl=4\nPMin=1\n[Entry 1]\n"
        "Session=1\nPoint=0xa2\nControl=4\nPLBA=40\n[Entry 2]\nSession=1\nPoint=1\nControl=4\nPLBA=0\n[TRACK 1]\nMODE=1\n",
        "vendor X\nmedium cd-r\nsession\ntrack mode1 file a.bin sector 2352 length 10 packet 32\n"
        "session start 20000 open\ntrack audio zero length 5 open free 100\nunreadable 3 4\ntitle 0 \"T\"\n"
        "page 0d 06 00 0d 00 3c 00 4b\n",
    };
    const char* names[] = {"f.cue", "f.ccd", "f.vdisc"};
    std::mt19937 rng(12345);
    int accepted = 0;
    for (int round = 0; round < 600; ++round) {
        const int kind = round % 3;
        std::string text;
        if (round % 2 == 0) {
            text.resize(rng() % 400);
            for (char& ch : text) ch = char(rng() % 3 == 0 ? "\n\":= 0x19A"[rng() % 10] : rng());
        } else {
            text = seeds[kind];
            for (int n = int(rng() % 6) + 1; n > 0; --n) {
                size_t at = rng() % text.size();
                switch (rng() % 3) {
                case 0: text[at] = char(rng()); break;
                case 1: text.erase(at, rng() % 8); break;
                default: text.insert(at, std::to_string(int(rng()) - 1000000)); break;
                }
                if (text.empty()) text = "x";
            }
        }
        vdrive::LoadedImage image;
        vdrive::LoadError error;
        const std::string path = dir.File(names[kind]);
        bool ok = kind == 0   ? vdrive::ParseCue(path, text, image, error)
                  : kind == 1 ? vdrive::ParseCloneCd(path, text, image, error)
                              : vdrive::ParseDescription(path, text, image, error);
        if (ok) {
            ++accepted;
            ASSERT_TRUE(image.disc);
        } else {
            EXPECT_FALSE(error.message.empty());
        }
    }
    // The mangled seeds keep some texts valid, so the layout code runs too.
    EXPECT_GT(accepted, 0);
}

}  // namespace
