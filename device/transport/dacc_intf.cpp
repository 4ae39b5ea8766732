// DACCIntf: the library-wide driver handle, drives by letter and NT device
// name, commands relayed to the driver with the pass-through transport's
// retries and the common recovery rules.
#include "device/transport/dacc_intf.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "device/cddevice/os_version.h"
#include "device/request/system_error_text.h"
#include "device/transport/recovery_policy.h"
#include "device/transport/sense_extraction.h"
#include "device/transport/spti_intf.h"
#include "device/transport/transport_log.h"
#include "device/transport/transport_timing.h"
#include "platform/byte_order.h"
#include "platform/driver_endpoint.h"
#include "platform/pass_through_exec.h"
#include "platform/scsi_pass_through.h"
#include "platform/win_device_io.h"
#include "platform/win_errors.h"

namespace dravik::device {
namespace {

using namespace platform;

constexpr int kDaccTimeoutRetryBudget = 2;
constexpr uint32_t kDaccTimeoutRetryPauseMs = 500;
constexpr size_t kDaccPageBytes = 4096;

// Opened by the first start and kept for the life of the process.
WinHandle daccDriver = kInvalidHandle;
ResourceModule daccInstance = nullptr;
char daccDeviceId[3];

std::string DaccSystemText(uint32_t error) { return TrimSystemMessage(SystemMessageText(error)); }

void SendDaccClose(uint32_t value) {
    uint8_t in[4];
    bytes::PutLe32(in, value);
    uint32_t returned = 0;
    platform::DeviceIoControl(daccDriver, kDriverCloseDevice, in, sizeof in, nullptr, 0, &returned);
}

// The buffered pass-through record of TestUnitReady, inside `buffer`.
void BuildBufferedTestUnitReady(uint8_t* buffer) {
    using namespace sptd;
    std::memset(buffer, 0, kTotalLength);
    bytes::PutLe16(buffer + kLength, kRecordLength);
    buffer[kCdbLength] = 6;
    buffer[kSenseInfoLength] = kSenseBufferLength;
    buffer[kDataIn] = kDataInFromDevice;
    bytes::PutLe32(buffer + kTimeOutValue, kPassThroughTimeoutSeconds);
    bytes::PutLe32(buffer + kDataBuffer, 0);  // DataBufferOffset: no data
    bytes::PutLe32(buffer + kSenseInfoOffset, kSenseBuffer);
}

}  // namespace

struct DACCIntf::OpenDeviceShare {
    uint32_t value = kDaccClosedValue;
    ~OpenDeviceShare() {
        if (value != kDaccClosedValue) SendDaccClose(value);
    }
};

void DACCIntf::FreeBuffer::operator()(uint8_t* buffer) const { std::free(buffer); }

bool StartDACCIntf(ResourceModule resourceModule, MessageCallback messageCallback) {
    daccInstance = resourceModule;
    if (CurrentOsVersion().platformId != kPlatformNT) return false;
    // Each start opens the driver afresh, so a start after the driver went
    // away fails as on a machine without it.
    if (daccDriver != kInvalidHandle) CloseHandle(daccDriver);
    daccDriver = CreateFile("\\\\.\\ZOLTDACC", kGenericRead | kGenericWrite, kFileShareRead | kFileShareWrite,
                            kOpenExisting);
    if (daccDriver != kInvalidHandle) return true;
    const uint32_t error = GetLastError();
    if (!messageCallback) return false;
    if (error == kErrorFileNotFound)
        messageCallback(3015, "ZOLTDACC");
    else
        messageCallback(3014, "ZOLTDACC", DaccSystemText(error).c_str());
    return false;
}

DeviceIntf* CreateDACCIntf() { return new (std::nothrow) DACCIntf(); }

DACCIntf::DACCIntf() : transfer_(static_cast<uint8_t*>(std::aligned_alloc(kDaccPageBytes, kDaccTransferBytes))) {}

// The copy shares the open device through the driver instead of
// duplicating the driver's value as if it were a handle of the process.
DACCIntf::DACCIntf(const DACCIntf& other)
    : DeviceIntf(other),
      device_(other.device_),
      foundByScan_(other.foundByScan_),
      driveType_(other.driveType_),
      ntName_(other.ntName_),
      transfer_(static_cast<uint8_t*>(std::aligned_alloc(kDaccPageBytes, kDaccTransferBytes))) {}

DACCIntf::~DACCIntf() = default;

DeviceIntf* DACCIntf::Clone() const {
    auto* copy = new (std::nothrow) DACCIntf(*this);
    if (copy && !copy->transfer_) {
        delete copy;
        return nullptr;
    }
    return copy;
}

uint32_t DACCIntf::HandleValue() const { return device_ ? device_->value : kDaccClosedValue; }

std::string DACCIntf::GetVersion() {
    char text[kDriverVersionBytes + 1] = {};
    uint32_t returned = 0;
    if (!platform::DeviceIoControl(daccDriver, kDriverVersion, nullptr, 0, text, kDriverVersionBytes, &returned))
        return {};
    return std::string(text, strnlen(text, kDriverVersionBytes));
}

const char* DACCIntf::GetDeviceId() {
    daccDeviceId[0] = static_cast<char>(driveLetter);
    daccDeviceId[1] = ':';
    daccDeviceId[2] = 0;
    return daccDeviceId;
}

bool DACCIntf::WinVolume(int action) {
    if (action != 1) return true;
    // The driver answers into the same buffer it reads the name from.
    std::string name = ntName_;
    uint32_t returned = 0;
    if (platform::DeviceIoControl(daccDriver, kDriverNewVolume, name.data(), static_cast<uint32_t>(name.size()),
                                  name.data(), static_cast<uint32_t>(name.size()), &returned, nullptr))
        return true;
    const uint32_t error = GetLastError();
    TransportLog(*this, 0, "Error returned by ZOLTDACC for NewVolume %s: %s (%d)", ntName_.c_str(),
                 DaccSystemText(error).c_str(), static_cast<int>(error));
    return false;
}

bool DACCIntf::OpenDevice() {
    if (device_) return true;
    TransportLog(*this, 0, "Opening access to type %d device at %s", driveType_, ntName_.c_str());
    struct ErrorModeScope {
        unsigned previous = platform::SetErrorMode(kSemFailCriticalErrors);
        ~ErrorModeScope() { platform::SetErrorMode(previous); }
    } errorMode;
    char name[kDriverNameBytes] = {};
    std::memcpy(name, ntName_.c_str(), std::min(ntName_.size(), kDriverNameBytes - 1));
    uint8_t answer[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    uint32_t returned = 0;
    const bool sent = platform::DeviceIoControl(daccDriver, kDriverOpenDevice, name, sizeof name, answer,
                                                sizeof answer, &returned);
    const uint32_t value = bytes::GetLe32(answer);
    if (sent && value != kDaccClosedValue) {
        device_ = std::make_shared<OpenDeviceShare>();
        device_->value = value;
        return true;
    }
    const uint32_t error = sent ? kErrorSuccess : GetLastError();
    if (messageCallback)
        messageCallback(3011, ntName_.c_str(), DaccSystemText(error).c_str(), static_cast<int>(error));
    return false;
}

bool DACCIntf::CloseDevice() {
    // Lets go of this object's share; the driver hears the close from the
    // last owner.
    device_.reset();
    return true;
}

bool DACCIntf::FirstDevice() {
    CloseDevice();
    driveLetter = 0;
    return NextDevice();
}

bool DACCIntf::NextDevice() {
    foundByScan_ = false;
    CloseDevice();
    std::string target;
    while (NextCdromLetter(driveLetter, driveType_, target)) {
        // The driver opens drives by their system device name.
        if (target.empty()) continue;
        ntName_ = target;
        deviceType = 5;
        if (OpenDevice()) {
            foundByScan_ = true;
            return true;
        }
    }
    return false;
}

bool DACCIntf::EnsureOpen(DevRequest* request) {
    if (device_ || !foundByScan_) return true;
    if (OpenDevice()) return true;
    SetSystemErrorSense(request, 5);
    return false;
}

bool DACCIntf::Relay(uint32_t innerCode, uint8_t* record) {
    ScopedIoBuffer pinned(record, sptd::kTotalLength);
    uint8_t relay[kRelayRecordBytes];
    bytes::PutLe32(relay, HandleValue());
    bytes::PutLe32(relay + 4, innerCode);
    bytes::PutLe32(relay + 8, pinned.Token());
    bytes::PutLe32(relay + 12, sptd::kTotalLength);
    bytes::PutLe32(relay + 16, pinned.Token());
    bytes::PutLe32(relay + 20, sptd::kTotalLength);
    uint32_t returned = 0;
    return platform::DeviceIoControl(daccDriver, kDriverRelay, relay, sizeof relay, nullptr, 0, &returned);
}

bool DACCIntf::Execute(DevRequest* request, bool interpret) {
    using namespace sptd;
    if (!EnsureOpen(request)) return false;
    if (!transfer_) return false;
    const bool staged = request->dataLength <= kDaccStagedBytes;
    const uint32_t length = request->dataLength;
    ScopedIoBuffer pinnedData(staged ? static_cast<void*>(transfer_.get()) : request->buffer,
                              staged ? kDaccTransferBytes : length);
    uint8_t record[kTotalLength];
    int budget = kRetryBudget;
    if (TransportLogs(*this, 1))
        TransportLog(*this, 1, "SCSI Cmd: %s, buffer=%x, buflen=%x", CdbText(request->cdb, request->cdbLength).c_str(),
                     LowBits(request->buffer), length);
    for (;;) {
        if (staged && request->buffer && length) std::memcpy(transfer_.get(), request->buffer, length);
        BuildPassThroughRecord(*request, pinnedData.Token(), record);
        platform::SetLastError(kErrorSuccess);
        const uint32_t started = TransportTicks();
        const bool delivered = Relay(kIoctlScsiPassThroughDirect, record);
        const uint8_t scsiStatus = record[kScsiStatus];
        if (delivered && scsiStatus == 0) {
            if (staged && request->buffer && length) std::memcpy(request->buffer, transfer_.get(), length);
            request->senseKey = request->asc = request->ascq = 0;
            request->requestStatus = 0;
            // The relay call itself moves no bytes: the count the drive
            // moved is the one the driver wrote into the record.
            request->dataLength = bytes::GetLe32(record + kDataTransferLength);
            return true;
        }
        const uint32_t elapsed = TransportTicks() - started;
        const uint32_t error = delivered ? kErrorSuccess : platform::GetLastError();
        if (error == kErrorInvalidParameter)
            TransportLog(*this, 0, "Parameter error: Cmd:0x%02x Buffer:%08x Length:%08x", request->cdb[0],
                         LowBits(request->buffer), length);
        if (error == kErrorSemTimeout && scsiStatus == 0) {
            budget = std::min(budget, kDaccTimeoutRetryBudget);
            if (budget-- > 0) {
                TransportSleep(kDaccTimeoutRetryPauseMs);
                continue;
            }
        }
        request->requestStatus = scsiStatus ? scsiStatus : static_cast<uint8_t>(error & 0xFF);
        ExtractSense(record + kSenseBuffer, kSenseBufferLength, request);
        if (error != 0 && request->asc == 0) {
            TransportLog(*this, 0, "Error %d returned: %s, handle=%x", static_cast<int>(error),
                         DaccSystemText(error).c_str(), HandleValue());
            SetSystemErrorSense(request, error);
            return false;
        }
        if (AbortRequested(request)) budget = 0;
        if (!interpret) return false;
        auto commandErrorLine = [&] {
            if (debugLevel > 1 || (debugLevel > 0 && request->asc == 0))
                TransportLog(*this, 0, "Command error: cmd=%x, block=%d, Status=%x, Sense=%x %x, Error=%d",
                             request->cdb[0], CdbBlock(request->cdb), scsiStatus, request->asc, request->ascq,
                             static_cast<int>(error));
        };
        if (ApplyCommonRecovery(*this, request, budget, elapsed, commandErrorLine) == Recovery::kFail) return false;
    }
}

bool DACCIntf::TestUnitReady(DevRequest* request, bool retry) {
    using namespace sptd;
    if (!EnsureOpen(request)) return false;
    if (!transfer_) return false;
    const int attempts = retry ? 3 : 1;
    bool delivered = false;
    uint32_t error = kErrorSuccess;
    uint8_t* record = transfer_.get();
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) TransportSleep(kTestUnitReadyPauseMs);
        BuildBufferedTestUnitReady(record);
        platform::SetLastError(kErrorSuccess);
        delivered = Relay(platform::kIoctlScsiPassThrough, record);
        error = delivered ? kErrorSuccess : platform::GetLastError();
        if (delivered && record[kScsiStatus] == 0) return true;
    }
    if (delivered) {
        ExtractSense(record + kSenseBuffer, kSenseBufferLength, request);
    } else {
        TransportLog(*this, 0, "TestUnitReady error %d returned: %s, handle=%x", static_cast<int>(error),
                     DaccSystemText(error).c_str(), HandleValue());
        SetSystemErrorSense(request, error);
    }
    return false;
}

}  // namespace dravik::device
