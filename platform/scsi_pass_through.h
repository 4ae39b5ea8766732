// The pass-through record of IOCTL_SCSI_PASS_THROUGH_DIRECT, followed by
// its sense buffer: 80 bytes, built by the pass-through transports and
// carried out by DeviceIoControl (win_device_io.h). Offsets are those of
// the published 32-bit layout.
//
// The one field that cannot keep its 32-bit meaning is DataBuffer (offset
// 20, 4 bytes): a 64-bit pointer does not fit. It carries a buffer token
// instead (ScopedIoBuffer in win_device_io.h), so every offset of the
// record stays where the 32-bit layout has it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravik::platform {

inline constexpr uint32_t kIoctlScsiPassThroughDirect = 0x4D014;

namespace sptd {
inline constexpr size_t kLength = 0;              // 2: size of the record proper, 44
inline constexpr size_t kScsiStatus = 2;          // 1
inline constexpr size_t kPathId = 3;              // 1
inline constexpr size_t kTargetId = 4;            // 1
inline constexpr size_t kLun = 5;                 // 1
inline constexpr size_t kCdbLength = 6;           // 1
inline constexpr size_t kSenseInfoLength = 7;     // 1
inline constexpr size_t kDataIn = 8;              // 1, then 3 padding bytes
inline constexpr size_t kDataTransferLength = 12; // 4
inline constexpr size_t kTimeOutValue = 16;       // 4, seconds
inline constexpr size_t kDataBuffer = 20;         // 4, buffer token
inline constexpr size_t kSenseInfoOffset = 24;    // 4
inline constexpr size_t kCdb = 28;                // 16, then 4 padding bytes
inline constexpr size_t kRecordLength = 44;
inline constexpr size_t kSenseBuffer = 48;
inline constexpr size_t kSenseBufferLength = 32;
inline constexpr size_t kTotalLength = 80;
inline constexpr size_t kCdbMax = 16;

// DataIn values.
inline constexpr uint8_t kDataOut = 0;
inline constexpr uint8_t kDataInFromDevice = 1;
inline constexpr uint8_t kDataUnspecified = 2;
}  // namespace sptd

}  // namespace dravik::platform
