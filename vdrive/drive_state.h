// The mutable state of one virtual drive, guarded by the drive's mutex.
#pragma once

#include <memory>
#include <vector>

#include "vdrive/disc.h"
#include "vdrive/mode_pages.h"
#include "vdrive/recorder.h"
#include "vdrive/sense.h"
#include "vdrive/virtual_drive.h"

namespace dravik::vdrive {

struct DriveState {
    std::shared_ptr<Disc> disc;  // null: no disc in the drive
    std::shared_ptr<Disc> ejected;  // the disc on the open tray
    bool trayOpen = false;
    int notReadyLeft = 0;
    bool unitAttention = false;
    Sense deferredSense;  // what REQUEST SENSE reports next
    uint32_t blockLength = 2048;  // of READ(10), set by a mode select block descriptor
    uint8_t density = 0;
    uint32_t readSpeedKBps = 0;
    int32_t headPosition = 0;  // the last block read or sought, for READ SUB-CHANNEL
    bool removalPrevented = false;  // PREVENT ALLOW MEDIUM REMOVAL
    ModePages pages;
    RecorderState recorder;
    std::vector<BlockRange> failedBlocks;
    DriveCounters counters;
    TimingModel timing;
    VirtualDrive::ReadObserver readObserver;
};

}  // namespace dravik::vdrive
