// The HFS entry before the HFS reader is part of the program: no track is
// recognised as HFS. This file goes when the HFS reader arrives.
#include "program/readers/file_system_entries.h"
#include "program/readers/hfs/hfs_reader.h"

namespace dravik::readers {

bool ReadHfsTrack(scan::TrackNode*, int) { return false; }

scan::FileSystemReader HfsFileSystem() {
    scan::FileSystemReader entry;
    entry.kind = scan::FileSystemKind::kHfs;
    entry.name = "HFS";
    entry.readTrack = ReadHfsTrack;
    entry.secondFileSystem = true;
    return entry;
}

}  // namespace dravik::readers
