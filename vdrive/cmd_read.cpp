// Reads: READ(10), READ CD (0xBE), and the CD-DA commands of older drives
// (0xD8 by block address, 0xD9 by MSF).
#include <cstring>

#include "vdrive/block_source.h"
#include "platform/byte_order.h"
#include "vdrive/command.h"
#include "vdrive/msf.h"
#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

namespace {

// Blocks one command may ask for: READ CD has a 24-bit count, and no buffer
// could take more anyway; the count is checked against the buffer first.
constexpr uint32_t kMaxBlocksPerCommand = 0xFFFFFF;

void Served(Command& c, int32_t first, uint32_t count) {
    c.blocksServed += count;
    if (count) c.state.headPosition = first + int32_t(count) - 1;
    if (count && c.state.readObserver) c.state.readObserver(first, int32_t(count));
}

SubQPosition PositionOf(const Track& track, int32_t lba) {
    SubQPosition where;
    where.control = track.control;
    where.track = uint8_t(track.number);
    where.index = lba < track.start ? 0 : 1;
    where.relative = lba - track.start;
    where.lba = lba;
    return where;
}

// Appends the sub-channel data `selection` asks for (0 none, 1 raw P-W,
// 2 formatted Q, 4 R-W).
size_t SubChannelSize(uint8_t selection) {
    switch (selection) {
    case 1:
    case 4: return kSubChannelSize;
    case 2: return kSubQSize;
    default: return 0;
    }
}

void WriteSubChannel(uint8_t selection, const Track& track, int32_t lba, uint8_t* out) {
    if (selection == 1) {
        BuildRawSubChannel(PositionOf(track, lba), out);
    } else if (selection == 2) {
        std::memset(out, 0, kSubQSize);
        BuildSubQ(PositionOf(track, lba), out);
    } else if (selection == 4) {
        std::memset(out, 0, kSubChannelSize);  // no R-W data (CD-TEXT in the program area, graphics)
    }
}

// The parts of a sector READ CD byte 9 selects, for the sector kind at hand.
struct SectorKind {
    bool audio = false;
    int mode = 1;      // 1 or 2 for data
    bool form2 = false;
};

SectorKind KindOf(const Track& track, const uint8_t* raw) {
    SectorKind k;
    if (track.mode == TrackMode::kAudio) {
        k.audio = true;
        return k;
    }
    k.mode = raw[15] == 2 ? 2 : 1;
    k.form2 = k.mode == 2 && IsMode2Form2(raw);
    return k;
}

// Expected sector type of READ CD byte 1: 0 any, 1 CD-DA, 2 Mode 1,
// 3 Mode 2 formless, 4 Mode 2 Form 1, 5 Mode 2 Form 2.
bool MatchesExpectedType(int expected, const SectorKind& k) {
    switch (expected) {
    case 0: return true;
    case 1: return k.audio;
    case 2: return !k.audio && k.mode == 1;
    case 3: return false;  // every Mode 2 sector here carries an XA sub-header
    case 4: return !k.audio && k.mode == 2 && !k.form2;
    case 5: return !k.audio && k.mode == 2 && k.form2;
    default: return false;
    }
}

struct Piece {
    size_t offset, length;
};

// Picks the fields of byte 9 from a raw sector; returns how many pieces.
int SelectFields(uint8_t flags, const SectorKind& k, Piece* pieces) {
    int n = 0;
    if (k.audio) {
        if (flags & 0xF8) pieces[n++] = {0, kRawSectorSize};
        return n;
    }
    const int headers = (flags >> 5) & 3;
    if (flags & 0x80) pieces[n++] = {0, kSyncSize};
    if (headers & 1) pieces[n++] = {kHeaderOffset, 4};
    if ((headers & 2) && k.mode == 2) pieces[n++] = {kMode2SubheaderOffset, 8};
    if (flags & 0x10) {
        if (k.mode == 1) pieces[n++] = {kMode1DataOffset, kUserDataSize};
        else if (k.form2) pieces[n++] = {kMode2Form1DataOffset, kMode2Form2DataSize};
        else pieces[n++] = {kMode2Form1DataOffset, kUserDataSize};
    }
    if (flags & 0x08) {
        if (k.mode == 1) pieces[n++] = {kMode1EdcOffset, kRawSectorSize - kMode1EdcOffset};
        else if (k.form2) pieces[n++] = {kMode2Form2EdcOffset, 4};
        else pieces[n++] = {kMode2Form1EdcOffset, kRawSectorSize - kMode2Form1EdcOffset};
    }
    return n;
}

// Reads `count` raw blocks from `lba` with `subSize` bytes of sub-channel
// each (the CD-DA commands).
Sense ReadRawRun(Command& c, int32_t lba, uint32_t count, uint8_t subSelection) {
    const size_t subSize = SubChannelSize(subSelection);
    const size_t perBlock = kRawSectorSize + subSize;
    if (count > kMaxBlocksPerCommand || !c.CanTakeDataIn(size_t(count) * perBlock)) return sense::kInvalidFieldInCdb;
    DiscView view(c.disc());
    uint8_t* out = c.Buffer();
    uint32_t done = 0;
    Sense failure;
    for (; done < count; ++done) {
        const int32_t block = lba + int32_t(done);
        BlockLookup where = LocateBlock(view, c.state.failedBlocks, block);
        if (where.failure.key) {
            failure = where.failure;
            break;
        }
        failure = ReadRawBlock(view, *where.track, block, out);
        if (failure.key) break;
        WriteSubChannel(subSelection, *where.track, block, out + kRawSectorSize);
        out += perBlock;
        c.transferred += perBlock;
    }
    Served(c, lba, done);
    return failure;
}

// Vendor CD-DA sub-code byte: 0 none, 1 or 2 the 16-byte Q, 3 all 96 bytes.
bool VendorSubSelection(uint8_t code, uint8_t& selection) {
    switch (code) {
    case 0: selection = 0; return true;
    case 1:
    case 2: selection = 2; return true;
    case 3: selection = 1; return true;
    default: return false;
    }
}

}  // namespace

