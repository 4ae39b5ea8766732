// The entries through which the scan driver hands tracks to the file-system
// readers: the ISO reader for every data track (it passes packet-written
// and bridge discs on to the UDF readers), the readers of a second file
// system on a track that already has one, and the duplicate pass over the
// UDF tracks at the end of a scan.
#pragma once

#include <span>

namespace dravik::scan {
struct TrackNode;
}

namespace dravik::readers {

// Reads the track's file system into the catalogue. `mode` is 0 from the
// scan driver. True when a volume was read (the track then normally has a
// root item); false lets the driver try its other recognisers.
bool ReadIsoTrack(scan::TrackNode* track, int mode);

// A reader of a second file system on a data track (HFS beside ISO 9660).
// It is given a fresh node, a copy of the track's, and its position in the
// table counted from 1; true when it read a volume onto that node.
struct SecondFileSystemReader {
    const char* name;
    bool (*read)(scan::TrackNode* node, int position);
};
std::span<const SecondFileSystemReader> SecondFileSystemReaders();

// Reduces the entries that several UDF tracks list for the same file to
// one and marks shared extents; null means every track.
void RemoveDuplicates(scan::TrackNode* track);

// The state the ISO and UDF readers share across tracks, back to zero at
// the start of every scan.
void ResetSharedReaderState();

}  // namespace dravik::readers
