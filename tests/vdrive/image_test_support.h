// The checks every image format's tests share: an image served like the
// same disc from a cue sheet, and images with bytes changed at random
// refused with a reason or loaded with every area inside its file.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "same_disc.h"
#include "support/temp_dir.h"
#include "vdrive/image_loader.h"
#include "vdrive/sector_codec.h"
#include "vdrive/virtual_drive.h"

namespace dravik::test {

// Files by name and content.
using NamedFiles = std::vector<std::pair<std::string, std::string>>;

// Writes the cue sheet "disc.cue" with its files and the image's files
// into `dir`, opens the cue sheet and the first of `imageFiles` as
// drives, and compares what they serve.
inline void ExpectImageLikeCue(const TempDir& dir, const NamedFiles& cueFiles, const std::string& cue,
                               const NamedFiles& imageFiles) {
    for (const auto& [name, bytes] : cueFiles) dir.Write(name, bytes);
    dir.Write("disc.cue", cue);
    for (const auto& [name, bytes] : imageFiles) dir.Write(name, bytes);
    vdrive::LoadError error;
    auto fromCue = vdrive::VirtualDrive::Open(dir.File("disc.cue"), error);
    ASSERT_TRUE(fromCue) << error.Text();
    auto fromImage = vdrive::VirtualDrive::Open(dir.File(imageFiles.front().first), error);
    ASSERT_TRUE(fromImage) << error.Text();
    ExpectSameDisc(*fromCue, *fromImage);
}

struct Mangling {
    size_t firstMutableByte = 0;  // bytes before it stay as written (the sectors)
    int rounds = 150;
    unsigned seed = 1;
    int truncateEvery = 0;  // every n-th round also cuts the file short; 0 never
};

// Writes each round's changed copy of one of `goodImages` (in turn) to
// `name` in `dir` and loads it: it must be refused with a message, or
// loaded with every area inside its file. Both outcomes must occur.
inline void ExpectMangledImagesRefusedOrInside(const TempDir& dir, const std::string& name,
                                               const std::vector<std::string>& goodImages, const Mangling& m) {
    std::mt19937 rng(m.seed);
    int refused = 0, loaded = 0;
    for (int round = 0; round < m.rounds; ++round) {
        std::string bad = goodImages[size_t(round) % goodImages.size()];
        for (int n = int(rng() % 3) + 1; n > 0; --n) {
            const size_t at = m.firstMutableByte + rng() % (bad.size() - m.firstMutableByte);
            bad[at] = char(rng() % 4 == 0 ? 0xFF : rng() % 4 == 1 ? 0 : rng());
        }
        if (m.truncateEvery > 0 && round % m.truncateEvery == 0) bad.resize(rng() % bad.size());
        const std::string path = dir.Write(name, bad);
        vdrive::LoadedImage image;
        vdrive::LoadError error;
        if (!vdrive::LoadImage(path, image, error)) {
            EXPECT_FALSE(error.message.empty());
            ++refused;
            continue;
        }
        ++loaded;
        for (const vdrive::Area& a : image.disc->areas)
            if (a.file) {
                EXPECT_LE(a.OffsetOf(a.End() - 1) + a.sectorSize, a.file->Size()) << "round " << round;
            }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
}

// An ISO 9660 image made by genisoimage from one file of `size` bytes
// `fill`, labelled `label`; empty when genisoimage is missing or fails.
inline std::string GenIsoImage(const TempDir& dir, const std::string& label, size_t size, char fill) {
    if (std::system("command -v genisoimage >/dev/null 2>&1") != 0) return {};
    std::filesystem::create_directories(dir.File("src"));
    dir.Write("src/readme.txt", std::string(size, fill));
    const std::string make = "cd '" + dir.path() + "' && genisoimage -quiet -V " + label + " -o data.iso src";
    if (std::system(make.c_str()) != 0) return {};
    return dir.Read("data.iso");
}

// Raw Mode 1 sectors of the 2048-byte blocks of `user`, from block 0.
inline std::string RawMode1Sectors(const std::string& user) {
    std::string raw;
    for (size_t at = 0; at + 2048 <= user.size(); at += 2048) {
        uint8_t sector[2352];
        vdrive::BuildMode1Sector(sector, int32_t(at / 2048), reinterpret_cast<const uint8_t*>(user.data() + at));
        raw.append(reinterpret_cast<char*>(sector), sizeof sector);
    }
    return raw;
}

}  // namespace dravik::test
