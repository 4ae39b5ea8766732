// DiscJuggler images written by the test writer (tests/support/cdi_writer.*)
// in versions 2, 3 and 3.5: a mixed-mode disc and a two-session data disc,
// each served block for block like the same disc from a cue sheet; iat, an
// independent reader, finds the same ISO 9660 data in a written image;
// mangled descriptors and footers are refused with a reason or stay inside
// the file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "image_test_support.h"
#include "raw_sectors.h"
#include "support/cdi_writer.h"

using namespace dravik;
using namespace dravik::test;

namespace {

struct CdiDisc {
    std::vector<CdiTrackSpec> tracks;
    NamedFiles cueFiles;
    std::string cue;
};

// Track 1: 300 raw Mode 1 blocks after its 150-block pre-gap (stored, as
// DiscJuggler does); track 2: audio with sub-channel data, a 20-block
// pre-gap and 100 blocks; track 3: 50 Mode 2 blocks of 2336 bytes.
CdiDisc MixedMode() {
    CdiDisc d;
    const std::string data = RawSectors(1, -150, 450, 1), audio = RawSectors(0, 0, 120, 2), mode2 = RawSectors(2, 420, 50, 3);
    d.tracks.push_back(CdiTrackSpec{1, 1, 2, data, 150, 0});
    d.tracks.push_back(CdiTrackSpec{1, 0, 4, KeptSectors(audio, 0, 2352, 96), 20, 320});
    d.tracks.push_back(CdiTrackSpec{1, 2, 1, KeptSectors(mode2, 16, 2336, 0), 0, 420});
    d.cueFiles = {{"disc.bin", data + audio + mode2}};
    d.cue = "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n"
            "  TRACK 02 AUDIO\n    INDEX 00 00:06:00\n    INDEX 01 00:06:20\n  TRACK 03 MODE2/2352\n    INDEX 01 00:07:45\n";
    return d;
}

// Session 1: 300 raw Mode 1 blocks after a stored pre-gap; session 2 from
// block 11700 (after the lead-out, the lead-in and its own stored 150-block
// pre-gap): 150 Mode 1 blocks kept as user data, then 50 Mode 2 blocks
// kept without sync and header.
CdiDisc TwoSessions() {
    CdiDisc d;
    const std::string first = RawSectors(1, -150, 450, 4), second = RawSectors(1, 11550, 300, 5),
                      third = RawSectors(2, 11850, 50, 6);
    d.tracks.push_back(CdiTrackSpec{1, 1, 2, first, 150, 0});
    d.tracks.push_back(CdiTrackSpec{2, 1, 0, KeptSectors(second, 16, 2048, 0), 150, 11700});
    d.tracks.push_back(CdiTrackSpec{2, 2, 1, KeptSectors(third, 16, 2336, 0), 0, 11850});
    d.cueFiles = {{"one.bin", first}, {"two.bin", second + third}};
    d.cue = "REM SESSION 01\nFILE \"one.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n"
            "REM SESSION 02\nREM PREGAP 00:00:00\nFILE \"two.bin\" BINARY\n  TRACK 02 MODE1/2352\n    INDEX 00 00:00:00\n"
            "    INDEX 01 00:02:00\n  TRACK 03 MODE2/2352\n    INDEX 01 00:04:00\n";
    return d;
}

struct CdiCase {
    const char* name;
    CdiVersion version;
    bool twoSessions;
};

const CdiCase kCases[] = {
    {"MixedModeV2", CdiVersion::k2, false},  {"MixedModeV3", CdiVersion::k3, false},
    {"MixedModeV35", CdiVersion::k35, false}, {"TwoSessionsV2", CdiVersion::k2, true},
    {"TwoSessionsV3", CdiVersion::k3, true},  {"TwoSessionsV35", CdiVersion::k35, true},
};

class CdiLikeCue : public ::testing::TestWithParam<CdiCase> {};

TEST_P(CdiLikeCue, ServesTheDiscOfTheCueSheet) {
    const CdiCase& c = GetParam();
    TempDir dir;
    const CdiDisc d = c.twoSessions ? TwoSessions() : MixedMode();
    ExpectImageLikeCue(dir, d.cueFiles, d.cue, {{"disc.cdi", WriteCdi(d.tracks, c.version)}});
}

INSTANTIATE_TEST_SUITE_P(Cases, CdiLikeCue, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// iat finds the ISO 9660 volume of a data track by its own means: what it
// writes out must be the track's user data, for user-data and raw tracks
// in every version; the loader serves the same volume.
TEST(CdiImage, IatReadsTheSameDataTrack) {
    if (std::system("command -v iat >/dev/null 2>&1") != 0) GTEST_SKIP() << "iat is not installed";
    TempDir dir;
    const std::string iso = GenIsoImage(dir, "JUGGLER", 7000, 'j');
    if (iso.empty()) GTEST_SKIP() << "genisoimage is not installed";
    const std::string raw = RawMode1Sectors(iso);
    for (const CdiVersion version : {CdiVersion::k2, CdiVersion::k3, CdiVersion::k35})
        for (const bool rawTrack : {false, true}) {
            const std::string what = std::string(rawTrack ? "raw" : "user data") + ", version " + std::to_string(int(version));
            dir.Write("data.cdi", WriteCdi({CdiTrackSpec{1, 1, rawTrack ? 2u : 0u, rawTrack ? raw : iso, 0, 0}}, version));
            const std::string run = "cd '" + dir.path() + "' && iat data.cdi out.iso >/dev/null 2>&1";
            ASSERT_EQ(std::system(run.c_str()), 0) << run;
            EXPECT_TRUE(dir.Read("out.iso").substr(0, iso.size()) == iso) << what;
            vdrive::LoadError error;
            auto drive = vdrive::VirtualDrive::Open(dir.File("data.cdi"), error);
            ASSERT_TRUE(drive) << error.Text();
            for (uint32_t block : {16u, uint32_t(iso.size() / 2048 - 1)}) {
                const MmcReply r = SendCdb(*drive, Cdb10(0x28, block, 1), 2048);
                ASSERT_TRUE(r.Good()) << r.SenseText();
                EXPECT_EQ(std::string(r.data.begin(), r.data.end()), iso.substr(block * 2048, 2048)) << what;
            }
        }
}

// Descriptors and footers changed at random (the sectors before them left
// alone), and sometimes cut short.
TEST(CdiImage, MangledImagesAreRefusedOrStayInsideTheFile) {
    TempDir dir;
    const CdiDisc d = TwoSessions();
    size_t sectors = 0;
    for (const CdiTrackSpec& t : d.tracks) sectors += t.data.size();
    std::vector<std::string> good;
    for (const CdiVersion version : {CdiVersion::k2, CdiVersion::k3, CdiVersion::k35}) good.push_back(WriteCdi(d.tracks, version));
    ExpectMangledImagesRefusedOrInside(dir, "bad.cdi", good, Mangling{sectors, 240, 7, 20});
}

// Images that cannot be served, each refused with its reason.
TEST(CdiImage, RefusesWithAReason) {
    const std::vector<CdiTrackSpec> one = {CdiTrackSpec{1, 1, 0, std::string(20 * 2048, 'x'), 0, 0}};
    const std::string v3 = WriteCdi(one, CdiVersion::k3), v35 = WriteCdi(one, CdiVersion::k35);
    auto withWord = [](std::string image, size_t fromEnd, uint32_t value) {
        for (int i = 0; i < 4; ++i) image[image.size() - fromEnd + size_t(i)] = char(value >> (8 * i));
        return image;
    };
    const size_t descriptor = 20 * 2048;
    std::string noMark = v3;
    noMark[descriptor + 2 + 2 + 4 + 3] = 'M';  // inside the first track's start mark
    // The first track's length: after the counts, the block's opening, the
    // name, the capacity, the index count and the pre-gap.
    const size_t lengthAt = descriptor + 2 + 2 + 4 + 20 + 4 + 9 + 19 + 4 + 2 + 4;
    const std::string longer = withWord(v3.substr(0, lengthAt + 4), 4, 21) + v3.substr(lengthAt + 4);
    const struct {
        const char* name;
        std::string image;
        const char* reason;
    } cases[] = {
        {"empty", "", "not a DiscJuggler image"},
        {"no version word", std::string(64, 'z'), "not a DiscJuggler image"},
        {"a later version", withWord(v3, 8, 0x80000007), "unsupported DiscJuggler version"},
        {"descriptor past the end", withWord(v3, 4, uint32_t(v3.size())), "the descriptor lies outside the file"},
        {"3.5 descriptor before the file", withWord(v35, 4, uint32_t(v35.size() + 1)), "the descriptor lies outside the file"},
        {"3.5 distance read as an offset", withWord(v35, 8, 0x80000005), "session count is out of range"},
        {"sectors past the end", longer, "track 1 lies past the end of the file"},
        {"longer than a disc", withWord(v3.substr(0, lengthAt + 4), 4, 2000000) + v3.substr(lengthAt + 4), "track 1 is larger than a disc"},
        {"no start mark", noMark, "track 1 does not begin with the track start mark"},
        {"truncated descriptor", v3.substr(0, descriptor + 40) + v3.substr(v3.size() - 8), "track 1 lies past the end of the descriptor"},
        {"too many sessions", std::string(v3).replace(descriptor, 2, "\xFF\x00", 2), "session count is out of range"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.Write("bad.cdi", c.image);
        vdrive::LoadedImage image;
        vdrive::LoadError error;
        EXPECT_FALSE(vdrive::LoadImage(path, image, error)) << c.name;
        EXPECT_NE(error.message.find(c.reason), std::string::npos) << c.name << ": " << error.Text();
        EXPECT_EQ(error.file, path) << c.name;
    }
}

}  // namespace
