// What a recording virtual drive does to its disc: writes at the next
// writable address, reserved and closed tracks, closed sessions, blanking
// and the DVD+RW background format. The command handlers (cmd_write.cpp,
// cmd_record.cpp) check the CDBs and call these; the disc changes the way
// a real recorder's disc does: blank, then incomplete, then complete.
//
// Written blocks go to a scratch file the drive owns; the image files the
// disc was loaded from are opened read-only and never change.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "vdrive/disc.h"
#include "vdrive/image_file.h"
#include "vdrive/sense.h"

namespace dravik::vdrive {

namespace sense {
inline constexpr Sense kLongWriteInProgress{0x02, 0x04, 0x08};
inline constexpr Sense kFormatInProgress{0x02, 0x04, 0x04};
inline constexpr Sense kInvalidAddressForWrite{0x05, 0x21, 0x02};
inline constexpr Sense kIncompatibleMedium{0x05, 0x30, 0x05};  // cannot write this medium
inline constexpr Sense kSessionFixationError{0x03, 0x71, 0x00};
}  // namespace sense

// What page 0x05 asks of the next write.
struct WriteSettings {
    bool testWrite = false;     // byte 2 bit 4: simulation, nothing is recorded
    bool packet = false;        // write type 0
    bool multiSession = false;  // byte 3 bits 7-6 = 11b: the next session may follow
    uint32_t fixedPacketSize = 0;  // byte 3 bit 5 with bytes 10-13
    TrackMode mode = TrackMode::kMode1;
    uint32_t blockBytes = 2048;  // 2352 for audio
    bool supported = true;       // a data block type the drive writes
};

WriteSettings SettingsFromPage(const std::vector<uint8_t>& page5);

// The recorder's own state, kept with the drive.
struct RecorderState {
    std::shared_ptr<ImageFile> scratch;  // created by the first write
    uint64_t scratchEnd = 0;
    int busyLeft = 0;  // commands still answered with busySense
    Sense busySense;
    int writeBusyLeft = 0;
    // Commands made to fail by a test: opcode -> sense and how many times.
    struct Failure {
        Sense sense;
        int count = 0;
    };
    std::map<uint8_t, Failure> failures;
};

// Writes `count` blocks of `settings.blockBytes` each at `lba`.
Sense RecordBlocks(Disc& disc, RecorderState& rec, const WriteSettings& settings, int32_t lba, uint32_t count,
                   const uint8_t* data);
// Reserves a track of `blocks` at the next writable address.
Sense ReserveTrack(Disc& disc, const WriteSettings& settings, int32_t blocks);
// Closes the incomplete track `number` (0: whichever is incomplete).
Sense CloseTrack(Disc& disc, int number);
// Closes the open session; `multiSession` leaves room for another.
Sense CloseSession(Disc& disc, bool multiSession);
// Blanks a CD-RW: whole disc, or only the last session's tracks (minimal
// blanking keeps the data but forgets the whole table of contents, which a
// reader cannot tell from an empty disc).
Sense BlankDisc(Disc& disc, int blankingType, int trackNumber);

}  // namespace dravik::vdrive
