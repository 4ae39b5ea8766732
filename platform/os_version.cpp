#include "platform/os_version.h"

#include <sys/utsname.h>

#include <cstdio>

namespace dravik::platform {

OsVersion QueryOsVersion() {
    OsVersion version;
    utsname names{};
    if (uname(&names) == 0) {
        std::sscanf(names.release, "%d.%d.%d", &version.major, &version.minor, &version.build);
        version.servicePack = std::string(names.sysname) + " " + names.release;
    }
    version.platformId = kPlatformWin32Nt;
    return version;
}

}  // namespace dravik::platform
