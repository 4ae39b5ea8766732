// One command on its way through a virtual drive, and the handlers of the
// command families (one file each: cmd_*.cpp).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/scsi_drive.h"
#include "vdrive/disc.h"
#include "vdrive/drive_config.h"
#include "vdrive/drive_state.h"
#include "vdrive/sense.h"

namespace dravik::vdrive {

struct Command {
    const uint8_t* cdb;
    size_t cdbLength;
    const platform::ScsiRequest& request;
    DriveState& state;
    const DriveConfig& config;
    // The allocation or parameter-list length of the CDB (0 when it has none),
    // already checked against the buffer and the direction.
    size_t allocation = 0;
    // Bytes placed into (or taken from) the caller's buffer.
    size_t transferred = 0;
    uint64_t blocksServed = 0;

    uint8_t* Buffer() const { return request.data; }
    const Disc& disc() const { return *state.disc; }

    // Hands a reply to the caller, cut to the allocation length.
    Sense Reply(const std::vector<uint8_t>& reply) {
        size_t n = reply.size() < allocation ? reply.size() : allocation;
        if (n) std::memcpy(request.data, reply.data(), n);
        transferred = n;
        return sense::kNone;
    }
    // Checks that the caller's buffer takes `bytes` of data in; a read
    // whose buffer is too small, or sent without the data-in direction, is
    // refused before anything is transferred.
    bool CanTakeDataIn(size_t bytes) const {
        if (bytes == 0) return true;
        return request.direction == platform::DataDirection::kIn && request.data && request.dataLength >= bytes;
    }
};

using CommandHandler = Sense (*)(Command&);

// Identity and unit control (cmd_unit.cpp).
Sense HandleTestUnitReady(Command& c);
Sense HandleRequestSense(Command& c);
Sense HandleInquiry(Command& c);
Sense HandleStartStopUnit(Command& c);
Sense HandleSetCdSpeed(Command& c);
Sense HandleReadCapacity(Command& c);
Sense HandleReadBuffer(Command& c);
// Mode pages (cmd_mode.cpp).
Sense HandleModeSense6(Command& c);
Sense HandleModeSense10(Command& c);
Sense HandleModeSelect6(Command& c);
Sense HandleModeSelect10(Command& c);
// Reads (cmd_read.cpp).
Sense HandleRead10(Command& c);
Sense HandleReadCd(Command& c);
Sense HandleReadCdDaLba(Command& c);  // 0xD8
Sense HandleReadCdDaMsf(Command& c);  // 0xD9
// TOC (cmd_toc.cpp).
Sense HandleReadToc(Command& c);
// Disc and track information (cmd_track_info.cpp).
Sense HandleReadDiscInformation(Command& c);
Sense HandleReadTrackInformation(Command& c);
Sense HandleVendorTrackInformation(Command& c);  // 0xE5, older reply
// Sub-channel, seek, removal lock and format capacities (cmd_position.cpp).
Sense HandleReadSubChannel(Command& c);
Sense HandleSeek10(Command& c);
Sense HandlePreventAllowRemoval(Command& c);
Sense HandleReadFormatCapacities(Command& c);
// Writes (cmd_write.cpp).
Sense HandleWrite10(Command& c);  // also WRITE AND VERIFY(10)
Sense HandleWrite12(Command& c);
Sense HandleSynchronizeCache(Command& c);
// Closing, reserving, blanking, formatting (cmd_record.cpp).
Sense HandleCloseTrackSession(Command& c);
Sense HandleReserveTrack(Command& c);
Sense HandleRepairTrack(Command& c);
Sense HandleBlank(Command& c);
Sense HandleFormatUnit(Command& c);
Sense HandleSendOpcInformation(Command& c);
Sense HandleReadBufferCapacity(Command& c);
Sense HandleSendDvdStructure(Command& c);
// Configuration (cmd_config.cpp).
Sense HandleGetConfiguration(Command& c);

// The profile the drive reports for its disc (0 without one).
uint16_t CurrentProfile(const DriveConfig& config, const DriveState& state);

}  // namespace dravik::vdrive
