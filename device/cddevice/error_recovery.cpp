// The read-write error-recovery page (0x01): the drive's read retry count,
// the recovery parameter with the retry count as one state, re-applying
// the last accepted settings, and the automatic reallocation bits.
//
// Mode sense answers are read only within the bytes the drive returned and
// the buffer they were read into; a page that runs past either is refused.
#include <algorithm>
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kRecoveryPage = 0x01;
constexpr int kChangeableValues = 0x40;  // page-control bits of MODE SENSE byte 2
constexpr int kRecoverySenseBytes = 128;
constexpr int kAutoReallocSenseBytes = 2048;

// Where a page begins in a mode sense answer and where the answer ends, by
// the header form the command used.
struct ModeAnswer {
    int pageAt = 0;
    int end = 0;  // bytes of the answer that count, within the buffer
};

ModeAnswer FromHeader(const unsigned char* answer, bool mode10, int bufferBytes) {
    ModeAnswer a;
    if (mode10) {
        a.pageAt = static_cast<int>(bytes::GetBe16(answer + 6)) + 8;
        a.end = static_cast<int>(bytes::GetBe16(answer)) + 2;
    } else {
        a.pageAt = answer[3] + 4;
        a.end = answer[0] + 1;
    }
    a.end = std::min(a.end, bufferBytes);
    return a;
}

// True when the page at `pageAt` lies whole within `end` and has at least
// `needed` bytes.
bool PageFits(const unsigned char* answer, int pageAt, int end, int needed) {
    if (pageAt < 0 || pageAt + 2 > end) return false;
    const int pageBytes = answer[pageAt + 1] + 2;
    return pageBytes >= needed && pageAt + pageBytes <= end;
}

}  // namespace

bool CDDevice::SetHardwareRetry(int count) {
    unsigned char answer[kRecoverySenseBytes];
    int length = kRecoverySenseBytes, pageOffset = 0;
    if (!ModeSenseCommand(kRecoveryPage, answer, &length, &pageOffset)) return false;
    const bool mode10 = deviceRecord_->IsMode10();
    const ModeAnswer reply = FromHeader(answer, mode10, kRecoverySenseBytes);
    if (!PageFits(answer, pageOffset, reply.end, 4)) {
        SetSense(kSenseMalformedReply, 0x26, 0x01);
        return false;
    }
    const int pageBytes = answer[pageOffset + 1] + 2;
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
    list[header + 3] = static_cast<uint8_t>(count);
    if (!ModeSelectCommand(nullptr, list)) return false;
    cmd::Log(*this, 1, "Hardware retry count set to %d", count);
    hardwareRetry_ = static_cast<int16_t>(count);
    return true;
}

