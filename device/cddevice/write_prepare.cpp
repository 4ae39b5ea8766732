// Preparing a recorder for a write: the disc's state and the next writable
// address, the write parameters page (0x05) and the write speed; also the
// speed and parameter checks a client runs before it writes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "device/cddevice/command_support.h"
#include "device/cddevice/recording_support.h"
#include "device/cddevice/write_parameters.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr int kPageSenseBytes = 255;
constexpr int kPageAnswerOffset = 1024;       // where in the work buffer the mode sense answer lands

uint32_t WriteSpeedField(int speed) { return speed == 0 ? 0xFFFF : static_cast<uint32_t>(speed) * 1765 / 10; }

}  // namespace

int CDDevice::ReadWriteParametersPage(int length) {
    unsigned char* work = workBuffer_.get();
    unsigned char* answer = work + kPageAnswerOffset;
    int len = length;
    int pageOffset = 0;
    if (!ModeSenseCommand(5, answer, &len, &pageOffset)) return -1;
    const int received = std::min<int>(length, kPageSenseBytes + 1);
    if (pageOffset + 2 > received || (answer[pageOffset] & 0x3F) != 5 || pageOffset + answer[pageOffset + 1] + 2 > received) {
        SetSense(kSenseMalformedReply, 0x26, 0x01);
        return -1;
    }
    const int pageLength = answer[pageOffset + 1];
    const bool mode10 = deviceRecord_->IsMode10();
    const int header = mode10 ? 8 : 4;
    std::memset(work, 0, static_cast<size_t>(header + kPageSenseBytes + 2));
    if (mode10)
        work[1] = static_cast<uint8_t>(pageLength + 8);
    else
        work[0] = static_cast<uint8_t>(pageLength + 5);
    std::memcpy(work + header, answer + pageOffset, static_cast<size_t>(pageLength + 2));
    work[header] &= 0x3F;  // "parameters savable" is reserved in a select
    return header;
}

