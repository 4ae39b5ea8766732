// The HFS reader: a Macintosh volume on a data track, either the track's
// only file system (called by the ISO reader when the track has no ISO
// descriptor and no UDF volume) or a second one beside ISO 9660.
#pragma once

namespace dravik::scan {
struct TrackNode;
}

namespace dravik::readers {

// True when an HFS volume was read onto `track`. `position` is 0 from the
// ISO reader, the reader's place in the table of second file systems
// (from 1) otherwise.
bool ReadHfsTrack(scan::TrackNode* track, int position);

}  // namespace dravik::readers
