// Records a track (and closes it, and its session when asked) onto a drive
// through the device library's write path, as a recording program drives a
// real recorder: prepare, write in chunks, flush, close. Tests use it to
// make discs the way a recorder makes them, multi-session ones included;
// a virtual drive then saves them (VirtualDrive::SaveDisc) for loading again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::device {
class CDDevice;
}

namespace dravik::test {

struct RecordOptions {
    bool closeSession = true;
    bool multiSession = true;   // leave room for a further session
    bool testWrite = false;
    bool packetWriting = false;
    uint32_t packetSize = 0;    // fixed packets of this many blocks; 0 variable
    int blocksPerWrite = 32;
    uint8_t dataBlockType = 8;  // 8 Mode 1, 10 Mode 2 Form 1
};

struct RecordResult {
    bool ok = false;
    int32_t start = -1;  // where the track began
    int32_t end = -1;    // the library's write address after the last block
    std::string failedStep;  // "prepare", "write", "close"
};

// `data` holds whole 2048-byte blocks; with fixed packets it is padded
// with zeros to whole packets.
RecordResult RecordTrack(device::CDDevice& device, std::vector<uint8_t> data, const RecordOptions& options = {});

// Where the next track will start: the next writable address InitWrite
// finds, for building a file system image for that address.
int32_t NextWritableAddress(device::CDDevice& device);

}  // namespace dravik::test
