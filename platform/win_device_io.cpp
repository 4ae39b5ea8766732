// The handle table of the Windows-like device stand-ins: drives opened by
// letter, and the drivers' endpoints opened by name (driver_endpoint.h).
#include "platform/win_device_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/drive_source.h"
#include "platform/driver_endpoint.h"
#include "platform/pass_through_exec.h"
#include "platform/byte_order.h"
#include "platform/scsi_pass_through.h"
#include "platform/test_seams.h"
#include "platform/win_errors.h"

namespace dravik::platform {
namespace {


struct OpenDevice {
    char letter = 0;
    std::shared_ptr<ScsiDrive> drive;
    std::shared_ptr<DriverEndpoint> endpoint;  // set for a driver opened by name instead
};

struct OpenFault {
    uint32_t readWriteError = 0;
    uint32_t readOnlyError = 0;
};

struct State {
    std::mutex mutex;
    std::map<WinHandle, OpenDevice> handles;
    WinHandle nextHandle = 0x100;
    std::map<uint32_t, std::pair<void*, size_t>> buffers;
    uint32_t nextToken = 1;
    std::map<char, OpenFault> openFaults;
    std::map<char, std::string> substituted;
    unsigned errorMode = 0;
};

State& state() {
    static State s;
    return s;
}

// "\\.\X:" -> 'X'; 0 for anything else.
char LetterOfDevicePath(const std::string& path) {
    if (path.size() != 6 || path.compare(0, 4, "\\\\.\\") != 0 || path[5] != ':') return 0;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[4])));
    return (letter >= 'A' && letter <= 'Z') ? letter : 0;
}

// "X:" or "X:\" -> 'X'.
char LetterOfDriveName(const std::string& name) {
    if (name.size() < 2 || name[1] != ':' || name.size() > 3 || (name.size() == 3 && name[2] != '\\')) return 0;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return (letter >= 'A' && letter <= 'Z') ? letter : 0;
}

std::shared_ptr<ScsiDrive> DriveWithLetter(char letter) {
    for (auto& entry : ListDrives())
        if (entry.letter == letter) return entry.drive;
    return nullptr;
}

bool Fail(uint32_t error) {
    SetLastError(error);
    return false;
}

}  // namespace

WinHandle CreateFile(const std::string& path, uint32_t access, uint32_t /*share*/, uint32_t disposition) {
    const char letter = LetterOfDevicePath(path);
    auto& s = state();
    if (!letter && path.rfind("\\\\.\\", 0) == 0 && disposition == kOpenExisting) {
        // "\\.\NAME": one of the drivers' endpoints, when it is present.
        std::shared_ptr<DriverEndpoint> endpoint = OpenDriverEndpoint(path.substr(4));
        if (!endpoint) return kInvalidHandle;  // the endpoint left its error
        std::lock_guard lock(s.mutex);
        const WinHandle handle = s.nextHandle;
        s.nextHandle += 4;
        s.handles[handle] = OpenDevice{0, nullptr, std::move(endpoint)};
        SetLastError(kErrorSuccess);
        return handle;
    }
    std::unique_lock lock(s.mutex);
    const bool substituted = letter && s.substituted.count(letter);
    if (!letter || disposition != kOpenExisting || substituted) {
        SetLastError(kErrorFileNotFound);
        return kInvalidHandle;
    }
    if (auto fault = s.openFaults.find(letter); fault != s.openFaults.end()) {
        const uint32_t error = (access & kGenericWrite) ? fault->second.readWriteError : fault->second.readOnlyError;
        if (error) {
            SetLastError(error);
            return kInvalidHandle;
        }
    }
    lock.unlock();
    auto drive = DriveWithLetter(letter);
    if (!drive) {
        SetLastError(kErrorFileNotFound);
        return kInvalidHandle;
    }
    lock.lock();
    const WinHandle handle = s.nextHandle;
    s.nextHandle += 4;
    s.handles[handle] = OpenDevice{letter, std::move(drive), nullptr};
    SetLastError(kErrorSuccess);
    return handle;
}

WinHandle DuplicateHandle(WinHandle handle) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.handles.find(handle);
    if (it == s.handles.end()) {
        SetLastError(kErrorInvalidHandle);
        return kInvalidHandle;
    }
    const WinHandle copy = s.nextHandle;
    s.nextHandle += 4;
    s.handles[copy] = it->second;
    return copy;
}

bool CloseHandle(WinHandle handle) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.handles.erase(handle) == 0) return Fail(kErrorInvalidHandle);
    return true;
}