bool CDDevice::SetRecoveryState(int state, int* current) {
    unsigned char* answer = workBuffer_.get();
    DevRequest request(this);
    bool mode10 = false;
    for (;;) {
        mode10 = deviceRecord_->IsMode10();
        std::memset(answer, 0, kRecoverySenseBytes);
        request = DevRequest(this);
        request.direction = kRequestDataIn;
        request.buffer = answer;
        request.dataLength = kRecoverySenseBytes;
        request.cdb[2] = static_cast<uint8_t>(kRecoveryPage | (state == -1 ? kChangeableValues : 0));
        if (mode10) {
            request.cdbLength = 10;
            request.cdb[0] = scsi::kModeSense10;
            request.cdb[8] = kRecoverySenseBytes;
        } else {
            request.cdbLength = 6;
            request.cdb[0] = scsi::kModeSense6;
            request.cdb[4] = kRecoverySenseBytes;
        }
        if (Send(request)) break;
        if (!mode10 && request.senseKey == 5 && request.asc == 0x20) {
            deviceRecord_->SetMode10(true);
            continue;
        }
        TakeSense(request);
        if (debugLevel_ >= 1)
            cmd::Log(*this, 1, "Error getting current mode, %x %s", request.requestStatus, FormatSense(&request));
        return false;
    }

    // The header form shows in the data: a 6-byte header puts its length
    // byte before the medium type, which makes the first word large.
    const bool header6 = bytes::GetBe16(answer) > 64;
    const int modeDataLength = header6 ? answer[0] : answer[1];
    const ModeAnswer reply = FromHeader(answer, !header6, kRecoverySenseBytes);
    int end = reply.end;
    if (request.dataLength < static_cast<uint32_t>(end)) end = static_cast<int>(request.dataLength);
    const int pageAt = reply.pageAt;
    // Parameter and retry count are page bytes 2 and 3; without them there
    // is nothing to report or to keep.
    if (pageAt + 4 > end) {
        SetSense(kSenseMalformedReply, 0x26, 0x01);
        return false;
    }
    const unsigned char* page = answer + pageAt;
    if (current != nullptr) *current = page[2] * 256 + page[3];
    if (state == -1) {
        deviceRecord_->SetRetryChange(page[3] != 0);
        return true;
    }
    cmd::Dump(*this, answer, std::min(modeDataLength + 2, kRecoverySenseBytes), "Retry inquiry data");

    const bool longPage = page[1] == 10;
    unsigned char* list = workBuffer_.get() + kRecoverySenseBytes;  // the answer stays readable above
    std::memset(list, 0, 32);
    int pageOut;
    if (mode10) {
        list[1] = 0x0E;
        pageOut = 8;
    } else {
        list[0] = 0x0B;
        pageOut = 4;
    }
    list[pageOut] = 0x01;
    list[pageOut + 1] = 0x06;
    if (longPage) {
        // A drive with the 10-byte page takes the whole page in a select.
        list[pageOut + 1] = 10;
        list[mode10 ? 1 : 0] = static_cast<uint8_t>(list[mode10 ? 1 : 0] + 4);
    }
    const uint8_t parameter = static_cast<uint8_t>((state >> 8) & 0xFF);
    uint8_t retries = static_cast<uint8_t>(state & 0xFF);
    if (retries == 0xFF) retries = static_cast<uint8_t>(deviceRecord_->GetRetryCount());
    list[pageOut + 2] = parameter;
    list[pageOut + 3] = retries;

    DevRequest select(this);
    const bool selected = ModeSelectCommand(&select, list);
    if (!selected || select.requestStatus != 0) {
        // A drive that refuses the page outright is remembered, so that
        // callers can stop asking it.
        if (senseKey_ == 5 && asc_ == 0x20) recoveryPageRefused_ = true;
        return false;
    }
    // Recovery bits on, or no retries: failed reads are classified rather
    // than retried.
    errorScanMode_ = parameter != 0 || retries == 0;
    savedRecoveryParameter_ = parameter;
    savedRetryCount_ = static_cast<uint8_t>(state & 0xFF);
    return true;
}

void CDDevice::ResetDeviceParameters() {
    if (!(savedRecoveryParameter_ == 255 && savedRetryCount_ == 255))
        SetRecoveryState(savedRecoveryParameter_ * 256 + savedRetryCount_, nullptr);
    if (savedReadSpeed_ != -1) SetDriveReadSpeed(savedReadSpeed_);
}

bool CDDevice::CheckAutoRealloc() {
    unsigned char* answer = workBuffer_.get();
    int length = kAutoReallocSenseBytes, pageOffset = 0;
    if (!ModeSenseCommand(kRecoveryPage | kChangeableValues, answer, &length, &pageOffset)) return false;
    const ModeAnswer reply = FromHeader(answer, deviceRecord_->IsMode10(), kAutoReallocSenseBytes);
    if (pageOffset + 3 > reply.end) {
        SetSense(kSenseMalformedReply, 0x26, 0x01);
        return false;
    }
    awre_ = (answer[pageOffset + 2] & 0x80) != 0;
    arre_ = (answer[pageOffset + 2] & 0x40) != 0;
    cmd::Log(*this, 1, "Drive reports AWRE=%d, ARRE=%d", awre_ ? 1 : 0, arre_ ? 1 : 0);
    return true;
}

}  // namespace dravik::device
