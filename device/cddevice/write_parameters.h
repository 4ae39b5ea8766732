// What one write to a recorder needs: how the track is written (packets,
// test write, session kind, mode), where (next writable and current
// address) and how fast. CDDevice::InitWrite fills the addresses from the
// disc; WriteData advances the current address; a failed close or
// reservation sets the error flag, after which WriteData refuses.
#pragma once

#include <cstdint>

#include "device/export.h"

namespace dravik::device {

class ZOLTDEV_API WriteParameters {
public:
    WriteParameters() = default;
    // A copy takes every setting, but starts without an error and without
    // addresses: it describes a write that has not been prepared yet.
    WriteParameters(const WriteParameters& other);
    WriteParameters& operator=(const WriteParameters& other);

    bool packetWriting = false;
    bool testWrite = false;         // simulation: the drive writes nothing
    bool xaSession = false;         // CD-ROM XA session; follows the disc type
    bool copy = false;
    bool multiSession = false;      // leave room for another session
    bool error = false;
    bool trackStarted = false;      // a write or reservation began the track
    bool dvdPlusFormat = false;     // InitWrite prepared a DVD+RW
    bool underrunProtection = false;
    bool verifyWrites = false;      // DVD+RW writes with WRITE AND VERIFY
    uint32_t packetSize = 0x8000;   // fixed packet size, blocks
    int32_t blockSize = 2048;       // bytes per block of WriteData
    int32_t nextWritableAddress = -1;
    uint32_t reserveSize = 0;       // blocks for ReserveTrack
    int32_t currentWriteAddress = -1;
    uint8_t dataBlockType = 10;     // page 0x05 byte 4
    uint8_t trackMode = 5;          // page 0x05 byte 3 bits 3-0
    uint8_t trackNumber = 0;        // 255: the last track of the disc information
    int16_t writeSpeed = -1;        // multiple of 176.5 KB/s; -1 the fastest
    int16_t audioPauseLength = 150;
};

// The optimum power calibration table SendOPC passes to the drive unchanged.
struct OPCEntry {
    uint8_t speed[2];
    uint8_t reserved[2];
    uint8_t values[4];
};

}  // namespace dravik::device
