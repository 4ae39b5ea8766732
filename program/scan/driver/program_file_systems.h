// The file systems this program reads, in the order the scan tries them:
// ISO 9660 (with Joliet and High Sierra) for every data track, UDF, which
// the ISO reader hands packet-written and bridge tracks to, and HFS, also
// looked for beside ISO 9660 on the same track.
#pragma once

#include <span>

#include "program/scan/file_systems.h"

namespace dravik::scan {

std::span<const FileSystemReader> ProgramFileSystems();
// Makes ProgramFileSystems() the scan's table (scan::FileSystems()).
void InstallProgramFileSystems();

}  // namespace dravik::scan
