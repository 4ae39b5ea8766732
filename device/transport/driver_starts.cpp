#include "device/transport/driver_starts.h"

#include "device/cddevice/os_version.h"
#include "device/request/system_error_text.h"
#include "platform/win_device_io.h"
#include "platform/win_errors.h"

namespace dravik::device {
namespace {
ResourceModule driverInstance = nullptr;
}  // namespace

bool StartDACCIntf(ResourceModule resourceModule, MessageCallback messageCallback) {
    driverInstance = resourceModule;
    if (CurrentOsVersion().platformId != kPlatformNT) return false;
    using namespace platform;
    const WinHandle driver = CreateFile("\\\\.\\ZOLTDACC", kGenericRead | kGenericWrite,
                                        kFileShareRead | kFileShareWrite, kOpenExisting);
    if (driver != kInvalidHandle) {
        // The driver answered, but its transport is not part of this build.
        CloseHandle(driver);
        return false;
    }
    const uint32_t error = GetLastError();
    if (!messageCallback) return false;
    if (error == kErrorFileNotFound)
        messageCallback(3015, "ZOLTDACC");
    else
        messageCallback(3014, "ZOLTDACC", TrimSystemMessage(SystemMessageText(error)).c_str());
    return false;
}

bool StartVXDIntf(ResourceModule resourceModule, MessageCallback messageCallback) {
    driverInstance = resourceModule;
    if (CurrentOsVersion().platformId == kPlatformNT) return false;
    using namespace platform;
    const WinHandle vxd = CreateFile("\\\\.\\ZOLTVXD.VXD", 0, 0, kOpenExisting);
    if (vxd != kInvalidHandle) {
        CloseHandle(vxd);
        return false;
    }
    const uint32_t error = GetLastError();
    if (error != kErrorFileNotFound && messageCallback)
        messageCallback(3013, TrimSystemMessage(SystemMessageText(error)).c_str(), static_cast<int>(error));
    return false;
}

}  // namespace dravik::device