unsigned GetDriveType(const std::string& root) {
    const char letter = LetterOfDriveName(root);
    if (!letter) return kDriveNoRootDir;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (s.substituted.count(letter)) return kDriveCdrom;
    }
    if (DriveWithLetter(letter)) return kDriveCdrom;
    return letter == 'C' ? kDriveFixed : kDriveNoRootDir;
}

uint32_t QueryDosDevice(const std::string& name, char* target, uint32_t size) {
    const char letter = LetterOfDriveName(name);
    std::string answer;
    if (letter) {
        auto& s = state();
        std::unique_lock lock(s.mutex);
        if (auto it = s.substituted.find(letter); it != s.substituted.end()) {
            answer = it->second;
        } else {
            lock.unlock();
            int index = 0;
            for (auto& entry : ListDrives()) {
                if (entry.letter == letter) answer = NtDeviceName(static_cast<size_t>(index));
                ++index;
            }
            if (answer.empty() && letter == 'C') answer = "\\Device\\HarddiskVolume1";
        }
    }
    if (answer.empty()) {
        SetLastError(kErrorFileNotFound);
        return 0;
    }
    if (!target || answer.size() + 1 > size) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    std::memcpy(target, answer.c_str(), answer.size() + 1);
    return static_cast<uint32_t>(answer.size() + 1);
}

unsigned SetErrorMode(unsigned mode) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const unsigned previous = s.errorMode;
    s.errorMode = mode;
    return previous;
}

bool DeviceIoControl(WinHandle handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                     uint32_t outSize, uint32_t* bytesReturned) {
    if (bytesReturned) *bytesReturned = 0;
    std::shared_ptr<ScsiDrive> drive;
    std::shared_ptr<DriverEndpoint> endpoint;
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        auto it = s.handles.find(handle);
        if (it == s.handles.end()) return Fail(kErrorInvalidHandle);
        drive = it->second.drive;
        endpoint = it->second.endpoint;
    }
    if (endpoint) return endpoint->Control(code, const_cast<void*>(in), inSize, out, outSize, bytesReturned, nullptr);
    if (code != kIoctlScsiPassThroughDirect) return Fail(kErrorInvalidFunction);
    return RunPassThrough(*drive, code, in, inSize, out, outSize, bytesReturned);
}

bool DeviceIoControl(WinHandle handle, uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                     uint32_t* bytesReturned, Overlapped* overlapped) {
    if (!overlapped) return DeviceIoControl(handle, code, in, inSize, out, outSize, bytesReturned);
    if (bytesReturned) *bytesReturned = 0;
    std::shared_ptr<DriverEndpoint> endpoint;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto it = s.handles.find(handle);
        if (it == s.handles.end()) return Fail(kErrorInvalidHandle);
        endpoint = it->second.endpoint;
    }
    // Only the drivers' endpoints were opened for overlapped use.
    if (!endpoint) return Fail(kErrorInvalidParameter);
    return endpoint->Control(code, in, inSize, out, outSize, bytesReturned, overlapped);
}

bool GetOverlappedResult(WinHandle, Overlapped* overlapped, uint32_t* transferred, bool wait) {
    if (!overlapped) return Fail(kErrorInvalidParameter);
    if (!overlapped->Finish(wait)) return Fail(kErrorIoIncomplete);
    if (transferred) *transferred = overlapped->transferred;
    if (overlapped->error != kErrorSuccess) return Fail(overlapped->error);
    SetLastError(kErrorSuccess);
    return true;
}

void* ResolveIoBuffer(uint32_t token, size_t length) {
    if (token == 0) return nullptr;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.buffers.find(token);
    if (it == s.buffers.end() || it->second.second < length) return nullptr;
    return it->second.first;
}

ScopedIoBuffer::ScopedIoBuffer(void* data, size_t size) {
    if (!data) return;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    do {
        token_ = s.nextToken++;
    } while (token_ == 0 || s.buffers.count(token_));
    s.buffers[token_] = {data, size};
}

ScopedIoBuffer::~ScopedIoBuffer() {
    if (token_ == 0) return;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.buffers.erase(token_);
}

void test_seams::SetOpenFault(char letter, uint32_t readWriteError, uint32_t readOnlyError) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.openFaults[letter] = OpenFault{readWriteError, readOnlyError};
}

void test_seams::SetSubstitutedDrive(char letter, const std::string& target) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.substituted[letter] = target;
}

void test_seams::ClearDeviceIoFaults() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.openFaults.clear();
    s.substituted.clear();
}

size_t test_seams::OpenHandleCount() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    size_t drives = 0;
    for (const auto& [handle, device] : s.handles)
        if (!device.endpoint) ++drives;
    return drives;
}

}  // namespace dravik::platform
