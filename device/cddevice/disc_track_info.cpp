// Disc and track information: READ DISC INFORMATION, READ TRACK
// INFORMATION by track number or block address, and the track information
// commands of older drives (0xE5, and 0xE6 which answers for all tracks).
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {
using cmd::kDiscInfoBytes;
constexpr uint32_t kTrackInfoBytes = 28;
constexpr uint32_t kAllTracksBytes = 255;
}  // namespace

bool CDDevice::ReadCDRWInfo(void* buf, int track) {
    if (buf == nullptr) {
        SetSense(5, 0x24, 0);
        return false;
    }
    const auto command = static_cast<uint8_t>(deviceRecord_->GetTrackInfoCmd());
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    if (track != 0 && command == scsi::kAllTracksInformation) {
        request.cdbLength = 12;
        request.cdb[0] = scsi::kAllTracksInformation;
        bytes::PutBe32(request.cdb + 2, 0xFFFFFFFFu);
        bytes::PutBe32(request.cdb + 6, 0xFFFFFFFFu);
        request.dataLength = kAllTracksBytes;
    } else if (track == 0) {
        request.cdbLength = 10;
        request.cdb[0] = scsi::kReadDiscInformation;
        request.cdb[8] = kDiscInfoBytes;
        request.dataLength = kDiscInfoBytes;
    } else {
        request.cdbLength = 10;
        request.cdb[0] = command;
        if (command == scsi::kReadTrackInformation && track < 256) {
            request.cdb[1] = 1;  // the address is a track number
            request.cdb[5] = static_cast<uint8_t>(track);
        } else {
            bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(track));
        }
        request.cdb[8] = kTrackInfoBytes;
        request.dataLength = kTrackInfoBytes;
    }
    const uint32_t allocation = request.dataLength;
    auto* reply = static_cast<uint8_t*>(buf);
    // Cleared first: what a short answer leaves is zeros, not the reply
    // to an earlier command.
    std::memset(reply, 0, allocation);
    if (!Send(request)) {
        TakeSense(request, true);
        return false;
    }
    // MMC replies begin with a two-byte length; the older reply with a
    // one-byte one.
    const bool mmcReply = request.cdb[0] == scsi::kReadDiscInformation || request.cdb[0] == scsi::kReadTrackInformation;
    const uint32_t claimed = mmcReply ? bytes::GetBe16(reply) + 2 : reply[0] + 1u;
    return CheckReplyLength(request, allocation, claimed, mmcReply ? 4 : 2);
}

}  // namespace dravik::device
