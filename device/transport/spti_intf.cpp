// SPTIIntf: opening drives by letter, enumeration C to Z, commands through
// the pass-through record with the system's time-out retries and the
// common recovery rules.
#include "device/transport/spti_intf.h"

#include <algorithm>

#include "device/cddevice/os_version.h"
#include "device/request/system_error_text.h"
#include "device/transport/recovery_policy.h"
#include "device/transport/sense_extraction.h"
#include "device/transport/transport_log.h"
#include "device/transport/transport_timing.h"
#include "platform/scsi_pass_through.h"
#include "platform/win_errors.h"

namespace dravik::device {
namespace {

using namespace platform;

constexpr int kTimeoutRetryBudget = 2;
constexpr uint32_t kTimeoutRetryPauseMs = 500;

ResourceModule sptiInstance = nullptr;
char sptiDeviceId[3];

std::string SystemText(uint32_t error) { return TrimSystemMessage(SystemMessageText(error)); }

std::string DevicePath(uint8_t letter) { return std::string("\\\\.\\") + static_cast<char>(letter) + ":"; }

}  // namespace

bool StartSPTIIntf(ResourceModule resourceModule, MessageCallback) {
    sptiInstance = resourceModule;
    return CurrentOsVersion().platformId == kPlatformNT;
}

DeviceIntf* CreateSPTIIntf() { return new (std::nothrow) SPTIIntf(); }

SPTIIntf::SPTIIntf(const SPTIIntf& other)
    : DeviceIntf(other), foundByScan_(other.foundByScan_), driveType_(other.driveType_) {
    if (other.handle_ != kInvalidHandle) handle_ = platform::DuplicateHandle(other.handle_);
}

SPTIIntf::~SPTIIntf() {
    if (handle_ != kInvalidHandle) platform::CloseHandle(handle_);
}

DeviceIntf* SPTIIntf::Clone() const { return new (std::nothrow) SPTIIntf(*this); }

const char* SPTIIntf::GetDeviceId() {
    sptiDeviceId[0] = static_cast<char>(driveLetter);
    sptiDeviceId[1] = ':';
    sptiDeviceId[2] = 0;
    return sptiDeviceId;
}

bool SPTIIntf::CloseDevice() {
    if (handle_ != kInvalidHandle) platform::CloseHandle(handle_);
    handle_ = kInvalidHandle;
    return true;
}

bool SPTIIntf::OpenDevice() {
    if (handle_ != kInvalidHandle) return true;
    const std::string path = DevicePath(driveLetter);
    TransportLog(*this, 0, "Opening access to type %d device at %s", driveType_, path.c_str());
    struct ErrorModeScope {
        unsigned previous = platform::SetErrorMode(kSemFailCriticalErrors);
        ~ErrorModeScope() { platform::SetErrorMode(previous); }
    } errorMode;
    handle_ = platform::CreateFile(path, kGenericRead | kGenericWrite, kFileShareRead | kFileShareWrite, kOpenExisting);
    if (handle_ != kInvalidHandle) return true;
    const uint32_t error = platform::GetLastError();
    if (error == kErrorAccessDenied) {
        handle_ = platform::CreateFile(path, kGenericRead, kFileShareRead | kFileShareWrite, kOpenExisting);
        if (handle_ != kInvalidHandle) return true;
        if (platform::GetLastError() == kErrorAccessDenied && messageCallback) messageCallback(3012, path.c_str());
        return false;
    }
    if (error == kErrorDeviceNotConnected) return false;
    if (messageCallback) messageCallback(3011, path.c_str(), SystemText(error).c_str(), static_cast<int>(error));
    return false;
}

bool SPTIIntf::FirstDevice() {
    CloseDevice();
    driveLetter = 0;
    return NextDevice();
}

bool SPTIIntf::NextDevice() {
    foundByScan_ = false;
    if (handle_ != kInvalidHandle) CloseDevice();
    std::string target;
    while (NextCdromLetter(driveLetter, driveType_, target)) {
        deviceType = 5;
        if (OpenDevice()) {
            foundByScan_ = true;
            return true;
        }
    }
    return false;
}

bool SPTIIntf::EnsureOpen(DevRequest* request) {
    if (handle_ != kInvalidHandle || !foundByScan_) return true;
    if (OpenDevice()) return true;
    SetSystemErrorSense(request, 5);
    return false;
}

bool SPTIIntf::Execute(DevRequest* request, bool interpret) {
    using namespace sptd;
    if (!EnsureOpen(request)) return false;
    ScopedIoBuffer pinned(request->buffer, request->dataLength);
    uint8_t record[kTotalLength];
    int budget = kRetryBudget;
    if (TransportLogs(*this, 1))
        TransportLog(*this, 1, "SCSI Cmd: %s, buffer=%x, buflen=%x", CdbText(request->cdb, request->cdbLength).c_str(),
                     LowBits(request->buffer), request->dataLength);
    for (;;) {
        // The system writes the moved byte count into the record; a retry
        // must ask for the whole transfer again, so each attempt starts
        // from a fresh record (with its sense buffer cleared).
        BuildPassThroughRecord(*request, pinned.Token(), record);
        platform::SetLastError(kErrorSuccess);
        const uint32_t started = TransportTicks();
        uint32_t returned = 0;
        const bool delivered = platform::DeviceIoControl(handle_, kIoctlScsiPassThroughDirect, record, kTotalLength,
                                                         record, kTotalLength, &returned);
        const uint8_t scsiStatus = record[kScsiStatus];
        if (delivered && scsiStatus == 0) {
            request->senseKey = request->asc = request->ascq = 0;
            request->requestStatus = 0;
            request->dataLength = returned;
            return true;
        }
        const uint32_t elapsed = TransportTicks() - started;
        const uint32_t error = platform::GetLastError();
        if (error == kErrorInvalidParameter)
            TransportLog(*this, 0, "Parameter error: Cmd:0x%02x Buffer:%08x Length:%08x", request->cdb[0],
                         LowBits(request->buffer), request->dataLength);
        if (error == kErrorSemTimeout && scsiStatus == 0) {
            budget = std::min(budget, kTimeoutRetryBudget);
            if (budget-- > 0) {
                TransportSleep(kTimeoutRetryPauseMs);
                continue;
            }
        }
        request->requestStatus = scsiStatus ? scsiStatus : static_cast<uint8_t>(error & 0xFF);
        ExtractSense(record + kSenseBuffer, kSenseBufferLength, request);
        if (error != 0 && request->asc == 0) {
            TransportLog(*this, 0, "Error %d returned: %s, handle=%x", static_cast<int>(error),
                         SystemText(error).c_str(), LowBits(handle_));
            SetSystemErrorSense(request, error);
            return false;
        }
        if (AbortRequested(request)) budget = 0;
        if (!interpret) return false;
        auto commandErrorLine = [&] {
            if (debugLevel > 1 || (debugLevel > 0 && request->asc == 0))
                TransportLog(*this, 0,
                             "Command error: cmd=%x, block=%d, DataLen:%x, Status=%x, Sense=%x %x, Dir:%02x, Error=%d",
                             request->cdb[0], CdbBlock(request->cdb), request->dataLength, scsiStatus, request->asc,
                             request->ascq, record[kDataIn], static_cast<int>(error));
        };
        if (ApplyCommonRecovery(*this, request, budget, elapsed, commandErrorLine) == Recovery::kFail) return false;
    }
}

bool SPTIIntf::TestUnitReady(DevRequest* request, bool retry) {
    using namespace sptd;
    if (!EnsureOpen(request)) return false;
    const int attempts = retry ? 3 : 1;
    uint8_t record[kTotalLength];
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) TransportSleep(kTestUnitReadyPauseMs);
        BuildTestUnitReadyRecord(record);
        uint32_t returned = 0;
        const bool delivered = platform::DeviceIoControl(handle_, kIoctlScsiPassThroughDirect, record, kTotalLength,
                                                         record, kTotalLength, &returned);
        TransportLog(*this, 1, "Test Unit Ready %s status=%02x, Sense=%02x %02x", delivered ? "Good" : "Bad",
                     record[kScsiStatus], record[kSenseBuffer + 12], record[kSenseBuffer + 13]);
        if (delivered && record[kScsiStatus] == 0) return true;
    }
    ExtractSense(record + kSenseBuffer, kSenseBufferLength, request);
    return false;
}

}  // namespace dravik::device
