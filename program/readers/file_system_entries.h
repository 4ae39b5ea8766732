// Each reader's entry in the scan's table of file systems
// (program/scan/file_systems.h), defined in the reader's own folder. The
// scan driver lists them; nothing else calls a reader by name.
#pragma once

#include "program/scan/file_systems.h"

namespace dravik::readers {

scan::FileSystemReader IsoFileSystem();
scan::FileSystemReader UdfFileSystem();
scan::FileSystemReader HfsFileSystem();

}  // namespace dravik::readers
