// Sector modes: 2048/2352-byte reads, CD-DA reads and the sector size,
// switched on older drives with a mode select of a block descriptor (MMC
// drives read raw and CD-DA sectors with READ CD and need none).
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"

namespace dravik::device {

namespace {
using cmd::kCookedSectorBytes;
using cmd::kRawSectorBytes;
constexpr unsigned kNoDensityChange = 0xFF;
constexpr int kParameterListBytes = 128;
}  // namespace

bool CDDevice::SelectBlockDescriptor(uint8_t density, int blockLength, uint8_t& requestStatus) {
    unsigned char* list = workBuffer_.get();
    std::memset(list, 0, kParameterListBytes);
    // A header without pages, then one 8-byte block descriptor.
    unsigned char* descriptor;
    if (deviceRecord_->IsMode10()) {
        list[1] = 0x0E;
        list[7] = 8;
        descriptor = list + 8;
    } else {
        list[0] = 0x0B;
        list[3] = 8;
        descriptor = list + 4;
    }
    descriptor[0] = density;
    bytes::PutBe24(descriptor + 5, static_cast<uint32_t>(blockLength));
    DevRequest request(this);
    const bool sent = ModeSelectCommand(&request, list);
    requestStatus = request.requestStatus;
    return sent;
}

bool CDDevice::SetRawSectorMode(bool raw) {
    if (rawMode_ == raw) return true;
    if (deviceRecord_->IsMMC()) {
        rawMode_ = raw;
        return true;
    }
    uint8_t status = 0;
    if (!SelectBlockDescriptor(0, raw ? kRawSectorBytes : kCookedSectorBytes, status)) return false;
    if (status == 0) {
        rawMode_ = raw;
        return true;
    }
    // The transport left a status: the drive did not take the block length.
    if (raw) deviceRecord_->SetRawModeAvail(false);
    return false;
}

bool CDDevice::SetCDDAMode(bool on) {
    if (cddaMode_ == on) return true;
    if (!deviceRecord_->IsCDDAEnabled()) {
        SetSense(5, 0x20, 0);
        return false;
    }
    cmd::Log(*this, 1, "Turning CDDA mode %s", on ? "on" : "off");
    if (deviceRecord_->IsMMC() || deviceRecord_->GetCDDADensity() == kNoDensityChange) {
        cddaMode_ = on;
        return true;
    }
    const uint8_t density = on ? static_cast<uint8_t>(deviceRecord_->GetCDDADensity()) : dataDensityCode_;
    const int blockLength = on ? kRawSectorBytes : sectorSize_;
    uint8_t status = 0;
    if (!SelectBlockDescriptor(density, blockLength, status)) return false;
    if (status == 0) {
        cddaMode_ = on;
        return true;
    }
    if (on) {
        deviceRecord_->SetCDDAEnable(false);
    } else {
        cddaMode_ = false;
    }
    return false;
}

bool CDDevice::ChangeSectorSize(int size) {
    if (size == sectorSize_ || deviceRecord_->IsNoBlockSizeChange()) return true;
    const bool savedErrorMode = errorMode_;
    errorMode_ = true;
    bool result = true;
    // Forced on so that the switch below always sends the 2048-byte
    // descriptor (or, on MMC drives, only clears raw mode).
    rawMode_ = true;
    if (!SetRawSectorMode(false)) {
        deviceRecord_->SetNoBlockSizeChange(true);
        result = false;
    }
    sectorSize_ = static_cast<int16_t>(size);
    errorMode_ = savedErrorMode;
    return result;
}

}  // namespace dravik::device
