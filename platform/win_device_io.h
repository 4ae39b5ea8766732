// Stand-ins for the Windows file and device services the pass-through
// transports call: opening "\\.\X:", duplicating and closing handles, the
// drive-type and DOS-device queries, the process error mode, and
// DeviceIoControl with IOCTL_SCSI_PASS_THROUGH_DIRECT, carried out on the
// drives of drive_source.h. Failures leave a Windows error code behind
// (GetLastError, win_errors.h), as the transports expect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/win_event.h"

namespace dravik::platform {

using WinHandle = intptr_t;
inline constexpr WinHandle kInvalidHandle = -1;

inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
inline constexpr uint32_t kFileShareRead = 1;
inline constexpr uint32_t kFileShareWrite = 2;
inline constexpr uint32_t kOpenExisting = 3;

// GetDriveType answers.
inline constexpr unsigned kDriveNoRootDir = 1;
inline constexpr unsigned kDriveFixed = 3;
inline constexpr unsigned kDriveCdrom = 5;

inline constexpr unsigned kSemFailCriticalErrors = 1;

// Opens "\\.\X:" (a lettered drive) or another device path; kInvalidHandle
// and the last error on failure (2 for a name that names nothing).
WinHandle CreateFile(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition);
// A second handle on the same device with the same access.
WinHandle DuplicateHandle(WinHandle handle);
bool CloseHandle(WinHandle handle);

// For "X:\": kDriveCdrom for a lettered optical drive, kDriveFixed for C:,
// kDriveNoRootDir otherwise.
unsigned GetDriveType(const std::string& root);
// The target of the DOS name "X:" ("\Device\CdRom0"), copied with its
// terminator; 0 and the last error when there is none or it does not fit.
uint32_t QueryDosDevice(const std::string& name, char* target, uint32_t size);
// Returns the previous mode. Linux has no critical-error boxes, so the mode
// is only remembered.
unsigned SetErrorMode(unsigned mode);

// Carries out the pass-through record in `in` (see scsi_pass_through.h) and
// writes the answered record to `out`. `bytesReturned` gets the number of
// data bytes moved, which is also written to the record's
// DataTransferLength. A SCSI check condition is a successful call with
// ScsiStatus 2 and sense data; the drive's time-out fails with error 121.
bool DeviceIoControl(WinHandle handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                     uint32_t outSize, uint32_t* bytesReturned);

// An overlapped request of a driver opened by name: the call returns at
// once with error 997 (I/O pending) and the driver sets `event` when the
// request is done; GetOverlappedResult then tells how it ended. The object
// must outlive the request: GetOverlappedResult with wait set ends it.
struct Overlapped {
    WinEvent* event = nullptr;     // set by the caller, reset before the call
    uint32_t error = 0;            // written by the driver: the request's system error
    uint32_t transferred = 0;      // written by the driver: bytes moved
    std::thread worker;            // the driver's work on the request

    Overlapped() = default;
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;
    ~Overlapped() { Finish(true); }
    // True when the request has ended (after waiting for it when `wait`).
    bool Finish(bool wait);
};

// DeviceIoControl on a driver opened by name, with its output written by
// the driver (a driver may also answer into `in`). With `overlapped` null
// it is the call above.
bool DeviceIoControl(WinHandle handle, uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                     uint32_t* bytesReturned, Overlapped* overlapped);
// The end of an overlapped request: false with the request's error (or
// 996, still running, when `wait` is false and it has not ended).
bool GetOverlappedResult(WinHandle handle, Overlapped* overlapped, uint32_t* transferred, bool wait);

// Registers a data buffer for the DataBuffer field of a pass-through
// record for as long as the object lives. Token 0 stands for no buffer.
class ScopedIoBuffer {
public:
    ScopedIoBuffer(void* data, size_t size);
    ~ScopedIoBuffer();
    ScopedIoBuffer(const ScopedIoBuffer&) = delete;
    ScopedIoBuffer& operator=(const ScopedIoBuffer&) = delete;
    uint32_t Token() const { return token_; }

private:
    uint32_t token_ = 0;
};

}  // namespace dravik::platform
