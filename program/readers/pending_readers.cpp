// The reader entries as they stand before the UDF and HFS readers and the
// duplicate pass are part of the program: there is no second file system
// to look for and nothing to reduce. Each body moves to its reader's own
// file when that reader arrives.
#include "program/readers/reader_entries.h"

namespace dravik::readers {

std::span<const SecondFileSystemReader> SecondFileSystemReaders() { return {}; }

void RemoveDuplicates(scan::TrackNode*) {}

void ResetSharedReaderState() {}

}  // namespace dravik::readers
