// What every command of the device object shares: sending a request
// through the transport and taking its sense.
#include "device/cddevice/cddevice.h"
#include "device/request/dev_request.h"
#include "device/transport/device_intf.h"

namespace dravik::device {

bool CDDevice::Send(DevRequest& request, bool interpret) {
    request.owner = this;
    if (!transport_) {
        // No transport was started: a transport failure, never a success.
        request.requestStatus = 0xFF;
        request.senseKey = 0xFF;
        request.asc = 0xFF;
        request.ascq = 0;
        return false;
    }
    return transport_->Execute(&request, interpret);
}

void CDDevice::TakeSense(const DevRequest& request, bool info) {
    senseKey_ = request.senseKey;
    asc_ = request.asc;
    ascq_ = request.ascq;
    if (info) senseInfo_ = request.senseInfo;
}

void CDDevice::SetSense(uint8_t key, uint8_t asc, uint8_t ascq) {
    senseKey_ = key;
    asc_ = asc;
    ascq_ = ascq;
}

bool CDDevice::CheckReplyLength(const DevRequest& request, uint32_t allocation, uint32_t claimed, uint32_t minimum) {
    // Transports that do not count what moved leave the allocation here.
    uint32_t moved = request.dataLength;
    if (moved > allocation) moved = allocation;
    const bool shortOfClaim = claimed > moved && moved < allocation;
    if (!shortOfClaim && moved >= minimum) return true;
    SetSense(kSenseMalformedReply, 0x26, 0x01);
    return false;
}

}  // namespace dravik::device
