// The drivers a Windows machine would load for the device library, as
// stand-ins of the platform layer that answer over the drive table (real
// drives through SG_IO, virtual drives over images):
//
//   "\\.\ZOLTDACC"     the kernel-mode driver: opens a drive by its NT device
//                      name, relays pass-through records to it, closes it,
//                      announces new volumes and reports its version.
//   "\\.\ZOLTVXD.VXD"  the Windows 9x virtual device driver: lists the
//                      drives, carries out requests with overlapped
//                      completion, reports its version.
//
// CreateFile (win_device_io.h) opens them by name and DeviceIoControl hands
// their control codes to Control. Each can be turned off, so the device
// library meets a machine without it:
//   DRAVIK_KERNEL_DRIVER=off   "\\.\ZOLTDACC" is not found (error 2)
//   DRAVIK_VXD=off             "\\.\ZOLTVXD.VXD" is not found (error 2)
// The VxD is also found only when a file "ZOLTVXD.VXD" lies in the current
// folder, as Windows 9x loads it from there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/win_device_io.h"

namespace dravik::platform {

// Control codes of the kernel driver.
inline constexpr uint32_t kDriverOpenDevice = 0x22E004;   // in: 260-byte NT device name; out: 4-byte handle value
inline constexpr uint32_t kDriverRelay = 0x22E008;        // in: 24-byte relay record
inline constexpr uint32_t kDriverCloseDevice = 0x22E00C;  // in: 4-byte handle value
inline constexpr uint32_t kDriverNewVolume = 0x22E014;    // in/out: the NT device name
inline constexpr uint32_t kDriverVersion = 0x226000;      // out: up to 33 bytes of text
inline constexpr size_t kDriverNameBytes = 260;
inline constexpr size_t kRelayRecordBytes = 24;
inline constexpr size_t kDriverVersionBytes = 33;

// Control codes of the VxD.
inline constexpr uint32_t kVxdRequest = 1;        // in: 68-byte request record; out: the data; overlapped
inline constexpr uint32_t kVxdDeviceRecord = 2;   // in: 32-bit index; out: 48-byte device record
inline constexpr uint32_t kVxdVersion = 3;        // out: up to 32 bytes of text
inline constexpr size_t kVxdRequestBytes = 68;
inline constexpr size_t kVxdDeviceRecordBytes = 48;
inline constexpr size_t kVxdVersionBytes = 32;

// Request-record statuses of the VxD.
inline constexpr uint8_t kVxdStatusDone = 1;
inline constexpr uint8_t kVxdStatusError = 4;

class DriverEndpoint {
public:
    virtual ~DriverEndpoint() = default;
    // One control code; false with the last error set on failure. An
    // overlapped request returns false with error 997 and completes through
    // `overlapped`.
    virtual bool Control(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                         uint32_t* bytesReturned, Overlapped* overlapped) = 0;
};

// The endpoint named `name` ("ZOLTDACC", "ZOLTVXD.VXD"), shared by every
// handle on it; null with error 2 when it is not present.
std::shared_ptr<DriverEndpoint> OpenDriverEndpoint(const std::string& name);

// The NT device name of the drive at `index` of the drive table
// ("\Device\CdRom0"), as QueryDosDevice answers for its letter.
std::string NtDeviceName(size_t index);

}  // namespace dravik::platform
