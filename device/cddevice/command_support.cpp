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

}  // namespace dravik::device
