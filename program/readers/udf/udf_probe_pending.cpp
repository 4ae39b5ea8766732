// The UDF entry before the UDF reader is part of the program: no track is
// recognised as UDF, and there are no duplicates between UDF tracks to
// reduce. This file goes when the UDF reader arrives.
#include "program/readers/file_system_entries.h"
#include "program/readers/udf/udf_probe.h"

namespace dravik::readers {

bool ProbeUdf(scan::TrackNode*, std::uint8_t*) { return false; }

scan::FileSystemReader UdfFileSystem() {
    scan::FileSystemReader entry;
    entry.kind = scan::FileSystemKind::kUdf;
    entry.name = "UDF";
    entry.probe = ProbeUdf;
    return entry;
}

}  // namespace dravik::readers
