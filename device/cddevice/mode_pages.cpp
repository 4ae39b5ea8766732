// Mode pages: MODE SENSE and MODE SELECT in the 6- or 10-byte form the
// device record names, switching forms and the length prefix as drives
// refuse them, and the Mount Rainier address space of page 0x03.
#include <algorithm>
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kModeSelectExtraAttempts = 5;
// MODE SENSE(6) carries its allocation length in one byte.
constexpr int kMaxSense6Length = 255;
constexpr int kMrwPage = 0x03;
constexpr int kMrwSenseBytes = 128;
// Largest parameter list the 6-byte form can describe (length byte + 1),
// grown by the 4 bytes the 10-byte header adds.
constexpr int kMaxList6Bytes = 256;

// Rewrites a parameter list built with the 4-byte header of MODE SELECT(6)
// into the 8-byte header of MODE SELECT(10); returns its length.
int ConvertListTo10(const unsigned char* list6, int length6, unsigned char* list10) {
    std::memset(list10, 0, 8);
    const int length10 = length6 + 4;
    bytes::PutBe16(list10, static_cast<uint32_t>(length10 - 2));
    list10[2] = list6[1];  // medium type
    list10[3] = list6[2];  // device-specific parameter
    list10[7] = list6[3];  // block descriptor length
    if (length6 > 4) std::memcpy(list10 + 8, list6 + 4, static_cast<size_t>(length6 - 4));
    return length10;
}

}  // namespace

bool CDDevice::ModeSenseCommand(int page, unsigned char* buf, int* len, int* pageOffset) {
    if (buf == nullptr || len == nullptr || pageOffset == nullptr || *len <= 0) {
        SetSense(5, 0x24, 0);
        return false;
    }
    for (;;) {
        const bool mode10 = deviceRecord_->IsMode10();
        // The 6-byte form names at most 255 bytes; asking it for more would
        // send a length of its low byte only and read less than expected.
        const int length = mode10 ? std::min(*len, 0xFFFF) : std::min(*len, kMaxSense6Length);
        std::memset(buf, 0, static_cast<size_t>(length));
        DevRequest request(this);
        request.direction = kRequestDataIn;
        request.buffer = buf;
        request.dataLength = static_cast<uint32_t>(length);
        request.cdb[2] = static_cast<uint8_t>(page);
        if (mode10) {
            request.cdbLength = 10;
            request.cdb[0] = scsi::kModeSense10;
            bytes::PutBe16(request.cdb + 7, static_cast<uint32_t>(length));
        } else {
            request.cdbLength = 6;
            request.cdb[0] = scsi::kModeSense6;
            request.cdb[4] = static_cast<uint8_t>(length);
        }
        if (Send(request)) {
            if (mode10) {
                *len = buf[1];
                *pageOffset = bytes::GetBe16(buf + 6) + 8;
            } else {
                *len = buf[0];
                *pageOffset = buf[3] + 4;
            }
            return true;
        }
        if (!mode10 && request.senseKey == 5 && request.asc == 0x20) {
            deviceRecord_->SetMode10(true);
            continue;
        }
        TakeSense(request);
        if (debugLevel_ >= 1)
            cmd::Log(*this, 1, "Error returned reading mode page %x, %s", page, FormatSense(&request));
        return false;
    }
}

