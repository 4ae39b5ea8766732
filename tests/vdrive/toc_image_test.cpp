// cdrdao .toc images: served like the cue sheet toc2cue (cdrdao's own
// converter, an independent reader) makes of them; the block layouts
// toc2cue cannot convert (2336-byte Mode 2, 2048-byte Form 1, sub-channel
// after each block) served like the same sectors in a raw cue image; and
// bad or mangled files refused with their line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

#include "raw_sectors.h"
#include "same_disc.h"
#include "support/temp_dir.h"
#include "vdrive/image_loader.h"
#include "vdrive/sector_codec.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

std::unique_ptr<vdrive::VirtualDrive> Open(const std::string& path) {
    vdrive::LoadError error;
    auto drive = vdrive::VirtualDrive::Open(path, error);
    EXPECT_TRUE(drive) << error.Text();
    return drive;
}

struct TocCase {
    const char* name;
    const char* toc;
};

// The image "disc.bin": 300 Mode 1 blocks, then 100 blocks of audio.
const TocCase kConvertible[] = {
    {"MixedModeAsReadCdWritesIt",
     "CD_ROM\n\n// Track 1\nTRACK MODE1_RAW\nNO COPY\nDATAFILE \"disc.bin\" 00:04:00 // length in bytes: 705600\n\n"
     "// Track 2\nTRACK AUDIO\nNO COPY\nNO PRE_EMPHASIS\nTWO_CHANNEL_AUDIO\nFILE \"disc.bin\" #705600 0 00:00:60\n"
     "START 00:00:20\n\n// Track 3\nTRACK AUDIO\nCOPY\nFILE \"disc.bin\" #705600 00:00:60\nSTART 00:00:10\nINDEX 00:00:05\n"},
    {"PregapOfZerosNotInTheFile",
     "TRACK MODE1_RAW\nDATAFILE \"disc.bin\" 00:04:00\nTRACK AUDIO\nPREGAP 00:02:00\n"
     "FILE \"disc.bin\" #705600 0\n"},
    {"LengthsInBytesAndSamples",
     "TRACK MODE1_RAW\nDATAFILE \"disc.bin\" 705600\nTRACK AUDIO\nFILE \"disc.bin\" 176400 14700\n"
     "TRACK AUDIO\nAUDIOFILE \"disc.bin\" 191100\n"},
    {"PlainImageOfUserData", "CD_ROM\nTRACK MODE1\nDATAFILE \"user.iso\"\n"},
};

class TocLikeToc2cue : public ::testing::TestWithParam<TocCase> {};

TEST_P(TocLikeToc2cue, ServesTheDiscOfTheCueSheet) {
    if (std::system("command -v toc2cue >/dev/null 2>&1") != 0) GTEST_SKIP() << "toc2cue is not installed";
    TempDir dir;
    dir.Write("disc.bin", RawSectors(1, 0, 300, 1) + RawSectors(0, 300, 100, 2));
    std::string user;
    for (int i = 0; i < 200; ++i) user += std::string(2048, char('a' + i % 26));
    dir.Write("user.iso", user);
    const std::string toc = dir.Write("disc.toc", GetParam().toc);
    // toc2cue finds the data files from the folder it runs in.
    const std::string command = "cd '" + dir.path() + "' && toc2cue disc.toc disc.cue >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    auto fromCue = Open(dir.File("disc.cue"));
    auto fromToc = Open(toc);
    ASSERT_TRUE(fromCue && fromToc);
    ExpectSameDisc(*fromCue, *fromToc);
}

INSTANTIATE_TEST_SUITE_P(Cases, TocLikeToc2cue, ::testing::ValuesIn(kConvertible),
                         [](const auto& info) { return std::string(info.param.name); });

// Each block layout of a data file against the same 120 sectors as
// 2352-byte blocks of a cue image.
struct LayoutCase {
    const char* name;
    int sectorMode;     // 1 Mode 1, 2 Mode 2 Form 1
    const char* track;  // the TRACK line
    size_t from, bytes;  // of each raw sector kept in the file
    size_t subchannel;   // bytes after each block
};

const LayoutCase kLayouts[] = {
    {"Mode2WithoutSyncAndHeader", 2, "TRACK MODE2", 16, 2336, 0},
    {"Mode2FormMix", 2, "TRACK MODE2_FORM_MIX", 16, 2336, 0},
    {"Mode2Form1UserData", 2, "TRACK MODE2_FORM1", 24, 2048, 0},
    {"Mode1UserDataWithSubchannel", 1, "TRACK MODE1 RW", 16, 2048, 96},
    {"RawWithRawSubchannel", 1, "TRACK MODE1_RAW RW_RAW", 0, 2352, 96},
    {"Mode2RawWithSubchannel", 2, "TRACK MODE2_RAW RW", 0, 2352, 96},
};

class TocBlockLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(TocBlockLayouts, ServeTheSameSectorsAsARawImage) {
    const LayoutCase& c = GetParam();
    TempDir dir;
    const std::string raw = RawSectors(c.sectorMode, 0, 120, 7);
    dir.Write("raw.bin", raw);
    dir.Write("raw.cue", std::string("FILE \"raw.bin\" BINARY\n  TRACK 01 ") +
                             (c.sectorMode == 1 ? "MODE1/2352" : "MODE2/2352") + "\n    INDEX 01 00:00:00\n");
    std::string kept;
    for (size_t at = 0; at < raw.size(); at += 2352) kept += raw.substr(at + c.from, c.bytes) + std::string(c.subchannel, '\x55');
    dir.Write("kept.bin", kept);
    const std::string toc = dir.Write("kept.toc", std::string(c.sectorMode == 2 ? "CD_ROM_XA\n" : "") + c.track +
                                                      "\nDATAFILE \"kept.bin\"\n");
    auto fromCue = Open(dir.File("raw.cue"));
    auto fromToc = Open(toc);
    ASSERT_TRUE(fromCue && fromToc);
    ExpectSameDisc(*fromCue, *fromToc);
}

