// What a virtual drive is, apart from its disc: identity, command set,
// mode pages, tray, faults at insertion and the timing model.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vdrive/disc.h"

namespace dravik::vdrive {

struct TimingModel {
    // Off when both are 0: the drive then reports no simulated time.
    uint32_t commandLatencyUs = 0;
    uint32_t readSpeedKBps = 0;  // 176 is 1x (75 raw blocks a second)
};

struct DriveConfig {
    std::string vendor = "DRAVIK";
    std::string product = "VIRTUAL CD-RW";
    std::string revision = "1.00";
    std::string serial = "VD000001";
    // An MMC drive; otherwise an older drive that knows the vendor track
    // information (0xE5) and CD-DA (0xD8, 0xD9) commands and no MMC ones.
    bool mmc = true;
    int ansiVersion = -1;     // INQUIRY byte 2; -1: 0 for MMC drives, 2 for older ones
    int peripheralType = 5;   // INQUIRY byte 0: 5 CD/DVD, 0 direct access (a disk)
    bool removable = true;    // INQUIRY byte 1 bit 7
    // Some drives refuse MODE SENSE while the tray is empty (NOT READY,
    // MEDIUM NOT PRESENT) instead of answering their pages.
    bool modeSenseNeedsMedium = false;
    // Some drives (QEMU's ATAPI ones) answer MODE SENSE page by page only and
    // refuse page 0x3F, all pages, with INVALID FIELD IN CDB.
    bool allPagesAnswered = true;
    // Where READ TOC takes its format from: byte 2 or, when that is 0, the
    // older place in byte 9 (kEither); byte 2 only, as QEMU's SCSI CD does;
    // byte 9 only, as QEMU's ATAPI drives and drives of the SFF-8020 era do.
    enum class TocFormatField { kEither, kByte2, kByte9 };
    TocFormatField tocFormatField = TocFormatField::kEither;
    uint32_t bufferKB = 2048;  // capabilities page bytes 12-13 and READ BUFFER capacity
    int currentProfile = -1;  // -1: from the medium
    bool canLoadTray = true;
    // The disc is formatted for Mount Rainier: the MRW feature is current
    // and mode page 0x03 chooses the address space.
    bool mrw = false;
    std::vector<uint8_t> pageCodes;                     // empty: the defaults for the drive kind
    std::map<uint8_t, std::vector<uint8_t>> pageBytes;  // whole pages given by the description
    int notReadyCommands = 0;  // commands answered NOT READY after the disc is inserted
    bool unitAttentionAtStart = false;
    uint32_t maxReadSpeedKBps = 7056;  // 40x
    uint32_t maxWriteSpeedKBps = 1764;  // 10x
    // A recorder's long operations: after an immediate close, blank or
    // format, this many commands that need the disc answer NOT READY
    // (long write in progress; format in progress after a format).
    int busyPolls = 0;
    // After each write, this many further writes answer NOT READY, long
    // write in progress, while the drive empties its buffer.
    int writeBusyPolls = 0;
    TimingModel timing;
};

// A parsed image or description: the disc and the drive it sits in.
struct LoadedImage {
    std::shared_ptr<Disc> disc;
    DriveConfig drive;
};

}  // namespace dravik::vdrive