Sense HandleRead10(Command& c) {
    const int32_t lba = int32_t(bytes::GetBe32(c.cdb + 2));
    const uint32_t count = bytes::GetBe16(c.cdb + 7);
    const uint32_t blockLength = c.state.blockLength;
    if (!c.CanTakeDataIn(size_t(count) * blockLength)) return sense::kInvalidFieldInCdb;
    DiscView view(c.disc());
    uint8_t* out = c.Buffer();
    uint32_t done = 0;
    Sense failure;
    for (; done < count; ++done) {
        const int32_t block = lba + int32_t(done);
        BlockLookup where = LocateBlock(view, c.state.failedBlocks, block);
        if (where.failure.key) {
            failure = where.failure;
            break;
        }
        failure = blockLength == kRawSectorSize ? ReadRawBlock(view, *where.track, block, out)
                                                : ReadUserData(view, *where.track, block, out);
        if (failure.key) break;
        out += blockLength;
        c.transferred += blockLength;
    }
    Served(c, lba, done);
    return failure;
}

Sense HandleReadCd(Command& c) {
    const int expectedType = (c.cdb[1] >> 2) & 7;
    const int32_t lba = int32_t(bytes::GetBe32(c.cdb + 2));
    const uint32_t count = bytes::GetBe24(c.cdb + 6);
    const uint8_t flags = c.cdb[9];
    const uint8_t subSelection = c.cdb[10] & 7;
    if (expectedType > 5 || ((flags >> 1) & 3) == 3) return sense::kInvalidFieldInCdb;
    if (subSelection == 3 || subSelection > 4) return sense::kInvalidFieldInCdb;
    const size_t errorFieldSize = ((flags >> 1) & 3) == 1 ? 294 : ((flags >> 1) & 3) == 2 ? 296 : 0;
    const size_t subSize = SubChannelSize(subSelection);

    DiscView view(c.disc());
    uint8_t* const begin = c.Buffer();
    const size_t room = c.request.direction == platform::DataDirection::kIn ? c.request.dataLength : 0;
    uint32_t done = 0;
    Sense failure;
    uint8_t raw[kRawSectorSize];
    for (; done < count; ++done) {
        const int32_t block = lba + int32_t(done);
        BlockLookup where = LocateBlock(view, c.state.failedBlocks, block);
        if (where.failure.key) {
            failure = where.failure;
            break;
        }
        failure = ReadRawBlock(view, *where.track, block, raw);
        if (failure.key) break;
        const SectorKind kind = KindOf(*where.track, raw);
        if (!MatchesExpectedType(expectedType, kind)) {
            failure = sense::kIllegalModeForTrack;
            break;
        }
        Piece pieces[5];
        const int n = SelectFields(flags, kind, pieces);
        size_t need = errorFieldSize + subSize;
        for (int i = 0; i < n; ++i) need += pieces[i].length;
        if (need > room - c.transferred) {
            // The buffer is smaller than what was asked for: refused, so
            // that the caller's length fault shows.
            failure = sense::kInvalidFieldInCdb;
            break;
        }
        uint8_t* out = begin + c.transferred;
        for (int i = 0; i < n; ++i) {
            std::memcpy(out, raw + pieces[i].offset, pieces[i].length);
            out += pieces[i].length;
        }
        std::memset(out, 0, errorFieldSize);  // no C2 errors on a virtual disc
        out += errorFieldSize;
        WriteSubChannel(subSelection, *where.track, block, out);
        c.transferred += need;
    }
    Served(c, lba, done);
    return failure;
}

Sense HandleReadCdDaLba(Command& c) {
    uint8_t selection = 0;
    if (!VendorSubSelection(c.cdb[10], selection)) return sense::kInvalidFieldInCdb;
    return ReadRawRun(c, int32_t(bytes::GetBe32(c.cdb + 2)), bytes::GetBe32(c.cdb + 6), selection);
}

Sense HandleReadCdDaMsf(Command& c) {
    uint8_t selection = 0;
    if (!VendorSubSelection(c.cdb[10], selection)) return sense::kInvalidFieldInCdb;
    const int32_t first = MsfToLba(c.cdb[3], c.cdb[4], c.cdb[5]);
    const int32_t end = MsfToLba(c.cdb[7], c.cdb[8], c.cdb[9]);
    if (c.cdb[4] > 59 || c.cdb[5] > 74 || c.cdb[8] > 59 || c.cdb[9] > 74 || end < first)
        return sense::kInvalidFieldInCdb;
    return ReadRawRun(c, first, uint32_t(end - first), selection);
}

}  // namespace dravik::vdrive
