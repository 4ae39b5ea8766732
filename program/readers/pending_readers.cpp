// The reader entries as they stand before the file-system readers are part
// of the program: no track is recognised, there is no second file system
// to look for and nothing to reduce. Each body moves to its reader's own
// file when that reader arrives.
#include "program/diag/debug_log.h"
#include "program/readers/reader_entries.h"
#include "program/scan/track_list.h"

namespace dravik::readers {

bool ReadIsoTrack(scan::TrackNode* track, int) {
    if (diag::DebugMode && track)
        diag::DebugPrint("No file-system reader in this build; track %d is not read", track->number);
    return false;
}

std::span<const SecondFileSystemReader> SecondFileSystemReaders() { return {}; }

void RemoveDuplicates(scan::TrackNode*) {}

void ResetSharedReaderState() {}

}  // namespace dravik::readers
