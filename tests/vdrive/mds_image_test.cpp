// Alcohol images written by the test writer (tests/support/mds_writer.*):
// a mixed-mode disc and a two-session data disc served block for block
// like the same disc from a cue sheet; mdf2iso and iat, independent
// readers of the .mdf, find the same ISO 9660 data; mangled descriptors
// are refused or stay inside the .mdf.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "raw_sectors.h"
#include "image_test_support.h"
#include "support/mds_writer.h"
#include "support/temp_dir.h"
#include "vdrive/image_loader.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

struct MdsDisc {
    std::vector<MdsTrackSpec> tracks;
    std::string cue;
    std::vector<std::pair<std::string, std::string>> cueFiles;
};

// Track 1: 300 raw Mode 1 blocks with sub-channel data; track 2: audio,
// its 20-block pre-gap stored, 100 blocks; track 3: Mode 2 Form 1 as
// user data, 50 blocks.
MdsDisc MixedMode() {
    MdsDisc d;
    const std::string data = RawSectors(1, 0, 300, 1), audio = RawSectors(0, 0, 120, 2), form1 = RawSectors(2, 420, 50, 3);
    d.tracks.push_back(MdsTrackSpec{1, 0xAA, 2448, true, KeptSectors(data, 0, 2352, 96), 0, 0});
    d.tracks.push_back(MdsTrackSpec{1, 0xA9, 2352, false, audio, 20, 320});
    d.tracks.push_back(MdsTrackSpec{1, 0xAC, 2048, false, KeptSectors(form1, 24, 2048, 0), 0, 420});
    d.cueFiles = {{"disc.bin", data + audio + form1}};
    d.cue = "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
            "    INDEX 00 00:04:00\n    INDEX 01 00:04:20\n  TRACK 03 MODE2/2352\n    INDEX 01 00:05:45\n";
    return d;
}

// Session 1: 300 raw Mode 1 blocks; session 2 from 11700: 150 Mode 1
// blocks as user data, then Mode 2 blocks of 2336 bytes with a stored
// 10-block pre-gap.
MdsDisc TwoSessions() {
    MdsDisc d;
    const std::string first = RawSectors(1, 0, 300, 4), second = RawSectors(1, 11700, 150, 5),
                      third = RawSectors(2, 11850, 60, 6);
    d.tracks.push_back(MdsTrackSpec{1, 0xAA, 2352, false, first, 0, 0});
    d.tracks.push_back(MdsTrackSpec{2, 0xAA, 2048, false, KeptSectors(second, 16, 2048, 0), 150, 11700});
    d.tracks.push_back(MdsTrackSpec{2, 0xAB, 2336, false, KeptSectors(third, 16, 2336, 0), 10, 11860});
    d.cueFiles = {{"one.bin", first}, {"two.bin", second + third}};
    d.cue = "REM SESSION 01\nFILE \"one.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\nREM SESSION 02\n"
            "FILE \"two.bin\" BINARY\n  TRACK 02 MODE1/2352\n    INDEX 01 00:00:00\n  TRACK 03 MODE2/2352\n"
            "    INDEX 00 00:02:00\n    INDEX 01 00:02:10\n";
    return d;
}

std::string MdfOf(const MdsDisc& d) {
    std::string mdf;
    for (const MdsTrackSpec& t : d.tracks) mdf += t.data;
    return mdf;
}

class MdsLikeCue : public ::testing::TestWithParam<bool> {};

TEST_P(MdsLikeCue, ServesTheDiscOfTheCueSheet) {
    TempDir dir;
    const MdsDisc d = GetParam() ? TwoSessions() : MixedMode();
    ExpectImageLikeCue(dir, d.cueFiles, d.cue, {{"disc.mds", WriteMds(d.tracks)}, {"disc.mdf", MdfOf(d)}});
}

INSTANTIATE_TEST_SUITE_P(Discs, MdsLikeCue, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "TwoSessions" : "MixedMode"); });

// mdf2iso and iat find the ISO 9660 volume in the .mdf by themselves;
// the loader, through the descriptor, serves the same blocks.
TEST(MdsImage, IndependentReadersFindTheSameVolume) {
    TempDir dir;
    const std::string iso = GenIsoImage(dir, "ALCOHOL", 9000, 'm');
    if (iso.empty()) GTEST_SKIP() << "genisoimage is not installed";
    const std::string raw = RawMode1Sectors(iso);
    dir.Write("named.mdf", raw);
    dir.Write("disc.mds", WriteMds({MdsTrackSpec{1, 0xAA, 2352, false, raw, 0, 0}}, "named.mdf"));
    for (const char* tool : {"mdf2iso", "iat"}) {
        if (std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) != 0) continue;
        std::filesystem::remove(dir.File("out.iso"));
        const std::string run = "cd '" + dir.path() + "' && " + tool + " named.mdf out.iso >/dev/null 2>&1";
        ASSERT_EQ(std::system(run.c_str()), 0) << run;
        EXPECT_TRUE(dir.Read("out.iso").substr(0, iso.size()) == iso) << tool;
    }
    vdrive::LoadError error;
    auto drive = vdrive::VirtualDrive::Open(dir.File("disc.mds"), error);
    ASSERT_TRUE(drive) << error.Text();
    for (uint32_t block : {16u, uint32_t(iso.size() / 2048 - 1)}) {
        const MmcReply r = SendCdb(*drive, Cdb10(0x28, block, 1), 2048);
        ASSERT_TRUE(r.Good()) << r.SenseText();
        EXPECT_EQ(std::string(r.data.begin(), r.data.end()), iso.substr(block * 2048, 2048)) << block;
    }
}

TEST(MdsImage, MangledDescriptorsAreRefusedOrStayInsideTheFile) {
    TempDir dir;
    const MdsDisc d = TwoSessions();
    dir.Write("bad.mdf", MdfOf(d));
    const std::string good = WriteMds(d.tracks);
    ExpectMangledImagesRefusedOrInside(dir, "bad.mds", {good}, Mangling{0, 300, 3, 15});
}

}  // namespace
