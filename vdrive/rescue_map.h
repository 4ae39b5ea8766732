// The mapfile GNU ddrescue keeps beside an image it makes of a failing
// disc: which byte ranges of the disc it read ("+" finished) and which it
// could not or did not yet read ("?" non-tried, "*" non-trimmed, "/"
// non-scraped, "-" bad). A disc served from such an image answers MEDIUM
// ERROR for every block the map does not mark finished in full, so the
// readers and the extractor see those areas as unreadable instead of as
// zeros, and a file that crosses them is reported damaged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vdrive/disc.h"
#include "vdrive/load_error.h"

namespace dravik::vdrive {

// A mapfile of a badly damaged disc holds many areas: up to this many are
// read, and the file may be this large.
inline constexpr size_t kMaxRescueAreas = 1000000;
inline constexpr size_t kMaxRescueMapBytes = 64u << 20;

struct RescueMap {
    // Blocks not read in full, sorted and merged; blocks past the last
    // area the map describes are not listed (see `end`).
    std::vector<BlockRange> unread;
    // The first block after the areas the map describes; an area that
    // runs "to the end of the device" does not count.
    int32_t end = 0;
    // The first block the map says nothing about (with an area that runs
    // to the end of the device, the end of what a disc can address).
    int32_t described = 0;
};

// Parses the text of a mapfile whose positions are bytes of a disc read
// in `blockBytes` blocks from block 0.
bool ParseRescueMap(const std::string& path, std::string_view text, uint32_t blockBytes, RescueMap& out,
                    LoadError& error);
bool LoadRescueMap(const std::string& path, uint32_t blockBytes, RescueMap& out, LoadError& error);

// The mapfile that goes with an image, when there is one: IMAGE.map, or
// the image's name with ".map" for its extension (as "disc.iso" and
// "disc.map" in the usual ddrescue command). Empty when neither exists.
std::string RescueMapBeside(const std::string& image);

// Marks the blocks of `disc` the map does not mark read as unreadable,
// and every block the map says nothing about up to `discEnd` too.
void ApplyRescueMap(const RescueMap& map, int32_t discEnd, Disc& disc);

}  // namespace dravik::vdrive
