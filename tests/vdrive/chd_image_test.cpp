// CHD images made by chdman from a cue sheet and its .bin written here:
// served block for block like the cue image, with each codec chdman
// offers for CDs (deflate, LZMA, FLAC, and none); and damaged images
// refused or failing their reads without crashing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "same_disc.h"
#include "support/temp_dir.h"
#include "vdrive/chd_file.h"
#include "vdrive/image_loader.h"
#include "vdrive/sector_codec.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

bool HaveChdman() { return std::system("command -v chdman >/dev/null 2>&1") == 0; }

// Sectors that compress: text-like user data with some noise; audio as a
// slow wave with noise.
std::string Sectors(int mode, int32_t first, int count, unsigned seed) {
    std::string bytes;
    std::mt19937 rng(seed);
    for (int i = 0; i < count; ++i) {
        uint8_t user[2048], sector[2352];
        for (size_t b = 0; b < sizeof user; ++b) user[b] = uint8_t("dravik data "[b % 12] ^ (rng() % 16 == 0 ? rng() : 0));
        if (mode == 1) vdrive::BuildMode1Sector(sector, first + i, user);
        else if (mode == 2) vdrive::BuildMode2Form1Sector(sector, first + i, user);
        else
            for (size_t b = 0; b < sizeof sector; b += 2) {
                const int sample = int(8000 * ((b / 4 + size_t(i) * 588) % 200) / 200) + int(rng() % 64);
                sector[b] = uint8_t(sample), sector[b + 1] = uint8_t(sample >> 8);
            }
        bytes.append(reinterpret_cast<char*>(sector), sizeof sector);
    }
    return bytes;
}

struct ChdCase {
    const char* name;
    const char* codec;      // chdman -c
    const char* hunkNames;  // what chdman info lists for the hunks
};

const ChdCase kCodecs[] = {
    {"Deflate", "cdzl", "CD Deflate"},
    {"Lzma", "cdlz", "CD LZMA"},
    {"Flac", "cdfl", "CD FLAC"},
    {"AllThree", "cdlz,cdzl,cdfl", "CD"},
    {"Uncompressed", "none", ""},
};

class ChdLikeCue : public ::testing::TestWithParam<ChdCase> {};

// A mixed-mode disc: a Mode 1 track of 301 blocks (not a multiple of the
// 4-frame padding), an audio track with its pre-gap in the file, and a
// Mode 2 track whose pre-gap is not in the file.
TEST_P(ChdLikeCue, ServesTheDiscOfItsCueSheet) {
    if (!HaveChdman()) GTEST_SKIP() << "chdman is not installed";
    const ChdCase& c = GetParam();
    TempDir dir;
    dir.Write("disc.bin", Sectors(1, 0, 301, 1) + Sectors(0, 301, 103, 2) + Sectors(2, 554, 50, 3));
    dir.Write("disc.cue",
              "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
              "    INDEX 00 00:04:01\n    INDEX 01 00:04:21\n  TRACK 03 MODE2/2352\n    PREGAP 00:02:00\n"
              "    INDEX 01 00:05:29\n");
    const std::string command = "cd '" + dir.path() + "' && chdman createcd -f -c " + c.codec +
                                " -i disc.cue -o disc.chd >/dev/null 2>&1 && chdman info -v -i disc.chd > info.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_NE(dir.Read("info.txt").find(c.hunkNames), std::string::npos) << dir.Read("info.txt");
    vdrive::LoadError error;
    auto fromCue = vdrive::VirtualDrive::Open(dir.File("disc.cue"), error);
    ASSERT_TRUE(fromCue) << error.Text();
    auto fromChd = vdrive::VirtualDrive::Open(dir.File("disc.chd"), error);
    ASSERT_TRUE(fromChd) << error.Text();
    ExpectSameDisc(*fromCue, *fromChd);
}

INSTANTIATE_TEST_SUITE_P(Codecs, ChdLikeCue, ::testing::ValuesIn(kCodecs),
                         [](const auto& info) { return std::string(info.param.name); });

