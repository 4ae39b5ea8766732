// The library-wide starts of the kernel-driver and VxD transports. The
// transports themselves are not built yet: each start fails, the way it
// does on a machine without the driver, so CDDevice::Initialize moves on
// to the next transport.
#pragma once

#include "device/device_callbacks.h"

namespace dravik::device {

// Opens "\\.\ZOLTDACC"; on this platform nothing answers to that name, so
// the start reports message 3015 and fails. Never on the 9x family.
bool StartDACCIntf(ResourceModule resourceModule, MessageCallback messageCallback);

// Only on the 9x family; Linux reports itself as the NT family.
bool StartVXDIntf(ResourceModule resourceModule, MessageCallback messageCallback);

}  // namespace dravik::device
