// Nero images written by the test writer (tests/support/nrg_writer.*):
// a mixed-mode disc and a two-session data disc, in the old and the NER5
// form, recorded disc-at-once and track-at-once, each served block for
// block like the same disc from a cue sheet; iat, an independent reader,
// finds the same ISO 9660 data in a written image; mangled footers and
// chunks are refused or stay inside the file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "raw_sectors.h"
#include "image_test_support.h"
#include "support/nrg_writer.h"
#include "support/temp_dir.h"
#include "vdrive/image_loader.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

struct Disc {
    std::vector<NrgTrackSpec> tracks;
    std::string bin, bin2, cue;  // the cue image's files
};

// Track 1: 300 raw Mode 1 blocks; track 2: audio with a 20-block pre-gap
// in the file (disc-at-once only), 100 blocks after it; track 3: audio with
// sub-channel data, 60 blocks.
Disc MixedMode(bool trackAtOnce) {
    Disc d;
    const std::string data = RawSectors(1, 0, 300, 1), audio = RawSectors(0, 0, 120, 2), more = RawSectors(0, 0, 60, 3);
    const int32_t gap = trackAtOnce ? 0 : 20;
    const std::string audioKept = audio.substr(size_t(20 - gap) * 2352);
    d.tracks.push_back(NrgTrackSpec{1, 0x05, 2352, data, 0, 0, false});
    d.tracks.push_back(NrgTrackSpec{1, 0x07, 2352, audioKept, gap, 300 + gap, true});
    d.tracks.push_back(NrgTrackSpec{1, 0x10, 2448, KeptSectors(more, 0, 2352, 96), 0, trackAtOnce ? 400 : 420, true});
    d.bin = data + audioKept + more;
    d.cue = "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n" +
            std::string(trackAtOnce ? "" : "    INDEX 00 00:04:00\n") + "    INDEX 01 00:04:" + (trackAtOnce ? "00" : "20") +
            "\n  TRACK 03 AUDIO\n    INDEX 01 00:05:" + (trackAtOnce ? "25" : "45") + "\n";
    return d;
}

// Session 1: 300 raw Mode 1 blocks; session 2 from block 11700: 150
// Mode 1 blocks kept as user data, then 50 Mode 2 blocks kept without
// sync and header. Disc-at-once images give session 2 the usual 150-block
// pre-gap; track-at-once images say nothing of it, so the cue sheet puts
// it into the lead-in.
Disc TwoSessions(bool trackAtOnce) {
    Disc d;
    const std::string first = RawSectors(1, 0, 300, 4), second = RawSectors(1, 11700, 150, 5),
                      third = RawSectors(2, 11850, 50, 6);
    d.tracks.push_back(NrgTrackSpec{1, 0x05, 2352, first, 0, 0, false});
    d.tracks.push_back(NrgTrackSpec{2, 0x00, 2048, KeptSectors(second, 16, 2048, 0), 0, 11700, false});
    d.tracks.push_back(NrgTrackSpec{2, 0x03, 2336, KeptSectors(third, 16, 2336, 0), 0, 11850, false});
    d.bin = first;
    d.bin2 = second + third;
    d.cue = "REM SESSION 01\nFILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\nREM SESSION 02\n" +
            std::string(trackAtOnce ? "REM LEAD-IN 01:02:00\nREM PREGAP 00:00:00\n" : "") +
            "FILE \"disc2.bin\" BINARY\n  TRACK 02 MODE1/2352\n    INDEX 01 00:00:00\n  TRACK 03 MODE2/2352\n"
            "    INDEX 01 00:02:00\n";
    return d;
}

struct NrgCase {
    const char* name;
    NrgForm form;
    NrgRecording recording;
    bool twoSessions;
};

