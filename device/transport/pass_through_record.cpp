// The pass-through record as the pass-through transports fill it.
#include <cstring>

#include "device/transport/spti_intf.h"
#include "platform/byte_order.h"
#include "platform/scsi_pass_through.h"

namespace dravik::device {

using namespace platform::sptd;

void BuildPassThroughRecord(const DevRequest& request, uint32_t bufferToken, uint8_t* record) {
    std::memset(record, 0, kTotalLength);
    bytes::PutLe16(record + kLength, kRecordLength);
    record[kPathId] = 0;
    record[kTargetId] = 1;
    record[kLun] = 0;
    // A length over 16 is passed on as it is, for the system to refuse.
    record[kCdbLength] = request.cdbLength;
    record[kSenseInfoLength] = kSenseBufferLength;
    const uint32_t direction = request.Direction();
    record[kDataIn] = (direction & kRequestDataIn)    ? kDataInFromDevice
                      : (direction & kRequestDataOut) ? kDataOut
                                                      : kDataUnspecified;
    bytes::PutLe32(record + kDataTransferLength, request.dataLength);
    bytes::PutLe32(record + kTimeOutValue,
            request.LongTimeout() ? kPassThroughLongTimeoutSeconds : kPassThroughTimeoutSeconds);
    bytes::PutLe32(record + kDataBuffer, bufferToken);
    bytes::PutLe32(record + kSenseInfoOffset, kSenseBuffer);
    std::memcpy(record + kCdb, request.cdb, std::min<size_t>(request.cdbLength, kCdbMax));
}

void BuildTestUnitReadyRecord(uint8_t* record) {
    std::memset(record, 0, kTotalLength);
    bytes::PutLe16(record + kLength, kRecordLength);
    record[kCdbLength] = 6;
    record[kSenseInfoLength] = kSenseBufferLength;
    record[kDataIn] = kDataUnspecified;
    bytes::PutLe32(record + kTimeOutValue, kPassThroughTimeoutSeconds);
    bytes::PutLe32(record + kSenseInfoOffset, kSenseBuffer);
}

}  // namespace dravik::device