bool CDDevice::InitWrite(WriteParameters& wp) {
    writeParameters_ = &wp;
    wp.error = false;
    dvdPlusDisc_ = false;
    uint8_t info[rec::kInfoBytes] = {};

    if (deviceRecord_->IsDVDPlusRW()) {
        const int profile = GetCurrentConfiguration();
        unsigned char* caps = workBuffer_.get();
        if (!GetFormatCapacity(caps, rec::kFormatCapacityBytes)) return false;
        const int descriptors = caps[3] / 8 - 1;
        dvdPlusDisc_ = false;
        if (profile == 0x001B && descriptors == 0) {
            dvdPlusDisc_ = true;
            dvdPlusR_ = true;
        }
        for (int i = 1; i <= descriptors && 4 + 8 * i + 8 <= rec::kFormatCapacityBytes; ++i)
            if ((caps[4 + 8 * i + 4] >> 2) == rec::kFullFormatType) dvdPlusDisc_ = true;
        bool formatNeeded = (caps[8] & 0x03) == 1;
        if (dvdPlusDisc_ && !dvdPlusR_) {
            dvdDisc_ = true;
            bool restart = false;
            if (!ReadCDRWInfo(info, 0)) return false;
            if ((info[7] & 0x03) == 1) formatNeeded = restart = true;
            if (formatNeeded && !restart) SetRMDTimestamp();
            wp.dvdPlusFormat = true;
            if (formatNeeded && !BeginDVDPlusFormat(restart)) return false;
            wp.nextWritableAddress = 0;
            return true;
        }
    }

    int header = -1;
    if (!dvdPlusR_) {
        header = ReadWriteParametersPage(kPageSenseBytes);
        if (header < 0) return false;
        cmd::Dump(*this, workBuffer_.get() + kPageAnswerOffset, 2048 - kPageAnswerOffset, "Mode page 5");
    }

    if (!wp.trackStarted) {
        if (!ReadCDRWInfo(info, 0)) return false;
        cmd::Dump(*this, info, cmd::kDiscInfoBytes, "Disc information from InitWrite");
        const int status = info[2] & 0x03;
        uint8_t track[rec::kInfoBytes] = {};
        if (status == 2) {
            if (!(info[2] & 0x10)) return false;
            if (wp.trackNumber == 255) wp.trackNumber = info[6] ? info[6] : 1;
            if (info[8] == 0x20) {
                wp.xaSession = true;
                if (wp.dataBlockType == 8) wp.dataBlockType = 10;
            } else if (info[8] == 0) {
                wp.xaSession = false;
                if (wp.dataBlockType == 10) wp.dataBlockType = 8;
            }
            if (!ReadCDRWInfo(track, wp.trackNumber)) return false;
            cmd::Dump(*this, track, 28, "Track information from InitWrite");
            wp.nextWritableAddress = static_cast<int32_t>(bytes::GetBe32(track + 8));
            wp.trackMode = track[5] & 0x0F;
            wp.packetWriting = (track[6] & 0x20) != 0;
            wp.packetSize = wp.packetWriting ? bytes::GetBe32(track + 20) : 0;
        } else if (status == 1) {
            if (wp.trackNumber == 255) wp.trackNumber = info[6];
            if (!ReadCDRWInfo(track, wp.trackNumber)) return false;
            cmd::Dump(*this, track, 28, "Track information from InitWrite");
            const bool sessionIncomplete = (info[2] & 0x0C) == 0x04;
            wp.nextWritableAddress = static_cast<int32_t>(
                sessionIncomplete && (track[7] & 0x01) ? bytes::GetBe32(track + 12) : bytes::GetBe32(track + 8));
        } else {
            if (!ReadCDRWInfo(track, dvdMinusDisc_ ? 1 : 255)) return false;
            cmd::Dump(*this, track, 28, "Next writable track");
            wp.nextWritableAddress = static_cast<int32_t>(bytes::GetBe32(track + 8));
            wp.trackNumber = track[2];
        }
        wp.currentWriteAddress = -1;
    }
    cmd::Log(*this, 1, "Next-writable address for new track %d is %d", static_cast<int>(wp.trackNumber),
             static_cast<int>(wp.nextWritableAddress));
    if (dvdDisc_ && wp.nextWritableAddress == 0) SetRMDTimestamp();
    if (dvdPlusR_) return true;

    unsigned char* list = workBuffer_.get();
    unsigned char* page = list + header;
    const int pageBytes = page[1] + 2;
    auto put = [&](int at, uint8_t value) {
        if (at < pageBytes) page[at] = value;
    };
    const bool underrunFree =
        wp.underrunProtection && ((capabilitiesKnown_ && (capabilities_[4] & 0x80)) || dvdMinusDisc_);
    uint8_t b2 = page[2] & 0x80;
    if (underrunFree) b2 |= 0x40;
    if (wp.testWrite && !wp.packetWriting) b2 |= 0x10;
    if (dvdMinusDisc_) {
        b2 |= 0x20 | (wp.packetWriting ? 0 : 2);
        put(5, 16);
        wp.packetSize = 16;
    } else {
        b2 |= wp.packetWriting ? 0 : 1;
    }
    put(2, b2);
    uint8_t b3 = static_cast<uint8_t>(wp.trackMode & 0x0F);
    if (wp.multiSession) b3 |= 0xC0;
    if (wp.packetWriting && wp.packetSize) b3 |= 0x20;
    if (wp.copy) b3 |= 0x10;
    put(3, b3);
    put(4, wp.dataBlockType);
    if (7 < pageBytes) page[7] &= 0xC0;
    put(8, wp.dataBlockType >= 10 ? 0x20 : 0);
    if (pageBytes >= 14) bytes::PutBe32(page + 10, wp.packetWriting ? wp.packetSize : 0);
    if (pageBytes >= 16)
        bytes::PutBe16(page + 14, static_cast<uint32_t>(wp.dataBlockType <= 7 ? wp.audioPauseLength : 150));
    if (16 < pageBytes) page[16] &= 0x7F;
    if (32 < pageBytes) page[32] &= 0x7F;
    for (int i = 48; i < 52 && i < pageBytes; ++i) page[i] = 0;

    const bool savedErrorMode = errorMode_;
    errorMode_ = true;
    const bool selected = ModeSelectCommand(nullptr, list);
    errorMode_ = savedErrorMode;
    if (!selected) return false;
    cmd::Dump(*this, list, 192, "Mode page 5 write parameters");
    if (wp.trackStarted) return true;
    return SetWriteSpeed(wp.writeSpeed);
}

