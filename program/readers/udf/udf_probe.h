// The UDF volume probe that the ISO reader calls for packet-written tracks,
// tracks without an ISO primary descriptor and ISO/UDF bridge discs.
#pragma once

#include <cstdint>

namespace dravik::scan {
struct TrackNode;
}

namespace dravik::readers {

// True when the track got a UDF root item (possibly with an empty tree);
// false lets the ISO reader go on. `buffer` is one 2048-byte block owned
// by the caller.
bool ProbeUdf(scan::TrackNode* track, std::uint8_t* buffer);

}  // namespace dravik::readers
