// Sector reads: ReadCD with its retry loop, error classification and read
// error prompt, and ReadCDAny with caller-chosen READ CD fields.
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

using cmd::kCookedSectorBytes;
using cmd::kRawSectorBytes;
// The READ CD count of ReadCD is one CDB byte; ReadCDAny's is two.
constexpr int kMaxReadCDCount = 255;
constexpr int kMaxReadCDAnyCount = 0xFFFF;

constexpr uint8_t kRawReadFields = 0xF8;  // sync, all headers, user data, EDC/ECC
constexpr int kQuietRead = 0x100;

constexpr uint8_t kKeyRecovered = 1;
constexpr uint8_t kKeyMediumError = 3;
constexpr uint8_t kKeyBlankCheck = 8;

// Mount Rainier discs as some drives show them: every 4352 user blocks
// are followed by 256 spare blocks, after 5 * 256 blocks at the start.
int FakeMode3Block(int block) { return block + (block / 4352 + 5) * 256; }

// Additional sense codes worth another attempt: no sense, not ready,
// unrecovered read error, positioning error, unexpected bus free.
bool RetriedAsc(uint8_t asc) { return asc == 0x00 || asc == 0x02 || asc == 0x11 || asc == 0x15 || asc == 0x22; }

// Bytes a READ CD sector carries for the fields of byte 9.
int ReadCDFieldBytes(uint8_t fields) {
    int bytes = 0;
    if (fields & 0x80) bytes += 12;
    static constexpr int kHeaders[4] = {0, 4, 8, 12};
    bytes += kHeaders[(fields >> 5) & 3];
    if (fields & 0x10) bytes += 2048;
    if (fields & 0x08) bytes += 288;
    static constexpr int kErrorFields[4] = {0, 294, 296, 0};
    bytes += kErrorFields[(fields >> 1) & 3];
    return bytes;
}

void PutBlock(DevRequest& request, int block) { bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block)); }

}  // namespace

bool CDDevice::ClassifyReadFailure(DevRequest& request, int block, const char* unexpectedFormat) {
    TakeSense(request);
    if (request.senseKey == kKeyRecovered) {
        if (recoveredMode_) return true;
        lastErrorClass_ = 1;
        ++recoveredErrors_;
        return false;
    }
    if (request.senseKey == kKeyMediumError) {
        lastErrorClass_ = 2;
        ++mediaErrors_;
        return false;
    }
    if (debugLevel_ >= 1) cmd::Log(*this, 1, unexpectedFormat, request.cdb[0], block, GetDeviceId(), FormatSense(&request));
    lastErrorClass_ = 3;
    ++otherErrors_;
    return false;
}

void CDDevice::ReportReadError(DevRequest& request, int block) {
    const char* senseText = FormatSense(&request);
    if (messageCallback_) messageCallback_(3007, block, GetDeviceId(), senseText);
}

bool CDDevice::ReadCD(int block, void* buf, int count) {
    lastErrorClass_ = 0;
    if (cddaMode_) return ReadCDDA(block, buf, count, false);
    // One CDB byte carries the count: a larger count would read fewer
    // sectors than the buffer expects and leave the rest as it was.
    if (buf == nullptr || count < 1 || count > kMaxReadCDCount) {
        SetSense(5, 0x24, 0);
        return false;
    }
    if (fakeMode3_) block = FakeMode3Block(block);

    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    request.dataLength = static_cast<uint32_t>(count) * (rawMode_ ? kRawSectorBytes : kCookedSectorBytes);
    const unsigned rawCommand = deviceRecord_->GetRawCmd();
    if (rawMode_ && rawCommand != 0 && rawCommand != scsi::kRead10) {
        request.cdbLength = 12;
        request.cdb[0] = static_cast<uint8_t>(rawCommand);
        request.cdb[9] = kRawReadFields;
    } else {
        request.cdbLength = 10;
        request.cdb[0] = scsi::kRead10;
    }
    PutBlock(request, block);
    request.cdb[8] = static_cast<uint8_t>(count);
    const uint32_t length = request.dataLength;
    if (Send(request)) return true;

    int retriesLeft = readRetry_;
    for (;;) {
        TakeSense(request);
        if (errorScanMode_) return ClassifyReadFailure(request, block, "Unexpected error from cmd 0x%02x, block %d on device %s %s");
        if (IsAbortSet()) retriesLeft = 0;
        if (request.asc == 0 && request.senseKey == kKeyBlankCheck) return false;
        if (RetriedAsc(request.asc) && retriesLeft > 0) {
            --retriesLeft;
            request.dataLength = length;  // the transport may have left the count it moved
            if (Send(request)) return true;
            continue;
        }
        break;
    }
    if (!errorMode_ && !promptSuppress_) {
        ReportReadError(request, block);
    } else {
        cmd::Log(*this, 2, "Error reading (%02x) %d: %02x %02x", request.cdb[0], block, request.asc, request.ascq);
    }
    return false;
}

bool CDDevice::ReadCDAny(int block, void* buf, int count, int flags) {
    if (!deviceRecord_->IsMMC()) {
        SetSense(5, 0x14, 0xF8);
        return false;
    }
    const uint8_t fields = static_cast<uint8_t>(flags & 0xFF);
    const bool quiet = (flags & kQuietRead) != 0;
    const int perSector = ReadCDFieldBytes(fields);
    if (count < 0 || count > kMaxReadCDAnyCount || (buf == nullptr && count * perSector > 0)) {
        SetSense(5, 0x24, 0);
        return false;
    }
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    request.dataLength = static_cast<uint32_t>(count) * static_cast<uint32_t>(perSector);
    if (fields == 0x10) {
        request.cdbLength = 10;
        request.cdb[0] = scsi::kRead10;
    } else {
        request.cdbLength = 12;
        request.cdb[0] = static_cast<uint8_t>(deviceRecord_->GetRawCmd());
        request.cdb[9] = fields;
    }
    PutBlock(request, block);
    bytes::PutBe16(request.cdb + 7, static_cast<uint16_t>(count));
    if (Send(request, !quiet)) return true;
    TakeSense(request);
    if (!errorMode_ && !quiet) ReportReadError(request, block);
    return false;
}

}  // namespace dravik::device
