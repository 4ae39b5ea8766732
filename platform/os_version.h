// What GetVersionEx answered on the platform the device library was written
// for. The Linux build reports itself as the NT family (platform id 2), so
// the transports are chosen in the NT order.
#pragma once

#include <string>

namespace dravik::platform {

inline constexpr int kPlatformWin32Windows = 1;  // the Windows 9x family
inline constexpr int kPlatformWin32Nt = 2;       // the NT family

struct OsVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    std::string servicePack;  // here: the kernel release, e.g. "Linux 6.1.0"
    int platformId = kPlatformWin32Nt;
};

// Major, minor and build come from the running kernel's release numbers.
OsVersion QueryOsVersion();

}  // namespace dravik::platform
