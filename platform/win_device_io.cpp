// Limits on what a caller may ask of the pass-through stand-in; a record
// outside them fails with error 87 before any drive sees it.
//   kMaxTransferBytes   largest data transfer of one command
//   TimeOutValue        1 to 108000 seconds, as the published interface has it
//   CdbLength           1 to 16
//   SenseInfoLength     the sense area must lie inside the output record
#include "platform/win_device_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/drive_source.h"
#include "platform/byte_order.h"
#include "platform/scsi_pass_through.h"
#include "platform/test_seams.h"
#include "platform/win_errors.h"

namespace dravik::platform {
namespace {

constexpr size_t kMaxTransferBytes = 16u << 20;
constexpr uint32_t kMaxTimeoutSeconds = 108000;
constexpr uint16_t kLinuxHostTimeout = 3;  // DID_TIME_OUT of the SCSI generic interface
constexpr uint16_t kLinuxDriverSense = 8;  // DRIVER_SENSE: sense came back, not a failure

struct OpenDevice {
    char letter = 0;
    std::shared_ptr<ScsiDrive> drive;
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

// How a delivery that did not end in a SCSI status reads as a Windows error.
uint32_t DeliveryError(const ScsiResult& result) {
    if (result.transportErrno == ETIMEDOUT || result.hostStatus == kLinuxHostTimeout) return kErrorSemTimeout;
    if (result.transportErrno != 0) return WinErrorFromErrno(result.transportErrno);
    if (result.hostStatus != 0 || (result.driverStatus & ~kLinuxDriverSense) != 0) return kErrorIoDevice;
    return kErrorSuccess;
}

}  // namespace

WinHandle CreateFile(const std::string& path, uint32_t access, uint32_t /*share*/, uint32_t disposition) {
    const char letter = LetterOfDevicePath(path);
    auto& s = state();
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
    s.handles[handle] = OpenDevice{letter, std::move(drive)};
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
                if (entry.letter == letter) answer = "\\Device\\CdRom" + std::to_string(index);
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
    using namespace sptd;
    if (bytesReturned) *bytesReturned = 0;
    std::shared_ptr<ScsiDrive> drive;
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        auto it = s.handles.find(handle);
        if (it == s.handles.end()) return Fail(kErrorInvalidHandle);
        drive = it->second.drive;
    }
    if (code != kIoctlScsiPassThroughDirect) return Fail(kErrorInvalidFunction);
    if (!in || !out || inSize < kRecordLength || outSize < kRecordLength) return Fail(kErrorInvalidParameter);

    uint8_t record[kTotalLength] = {};
    std::memcpy(record, in, std::min<size_t>(inSize, kTotalLength));
    const uint8_t cdbLength = record[kCdbLength];
    const uint8_t senseLength = record[kSenseInfoLength];
    const uint8_t dataIn = record[kDataIn];
    const uint32_t transferLength = bytes::GetLe32(record + kDataTransferLength);
    const uint32_t timeoutSeconds = bytes::GetLe32(record + kTimeOutValue);
    const uint32_t token = bytes::GetLe32(record + kDataBuffer);
    const uint32_t senseOffset = bytes::GetLe32(record + kSenseInfoOffset);
    if (bytes::GetLe16(record + kLength) != kRecordLength || cdbLength == 0 || cdbLength > kCdbMax ||
        dataIn > kDataUnspecified || timeoutSeconds == 0 || timeoutSeconds > kMaxTimeoutSeconds ||
        transferLength > kMaxTransferBytes)
        return Fail(kErrorInvalidParameter);
    if (senseLength != 0 && (senseOffset < kRecordLength || senseOffset > outSize ||
                             senseLength > outSize - senseOffset || senseOffset + senseLength > kTotalLength))
        return Fail(kErrorInvalidParameter);

    uint8_t* data = nullptr;
    if (transferLength > 0 && dataIn != kDataUnspecified) {
        std::lock_guard lock(s.mutex);
        auto it = s.buffers.find(token);
        if (token == 0 || it == s.buffers.end() || it->second.second < transferLength)
            return Fail(kErrorInvalidParameter);
        data = static_cast<uint8_t*>(it->second.first);
    }

    ScsiRequest request;
    request.cdb = record + kCdb;
    request.cdbLength = cdbLength;
    request.data = data;
    request.dataLength = data ? transferLength : 0;
    request.direction = !data ? DataDirection::kNone
                              : (dataIn == kDataInFromDevice ? DataDirection::kIn : DataDirection::kOut);
    request.timeoutMs = timeoutSeconds * 1000;
    const ScsiResult result = drive->Execute(request);

    if (const uint32_t error = DeliveryError(result); error != kErrorSuccess) return Fail(error);
    record[kScsiStatus] = result.scsiStatus;
    if (senseLength != 0) {
        const size_t copied = std::min<size_t>({senseLength, result.senseLength, kMaxSenseBytes});
        std::memcpy(record + senseOffset, result.sense, copied);
    }
    const uint32_t moved =
        static_cast<uint32_t>(request.dataLength - std::min(result.residual, request.dataLength));
    bytes::PutLe32(record + kDataTransferLength, moved);
    std::memcpy(out, record, std::min<size_t>(outSize, kTotalLength));
    if (bytesReturned) *bytesReturned = moved;
    SetLastError(kErrorSuccess);
    return true;
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
    return s.handles.size();
}

}  // namespace dravik::platform
