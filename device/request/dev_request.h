// One SCSI command on its way through a transport: built on the stack for
// each command, handed to DeviceIntf::Execute or TestUnitReady, and back
// with a status and, after a failure, sense data.
#pragma once

#include <cstdint>

namespace dravik::device {

class CDDevice;

// Values of DevRequest::direction.
enum : uint32_t {
    kRequestNoData = 0,
    kRequestDataIn = 1,   // from the device
    kRequestDataOut = 2,  // to the device
    kRequestLongTimeout = 4,  // flag: pass-through transports allow 180 s instead of 30 s
};

struct DevRequest {
    uint32_t direction = 0;      // kRequestNoData / DataIn / DataOut, plus kRequestLongTimeout
    uint8_t hostStatus = 0;      // written by the transport
    uint8_t requestStatus = 0;   // 0 after success, else the transport's status code
    uint8_t cdbLength = 0;       // 6, 10 or 12 (16 allowed)
    uint32_t dataLength = 0;     // bytes to transfer; a transport may replace it with the count moved
    void* buffer = nullptr;      // not owned
    uint8_t cdb[16] = {};
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    uint32_t senseInfo = 0;
    CDDevice* owner = nullptr;   // the transports read its abort flag

    explicit DevRequest(CDDevice* device = nullptr) : owner(device) {}

    uint32_t Direction() const { return direction & 3u; }
    bool LongTimeout() const { return (direction & kRequestLongTimeout) != 0; }
};

}  // namespace dravik::device
