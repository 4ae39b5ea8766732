// READ TOC/PMA/ATIP in its formats (tracks, sessions, full TOC, PMA, ATIP,
// CD-TEXT), with the report of failures the user should see.
#include <algorithm>
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kModeAtip = 0x400;
constexpr int kModeCdText = 0x500;
constexpr int kMaxTocLength = 0xFFFF;

// The smallest reply of a format that holds what the format is for: one
// track or session descriptor for formats 0 to 2; the header alone is a
// valid answer of the others (an ATIP without descriptors, no CD-TEXT).
uint32_t MinimumReply(int format) {
    switch (format) {
    case 0:
    case 1: return 4 + 8;
    case 2: return 4 + 11;
    default: return 4;
    }
}

// Failures that are expected on some discs and drives and not shown.
bool QuietTocFailure(int mode, uint8_t asc) {
    if (asc == 0x20 || asc == 0x24 || asc == 0x81 || asc == 0x94) return true;
    return mode == kModeCdText && (asc == 0x64 || asc == 0x30);
}

}  // namespace

bool CDDevice::ReadCDToc(int mode, void* buf, int len) {
    if (deviceRecord_->IsMMC()) GetFeatures();  // the disc-type flags follow the disc in the drive
    if (mode == kModeAtip && !deviceRecord_->CanReadATIP()) {
        SetSense(5, 0x24, 0);
        return false;
    }
    if (buf == nullptr || len < 4 || len > kMaxTocLength) {
        SetSense(5, 0x24, 0);
        return false;
    }
    auto* reply = static_cast<uint8_t*>(buf);
    std::memset(reply, 0, static_cast<size_t>(len));
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    request.dataLength = static_cast<uint32_t>(len);
    request.cdbLength = 10;
    request.cdb[0] = scsi::kReadToc;
    request.cdb[6] = static_cast<uint8_t>(mode & 0xFF);
    bytes::PutBe16(request.cdb + 7, static_cast<uint16_t>(len));
    if (mode == kModeAtip || mode == kModeCdText) {
        request.cdb[2] = static_cast<uint8_t>((mode >> 8) & 0x0F);
    } else {
        request.cdb[9] = static_cast<uint8_t>((mode >> 2) & 0xC0);
    }
    const uint32_t allocation = request.dataLength;
    bool ok = Send(request);
    if (ok) {
        const uint32_t claimed = bytes::GetBe16(reply) + 2;
        const uint32_t minimum = MinimumReply((mode >> 8) & 0xFF);
        ok = CheckReplyLength(request, allocation, claimed, std::min(minimum, allocation));
        if (ok && claimed < minimum) {
            // A length field that promises no descriptor at all is as bad
            // as a reply cut short: neither is a TOC.
            SetSense(kSenseMalformedReply, 0x26, 0x01);
            ok = false;
        }
        if (ok) return true;
        request.senseKey = senseKey_;
        request.asc = asc_;
        request.ascq = ascq_;
    }
    TakeSense(request);
    if (mode == kModeAtip && request.asc == 0x24) deviceRecord_->SetATIPMode(false);
    if (QuietTocFailure(mode, request.asc)) return false;
    if (errorMode_ && debugLevel_ == 0) return false;
    const char* senseText = FormatSense(&request);
    if (messageCallback_) messageCallback_(3009, mode, GetDeviceId(), senseText);
    return false;
}

}  // namespace dravik::device
