// Sectors for image tests: whole raw sectors of a disc, and the part of
// each an image format keeps.
#pragma once

#include <random>
#include <string>

#include "vdrive/sector_codec.h"

namespace dravik::test {

// Raw sectors of blocks first..: Mode 1 (`mode` 1), Mode 2 Form 1 (2) or
// audio noise (0), from `seed`.
inline std::string RawSectors(int mode, int32_t first, int count, unsigned seed) {
    std::string bytes;
    std::mt19937 rng(seed);
    for (int i = 0; i < count; ++i) {
        uint8_t user[2048], sector[2352];
        for (uint8_t& b : user) b = uint8_t(rng());
        if (mode == 1) vdrive::BuildMode1Sector(sector, first + i, user);
        else if (mode == 2) vdrive::BuildMode2Form1Sector(sector, first + i, user);
        else for (uint8_t& b : sector) b = uint8_t(rng());
        bytes.append(reinterpret_cast<char*>(sector), sizeof sector);
    }
    return bytes;
}

// Bytes [from, from + bytes) of each raw sector, with `sub` bytes of
// sub-channel data after each.
inline std::string KeptSectors(const std::string& raw, size_t from, size_t bytes, size_t sub) {
    std::string out;
    for (size_t at = 0; at < raw.size(); at += 2352) out += raw.substr(at + from, bytes) + std::string(sub, '\x5A');
    return out;
}

}  // namespace dravik::test
