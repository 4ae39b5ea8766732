// The per-track part of the scan: each node of the track list goes to the
// reader or labelling routine that fits it.
#pragma once

#include <atomic>

namespace dravik::device {
class CDDevice;
}

namespace dravik::scan {

// A disc whose only node is blank is scanned as one data area when ShowAll
// is on (the node loses TrackBlank and becomes data); without ShowAll there
// is nothing to visit and the result is false.
bool PrepareBlankDisc();

struct TrackNode;

// Marks a track whose reading a stop interrupted: TrackStoppedEarly on the
// node and ItemIncomplete on its root item (when it has one).
void MarkTrackStoppedEarly(TrackNode* node);

// Copies every node's end to layoutEnd, then visits the nodes in order
// until the device's abort flag is set. `currentTrack` follows the node
// being visited; the last one visited before a stop is marked with
// MarkTrackStoppedEarly.
void DispatchTracks(device::CDDevice* device, std::atomic<int>& currentTrack);

}  // namespace dravik::scan
