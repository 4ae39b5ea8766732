#include "vdrive/block_source.h"

#include <cstring>

#include "vdrive/sector_codec.h"

namespace dravik::vdrive {

namespace {

Sense ReadError(int32_t lba) {
    Sense s = sense::kUnrecoveredReadError;
    s.hasInformation = true;
    s.information = uint32_t(lba);
    return s;
}

bool InRanges(const std::vector<BlockRange>& ranges, int32_t lba) {
    for (const BlockRange& r : ranges)
        if (lba >= r.first && lba <= r.last) return true;
    return false;
}

}  // namespace

BlockLookup LocateBlock(const DiscView& view, const std::vector<BlockRange>& failed, int32_t lba) {
    BlockLookup result;
    if (lba < kFirstAddress) {
        result.failure = sense::kLbaOutOfRange;
        return result;
    }
    const Track* track = view.TrackAt(lba);
    if (!track) {
        // Between sessions lie a lead-out and a lead-in: recorded, but no
        // user data can be read there. After the last track nothing was written.
        result.failure = lba < view.RecordedEnd() ? ReadError(lba) : sense::kLbaOutOfRange;
        return result;
    }
    if (track->incomplete && lba >= (track->nextWritable >= 0 ? track->nextWritable : track->end)) {
        result.failure = sense::kLbaOutOfRange;
        return result;
    }
    if (view.Unreadable(lba) || (!failed.empty() && InRanges(failed, lba))) {
        result.failure = ReadError(lba);
        return result;
    }
    result.track = track;
    return result;
}

Sense ReadRawBlock(const DiscView& view, const Track& track, int32_t lba, uint8_t* out) {
    const Area* area = view.AreaAt(lba);
    if (area && area->file && area->sectorSize == kRawSectorSize)
        return area->file->ReadAt(area->OffsetOf(lba), out, kRawSectorSize) ? sense::kNone : ReadError(lba);
    if (area && area->file && area->sectorSize == kMode2SectorSize) {
        // The image left out sync and header: both follow from the address.
        if (!area->file->ReadAt(area->OffsetOf(lba), out + kMode2SubheaderOffset, kMode2SectorSize)) return ReadError(lba);
        WriteSyncAndHeader(out, lba, 2);
        return sense::kNone;
    }
    uint8_t user[kUserDataSize];
    if (area && area->file) {
        if (!area->file->ReadAt(area->OffsetOf(lba), user, kUserDataSize)) return ReadError(lba);
    } else {
        std::memset(user, 0, sizeof user);
    }
    switch (track.mode) {
    case TrackMode::kAudio:
        // An audio track stored as 2048-byte blocks has no more to give.
        std::memset(out, 0, kRawSectorSize);
        std::memcpy(out, user, kUserDataSize);
        break;
    case TrackMode::kMode1: BuildMode1Sector(out, lba, user); break;
    case TrackMode::kMode2: BuildMode2Form1Sector(out, lba, user); break;
    }
    return sense::kNone;
}

Sense ReadUserData(const DiscView& view, const Track& track, int32_t lba, uint8_t* out) {
    if (track.mode == TrackMode::kAudio) return sense::kIllegalModeForTrack;
    const Area* area = view.AreaAt(lba);
    if (!area || !area->file) {
        std::memset(out, 0, kUserDataSize);
        return sense::kNone;
    }
    if (area->sectorSize == kUserDataSize)
        return area->file->ReadAt(area->OffsetOf(lba), out, kUserDataSize) ? sense::kNone : ReadError(lba);
    uint8_t raw[kRawSectorSize];
    Sense s = ReadRawBlock(view, track, lba, raw);
    if (s.key) return s;
    // The sector's own header decides its layout.
    switch (raw[15]) {
    case 1: std::memcpy(out, raw + kMode1DataOffset, kUserDataSize); return sense::kNone;
    case 2:
        if (IsMode2Form2(raw)) return sense::kIllegalModeForTrack;
        std::memcpy(out, raw + kMode2Form1DataOffset, kUserDataSize);
        return sense::kNone;
    case 0: std::memset(out, 0, kUserDataSize); return sense::kNone;
    default: return sense::kIllegalModeForTrack;
    }
}

}  // namespace dravik::vdrive
