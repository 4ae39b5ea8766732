// The transports' debug lines: written through the owner's printf-style
// debug callback when the debug level is above a threshold (0 silent, above
// 0 the ordinary lines, above 1 also one line per command).
#pragma once

#include <cstdint>
#include <string>

#include "device/transport/device_intf.h"

namespace dravik::device {

// Whether TransportLog at `levelAbove` writes; callers test it before
// formatting costly arguments.
inline bool TransportLogs(const DeviceIntf& intf, int levelAbove) {
    return intf.debugLevel > levelAbove && intf.debugCallback;
}

template <typename... Args>
void TransportLog(const DeviceIntf& intf, int levelAbove, const char* format, Args... args) {
    if (intf.debugLevel > levelAbove && intf.debugCallback)
        intf.debugCallback(const_cast<char*>(format), args...);
}

// CDB bytes each written "%02x " (two hex digits and a blank).
std::string CdbText(const uint8_t* cdb, int length);

// The logs print buffers and handles with "%x": their low 32 bits.
inline unsigned LowBits(const void* pointer) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)); }
inline unsigned LowBits(intptr_t value) { return static_cast<unsigned>(value); }

// CDB bytes 2 to 5 as a big-endian number: the block of a read or write.
int CdbBlock(const uint8_t* cdb);

}  // namespace dravik::device
