// Limits on what a caller may ask of the pass-through stand-in; a record
// outside them fails with error 87 before any drive sees it.
//   kMaxTransferBytes   largest data transfer of one command
//   TimeOutValue        1 to 108000 seconds, as the published interface has it
//   CdbLength           1 to 16
//   SenseInfoLength     the sense area must lie inside the output record
#include "platform/pass_through_exec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/scsi_pass_through.h"
#include "platform/win_errors.h"

namespace dravik::platform {
namespace {

constexpr size_t kMaxTransferBytes = 16u << 20;
constexpr uint32_t kMaxTimeoutSeconds = 108000;
constexpr uint16_t kSgHostTimeout = 3;  // DID_TIME_OUT of the SCSI generic interface
constexpr uint16_t kSgDriverSense = 8;  // DRIVER_SENSE: sense came back, not a failure

bool FailPassThrough(uint32_t error) {
    SetLastError(error);
    return false;
}

}  // namespace

uint32_t DeliveryError(const ScsiResult& result) {
    if (result.transportErrno == ETIMEDOUT || result.hostStatus == kSgHostTimeout) return kErrorSemTimeout;
    if (result.transportErrno != 0) return WinErrorFromErrno(result.transportErrno);
    if (result.hostStatus != 0 || (result.driverStatus & ~kSgDriverSense) != 0) return kErrorIoDevice;
    return kErrorSuccess;
}

bool RunPassThrough(ScsiDrive& drive, uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                    uint32_t* bytesReturned) {
    using namespace sptd;
    if (bytesReturned) *bytesReturned = 0;
    const bool buffered = code == kIoctlScsiPassThrough;
    if (!buffered && code != kIoctlScsiPassThroughDirect) return FailPassThrough(kErrorInvalidFunction);
    if (!in || !out || inSize < kRecordLength || outSize < kRecordLength) return FailPassThrough(kErrorInvalidParameter);

    uint8_t record[kTotalLength] = {};
    std::memcpy(record, in, std::min<size_t>(inSize, kTotalLength));
    const uint8_t cdbLength = record[kCdbLength];
    const uint8_t senseLength = record[kSenseInfoLength];
    const uint8_t dataIn = record[kDataIn];
    const uint32_t transferLength = bytes::GetLe32(record + kDataTransferLength);
    const uint32_t timeoutSeconds = bytes::GetLe32(record + kTimeOutValue);
    const uint32_t bufferField = bytes::GetLe32(record + kDataBuffer);
    const uint32_t senseOffset = bytes::GetLe32(record + kSenseInfoOffset);
    if (bytes::GetLe16(record + kLength) != kRecordLength || cdbLength == 0 || cdbLength > kCdbMax ||
        dataIn > kDataUnspecified || timeoutSeconds == 0 || timeoutSeconds > kMaxTimeoutSeconds ||
        transferLength > kMaxTransferBytes)
        return FailPassThrough(kErrorInvalidParameter);
    if (senseLength != 0 && (senseOffset < kRecordLength || senseOffset > outSize ||
                             senseLength > outSize - senseOffset || senseOffset + senseLength > kTotalLength))
        return FailPassThrough(kErrorInvalidParameter);

    uint8_t* data = nullptr;
    if (transferLength > 0 && dataIn != kDataUnspecified) {
        if (buffered) {
            // The data lies in the caller's output buffer, after the record.
            if (bufferField < kRecordLength || bufferField > outSize || transferLength > outSize - bufferField)
                return FailPassThrough(kErrorInvalidParameter);
            data = static_cast<uint8_t*>(out) + bufferField;
        } else {
            data = static_cast<uint8_t*>(ResolveIoBuffer(bufferField, transferLength));
            if (!data) return FailPassThrough(kErrorInvalidParameter);
        }
    }

    ScsiRequest request;
    request.cdb = record + kCdb;
    request.cdbLength = cdbLength;
    request.data = data;
    request.dataLength = data ? transferLength : 0;
    request.direction = !data ? DataDirection::kNone
                              : (dataIn == kDataInFromDevice ? DataDirection::kIn : DataDirection::kOut);
    request.timeoutMs = timeoutSeconds * 1000;
    const ScsiResult result = drive.Execute(request);

    if (const uint32_t error = DeliveryError(result); error != kErrorSuccess) return FailPassThrough(error);
    record[kScsiStatus] = result.scsiStatus;
    if (senseLength != 0) {
        const size_t copied = std::min<size_t>({senseLength, result.senseLength, kMaxSenseBytes});
        std::memcpy(record + senseOffset, result.sense, copied);
    }
    const uint32_t moved =
        static_cast<uint32_t>(request.dataLength - std::min(result.residual, request.dataLength));
    bytes::PutLe32(record + kDataTransferLength, moved);
    // Only the record and its sense area go back: in the buffered form the
    // data the drive wrote already sits in `out`, after the record.
    auto* answer = static_cast<uint8_t*>(out);
    std::memcpy(answer, record, kRecordLength);
    if (senseLength != 0) std::memcpy(answer + senseOffset, record + senseOffset, senseLength);
    if (bytesReturned) *bytesReturned = moved;
    SetLastError(kErrorSuccess);
    return true;
}

}  // namespace dravik::platform
