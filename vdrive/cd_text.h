// CD-TEXT title packs as READ TOC format 5 returns them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dravik::vdrive {

inline constexpr size_t kCdTextPackSize = 18;

// The title packs (type 0x80) for the disc title (key 0) and the titles of
// tracks firstTrack..lastTrack, each pack with its CRC. Empty when there
// are no titles.
std::vector<uint8_t> BuildTitlePacks(const std::map<int, std::string>& titles, int firstTrack, int lastTrack);

}  // namespace dravik::vdrive
