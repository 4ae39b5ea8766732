#include "platform/drive_source.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex listerMutex;
dravik::platform::DriveLister currentLister;

}  // namespace

extern "C" void dravik_platform_list_drives(dravik::platform::DriveList* out) {
    if (!out) return;
    dravik::platform::DriveLister lister;
    {
        std::lock_guard lock(listerMutex);
        lister = currentLister;
    }
    // Called outside the lock: a lister may take locks of its own.
    *out = lister ? lister() : dravik::platform::DriveList{};
    std::sort(out->begin(), out->end(),
              [](const auto& a, const auto& b) { return a.letter < b.letter; });
}

extern "C" void dravik_platform_set_drive_lister(const dravik::platform::DriveLister* lister) {
    std::lock_guard lock(listerMutex);
    currentLister = lister ? *lister : dravik::platform::DriveLister{};
}

namespace dravik::platform {

void SetDriveLister(DriveLister lister) { dravik_platform_set_drive_lister(&lister); }

DriveList ListDrives() {
    DriveList drives;
    dravik_platform_list_drives(&drives);
    return drives;
}

}  // namespace dravik::platform
