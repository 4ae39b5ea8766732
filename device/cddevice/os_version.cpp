#include "device/cddevice/os_version.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <optional>

#include "device/test_seams.h"
#include "platform/system_family.h"

namespace dravik::device {

namespace {

std::optional<OsVersion>& Override() {
    static std::optional<OsVersion> version;
    return version;
}

// Reads one decimal number at `text` and steps past it and a following dot.
int TakeNumber(const char*& text) {
    if (*text < '0' || *text > '9') return 0;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text) return 0;
    text = end;
    if (*text == '.') ++text;
    return static_cast<int>(value);
}

}  // namespace

OsVersion CurrentOsVersion() {
    if (Override()) return *Override();
    OsVersion version;
    utsname names{};
    if (::uname(&names) != 0) return version;
    // "6.1.0-18-amd64": major, minor, build, then the rest as the
    // service-pack text.
    const char* text = names.release;
    version.major = TakeNumber(text);
    version.minor = TakeNumber(text);
    version.build = TakeNumber(text);
    if (*text == '-') ++text;
    version.servicePack = text;
    version.platformId = platform::SystemIsWindows9x() ? kPlatformWin9x : kPlatformNT;
    return version;
}

void test_seams::SetOsVersion(const OsVersion* version) {
    if (version)
        Override() = *version;
    else
        Override().reset();
}

}  // namespace dravik::device