// A data track of 2048-byte blocks (TYPE MODE1 in the image).
TEST(ChdImage, UserDataTrackReadsLikeTheIso) {
    if (!HaveChdman()) GTEST_SKIP() << "chdman is not installed";
    TempDir dir;
    std::string user;
    for (int i = 0; i < 150 * 2048; ++i) user += char("plain iso "[i % 10] + i / 2048 % 7);
    dir.Write("user.iso", user);
    dir.Write("user.cue", "FILE \"user.iso\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
    const std::string command = "cd '" + dir.path() + "' && chdman createcd -f -i user.cue -o user.chd >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    vdrive::LoadError error;
    auto fromCue = vdrive::VirtualDrive::Open(dir.File("user.cue"), error);
    auto fromChd = vdrive::VirtualDrive::Open(dir.File("user.chd"), error);
    ASSERT_TRUE(fromCue && fromChd) << error.Text();
    ExpectSameDisc(*fromCue, *fromChd);
}

// Bytes of a real image changed in the header, the hunk map, the metadata
// and the hunks: the image is refused with a reason, or it loads and each
// read either succeeds or fails cleanly (under the sanitizers), never
// reading outside the file.
TEST(ChdImage, DamagedImagesAreRefusedOrFailTheirReads) {
    if (!HaveChdman()) GTEST_SKIP() << "chdman is not installed";
    TempDir dir;
    dir.Write("disc.bin", Sectors(1, 0, 40, 5) + Sectors(0, 40, 40, 6));
    dir.Write("disc.cue", "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
                          "  TRACK 02 AUDIO\n    INDEX 01 00:00:40\n");
    const std::string command = "cd '" + dir.path() + "' && chdman createcd -f -i disc.cue -o good.chd >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string good = dir.Read("good.chd");
    ASSERT_GT(good.size(), 200u);
    std::mt19937 rng(5);
    int refused = 0, loaded = 0;
    for (int round = 0; round < 120; ++round) {
        std::string bad = good;
        const int changes = int(rng() % 4) + 1;
        for (int n = 0; n < changes; ++n) {
            // Mostly the header and map near the start, sometimes anywhere.
            const size_t at = rng() % 2 ? rng() % 160 : rng() % bad.size();
            bad[at] = char(rng() % 3 == 0 ? 0xFF : rng());
        }
        if (round % 10 == 0) bad.resize(rng() % bad.size());
        const std::string path = dir.Write("bad.chd", bad);
        vdrive::LoadedImage image;
        vdrive::LoadError error;
        if (!vdrive::LoadImage(path, image, error)) {
            EXPECT_FALSE(error.message.empty());
            ++refused;
            continue;
        }
        ++loaded;
        for (const vdrive::Area& a : image.disc->areas) {
            std::vector<uint8_t> buffer(a.sectorSize);
            for (int32_t b = a.first; b < a.End(); b += 11) (void)a.file->ReadAt(a.OffsetOf(b), buffer.data(), buffer.size());
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
}

TEST(ChdImage, OtherFilesAreRefusedWithTheReason) {
    TempDir dir;
    const struct {
        std::string bytes;
        const char* words;
    } cases[] = {
        {"not a chd at all", "not a CHD"},
        {std::string("MComprHD\0\0\0\x7c\0\0\0\x04", 16) + std::string(200, '\0'), "version 4"},
        {std::string("MComprHD\0\0\0\x7c\0\0\0\x05", 16) + "abcd" + std::string(200, '\0'), "codec 'abcd'"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Write("x.chd", c.bytes);
        vdrive::LoadedImage image;
        vdrive::LoadError error;
        EXPECT_FALSE(vdrive::LoadImage(path, image, error));
        EXPECT_EQ(error.file, path);
        EXPECT_NE(error.message.find(c.words), std::string::npos) << error.Text();
    }
}

}  // namespace
