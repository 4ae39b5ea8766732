#include "device/request/dev_command.h"

#include <cstring>

#include "device/cddevice/cddevice.h"
#include "device/request/dev_request.h"
#include "device/transport/device_intf.h"

namespace dravik::device {

DevCommand::DevCommand(CDDevice* device) : device_(device) {}

DevCommand::DevCommand(const DevCommand& other) : device_(other.device_) { CopyFrom(other); }

DevCommand& DevCommand::operator=(const DevCommand& other) {
    if (this != &other) {
        device_ = other.device_;
        CopyFrom(other);
    }
    return *this;
}

DevCommand::~DevCommand() = default;

void DevCommand::CopyFrom(const DevCommand& other) {
    buffer_ = other.buffer_;
    dataLength_ = other.dataLength_;
    info_ = other.info_;
    cdbLength_ = other.cdbLength_;
    flags_ = other.flags_;
    std::memcpy(cdb_, other.cdb_, sizeof cdb_);
    senseKey_ = other.senseKey_;
    asc_ = other.asc_;
    ascq_ = other.ascq_;
}

unsigned char& DevCommand::operator[](int i) {
    if (i < 0 || i >= kCdbBytes) {
        spareCdbByte_ = 0;
        return spareCdbByte_;
    }
    return cdb_[i];
}

void DevCommand::CloseDevice() {
    if (DeviceIntf* transport = device_ ? device_->Transport() : nullptr) transport->CloseDevice();
}

bool DevCommand::IORequest(bool interpret) {
    DeviceIntf* transport = device_ ? device_->Transport() : nullptr;
    if (transport == nullptr) return false;
    DevRequest request(device_);
    request.buffer = buffer_;
    request.dataLength = dataLength_;
    request.direction = (flags_ == CommandDataIn || flags_ == CommandDataOut) ? static_cast<uint32_t>(flags_) : kRequestNoData;
    request.cdbLength = static_cast<uint8_t>(cdbLength_ & 0xFF);
    std::memcpy(request.cdb, cdb_, sizeof cdb_);
    bool done = transport->Execute(&request, interpret);
    requestStatus_ = request.requestStatus;
    dataLength_ = request.dataLength;
    senseKey_ = request.senseKey;
    asc_ = request.asc;
    ascq_ = request.ascq;
    info_ = request.senseInfo;
    return done;
}

bool DevCommand::TestUnitReady(bool retry) {
    DeviceIntf* transport = device_ ? device_->Transport() : nullptr;
    requestStatus_ = 0;
    if (transport == nullptr) return false;
    DevRequest request(device_);
    bool ready = transport->TestUnitReady(&request, retry);
    senseKey_ = request.senseKey;
    asc_ = request.asc;
    ascq_ = request.ascq;
    info_ = request.senseInfo;
    return ready;
}

void DevCommand::Reset() {
    buffer_ = nullptr;
    dataLength_ = 0;
    info_ = 0;
    cdbLength_ = 0;
    flags_ = CommandNoData;
    std::memset(cdb_, 0, sizeof cdb_);
    senseKey_ = asc_ = ascq_ = 0;
}

}  // namespace dravik::device
