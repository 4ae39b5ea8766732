#include "device/cddevice/write_parameters.h"

namespace dravik::device {

WriteParameters::WriteParameters(const WriteParameters& other) { *this = other; }

WriteParameters& WriteParameters::operator=(const WriteParameters& other) {
    packetWriting = other.packetWriting;
    testWrite = other.testWrite;
    xaSession = other.xaSession;
    copy = other.copy;
    multiSession = other.multiSession;
    error = false;
    trackStarted = other.trackStarted;
    dvdPlusFormat = other.dvdPlusFormat;
    underrunProtection = other.underrunProtection;
    verifyWrites = other.verifyWrites;
    packetSize = other.packetSize;
    blockSize = other.blockSize;
    nextWritableAddress = -1;
    reserveSize = other.reserveSize;
    currentWriteAddress = -1;
    dataBlockType = other.dataBlockType;
    trackMode = other.trackMode;
    trackNumber = other.trackNumber;
    writeSpeed = other.writeSpeed;
    audioPauseLength = other.audioPauseLength;
    return *this;
}

}  // namespace dravik::device