INSTANTIATE_TEST_SUITE_P(Cases, TocBlockLayouts, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadToc {
    const char* name;
    const char* text;
    int line;
    const char* words;
};

const BadToc kBad[] = {
    {"NoTracks", "CD_ROM\n// nothing\n", 0, "no tracks"},
    {"DataBeforeTrack", "CD_ROM\nDATAFILE \"a.bin\"\n", 2, "before the first TRACK"},
    {"UnknownMode", "TRACK MODE3\n", 1, "unknown track mode"},
    {"Form2", "TRACK AUDIO\nFILE \"a.bin\" 0\nTRACK MODE2_FORM2\n", 3, "not supported"},
    {"MissingFile", "TRACK AUDIO\nFILE \"none.bin\" 0\n", 2, "none.bin"},
    {"UnquotedName", "TRACK AUDIO\nFILE a.bin 0\n", 2, "double quotes"},
    {"LongerThanTheFile", "TRACK AUDIO\nFILE \"a.bin\" 0 01:00:00\n", 2, "truncated"},
    {"OffsetPastTheEnd", "TRACK MODE1\nDATAFILE \"a.bin\" #9999999\n", 2, "ends before"},
    {"StartBehindTheData", "TRACK AUDIO\nFILE \"a.bin\" 0 00:00:10\nSTART 00:00:20\n", 3, "pre-gap is longer"},
    {"OnlyAPregap", "TRACK AUDIO\nFILE \"a.bin\" 0 00:00:10\nSTART\n", 1, "holds no blocks"},
    {"BadTime", "TRACK AUDIO\nFILE \"a.bin\" 0 00:99:00\n", 2, "bad time"},
    {"UnclosedQuote", "TRACK AUDIO\nFILE \"a.bin 0\n", 2, "not closed"},
    {"UnclosedCdText", "CD_TEXT {\n LANGUAGE_MAP { 0 : EN }\n", 1, "not closed"},
    {"Fifo", "TRACK AUDIO\nFIFO \"/tmp/f\" 00:01:00\n", 2, "FIFO"},
    {"UnknownStatement", "TRACK AUDIO\nFILE \"a.bin\" 0\nSHUFFLE\n", 3, "unknown statement"},
};

class TocBadInput : public ::testing::TestWithParam<BadToc> {};

TEST_P(TocBadInput, OneErrorNamingFileAndLine) {
    TempDir dir;
    dir.Write("a.bin", std::string(2352 * 30, '\0'));
    const std::string path = dir.Write("bad.toc", GetParam().text);
    vdrive::LoadedImage image;
    vdrive::LoadError error;
    EXPECT_FALSE(vdrive::LoadImage(path, image, error));
    EXPECT_EQ(error.file, path);
    EXPECT_EQ(error.line, GetParam().line) << error.Text();
    EXPECT_NE(error.message.find(GetParam().words), std::string::npos) << error.Text();
}

INSTANTIATE_TEST_SUITE_P(Cases, TocBadInput, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.name); });

// Mangled toc files: no crash under the sanitizers, and every area of an
// accepted disc lies inside its file.
TEST(TocFuzz, MangledFilesAreRefusedOrStayInsideTheirData) {
    TempDir dir;
    dir.Write("a.bin", std::string(2352 * 40, '\1'));
    const std::string seed =
        "CD_ROM_XA\nCATALOG \"0000000000000\"\nCD_TEXT { LANGUAGE_MAP { 0 : EN } LANGUAGE 0 { TITLE \"x\" } }\n"
        "TRACK MODE1_RAW RW\nDATAFILE \"a.bin\" #100 00:00:20\nZERO MODE1 00:00:02\nTRACK AUDIO\nPREGAP 00:00:03\n"
        "FILE \"a.bin\" #2352 0 5880\nINDEX 00:00:01\nTRACK MODE2\nSILENCE 10\nDATAFILE \"a.bin\" 2336\n";
    std::mt19937 rng(27);
    int accepted = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string text = seed;
        for (int n = int(rng() % 5) + 1; n > 0; --n) {
            const size_t at = rng() % text.size();
            switch (rng() % 4) {
            case 0: text[at] = char(rng()); break;
            case 1: text.erase(at, rng() % 12); break;
            case 2: text.insert(at, std::to_string(int(rng() % 2000000) - 1000)); break;
            default: text.insert(at, std::string(1, "\"{}#:/ \n"[rng() % 8])); break;
            }
            if (text.empty()) text = "T";
        }
        vdrive::LoadedImage image;
        vdrive::LoadError error;
        if (!vdrive::ParseToc(dir.File("f.toc"), text, image, error)) {
            EXPECT_FALSE(error.message.empty());
            continue;
        }
        ++accepted;
        for (const vdrive::Area& a : image.disc->areas) {
            if (!a.file) continue;
            ASSERT_GT(a.count, 0);
            EXPECT_LE(a.OffsetOf(a.End() - 1) + a.sectorSize, a.file->Size()) << text;
        }
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace
