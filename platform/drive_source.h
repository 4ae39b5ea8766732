// The optical drives the stand-ins for the pass-through device and the ASPI
// manager serve, each with the letter a Windows machine would give it
// (D: onward). The drive table installs the lister that answers the list;
// tests install their own with fake drives.
//
// One list per process. The ASPI manager is a module of its own
// (libwnaspi32.so, loaded at run time), so the list is reached through one
// exported C entry point, dravik_platform_list_drives, which every program
// and library that links this folder exports (see CMakeLists.txt): the
// first definition in the process answers for all of them.
#pragma once

#include <dlfcn.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/scsi_drive.h"

namespace dravik::platform {

struct LetteredDrive {
    char letter = 0;  // 'D' to 'Z'
    std::shared_ptr<ScsiDrive> drive;
};

using DriveList = std::vector<LetteredDrive>;
using DriveLister = std::function<DriveList()>;

// Installs the lister (an empty function: no drives).
void SetDriveLister(DriveLister lister);
// The drives, in letter order.
DriveList ListDrives();

}  // namespace dravik::platform

extern "C" {
// The process-wide entry points behind the two functions above.
__attribute__((visibility("default"))) void dravik_platform_list_drives(dravik::platform::DriveList* out);
__attribute__((visibility("default"))) void dravik_platform_set_drive_lister(const dravik::platform::DriveLister* lister);
}

namespace dravik::platform {

// For code in a module loaded at run time: the process's list, found by
// name; empty when the process exports no list.
inline DriveList ListDrivesOfProcess() {
    using ListFunction = void (*)(DriveList*);
    auto list = reinterpret_cast<ListFunction>(::dlsym(RTLD_DEFAULT, "dravik_platform_list_drives"));
    DriveList drives;
    if (list) list(&drives);
    return drives;
}

}  // namespace dravik::platform