bool CDDevice::SetWriteSpeed(int speed) {
    const unsigned method = deviceRecord_->GetSpeedCode();
    cmd::Log(*this, 1, "Setting write speed to 0x%x, mode %d", speed, static_cast<int>(method));
    bool done = false;
    if (method == 0) {
        DevRequest request(this);
        request.direction = kRequestNoData;
        request.cdbLength = 12;
        request.cdb[0] = scsi::kSetCdSpeed;
        // -1 asks for the fastest speed, as 0 does.
        bytes::PutBe16(request.cdb + 4, speed < 0 ? 0xFFFF : WriteSpeedField(speed) & 0xFFFF);
        bytes::PutBe16(request.cdb + 2, savedReadSpeed_ < 0 ? 0xFFFF : WriteSpeedField(savedReadSpeed_) & 0xFFFF);
        done = Send(request);
        if (!done) TakeSense(request);
    }
    if (!done) cmd::Log(*this, 1, "Error setting write speed: %02x %02x", asc_, ascq_);
    return done;
}

bool CDDevice::CheckWriteSpeed(int speed, bool testWrite) {
    if (!SetWriteSpeed(speed)) return false;
    const int header = ReadWriteParametersPage(kPageSenseBytes);
    if (header < 0) return false;
    unsigned char* list = workBuffer_.get();
    unsigned char* page = list + header;
    const int pageBytes = page[1] + 2;
    if (pageBytes < 14) {
        SetSense(kSenseMalformedReply, 0x26, 0x01);
        return false;
    }
    page[2] = static_cast<uint8_t>((page[2] & 0xE1) | (testWrite ? 0x10 : 0) | 0x01);
    page[3] = 0xC4;
    page[4] = 10;
    page[7] &= 0xC0;
    page[8] = 0x20;
    bytes::PutBe32(page + 10, 0);
    if (16 < pageBytes) page[16] &= 0x7F;
    if (32 < pageBytes) page[32] &= 0x7F;
    for (int i = 48; i < 52 && i < pageBytes; ++i) page[i] = 0;
    return ModeSelectCommand(nullptr, list);
}

bool CDDevice::CheckDriveParameters(bool fixedPacket) {
    const int header = ReadWriteParametersPage(256);
    if (header < 0) return false;
    unsigned char* list = workBuffer_.get();
    unsigned char* page = list + header;
    if (((page[3] & 0x20) != 0) == fixedPacket) return true;
    page[3] = static_cast<uint8_t>(fixedPacket ? page[3] | 0x20 : page[3] & ~0x20);
    cmd::Log(*this, 1, "Setting write paramters to FP=%d", fixedPacket ? 1 : 0);
    return ModeSelectCommand(nullptr, list);
}

int CDDevice::GetWriteSpeed() {
    if (!deviceRecord_->IsMMC()) return -1;
    unsigned char* answer = workBuffer_.get() + kPageAnswerOffset;
    int len = kPageSenseBytes;
    int pageOffset = 0;
    if (!ModeSenseCommand(0x2A, answer, &len, &pageOffset)) return -1;
    if (pageOffset + 22 > kPageSenseBytes) {
        SetSense(kSenseMalformedReply, 0x26, 0x01);
        return -1;
    }
    const int kbps = static_cast<int>(bytes::GetBe16(answer + pageOffset + 20));
    cmd::Log(*this, 1, "Queried speed = %d", kbps);
    return (kbps * 100 + 15000) / 17648;
}

bool CDDevice::SetRMDTimestamp() {
    uint8_t stamp[22] = {};
    bytes::PutBe16(stamp, 20);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min);
    std::memcpy(stamp + 8, text, 12);
    std::snprintf(text, sizeof text, "%02d", local.tm_sec % 100);
    std::memcpy(stamp + 20, text, 2);
    DevRequest request(this);
    request.direction = kRequestDataOut;
    request.buffer = stamp;
    request.dataLength = sizeof stamp;
    request.cdbLength = 12;
    request.cdb[0] = scsi::kSendDiscStructure;
    request.cdb[7] = 0x0F;
    request.cdb[9] = sizeof stamp;
    if (Send(request)) return true;
    TakeSense(request);
    return false;
}

}  // namespace dravik::device
