// Raw CD sectors as a drive returns them: sync pattern, header, user data,
// error detection (EDC, a 32-bit CRC) and the Reed-Solomon product code
// (P and Q parity), laid out as in ECMA-130; and the Q sub-channel.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravik::vdrive {

inline constexpr size_t kRawSectorSize = 2352;
inline constexpr size_t kUserDataSize = 2048;
inline constexpr size_t kMode2SectorSize = 2336;  // a Mode 2 sector after its header
inline constexpr size_t kSubQSize = 16;
inline constexpr size_t kSubChannelSize = 96;

// Offsets inside a raw sector.
inline constexpr size_t kSyncSize = 12;
inline constexpr size_t kHeaderOffset = 12;
inline constexpr size_t kMode1DataOffset = 16;
inline constexpr size_t kMode1EdcOffset = 2064;
inline constexpr size_t kMode2SubheaderOffset = 16;
inline constexpr size_t kMode2Form1DataOffset = 24;
inline constexpr size_t kMode2Form1EdcOffset = 2072;
inline constexpr size_t kMode2Form2DataSize = 2324;
inline constexpr size_t kMode2Form2EdcOffset = 2348;
inline constexpr size_t kPParityOffset = 2076;
inline constexpr size_t kQParityOffset = 2248;

// CRC-32 of the CD EDC (polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1, bits
// taken least significant first, start value 0).
uint32_t ComputeEdc(const uint8_t* data, size_t length);

// Fills bytes 2076-2351 of `sector` with the P and Q parity of bytes 12-2075.
// Mode 2 sectors compute them as if the header were zero, which the caller
// arranges with `zeroHeader`.
void ComputeEcc(uint8_t* sector, bool zeroHeader);

// Writes sync and header of block `lba` with `mode` (0, 1 or 2).
void WriteSyncAndHeader(uint8_t* sector, int32_t lba, uint8_t mode);

// A whole Mode 1 sector of block `lba` around 2048 bytes of user data.
void BuildMode1Sector(uint8_t* sector, int32_t lba, const uint8_t* userData);

// A whole Mode 2 Form 1 sector (CD-ROM XA) around 2048 bytes of user data,
// with a data sub-header (file 0, channel 0, submode 0x08).
void BuildMode2Form1Sector(uint8_t* sector, int32_t lba, const uint8_t* userData);

// True when a Mode 2 sector's sub-header marks it as Form 2.
inline bool IsMode2Form2(const uint8_t* sector) { return (sector[18] & 0x20) != 0; }

// CRC-16 of the Q sub-channel and CD-TEXT packs (x^16+x^12+x^5+1, start 0,
// result inverted), as stored big-endian after the data.
uint16_t ComputeCrc16Inverted(const uint8_t* data, size_t length);

// The 12 bytes of mode-1 Q sub-channel for a block: control and ADR, track
// and index (BCD), time within the track, absolute time, CRC.
struct SubQPosition {
    uint8_t control = 0;  // low nibble: audio 0, data 4
    uint8_t track = 1;
    uint8_t index = 1;
    int32_t relative = 0;  // frames from the track's index 1 (negative in the pre-gap)
    int32_t lba = 0;
};
void BuildSubQ(const SubQPosition& where, uint8_t* out12);

// 96 bytes of raw P-W sub-channel: the Q bits from BuildSubQ, P set in a
// pre-gap, R-W empty.
void BuildRawSubChannel(const SubQPosition& where, uint8_t* out96);

}  // namespace dravik::vdrive
