// The drive's read speed by one of the speed methods that drive families
// need (the record's SpeedCode), and its buffer size from READ BUFFER.
//
// Method  page read   byte read            how the speed is set
//   0     0x2A        14-15, KB/s -> 1X    SET CD SPEED
//   1     0x31        3                    page 0x31, speed in byte 3
//   2     0x20        2                    not supported
//   3     0x31        2                    page 0x31, speed in byte 2
//   4     0x0F        2                    not supported
//   5     0x23        4                    page 0x23, speed in byte 4
//   6     0x31        2                    page 0x31, low nibble in byte 2, high in byte 3
//   7     0x00        2                    not supported
//   255   none: GetReadSpeed gives 0, SetDriveReadSpeed sends nothing
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kSpeedAttempts = 5;
constexpr int kSpeedSenseBytes = 128;
constexpr unsigned kSpeedSenseFailed = 0xFFFFFFFFu;
constexpr int kBufferReplyBytes = 256;
constexpr uint8_t kReadBufferAllocation = 0x20;

struct SpeedMethod {
    uint8_t page;      // page read by GetReadSpeed (and written, when settable)
    uint8_t byte;      // the page byte holding the speed
    uint8_t pageSize;  // bytes of the page a mode select sends; 0: cannot set
};

constexpr SpeedMethod kMethods[8] = {
    {0x2A, 14, 0}, {0x31, 3, 4}, {0x20, 2, 0}, {0x31, 2, 4},
    {0x0F, 2, 0},  {0x23, 4, 8}, {0x31, 2, 4}, {0x00, 2, 0},
};

// 1X is 176.5 KB/s in both directions of conversion.
uint32_t SpeedToKBps(int speed) { return speed == 0 ? 0xFFFF : static_cast<uint32_t>(speed) * 1765 / 10; }
unsigned KBpsToSpeed(uint32_t kbps) { return ((kbps * 100) / 1765 + 5) / 10; }

}  // namespace

bool CDDevice::SetDriveReadSpeed(int speed) {
    savedReadSpeed_ = speed;
    if (speed == -1) speed = driveSpeedValue_;
    const unsigned method = deviceRecord_->GetSpeedCode();
    if (method == 255) return true;
    if (method == 0) {
        DevRequest request(this);
        request.direction = kRequestNoData;
        request.cdbLength = 12;
        request.cdb[0] = scsi::kSetCdSpeed;
        bytes::PutBe16(request.cdb + 2, SpeedToKBps(speed) & 0xFFFF);
        bytes::PutBe16(request.cdb + 4, 0xFFFF);
        if (Send(request)) return true;
        TakeSense(request);
        return false;
    }
    if (method >= 8 || kMethods[method].pageSize == 0) return false;
    const SpeedMethod& how = kMethods[method];
    // What the method's read byte holds once the drive took the speed: a
    // method-6 drive keeps only the low nibble in the byte GetReadSpeed reads.
    const unsigned expected = method == 6 ? (speed & 0x0F) : (speed & 0xFF);

    for (int attempt = 0; attempt < kSpeedAttempts; ++attempt) {
        unsigned char* list = workBuffer_.get();
        std::memset(list, 0, 32);
        const bool mode10 = deviceRecord_->IsMode10();
        int pageAt;
        if (mode10) {
            // The 10-byte header carries no block descriptor; its mode data
            // length counts the bytes after the length field: 6 of header.
            list[1] = 0x06;
            pageAt = 8;
        } else {
            // 6-byte header and a block descriptor of 2048-byte blocks.
            list[0] = 0x0B;
            list[3] = 0x08;
            list[10] = 0x08;
            pageAt = 12;
        }
        unsigned char* page = list + pageAt;
        page[0] = how.page;
        page[1] = static_cast<uint8_t>(how.pageSize - 2);
        switch (method) {
        case 1: page[3] = static_cast<uint8_t>(speed); break;
        case 3: page[2] = static_cast<uint8_t>(speed); break;
        case 5: page[4] = static_cast<uint8_t>(speed); break;
        case 6:
            page[2] = static_cast<uint8_t>(speed & 0x0F);
            page[3] = static_cast<uint8_t>((speed >> 4) & 0xFF);
            break;
        default: break;
        }
        cmd::Log(*this, 1, "Setting drive speed to 0x%x, mode %d", speed, static_cast<int>(method));
        list[mode10 ? 1 : 0] = static_cast<uint8_t>(list[mode10 ? 1 : 0] + how.pageSize);
        if (!ModeSelectCommand(nullptr, list)) return false;
        if (GetReadSpeed() == expected) return true;
    }
    return false;
}

