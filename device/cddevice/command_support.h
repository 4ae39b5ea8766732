// Helpers the command files of CDDevice share: MSF addresses, and debug
// lines and dumps gated by the device's debug level. CDB and reply fields
// are read and written through platform/byte_order.h, included here.
#pragma once

#include <cstdint>

#include "device/cddevice/cddevice.h"
#include "platform/byte_order.h"

namespace dravik::device::cmd {

inline constexpr int kCookedSectorBytes = 2048;
inline constexpr int kRawSectorBytes = 2352;
inline constexpr int kDiscInfoBytes = 32;  // what READ DISC INFORMATION asks for

// Minutes, seconds, frames of an address that already includes the
// 150-block offset of the first track's pre-gap.
inline void PutMsf(uint8_t* out, int address) {
    out[0] = static_cast<uint8_t>(address / 4500);
    out[1] = static_cast<uint8_t>((address / 75) % 60);
    out[2] = static_cast<uint8_t>(address % 75);
}

// A debug line through the device's printf-style callback when its debug
// level is at least `level`.
template <typename... Args>
void Log(const CDDevice& device, int level, const char* format, Args... args) {
    if (device.GetDebugLevel() >= level && device.GetDebugCallback())
        device.GetDebugCallback()(const_cast<char*>(format), args...);
}

// A hex dump with a title at debug level 1 or more.
inline void Dump(const CDDevice& device, const void* data, int length, const char* title) {
    if (device.GetDebugLevel() >= 1 && device.GetDebugDump() && length > 0)
        device.GetDebugDump()(const_cast<void*>(data), length, title);
}

}  // namespace dravik::device::cmd
