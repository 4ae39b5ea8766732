// The bytes of one block: where they come from (a file, a zero-filled
// area) and the raw sector a drive would read, built when the image holds
// only user data.
#pragma once

#include <cstdint>
#include <vector>

#include "vdrive/disc.h"
#include "vdrive/sense.h"

namespace dravik::vdrive {

// Why block `lba` cannot be read, or no sense and its track.
struct BlockLookup {
    Sense failure;
    const Track* track = nullptr;
};

BlockLookup LocateBlock(const DiscView& view, const std::vector<BlockRange>& failed, int32_t lba);

// The 2352 bytes of a block of `track`.
Sense ReadRawBlock(const DiscView& view, const Track& track, int32_t lba, uint8_t* out2352);

// The 2048 bytes of user data of a Mode 1 or Mode 2 Form 1 block; audio
// and Form 2 blocks answer ILLEGAL MODE FOR THIS TRACK.
Sense ReadUserData(const DiscView& view, const Track& track, int32_t lba, uint8_t* out2048);

}  // namespace dravik::vdrive
