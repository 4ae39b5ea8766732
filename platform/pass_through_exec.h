// Carrying out one pass-through record on a drive: what DeviceIoControl
// does for a drive opened by letter, and what the kernel driver's stand-in
// does for a record relayed to it. Internal to the platform layer's
// stand-ins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/scsi_drive.h"

namespace dravik::platform {

// The control code of the buffered form of the record, whose data lies in
// the record's own buffer at DataBufferOffset (the kernel driver's
// TestUnitReady sends it).
inline constexpr uint32_t kIoctlScsiPassThrough = 0x4D004;

// Carries out the record in `in` (kIoctlScsiPassThroughDirect: DataBuffer
// holds a buffer token; kIoctlScsiPassThrough: DataBufferOffset is an
// offset into `out`) and writes the answered record to `out`. Errors as for
// DeviceIoControl, left in the last error.
bool RunPassThrough(ScsiDrive& drive, uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                    uint32_t* bytesReturned);

// How a delivery that did not end in a SCSI status reads as a Windows error
// (0 when the drive answered with a status).
uint32_t DeliveryError(const ScsiResult& result);

// The buffer a ScopedIoBuffer token stands for, when it is registered and
// holds at least `length` bytes; null otherwise.
void* ResolveIoBuffer(uint32_t token, size_t length);

}  // namespace dravik::platform
