// The VxD's stand-in ("\\.\ZOLTVXD.VXD"): the drive table as its device
// list (code 2), requests carried out on a worker thread and completed
// through the caller's event (code 1), and its version text (code 3).
#include <cstring>

#include "platform/byte_order.h"
#include "platform/drive_source.h"
#include "platform/driver_endpoint.h"
#include "platform/pass_through_exec.h"
#include "platform/win_errors.h"

namespace dravik::platform {
namespace {

constexpr char kVxdVersionText[] = "Dravik VxD 1.0";
constexpr uint32_t kVxdMaxTransfer = 0x10000;
constexpr uint32_t kVxdRequestTimeoutMs = 60000;

// Request record offsets.
constexpr size_t kVxdRecLength = 0;   // 2
constexpr size_t kVxdRecIndex = 2;    // 2
constexpr size_t kVxdRecFlags = 4;          // 1: 0x80 data in, 0x40 data out
constexpr size_t kVxdRecStatus = 5;         // 1
constexpr size_t kVxdRecAdapter = 6;  // 1
constexpr size_t kVxdRecCdbLength = 7;      // 1
constexpr size_t kVxdRecDataLength = 12;    // 4
constexpr size_t kVxdRecCdb = 20;           // 16
constexpr size_t kVxdRecSense = 36;         // 32
constexpr size_t kVxdRecSenseBytes = 32;

// Statuses of the request record besides done and error.
constexpr uint8_t kVxdStatusInvalidRequest = 0x80;
constexpr uint8_t kVxdStatusNoDevice = 0x82;
// Adapter statuses.
constexpr uint8_t kVxdAdapterTimeout = 0x09;
constexpr uint8_t kVxdAdapterFailure = 0x11;

bool VxdFail(uint32_t error) {
    SetLastError(error);
    return false;
}

std::shared_ptr<ScsiDrive> VxdDriveAt(size_t index) {
    const DriveList drives = ListDrives();
    return index < drives.size() ? drives[index].drive : nullptr;
}

// Carries out the request record on its drive; the record's status,
// adapter status, data length and sense are written back into it. The
// system error of a failed delivery is returned.
uint32_t CarryOutVxdRequest(uint8_t* record, uint8_t* data, uint32_t dataCapacity, uint32_t* moved) {
    *moved = 0;
    const uint8_t cdbLength = record[kVxdRecCdbLength];
    const uint32_t length = bytes::GetLe32(record + kVxdRecDataLength);
    const uint8_t flags = record[kVxdRecFlags];
    std::shared_ptr<ScsiDrive> drive = VxdDriveAt(bytes::GetLe16(record + kVxdRecIndex));
    record[kVxdRecAdapter] = 0;
    if (!drive) {
        record[kVxdRecStatus] = kVxdStatusNoDevice;
        return kErrorSuccess;
    }
    if (cdbLength == 0 || cdbLength > 16 || length > dataCapacity || length > kVxdMaxTransfer ||
        (length > 0 && !data)) {
        record[kVxdRecStatus] = kVxdStatusInvalidRequest;
        return kErrorInvalidParameter;
    }
    ScsiRequest request;
    request.cdb = record + kVxdRecCdb;
    request.cdbLength = cdbLength;
    const DataDirection direction = (flags & 0x80) ? DataDirection::kIn
                                    : (flags == 0x40) ? DataDirection::kOut
                                                      : DataDirection::kNone;
    request.direction = length ? direction : DataDirection::kNone;
    request.data = request.direction == DataDirection::kNone ? nullptr : data;
    request.dataLength = request.data ? length : 0;
    request.timeoutMs = kVxdRequestTimeoutMs;
    const ScsiResult result = drive->Execute(request);
    std::memset(record + kVxdRecSense, 0, kVxdRecSenseBytes);
    if (const uint32_t error = DeliveryError(result); error != kErrorSuccess) {
        record[kVxdRecStatus] = kVxdStatusError;
        record[kVxdRecAdapter] = error == kErrorSemTimeout ? kVxdAdapterTimeout : kVxdAdapterFailure;
        bytes::PutLe32(record + kVxdRecDataLength, 0);
        return error;
    }
    *moved = static_cast<uint32_t>(request.dataLength - std::min(result.residual, request.dataLength));
    bytes::PutLe32(record + kVxdRecDataLength, *moved);
    if (result.scsiStatus == 0) {
        record[kVxdRecStatus] = kVxdStatusDone;
    } else {
        record[kVxdRecStatus] = kVxdStatusError;
        std::memcpy(record + kVxdRecSense, result.sense, std::min<size_t>({kVxdRecSenseBytes, result.senseLength, kMaxSenseBytes}));
    }
    return kErrorSuccess;
}

class Vxd : public DriverEndpoint {
public:
    bool Control(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t* bytesReturned,
                 Overlapped* overlapped) override {
        if (bytesReturned) *bytesReturned = 0;
        switch (code) {
        case kVxdRequest: return Request(in, inSize, out, outSize, bytesReturned, overlapped);
        case kVxdDeviceRecord: return DeviceRecord(in, inSize, out, outSize, bytesReturned);
        case kVxdVersion: {
            if (!out || outSize == 0) return VxdFail(kErrorInvalidParameter);
            const size_t n = std::min<size_t>({outSize, kVxdVersionBytes, sizeof kVxdVersionText});
            std::memcpy(out, kVxdVersionText, n);
            static_cast<char*>(out)[n - 1] = 0;
            if (bytesReturned) *bytesReturned = static_cast<uint32_t>(n);
            SetLastError(kErrorSuccess);
            return true;
        }
        default: return VxdFail(kErrorInvalidFunction);
        }
    }

private:
    static bool Request(void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t* bytesReturned,
                        Overlapped* overlapped) {
        if (!in || inSize < kVxdRequestBytes) return VxdFail(kErrorInvalidParameter);
        auto* record = static_cast<uint8_t*>(in);
        if (bytes::GetLe16(record + kVxdRecLength) != kVxdRequestBytes) return VxdFail(kErrorInvalidParameter);
        auto* data = static_cast<uint8_t*>(out);
        if (!overlapped) {
            uint32_t moved = 0;
            const uint32_t error = CarryOutVxdRequest(record, data, outSize, &moved);
            if (bytesReturned) *bytesReturned = moved;
            return error == kErrorSuccess ? (SetLastError(kErrorSuccess), true) : VxdFail(error);
        }
        if (!overlapped->event || overlapped->worker.joinable()) return VxdFail(kErrorInvalidParameter);
        overlapped->error = kErrorSuccess;
        overlapped->transferred = 0;
        overlapped->worker = std::thread([record, data, outSize, overlapped] {
            uint32_t moved = 0;
            overlapped->error = CarryOutVxdRequest(record, data, outSize, &moved);
            overlapped->transferred = moved;
            overlapped->event->Set();
        });
        return VxdFail(kErrorIoPending);
    }

