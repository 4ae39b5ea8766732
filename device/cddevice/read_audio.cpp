// Audio and sub-channel reads: ReadCDDA, ReadSubQ, ReadSubchannel and
// ReadCDSubRW, with the command, CDB length and addressing the device
// record names for the drive (READ CD on MMC drives, vendor commands
// addressed by block or by minutes, seconds and frames on older ones).
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kAudioSectorBytes = 2352;
constexpr int kSubQBytes = 16;
constexpr int kAudioWithSubQBytes = kAudioSectorBytes + kSubQBytes;  // 2368
constexpr int kSectorWithRWBytes = 2448;
constexpr int kMaxAudioCount = 0xFFFF;  // two CDB bytes carry the count
constexpr int kSubQRetries = 5;
constexpr unsigned kNoRWSubchannel = 255;
constexpr int kSubchannelBytes = 256;

// The sense of a request the drive's command length cannot carry: the
// sense key stays as it was.
constexpr uint8_t kAscInvalidCommand = 0x20;

// The MSF pair of a vendor CD-DA read: start at bytes 3-5, end at 7-9.
void PutMsfRange(DevRequest& request, int block, int count) {
    cmd::PutMsf(request.cdb + 3, block + 150);
    cmd::PutMsf(request.cdb + 7, block + 150 + count);
}

bool SubQRetried(const DevRequest& r) {
    return (r.senseKey == 0 && r.asc == 0x15) || (r.senseKey == 4 && r.asc == 0x00) ||
           (r.senseKey == 3 && r.asc == 0x11);
}

}  // namespace

bool CDDevice::ReadCDDA(int block, void* buf, int count, bool withSubQ) {
    if (buf == nullptr || count < 1 || count > kMaxAudioCount) {
        SetSense(5, 0x24, 0);
        return false;
    }
    const DDBInfo& record = *deviceRecord_;
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    request.dataLength = static_cast<uint32_t>(count) * (withSubQ ? kAudioWithSubQBytes : kAudioSectorBytes);
    request.cdb[0] = static_cast<uint8_t>(record.GetCDDACmd());
    request.cdbLength = static_cast<uint8_t>(record.GetCDDALen());
    const uint8_t subQ = static_cast<uint8_t>(record.GetSubQVal() & 0x0F);
    int reportedBlock = block;

    if (request.cdb[0] == scsi::kReadCd) {
        bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block));
        bytes::PutBe16(request.cdb + 7, static_cast<uint16_t>(count));
        request.cdb[9] = 0x10;
        if (withSubQ) request.cdb[10] = subQ;
    } else if (record.GetCDDALen() == 10) {
        if (withSubQ) {
            asc_ = kAscInvalidCommand;
            ascq_ = 0;
            return false;
        }
        bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block));
        bytes::PutBe16(request.cdb + 7, static_cast<uint16_t>(count));
    } else if (record.GetCDDALen() == 12) {
        if (record.IsCDDAMSF()) {
            PutMsfRange(request, block, count);
            reportedBlock = block + 150;
        } else {
            bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block));
            bytes::PutBe16(request.cdb + 8, static_cast<uint16_t>(count));
        }
        if (withSubQ) request.cdb[10] = subQ;
    } else {
        asc_ = kAscInvalidCommand;
        ascq_ = 0;
        return false;
    }
    // READ CD must be 12 bytes whatever the record says; a record that
    // names another length for it is refused by the drive with its sense.
    if (Send(request)) return true;
    TakeSense(request);
    if (!errorMode_) {
        ReportReadError(request, reportedBlock);
        return false;
    }
    return ClassifyReadFailure(request, reportedBlock, "Unexpected error from cmd 0x%02x, block %d on device %s: %s");
}

