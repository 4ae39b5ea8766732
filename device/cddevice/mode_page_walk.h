// Reading the all-pages mode sense answer of the device check: the header
// in either form, the walk over the pages that teaches the device record
// the drive's capabilities and speed method, and the all-pages answer put
// together from single pages for drives that refuse page 0x3F.
//
// The answer comes from the drive and is trusted for nothing: every read
// stays within the bytes the drive returned, the length its header claims
// and the buffer it was read into, whichever ends first.
#pragma once

#include <cstdint>
#include <string>

namespace dravik::device {

class DDBInfo;

namespace verify {

// The largest all-pages answer the check asks for (MODE SENSE(10)).
inline constexpr int kModeSenseBytes = 2048;
// The part of the capabilities page the device keeps.
inline constexpr int kCapabilityBytes = 21;
// Speed method: none known.
inline constexpr uint8_t kNoSpeedMethod = 255;

struct ModeHeader {
    int total = 0;        // bytes the header says the answer holds
    int firstPage = 0;    // offset of the first page
    int sectorSize = -1;  // block length of the block descriptor; -1 without one
    int mediumType = 0;
};

// Reads the header the way the check does: a first word that makes a total
// under 512 is the 8-byte header of MODE SENSE(10); otherwise the answer is
// taken as having the 4-byte header of MODE SENSE(6). `received` is how
// many bytes of `data` the drive filled.
ModeHeader ReadModeHeader(const uint8_t* data, int received);

struct PageFindings {
    int hardwareRetry = -1;          // page 0x01 byte 3
    bool recorder = false;           // page 0x05 present
    int inactivityMultiplier = -1;   // page 0x0D byte 3
    int driveSpeed = -1;             // in the speed method's unit
    uint8_t method = kNoSpeedMethod;
    bool capabilitiesKnown = false;  // page 0x2A present
    uint8_t capabilities[kCapabilityBytes] = {};
    int capabilityBytes = 0;
};

// Walks the pages from `first` up to `end` (already cut to what the drive
// returned). `method` starts as the record's speed code; page 0x2A also
// writes its fields into the record.
PageFindings WalkModePages(const uint8_t* data, int first, int end, uint8_t method, const std::string& deviceName,
                           DDBInfo& record);

// The pages the check asks for one at a time when a drive refuses the
// all-pages form: capabilities, error recovery, CD parameters and write
// parameters.
inline constexpr uint8_t kSinglePages[] = {0x2A, 0x01, 0x0D, 0x05};
// A gathered answer stays below the total at which ReadModeHeader would
// take the 8-byte header for the 4-byte one.
inline constexpr int kGatheredBytesLimit = 500;

// Adds one single-page MODE SENSE answer (`received` bytes, its header read
// as ReadModeHeader reads the all-pages answer) to `gathered`, an all-pages
// answer in the MODE SENSE(10) form that holds `used` bytes (0 at first) in
// a buffer of at least kGatheredBytesLimit. The first usable answer gives
// the header its medium type and block length; every answer adds its whole
// pages (a page its answer cuts short is left out). Returns the new size;
// an answer without a readable header changes nothing.
int GatherModeAnswer(uint8_t* gathered, int used, const uint8_t* answer, int received);

}  // namespace verify

}  // namespace dravik::device
