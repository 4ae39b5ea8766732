// The operating-system version as the device library logs it at start-up
// and uses to order the transports. Linux reports itself as the NT family
// (platform id 2), or as the 9x family when the platform layer says so
// (platform/system_family.h).
#pragma once

#include <string>

namespace dravik::device {

inline constexpr int kPlatformWin9x = 1;
inline constexpr int kPlatformNT = 2;

struct OsVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    std::string servicePack;  // what follows the version numbers in the kernel release
    int platformId = kPlatformNT;
};

OsVersion CurrentOsVersion();

}  // namespace dravik::device