bool CDDevice::ReadSubQ(int block, void* out16) {
    if (out16 == nullptr) {
        SetSense(5, 0x24, 0);
        return false;
    }
    const DDBInfo& record = *deviceRecord_;
    const uint8_t cddaCommand = static_cast<uint8_t>(record.GetCDDACmd());
    const uint8_t subQ = static_cast<uint8_t>(record.GetSubQVal());
    DevRequest request(this);
    request.direction = kRequestDataIn;
    bool intoWorkBuffer = true;
    int reportedBlock = block;

    if (cddaCommand == scsi::kReadCd) {
        request.cdbLength = 12;
        request.cdb[0] = static_cast<uint8_t>(record.GetRawCmd());
        bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block));
        request.cdb[8] = 1;
        request.cdb[10] = subQ & 0x0F;
        if ((subQ & 0xF0) == 0x10) {
            request.cdb[9] = 0x10;
        } else {
            intoWorkBuffer = false;
        }
    } else if (record.GetCDDALen() == 10) {
        asc_ = kAscInvalidCommand;
        ascq_ = 0;
        return false;
    } else if (record.GetCDDALen() == 12) {
        request.cdbLength = 12;
        request.cdb[0] = cddaCommand;
        request.cdb[10] = subQ & 0x0F;
        if (record.IsCDDAMSF()) {
            PutMsfRange(request, block, 1);
            reportedBlock = block + 150;
        } else {
            bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block));
            request.cdb[9] = 1;
        }
    } else {
        asc_ = kAscInvalidCommand;
        ascq_ = 0;
        return false;
    }
    if (intoWorkBuffer) {
        // Cleared first: a shorter answer must not hand back what an
        // earlier command left in the buffer.
        std::memset(workBuffer_.get(), 0, kAudioWithSubQBytes);
        request.buffer = workBuffer_.get();
        request.dataLength = kAudioWithSubQBytes;
    } else {
        request.buffer = out16;
        request.dataLength = kSubQBytes;
    }
    const uint32_t length = request.dataLength;

    bool ok = Send(request);
    for (int retries = kSubQRetries; !ok; --retries) {
        TakeSense(request);
        if (retries <= 0 || !SubQRetried(request) || IsAbortSet()) {
            if (!errorMode_) ReportReadError(request, reportedBlock);
            return false;
        }
        request.dataLength = length;
        ok = Send(request);
    }
    if (intoWorkBuffer) {
        // The Q sub-channel follows the sector. READ CD of a data sector
        // with only its user data moves 2048 + 16 bytes: take the 16 bytes
        // at the end of what was moved when the transport says so.
        uint32_t moved = request.dataLength;
        if (moved < kSubQBytes || moved > kAudioWithSubQBytes) moved = kAudioWithSubQBytes;
        std::memcpy(out16, workBuffer_.get() + moved - kSubQBytes, kSubQBytes);
    }
    return true;
}

bool CDDevice::ReadSubchannel(int format, int track, void* buf) {
    if (buf == nullptr) {
        SetSense(5, 0x24, 0);
        return false;
    }
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    request.dataLength = kSubchannelBytes;
    request.cdbLength = 10;
    request.cdb[0] = scsi::kReadSubChannel;
    request.cdb[2] = 0x40;
    request.cdb[3] = static_cast<uint8_t>(format);
    if (format == 3) request.cdb[6] = static_cast<uint8_t>(track);
    bytes::PutBe16(request.cdb + 7, kSubchannelBytes);
    if (Send(request)) return true;
    TakeSense(request);
    return false;
}

bool CDDevice::ReadCDSubRW(int block, void* buf, int count) {
    const DDBInfo& record = *deviceRecord_;
    if (record.GetSubRW() == kNoRWSubchannel) {
        asc_ = kAscInvalidCommand;
        ascq_ = 0;
        return false;
    }
    if (buf == nullptr || count < 1 || count > kMaxAudioCount) {
        SetSense(5, 0x24, 0);
        return false;
    }
    DevRequest request(this);
    request.direction = kRequestDataIn;
    request.buffer = buf;
    request.dataLength = static_cast<uint32_t>(count) * kSectorWithRWBytes;
    request.cdb[0] = static_cast<uint8_t>(record.GetCDDACmd());
    request.cdbLength = static_cast<uint8_t>(record.GetCDDALen());
    int reportedBlock = block;
    if (record.IsMMC()) {
        bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block));
        bytes::PutBe16(request.cdb + 7, static_cast<uint16_t>(count));
        request.cdb[9] = 0x10;
        request.cdb[10] = record.IsSubRWDeinter() ? 4 : 1;
    } else if (record.GetCDDALen() == 12) {
        if (record.IsCDDAMSF()) {
            PutMsfRange(request, block, count);
            reportedBlock = block + 150;
        } else {
            bytes::PutBe32(request.cdb + 2, static_cast<uint32_t>(block));
            bytes::PutBe16(request.cdb + 8, static_cast<uint16_t>(count));
        }
        request.cdb[10] = static_cast<uint8_t>(record.GetSubRW());
    } else {
        asc_ = kAscInvalidCommand;
        ascq_ = 0;
        return false;
    }
    if (Send(request)) return true;
    TakeSense(request);
    if (!errorMode_) ReportReadError(request, reportedBlock);
    return false;
}

}  // namespace dravik::device
