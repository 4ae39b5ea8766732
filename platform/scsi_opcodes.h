// Operation codes of the SCSI and MMC commands the device library sends and
// the virtual drive answers: the first byte of a CDB. A plain enum over
// bytes, so a name stands wherever a CDB byte or a switch case does.
// Commands whose codes come from the device database at run time (raw and
// audio reads, tray and serial-number commands) are not limited to these.
#pragma once

#include <cstdint>

namespace dravik::scsi {

enum Opcode : std::uint8_t {
    kTestUnitReady = 0x00,
    kFormatUnit = 0x04,
    kRequestSense = 0x03,
    kInquiry = 0x12,
    kModeSelect6 = 0x15,
    kModeSense6 = 0x1A,
    kStartStopUnit = 0x1B,
    kPreventAllowRemoval = 0x1E,
    kReadFormatCapacities = 0x23,
    kReadCapacity = 0x25,
    kRead10 = 0x28,
    kWrite10 = 0x2A,
    kSeek10 = 0x2B,
    kWriteVerify10 = 0x2E,
    kSynchronizeCache = 0x35,
    kReadBuffer = 0x3C,
    kReadSubChannel = 0x42,
    kReadToc = 0x43,
    kGetConfiguration = 0x46,
    kReadDiscInformation = 0x51,
    kReadTrackInformation = 0x52,
    kReserveTrack = 0x53,
    kSendOpcInformation = 0x54,
    kModeSelect10 = 0x55,
    kRepairTrack = 0x58,
    kModeSense10 = 0x5A,
    kCloseTrackSession = 0x5B,
    kReadBufferCapacity = 0x5C,
    kBlank = 0xA1,
    kLoadUnloadMedium = 0xA6,
    kWrite12 = 0xAA,
    kGetPerformance = 0xAC,
    kReadDiscStructure = 0xAD,
    kReadCdMsf = 0xB9,
    kSetCdSpeed = 0xBB,
    kReadCd = 0xBE,
    kSendDiscStructure = 0xBF,
    // Older drives, before MMC: CD-DA reads by block address and by
    // minutes/seconds/frames, and their own track information commands.
    kReadCdDa = 0xD8,
    kReadCdDaMsf = 0xD9,
    kVendorTrackInformation = 0xE5,
    kAllTracksInformation = 0xE6,
};

}  // namespace dravik::scsi