unsigned CDDevice::GetReadSpeed() {
    const unsigned method = deviceRecord_->GetSpeedCode();
    if (method > 7) return 0;
    const SpeedMethod& how = kMethods[method];
    unsigned char* answer = workBuffer_.get();
    std::memset(answer, 0, kSpeedSenseBytes);
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = answer;
    request.dataLength = kSpeedSenseBytes;
    request.cdb[2] = how.page;
    const bool mode10 = deviceRecord_->IsMode10();
    if (mode10) {
        request.cdbLength = 10;
        request.cdb[0] = scsi::kModeSense10;
        request.cdb[8] = kSpeedSenseBytes;
    } else {
        request.cdbLength = 6;
        request.cdb[0] = scsi::kModeSense6;
        request.cdb[4] = kSpeedSenseBytes;
    }
    if (!Send(request)) {
        TakeSense(request);
        return kSpeedSenseFailed;
    }
    // The header has the form of the command, unless a drive answered the
    // 10-byte command in the 6-byte form, which shows as a length over 512.
    // (Judging by a first word over 64 instead would misread the 10-byte
    // answer of every drive whose capabilities page is long.)
    int pageAt, replyEnd;
    if (!mode10 || answer[0] > 2) {
        pageAt = answer[3] + 4;
        replyEnd = answer[0] + 1;
    } else {
        pageAt = static_cast<int>(bytes::GetBe16(answer + 6)) + 8;
        replyEnd = static_cast<int>(bytes::GetBe16(answer)) + 2;
    }
    // Read only what the drive returned, within what was asked for.
    int limit = kSpeedSenseBytes;
    if (request.dataLength < static_cast<uint32_t>(limit)) limit = static_cast<int>(request.dataLength);
    if (replyEnd < limit) limit = replyEnd;
    const int last = pageAt + how.byte + (method == 0 ? 1 : 0);
    if (last >= limit) {
        SetSense(kSenseMalformedReply, 0x26, 0x01);
        return kSpeedSenseFailed;
    }
    const unsigned char* page = answer + pageAt;
    if (method == 0) return KBpsToSpeed(bytes::GetBe16(page + 14));
    return page[how.byte];
}

bool CDDevice::ReadDeviceBufferSize() {
    unsigned char* reply = workBuffer_.get();
    std::memset(reply, 0, kBufferReplyBytes);
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = reply;
    request.dataLength = kBufferReplyBytes;
    request.cdbLength = 10;
    request.cdb[0] = scsi::kReadBuffer;  // READ BUFFER, mode 0: combined header and data
    request.cdb[8] = kReadBufferAllocation;
    if (!Send(request)) {
        TakeSense(request);
        return false;
    }
    if (request.dataLength < 4) {
        SetSense(kSenseMalformedReply, 0x26, 0x01);
        return false;
    }
    reply[0] = 0;  // reserved: the capacity is the 24 bits after it
    const uint32_t kilobytes = bytes::GetBe32(reply) / 1024;
    if (kilobytes > 0) deviceRecord_->SetBufferSize(static_cast<int>(kilobytes));
    return true;
}

}  // namespace dravik::device
