// Writes Alcohol descriptors (.mds, version 1) for tests, from the
// format's published description; the sectors go into the .mdf beside it
// as the concatenation of the tracks' data, in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::test {

struct MdsTrackSpec {
    int session = 1;
    uint8_t mode = 0xAA;      // 0xA9 audio, 0xAA Mode 1, 0xAB Mode 2, 0xAC Mode 2 Form 1
    uint32_t stride = 2352;   // bytes a sector takes in the .mdf, sub-channel data included
    bool subchannel = false;  // 96 bytes after each sector
    std::string data;         // the stored pre-gap (not for a session's first track), then the sectors
    int32_t pregap = 0;
    int32_t lba = 0;          // of index 1
};

// The descriptor; `mdfName` empty writes the name "*.mdf".
std::string WriteMds(const std::vector<MdsTrackSpec>& tracks, const std::string& mdfName = {});

}  // namespace dravik::test