bool CDDevice::ModeSelectCommand(DevRequest* callerRequest, unsigned char* buf) {
    if (buf == nullptr) {
        SetSense(5, 0x24, 0);
        return false;
    }
    DevRequest ownRequest(this);
    DevRequest& request = callerRequest ? *callerRequest : ownRequest;
    const bool startedWith10 = deviceRecord_->IsMode10();
    const int listLength = startedWith10 ? buf[1] + 2 : buf[0] + 1;
    // The list as sent: the caller's, or its 10-byte form after a switch.
    unsigned char converted[kMaxList6Bytes + 4];
    unsigned char* list = buf;
    int length = listLength;
    bool prefixTurnedOff = false;
    int extraAttempts = kModeSelectExtraAttempts;
    for (;;) {
        const bool mode10 = deviceRecord_->IsMode10();
        if (mode10 && !startedWith10 && list == buf) {
            // The drive wants the 10-byte command: the list the caller built
            // for the 6-byte form gets the header that command expects, so
            // that its pages are not read as a header.
            length = ConvertListTo10(buf, listLength, converted);
            list = converted;
        }
        const uint8_t modeDataLength[2] = {list[0], list[1]};
        if (!deviceRecord_->IsModeLenReq()) list[0] = list[1] = 0;
        request = DevRequest(this);
        request.direction = kRequestDataOut;
        request.buffer = list;
        request.dataLength = static_cast<uint32_t>(length);
        if (mode10) {
            request.cdbLength = 10;
            request.cdb[0] = scsi::kModeSelect10;
            request.cdb[1] = 0x10;
            bytes::PutBe16(request.cdb + 7, static_cast<uint32_t>(length));
        } else {
            request.cdbLength = 6;
            request.cdb[0] = scsi::kModeSelect6;
            request.cdb[1] = 0x10;
            request.cdb[4] = static_cast<uint8_t>(length);
        }
        const bool sent = Send(request);
        // The length bytes are the caller's again: a later attempt with the
        // prefix back on must send them.
        list[0] = modeDataLength[0];
        list[1] = modeDataLength[1];
        if (sent) {
            modeSelectWorked_ = true;
            return true;
        }
        TakeSense(request);
        if (request.senseKey == 0 && request.asc == 0) {
            if (extraAttempts-- > 0) continue;
            break;
        }
        if (!modeSelectWorked_ && request.senseKey == 5 && request.asc == 0x26) {
            if (deviceRecord_->IsModeLenReq()) {
                cmd::Log(*this, 1, "Received failure from mode select, turning length prefix off");
                deviceRecord_->SetModeLenReq(false);
                prefixTurnedOff = true;
                continue;
            }
            if (prefixTurnedOff) deviceRecord_->SetModeLenReq(true);
            cmd::Dump(*this, list, length, "Failed Mode Select");
        }
        if (!mode10 && !modeSelectWorked_ && request.senseKey == 5 && (request.asc == 0x20 || request.asc == 0x1A)) {
            cmd::Log(*this, 1, "Mode select command %x failed, changing to 10-byte cmd", request.cdb[0]);
            deviceRecord_->SetMode10(true);
            continue;
        }
        break;
    }
    const uint8_t opcode = request.cdb[0];
    if (!errorMode_) {
        const char* senseText = FormatSense(&request);
        if (messageCallback_) messageCallback_(3008, GetDeviceId(), static_cast<int>(opcode), senseText);
    } else if (debugLevel_ >= 1) {
        cmd::Log(*this, 1, "Error from Mode Select (%02x): %x %s", opcode, request.requestStatus, FormatSense(&request));
    }
    return false;
}

bool CDDevice::ChangeAddressMode(bool gaa) {
    if (!mrw_) {
        SetSense(255, 0x20, 0xFF);
        return false;
    }
    unsigned char answer[kMrwSenseBytes];
    int length = kMrwSenseBytes, pageOffset = 0;
    if (!ModeSenseCommand(kMrwPage, answer, &length, &pageOffset)) return false;
    // The page must lie whole inside what was asked for.
    if (pageOffset + 4 > kMrwSenseBytes || (answer[pageOffset] & 0x3F) != kMrwPage ||
        pageOffset + answer[pageOffset + 1] + 2 > kMrwSenseBytes) {
        SetSense(kSenseMalformedReply, 0x26, 0);
        return false;
    }
    const int pageBytes = answer[pageOffset + 1] + 2;
    const bool mode10 = deviceRecord_->IsMode10();
    const int header = mode10 ? 8 : 4;
    const int total = header + pageBytes;
    unsigned char* list = workBuffer_.get();
    std::memset(list, 0, static_cast<size_t>(std::max(total, 32)));
    std::memcpy(list + header, answer + pageOffset, static_cast<size_t>(pageBytes));
    list[header] &= 0x3F;  // the "parameters savable" bit is reserved in a select
    if (mode10) {
        bytes::PutBe16(list, static_cast<uint32_t>(total - 2));
    } else {
        list[0] = static_cast<uint8_t>(total - 1);
    }
    list[header + 3] = gaa ? 1 : 0;
    const bool selected = ModeSelectCommand(nullptr, list);
    if (selected) cmd::Log(*this, 1, "Drive addressing mode changed to %d", gaa ? 3 : 2);
    return selected;
}

}  // namespace dravik::device
