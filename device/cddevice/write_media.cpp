// The medium as a whole: blanking a CD-RW, the background format of a
// DVD+RW and stopping it, power calibration, the capacity of the disc and
// the free part of the drive's buffer.
#include <algorithm>
#include <cstring>

#include "device/cddevice/command_support.h"
#include "device/cddevice/recording_support.h"
#include "device/cddevice/write_parameters.h"
#include "device/ddb/ddb_info.h"
#include "device/request/dev_request.h"
#include "platform/scsi_opcodes.h"

namespace dravik::device {

namespace {

constexpr uint8_t kRestartBit = 0x01;  // format descriptor byte 4: restart a stopped format

}  // namespace

bool CDDevice::BlankDisc(bool quick) {
    if (dvdPlusDisc_) return BeginDVDPlusFormat(false);
    cmd::Log(*this, 1, "Blanking disc, Quick=%d", quick ? 1 : 0);
    DevRequest request(this);
    request.direction = kRequestNoData | kRequestLongTimeout;
    request.cdbLength = 12;
    request.cdb[0] = scsi::kBlank;
    request.cdb[1] = quick ? 0x11 : 0x10;
    if (Send(request, false)) return true;
    TakeSense(request, true);
    return false;
}

bool CDDevice::BeginDVDPlusFormat(bool restart) {
    for (;;) {
        uint8_t list[12] = {0x00, 0x02, 0x00, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, rec::kFullFormatType << 2, 0, 0, 0};
        if (restart) list[8] |= kRestartBit;
        DevRequest request(this);
        request.direction = kRequestDataOut;
        request.buffer = list;
        request.dataLength = sizeof list;
        request.cdbLength = 6;
        request.cdb[0] = scsi::kFormatUnit;
        request.cdb[1] = 0x11;
        if (Send(request, false)) return true;
        TakeSense(request, true);
        cmd::Log(*this, 1, "Error returned by BeginBackgroundFormat: %02x %02x", asc_, ascq_);
        if (asc_ == 0x2C && restart) {
            restart = false;
            continue;
        }
        return asc_ == 0x04;
    }
}

bool CDDevice::CheckFormatInProgress() {
    uint8_t info[rec::kInfoBytes] = {};
    return ReadCDRWInfo(info, 0) && (info[7] & 0x03) == 2;
}

bool CDDevice::HaltFormat() {
    const unsigned form = deviceRecord_->GetWriteFormat();
    if (form != 1 && form != 2) return false;
    DevRequest request(this);
    request.direction = kRequestNoData;
    request.cdbLength = 10;
    request.cdb[0] = scsi::kCloseTrackSession;
    request.cdb[1] = deviceRecord_->IsNoImmediateClose() ? 0 : 1;
    request.cdb[2] = 3;
    if (Send(request) && request.senseKey == 0) return true;
    TakeSense(request, true);
    return false;
}

bool CDDevice::SendOPC(OPCEntry* entries, int bytesToSend) {
    if (!deviceRecord_->UseOpc() || dvdDisc_) return true;
    DevRequest request(this);
    request.cdbLength = 10;
    request.cdb[0] = scsi::kSendOpcInformation;
    if (bytesToSend > 0 && entries) {
        request.direction = kRequestDataOut;
        request.buffer = entries;
        request.dataLength = static_cast<uint32_t>(bytesToSend);
        bytes::PutBe16(request.cdb + 7, static_cast<uint32_t>(bytesToSend));
    } else {
        request.direction = kRequestNoData;
        request.cdb[1] = 1;  // perform the calibration
    }
    if (Send(request)) return true;
    TakeSense(request, true);
    if (asc_ == 0x20) deviceRecord_->SetOpcMode(false);
    cmd::Log(*this, 1, "Error returned by Send OPC: %02x %02x", asc_, ascq_);
    return asc_ == 0x04;
}

bool CDDevice::GetCDCapacity(unsigned* freeBlocks, unsigned* usedBlocks, bool fixedPacket) {
    if (!freeBlocks || !usedBlocks) {
        SetSense(5, 0x24, 0);
        return false;
    }
    if (!CheckDevice(true)) return false;
    dvdDisc_ = dvdPlusDisc_ = dvdMinusDisc_ = dvdPlusR_ = dvdRW_ = false;
    awre_ = arre_ = false;
    CheckAutoRealloc();

    if (deviceRecord_->IsDVDPlusRW() || deviceRecord_->IsDVDMinusRW()) {
        const int profile = GetCurrentConfiguration();
        dvdDisc_ = dvdPlusDisc_ = dvdMinusDisc_ = dvdPlusR_ = dvdRW_ = false;
        if (profile == 0x001A || profile == 0x001B) {
            dvdDisc_ = true;
            uint8_t caps[rec::kFormatCapacityBytes] = {};
            if (!GetFormatCapacity(caps, rec::kFormatCapacityBytes)) return false;
            unsigned capacity = bytes::GetBe32(caps + 4);
            const bool formatNeeded = (caps[8] & 0x03) == 1;
            const int descriptors = caps[3] / 8 - 1;
            if (profile == 0x001B && descriptors == 0 && capacity) dvdPlusDisc_ = dvdPlusR_ = true;
            for (int i = 1; i <= descriptors && 12 + 8 * i <= rec::kFormatCapacityBytes; ++i) {
                if ((caps[4 + 8 * i + 4] >> 2) == rec::kFullFormatType) {
                    dvdPlusDisc_ = true;
                    capacity = bytes::GetBe32(caps + 4 + 8 * i);
                }
            }
            if (dvdPlusDisc_ && !dvdPlusR_) {
                *freeBlocks = capacity;
                *usedBlocks = 0;
                uint8_t volume[2048] = {};
                if (!formatNeeded && ReadCD(16, volume, 1)) {
                    *usedBlocks = static_cast<unsigned>(volume[80]) | static_cast<unsigned>(volume[81]) << 8 |
                                  static_cast<unsigned>(volume[82]) << 16 | static_cast<unsigned>(volume[83]) << 24;
                    *freeBlocks = *usedBlocks < capacity ? capacity - *usedBlocks : 0;
                }
                return true;
            }
        } else if (profile == 0x0011 || profile == 0x0013 || profile == 0x0014) {
            dvdMinusDisc_ = dvdDisc_ = true;
            dvdRW_ = profile != 0x0011;
        }
    }

    if (!CheckDriveParameters(fixedPacket)) return false;
    uint8_t info[rec::kInfoBytes] = {};
    if (!ReadCDRWInfo(info, 0)) return false;
    cmd::Dump(*this, info, cmd::kDiscInfoBytes, "Disc information for CD Capacity");
    const int last = info[6];
    const int status = info[2] & 0x03;
    uint8_t track[rec::kInfoBytes] = {};
    if (status == 1) {
        if (!ReadCDRWInfo(track, last + 1) && !ReadCDRWInfo(track, last)) {
            if (!(asc_ == 0x79 && ascq_ == 0)) return false;
            if (!ReadCDRWInfo(track, last - 1)) return false;
            *usedBlocks = bytes::GetBe32(track + 8) + bytes::GetBe32(track + 24);
            *freeBlocks = 0;
            return true;
        }
    } else {
        bool read = false;
        for (int number : {last, 255}) {
            if (ReadCDRWInfo(track, number)) {
                read = true;
                break;
            }
            cmd::Log(*this, 1, "Error reading track %d information: %02x %02x %02x", number, senseKey_, asc_, ascq_);
        }
        if (!read) return false;
    }
    cmd::Dump(*this, track, 28, "Last track information for CD Capacity");
    const unsigned start = bytes::GetBe32(track + 8);
    const int32_t freeField = static_cast<int32_t>(bytes::GetBe32(track + 16));
    if (status == 2) {
        *usedBlocks = start + bytes::GetBe32(track + 24);
        *freeBlocks = 0;
    } else if (status == 1) {
        *usedBlocks = start;
        *freeBlocks = static_cast<unsigned>(freeField);
    } else {
        *usedBlocks = 0;
        *freeBlocks = freeField < 0 && start == 0 ? bytes::GetBe32(track + 24) : static_cast<unsigned>(freeField);
    }
    return true;
}

unsigned CDDevice::GetBufferSpace() {
    for (bool blockUnits : {true, false}) {
        uint8_t reply[32] = {};
        DevRequest request(this);
        request.direction = kRequestDataIn;
        request.buffer = reply;
        request.dataLength = sizeof reply;
        request.cdbLength = 10;
        request.cdb[0] = scsi::kReadBufferCapacity;
        request.cdb[1] = blockUnits ? 1 : 0;
        request.cdb[8] = sizeof reply;
        if (!Send(request)) {
            TakeSense(request);
            if (blockUnits && request.senseKey == 5) continue;
            return 0;
        }
        if (!CheckReplyLength(request, sizeof reply, bytes::GetBe16(reply) + 2u, 12)) return 0;
        // In block units the drive gives only the free part, in 2048-byte
        // blocks; the size is the buffer size the record knows (KB).
        const uint64_t total = blockUnits ? static_cast<uint64_t>(deviceRecord_->GetBufferSize() > 0 ? deviceRecord_->GetBufferSize() : 0) * 1024
                                          : bytes::GetBe32(reply + 4);
        const uint64_t free = blockUnits ? static_cast<uint64_t>(bytes::GetBe32(reply + 8)) * 2048 : bytes::GetBe32(reply + 8);
        if (total == 0) return 0;
        return static_cast<unsigned>(std::min<uint64_t>(free, total) * 100 / total);
    }
    return 0;
}

}  // namespace dravik::device
