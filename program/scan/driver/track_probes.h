// Recognisers the scan driver tries on a data track besides the ISO
// reader: a second file system on the same track, and the sampler disc.
#pragma once

namespace dravik::scan {

struct TrackNode;

// Offers a copy of the node to each reader of a second file system; a copy
// that a reader filled is linked in after the node (flag TrackSecondFs) and
// its end measured. True when at least one reader succeeded.
bool ProbeSecondFileSystem(TrackNode* node);

// Block 0 of the disc names a sampler maker: the node gets the sampler
// label. False on any other block and when block 0 cannot be read.
bool DetectSamplerTrack(TrackNode* node);

}  // namespace dravik::scan
