#include "platform/win_errors.h"

#include <cerrno>
#include <cstdio>

namespace dravik::platform {
namespace {
thread_local uint32_t lastError = kErrorSuccess;
}

uint32_t GetLastError() { return lastError; }
void SetLastError(uint32_t error) { lastError = error; }

std::string WinErrorText(uint32_t error) {
    switch (error) {
    case kErrorSuccess: return "The operation completed successfully.";
    case kErrorInvalidFunction: return "Incorrect function.";
    case kErrorFileNotFound: return "The system cannot find the file specified.";
    case kErrorAccessDenied: return "Access is denied.";
    case kErrorInvalidHandle: return "The handle is invalid.";
    case kErrorNotEnoughMemory: return "Not enough storage is available to process this command.";
    case kErrorNotReady: return "The device is not ready.";
    case kErrorGenFailure: return "A device attached to the system is not functioning.";
    case kErrorInvalidParameter: return "The parameter is incorrect.";
    case kErrorSemTimeout: return "The semaphore timeout period has expired.";
    case kErrorModNotFound: return "The specified module could not be found.";
    case kErrorIoIncomplete: return "Overlapped I/O event is not in a signaled state.";
    case kErrorIoPending: return "Overlapped I/O operation is in progress.";
    case kErrorIoDevice: return "The request could not be performed because of an I/O device error.";
    case kErrorDeviceNotConnected: return "The device is not connected.";
    default: break;
    }
    char text[48];
    std::snprintf(text, sizeof text, "Unknown error %u.", static_cast<unsigned>(error));
    return text;
}

uint32_t WinErrorFromErrno(int error) {
    switch (error) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EINVAL: return kErrorInvalidParameter;
    case ETIMEDOUT: return kErrorSemTimeout;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM: return kErrorDeviceNotConnected;
    case EIO: return kErrorIoDevice;
    default: return kErrorGenFailure;
    }
}

}  // namespace dravik::platform