    static bool DeviceRecord(const void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t* bytesReturned) {
        if (!in || inSize < 4 || !out || outSize < kVxdDeviceRecordBytes) return VxdFail(kErrorInvalidParameter);
        const uint32_t index = bytes::GetLe32(static_cast<const uint8_t*>(in));
        const DriveList drives = ListDrives();
        if (index >= drives.size() || index > 0xFFFF) return VxdFail(kErrorInvalidParameter);
        // The device's type, vendor and product as it answers INQUIRY.
        uint8_t inquiry[36] = {};
        uint8_t cdb[6] = {0x12, 0, 0, 0, sizeof inquiry, 0};
        ScsiRequest request;
        request.cdb = cdb;
        request.cdbLength = 6;
        request.data = inquiry;
        request.dataLength = sizeof inquiry;
        request.direction = DataDirection::kIn;
        request.timeoutMs = kVxdRequestTimeoutMs;
        const ScsiResult result = drives[index].drive->Execute(request);
        const bool answered = DeliveryError(result) == kErrorSuccess && result.scsiStatus == 0;
        auto* record = static_cast<uint8_t*>(out);
        std::memset(record, 0, kVxdDeviceRecordBytes);
        record[0] = 0;                                // host adapter
        record[1] = static_cast<uint8_t>(index);      // target
        record[2] = 0;                                // logical unit
        record[3] = answered ? (inquiry[0] & 0x1F) : 0x1F;
        std::memset(record + 16, ' ', 24);
        if (answered) std::memcpy(record + 16, inquiry + 8, 24);
        bytes::PutLe32(record + 40, kVxdMaxTransfer);
        record[44] = static_cast<uint8_t>(drives[index].letter - 'A');
        if (bytesReturned) *bytesReturned = kVxdDeviceRecordBytes;
        SetLastError(kErrorSuccess);
        return true;
    }
};

}  // namespace

std::shared_ptr<DriverEndpoint> VxdEndpoint() {
    static auto* vxd = new Vxd;  // lives as long as the process, like the driver it stands for
    return std::shared_ptr<DriverEndpoint>(vxd, [](DriverEndpoint*) {});
}

}  // namespace dravik::platform
