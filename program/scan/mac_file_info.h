// What a Macintosh (HFS) file carries beyond a name, a size and a date: its
// type and creator codes, its Finder flags and its two forks. The HFS reader
// fills it in and the item owns it (released with the item); the extractor
// copies the forks and the scan report shows the codes and the resource
// fork's size.
//
// A fork's data is given as runs of 512-byte sectors on the disc, already
// converted from the volume's allocation blocks, so nobody above the reader
// needs to know the volume's allocation base or block size (which need not
// be a multiple of a 2048-byte disc block).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace dravik::scan {

struct FoundItem;

constexpr std::uint32_t kMacSectorBytes = 512;

struct SectorRun {
    std::int64_t firstSector;  // absolute 512-byte sector: disc block × 4 + sector in the block
    std::uint32_t sectors;
};

struct MacFork {
    std::uint32_t size = 0;         // logical length in bytes
    std::vector<SectorRun> runs;    // in file order
    bool whole = true;              // the runs hold at least `size` bytes
};

struct MacFileInfo {
    std::array<std::uint8_t, 4> type{};
    std::array<std::uint8_t, 4> creator{};
    // The 16 bytes of Finder information (type, creator, flags, location,
    // folder) and the 16 of extended Finder information, as recorded.
    std::array<std::uint8_t, 32> finderInfo{};
    MacFork data;
    MacFork resource;
};

// Gives the (not yet linked) item its Macintosh details; the item owns them
// from now on. A second call replaces the first.
void SetMacFileInfo(FoundItem* item, MacFileInfo info);
// The item's details, or null for an item that is not a Macintosh file.
const MacFileInfo* ItemMacFileInfo(const FoundItem* item);
// Releases the details (called when the item is released).
void ReleaseMacFileInfo(FoundItem* item);

}  // namespace dravik::scan
