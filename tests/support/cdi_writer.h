// Writes DiscJuggler images (.cdi) for tests, in versions 2, 3 and 3.5,
// from the format's published description: every track's stored pre-gap
// and sectors from the start of the file, then the descriptor (sessions,
// track blocks, an empty session and the disc block) and the footer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::test {

struct CdiTrackSpec {
    int session = 1;
    uint32_t mode = 1;      // 0 audio, 1 Mode 1, 2 Mode 2
    uint32_t readMode = 2;  // 0: 2048 bytes a sector, 1: 2336, 2: 2352, 4: 2352 + 96 sub-channel bytes
    std::string data;       // the sectors as stored: `pregap` of them, then the track's
    int32_t pregap = 0;
    int32_t lba = 0;        // of index 1
};

enum class CdiVersion { k2, k3, k35 };

std::string WriteCdi(const std::vector<CdiTrackSpec>& tracks, CdiVersion version);

}  // namespace dravik::test
