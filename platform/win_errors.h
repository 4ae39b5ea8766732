// The error codes the Windows-like stand-ins of this folder report, the
// per-thread "last error" they leave behind, and the system texts for them.
#pragma once

#include <cstdint>
#include <string>

namespace dravik::platform {

inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorNotReady = 21;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorSemTimeout = 121;   // the system's command time-out
inline constexpr uint32_t kErrorModNotFound = 126;
inline constexpr uint32_t kErrorIoIncomplete = 996;  // an overlapped request still running
inline constexpr uint32_t kErrorIoPending = 997;     // an overlapped request was started
inline constexpr uint32_t kErrorIoDevice = 1117;
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;

uint32_t GetLastError();
void SetLastError(uint32_t error);

// The system's text for an error code, without a trailing line break.
std::string WinErrorText(uint32_t error);

// The error code a Linux errno maps onto.
uint32_t WinErrorFromErrno(int error);

}  // namespace dravik::platform