const NrgCase kCases[] = {
    {"MixedModeOldDao", NrgForm::kOld, NrgRecording::kDiscAtOnce, false},
    {"MixedModeNer5Dao", NrgForm::kNer5, NrgRecording::kDiscAtOnce, false},
    {"MixedModeOldTao", NrgForm::kOld, NrgRecording::kTrackAtOnce, false},
    {"MixedModeNer5Tao", NrgForm::kNer5, NrgRecording::kTrackAtOnce, false},
    {"TwoSessionsOldDao", NrgForm::kOld, NrgRecording::kDiscAtOnce, true},
    {"TwoSessionsNer5Dao", NrgForm::kNer5, NrgRecording::kDiscAtOnce, true},
    {"TwoSessionsOldTao", NrgForm::kOld, NrgRecording::kTrackAtOnce, true},
    {"TwoSessionsNer5Tao", NrgForm::kNer5, NrgRecording::kTrackAtOnce, true},
};

class NrgLikeCue : public ::testing::TestWithParam<NrgCase> {};

TEST_P(NrgLikeCue, ServesTheDiscOfTheCueSheet) {
    const NrgCase& c = GetParam();
    const bool tao = c.recording == NrgRecording::kTrackAtOnce;
    TempDir dir;
    Disc d = c.twoSessions ? TwoSessions(tao) : MixedMode(tao);
    NamedFiles cueFiles = {{"disc.bin", d.bin}};
    if (!d.bin2.empty()) cueFiles.push_back({"disc2.bin", d.bin2});
    ExpectImageLikeCue(dir, cueFiles, d.cue, {{"disc.nrg", WriteNrg(d.tracks, c.form, c.recording)}});
}

INSTANTIATE_TEST_SUITE_P(Cases, NrgLikeCue, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// iat finds the ISO 9660 volume of a data track by its own means: what it
// writes out must be the track's user data, for raw and user-data tracks.
TEST(NrgImage, IatReadsTheSameDataTrack) {
    if (std::system("command -v iat >/dev/null 2>&1") != 0) GTEST_SKIP() << "iat is not installed";
    TempDir dir;
    const std::string iso = GenIsoImage(dir, "NERO", 5000, 'r');
    if (iso.empty()) GTEST_SKIP() << "genisoimage is not installed";
    const std::string raw = RawMode1Sectors(iso);
    const struct {
        uint8_t mode;
        uint32_t stride;
        std::string data;
    } layouts[] = {{0x00, 2048, iso}, {0x05, 2352, raw}};
    for (const auto& l : layouts) {
        dir.Write("data.nrg", WriteNrg({NrgTrackSpec{1, l.mode, l.stride, l.data, 0, 0, false}}, NrgForm::kNer5,
                                       NrgRecording::kDiscAtOnce));
        const std::string run = "cd '" + dir.path() + "' && iat data.nrg out.iso >/dev/null 2>&1";
        ASSERT_EQ(std::system(run.c_str()), 0) << run;
        EXPECT_TRUE(dir.Read("out.iso").substr(0, iso.size()) == iso) << "mode " << int(l.mode);
        vdrive::LoadError error;
        auto drive = vdrive::VirtualDrive::Open(dir.File("data.nrg"), error);
        ASSERT_TRUE(drive) << error.Text();
        const MmcReply pvd = SendCdb(*drive, Cdb10(0x28, 16, 1), 2048);
        ASSERT_TRUE(pvd.Good());
        EXPECT_EQ(std::string(pvd.data.begin(), pvd.data.end()), iso.substr(16 * 2048, 2048));
    }
}

// Footers, chunk sizes and track lists changed at random: refused with a
// reason, or loaded with every area inside the file.
TEST(NrgImage, MangledImagesAreRefusedOrStayInsideTheFile) {
    TempDir dir;
    Disc d = MixedMode(false);
    const std::vector<std::string> good = {WriteNrg(d.tracks, NrgForm::kOld, NrgRecording::kDiscAtOnce),
                                           WriteNrg(d.tracks, NrgForm::kNer5, NrgRecording::kTrackAtOnce)};
    ExpectMangledImagesRefusedOrInside(dir, "bad.nrg", good, Mangling{d.bin.size(), 150, 11, 0});
    for (const char* junk : {"", "NERO", "short file NER5\x01\x02"}) {
        const std::string path = dir.Write("junk.nrg", junk);
        vdrive::LoadedImage image;
        vdrive::LoadError error;
        EXPECT_FALSE(vdrive::LoadImage(path, image, error));
        EXPECT_NE(error.message.find("Nero"), std::string::npos) << error.Text();
    }
}

}  // namespace
