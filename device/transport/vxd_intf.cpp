// VXDIntf: finding and opening the VxD, its device list, and commands as
// overlapped requests with the VxD's own retries and the common recovery
// rules.
#include "device/transport/vxd_intf.h"

#include <limits.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "device/cddevice/os_version.h"
#include "device/regstore/registry_store.h"
#include "device/request/system_error_text.h"
#include "device/transport/recovery_policy.h"
#include "device/transport/sense_extraction.h"
#include "device/transport/transport_log.h"
#include "device/transport/transport_timing.h"
#include "platform/byte_order.h"
#include "platform/driver_endpoint.h"
#include "platform/win_device_io.h"
#include "platform/win_errors.h"

namespace dravik::device {
namespace {

using namespace platform;

constexpr char kVxdFile[] = "ZOLTVXD.VXD";
constexpr char kSharedValue[] = "Shared";
constexpr int kVxdRetryBudget = 5;
constexpr uint8_t kVxdStatusBusy = 0x0E;
constexpr uint8_t kVxdStatusDoneAlso = 0x12;
constexpr uint8_t kVxdAscMediumChanged = 0x28;
constexpr uint8_t kVxdAscPowerOnReset = 0x29;
constexpr uint32_t kQuickAttemptMsVxd = 110;
constexpr uint32_t kResetSettleMsVxd = 500;

WinHandle vxdHandle = kInvalidHandle;
ResourceModule vxdInstance = nullptr;
char vxdDeviceId[24];

std::string VxdSystemText(uint32_t error) { return TrimSystemMessage(SystemMessageText(error)); }

std::string VxdProgramPath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

bool VxdFileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Where ZOLTVXD.VXD lies: the "Shared" folder of the settings, else beside
// the program, else in "../Shared" from there. Empty when nowhere.
std::string VxdFolder() {
    RegistryStore settings;
    settings.Open(kDeviceIntfKey);
    std::string base = settings.ReadString(kSharedValue, "");
    settings.Close();
    if (!base.empty()) {
        if (base.back() != '/') base += '/';
        base += "placeholder";  // the last component is replaced below
    } else {
        base = VxdProgramPath();
    }
    const size_t slash = base.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string("./") : base.substr(0, slash + 1);
    if (VxdFileExists(folder + kVxdFile)) return folder;
    const std::string shared = folder + "../Shared/";
    if (VxdFileExists(shared + kVxdFile)) return shared;
    return folder;
}

// Request record offsets.
constexpr size_t kRecLength = 0;
constexpr size_t kRecIndex = 2;
constexpr size_t kRecFlags = 4;
constexpr size_t kRecStatus = 5;
constexpr size_t kRecAdapter = 6;
constexpr size_t kRecCdbLength = 7;
constexpr size_t kRecDataLength = 12;
constexpr size_t kRecBuffer = 16;
constexpr size_t kRecCdb = 20;
constexpr size_t kRecSense = 36;
constexpr size_t kRecSenseBytes = 32;

}  // namespace

bool StartVXDIntf(ResourceModule resourceModule, MessageCallback messageCallback) {
    vxdInstance = resourceModule;
    if (CurrentOsVersion().platformId == kPlatformNT) return false;
    if (vxdHandle != kInvalidHandle) {
        CloseHandle(vxdHandle);
        vxdHandle = kInvalidHandle;
    }
    // Windows 9x loads the VxD from the current folder: the start goes
    // there for the open and comes back.
    char previous[PATH_MAX];
    const bool remembered = ::getcwd(previous, sizeof previous) != nullptr;
    const std::string folder = VxdFolder();
    const bool moved = ::chdir(folder.c_str()) == 0;
    vxdHandle = CreateFile("\\\\.\\ZOLTVXD.VXD", 0, 0, kOpenExisting);
    const uint32_t error = GetLastError();
    if (moved && remembered && ::chdir(previous) != 0) {
        // The folder the process started in went away meanwhile; nothing
        // of the library depends on it.
    }
    if (vxdHandle != kInvalidHandle) return true;
    if (error != kErrorFileNotFound && messageCallback)
        messageCallback(3013, VxdSystemText(error).c_str(), static_cast<int>(error));
    return false;
}

DeviceIntf* CreateVXDIntf() {
    auto* intf = new (std::nothrow) VXDIntf();
    return intf;
}

VXDIntf::VXDIntf() : completion_(std::make_unique<WinEvent>()) {}

VXDIntf::VXDIntf(const VXDIntf& other)
    : DeviceIntf(other), completion_(std::make_unique<WinEvent>()), deviceIndex_(other.deviceIndex_) {
    address_[0] = other.address_[0];
    address_[1] = other.address_[1];
}

DeviceIntf* VXDIntf::Clone() const { return new (std::nothrow) VXDIntf(*this); }

void VXDIntf::Shutdown() {
    if (vxdHandle != kInvalidHandle) CloseHandle(vxdHandle);
    vxdHandle = kInvalidHandle;
}

std::string VXDIntf::GetVersion() {
    char text[kVxdVersionBytes + 1] = {};
    uint32_t returned = 0;
    if (!platform::DeviceIoControl(vxdHandle, kVxdVersion, nullptr, 0, text, kVxdVersionBytes, &returned))
        return "*** Unknown ***";
    return std::string(text, strnlen(text, kVxdVersionBytes));
}

const char* VXDIntf::GetDeviceId() {
    std::snprintf(vxdDeviceId, sizeof vxdDeviceId, "(%d:%d)", address_[0] * 16 + address_[1], deviceIndex_);
    return vxdDeviceId;
}

bool VXDIntf::FirstDevice() {
    deviceIndex_ = -1;
    return NextDevice();
}

bool VXDIntf::NextDevice() {
    deviceIndex_ = deviceIndex_ == -1 ? 0 : deviceIndex_ + 1;
    for (;; ++deviceIndex_) {
        uint8_t index[4];
        bytes::PutLe32(index, static_cast<uint32_t>(deviceIndex_));
        uint8_t record[kVxdDeviceRecordBytes] = {};
        uint32_t returned = 0;
        if (!platform::DeviceIoControl(vxdHandle, kVxdDeviceRecord, index, sizeof index, record, sizeof record,
                                       &returned, nullptr))
            return false;
        const uint32_t maxTransfer = bytes::GetLe32(record + 40);
        TransportLog(*this, 0, "Device found: %c: %02x %02x %02x type:%02x %8.8s %16.16s max buffer:%x",
                     'A' + record[44], record[0], record[1], record[2], record[3],
                     reinterpret_cast<const char*>(record + 16), reinterpret_cast<const char*>(record + 24),
                     maxTransfer);
        const uint8_t type = record[3];
        const bool syquest = ::strncasecmp(reinterpret_cast<const char*>(record + 16), "SYQUEST", 7) == 0;
        if ((type == 5 || type == 4) && !syquest) {
            deviceType = type;
            address_[0] = record[1];
            address_[1] = record[2];
            driveLetter = static_cast<uint8_t>('A' + record[44]);
            return true;
        }
    }
}

bool VXDIntf::Execute(DevRequest* request, bool interpret) {
    uint8_t record[kVxdRequestBytes] = {};
    bytes::PutLe16(record + kRecLength, kVxdRequestBytes);
    bytes::PutLe16(record + kRecIndex, static_cast<uint16_t>(deviceIndex_));
    const uint32_t direction = request->Direction();
    record[kRecFlags] = (direction & kRequestDataIn) ? 0x80 : (direction & kRequestDataOut) ? 0x40 : 0;
    record[kRecCdbLength] = request->cdbLength;
    std::memcpy(record + kRecCdb, request->cdb, std::min<size_t>(request->cdbLength, 16));
    ScopedIoBuffer pinned(request->buffer, request->dataLength);
    bytes::PutLe32(record + kRecBuffer, pinned.Token());
    const uint32_t length = request->dataLength;
    int budget = kVxdRetryBudget;
    if (TransportLogs(*this, 1))
        TransportLog(*this, 1, "SCSI Cmd: %s", CdbText(request->cdb, request->cdbLength).c_str());
    for (;;) {
        bytes::PutLe32(record + kRecDataLength, length);
        record[kRecStatus] = record[kRecAdapter] = 0;
        std::memset(record + kRecSense, 0, kRecSenseBytes);
        completion_->Reset();
        const uint32_t started = TransportTicks();
        Overlapped overlapped;
        overlapped.event = completion_.get();
        uint32_t returned = 0;
        uint32_t platformError = kErrorSuccess;
        if (!platform::DeviceIoControl(vxdHandle, kVxdRequest, record, sizeof record, request->buffer, length,
                                       &returned, &overlapped)) {
            const uint32_t error = platform::GetLastError();
            if (error != kErrorIoPending) {
                request->requestStatus = static_cast<uint8_t>(error & 0xFF);
                SetSystemErrorSense(request, error);
                if (error == kErrorInvalidParameter)
                    TransportLog(*this, 0, "Parameter error, buffer:%08x, DataLen=%08x, Cmd=%02x",
                                 LowBits(request->buffer), length, request->cdb[0]);
                return false;
            }
            if (!platform::GetOverlappedResult(vxdHandle, &overlapped, &returned, true))
                platformError = platform::GetLastError();
        }
        const uint32_t elapsed = TransportTicks() - started;
        if (AbortRequested(request)) budget = 0;
        request->senseKey = request->asc = request->ascq = 0;
        request->senseInfo = 0;

        uint8_t status = record[kRecStatus];
        if (status == kVxdStatusDone || status == kVxdStatusDoneAlso) status = 0;
        if (status == kVxdStatusBusy && budget > 0) {
            --budget;
            continue;
        }
        request->requestStatus = status;
        request->hostStatus = record[kRecAdapter];
        request->dataLength = bytes::GetLe32(record + kRecDataLength);
        if (status == 0) return true;

        ExtractSense(record + kRecSense, kRecSenseBytes, request);
        if (platformError != kErrorSuccess && request->asc == 0) {
            TransportLog(*this, 0, "Error %d returned: %s, DeviceIndex=%d, Req:%02x Adapter:%02x",
                         static_cast<int>(platformError), VxdSystemText(platformError).c_str(), deviceIndex_,
                         record[kRecStatus], record[kRecAdapter]);
            SetSystemErrorSense(request, platformError);
            return false;
        }
        if (!interpret) return false;
        // A retry asks for the whole transfer again.
        request->dataLength = length;
        auto commandErrorLine = [&] {
            if (debugLevel > 1 || (debugLevel > 0 && request->asc == 0))
                TransportLog(*this, 0, "Command error: cmd=%02x, block=%d, Status=%02x %02x, Sense=%02x %02x, Error=%d",
                             request->cdb[0], CdbBlock(request->cdb), record[kRecStatus], record[kRecAdapter],
                             request->asc, request->ascq, static_cast<int>(platformError));
        };
        if (request->asc == kVxdAscMediumChanged || request->asc == kVxdAscPowerOnReset) {
            // The VxD's own rule for a reset: retry at once while plenty of
            // the budget is left, then as the other transports do.
            commandErrorLine();
            TransportLog(*this, 0, "Reset received from drive, sense=%02x %02x, ReqTime=%d", request->asc,
                         request->ascq, static_cast<int>(elapsed));
            if (budget >= 4) {
                --budget;
                continue;
            }
            if (elapsed > kQuickAttemptMsVxd) return false;
            TransportSleep(kResetSettleMsVxd);
            if (budget-- > 0) continue;
            return false;
        }
        if (ApplyCommonRecovery(*this, request, budget, elapsed, commandErrorLine) == Recovery::kFail) return false;
    }
}

bool VXDIntf::TestUnitReady(DevRequest* request, bool retry) {
    const int attempts = retry ? 3 : 1;
    DevRequest own(request->owner);
    own.cdbLength = 6;
    bool ready = false;
    for (int attempt = 0; attempt < attempts && !ready; ++attempt) {
        if (attempt > 0) TransportSleep(kTestUnitReadyPauseMs);
        own = DevRequest(request->owner);
        own.cdbLength = 6;
        ready = Execute(&own, false) && own.requestStatus == 0;
    }
    request->senseKey = own.senseKey;
    request->asc = own.asc;
    request->ascq = own.ascq;
    request->senseInfo = own.senseInfo;
    return ready;
}

}  // namespace dravik::device
