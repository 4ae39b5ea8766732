#include "program/scan/driver/program_file_systems.h"

#include "program/readers/file_system_entries.h"

namespace dravik::scan {

std::span<const FileSystemReader> ProgramFileSystems() {
    static const FileSystemReader table[] = {
        readers::IsoFileSystem(),
        readers::UdfFileSystem(),
        readers::HfsFileSystem(),
    };
    return table;
}

void InstallProgramFileSystems() { InstallFileSystems(ProgramFileSystems()); }

}  // namespace dravik::scan
