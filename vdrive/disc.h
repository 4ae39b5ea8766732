// The disc in a virtual drive: sessions, tracks, where each block's bytes
// come from, and what the medium says about itself (recordable, finalized,
// ATIP, CD-TEXT). The image parsers build one; the command handlers only
// read it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vdrive/image_file.h"

namespace dravik::vdrive {

// Block addresses the model accepts: from the first track's pre-gap to the
// largest address an MSF field can name.
inline constexpr int32_t kFirstAddress = -150;
inline constexpr int32_t kLastAddress = 255 * 4500 + 59 * 75 + 74 - 150;
inline constexpr int kMaxTracks = 99;
inline constexpr int kMaxSessions = 99;

enum class TrackMode : uint8_t { kAudio, kMode1, kMode2 };

enum class Medium : uint8_t { kNone, kCdRom, kCdR, kCdRw, kDvdPlusRw };

// Where a DVD+RW's background format stands (READ DISC INFORMATION byte 7).
enum class BackgroundFormat : uint8_t { kNone = 0, kStopped = 1, kRunning = 2, kDone = 3 };

// A run of blocks with one source: a file read at `offset` with
// `sectorSize` bytes of each block (2048 user data, 2336 a Mode 2 sector
// without sync and header, or 2352 raw), or zeros when `file` is null.
// Images that keep sub-channel data after every sector step `stride`
// bytes from one block to the next (0: the sector size).
struct Area {
    int32_t first = 0;
    int32_t count = 0;
    std::shared_ptr<ImageFile> file;
    uint64_t offset = 0;
    uint32_t sectorSize = 2048;
    uint32_t stride = 0;
    int32_t End() const { return first + count; }
    uint64_t OffsetOf(int32_t lba) const { return offset + uint64_t(lba - first) * (stride ? stride : sectorSize); }
};

struct Track {
    int number = 1;
    int session = 1;
    TrackMode mode = TrackMode::kMode1;
    uint8_t control = 0x4;  // TOC control nibble: bit 2 data, bit 0 incremental
    int32_t start = 0;      // index 1
    int32_t pregap = 0;     // blocks of index 0 before `start`
    int32_t end = 0;        // first block after the track
    // Recording of a track on a recordable disc.
    bool packet = false;
    uint32_t fixedPacketSize = 0;  // 0: variable packets
    bool incomplete = false;       // still open for writing (the last track only)
    int32_t nextWritable = -1;     // of an incomplete track; -1: its end
    int32_t freeBlocks = -1;       // of an incomplete track; -1: up to the capacity
    int line = 0;                  // where the track was declared, for messages

    int32_t First() const { return start - pregap; }
    int32_t Length() const { return end - start; }
    bool IsData() const { return mode != TrackMode::kAudio; }
};

struct Session {
    int number = 1;
    size_t firstTrack = 0, lastTrack = 0;  // indices into Disc::tracks
    int32_t leadOut = 0;                   // first block after the last track
    bool closed = true;
};

struct BlockRange {
    int32_t first = 0, last = 0;  // inclusive
};

struct Disc {
    Medium medium = Medium::kCdRom;
    bool finalized = true;            // recordables: no further session may be added
    bool lastSessionOpen = false;     // the last session has no lead-in/lead-out yet
    int32_t capacity = 359849;        // last possible lead-out start (80 minutes)
    bool hasAtip = false;
    std::vector<Track> tracks;        // in address order
    std::vector<Session> sessions;    // filled by FinishDisc
    std::vector<Area> areas;          // sorted, not overlapping
    std::vector<BlockRange> unreadable;  // sorted, merged
    std::map<int, std::string> titles;   // CD-TEXT: 0 the disc, n track n
    std::string sourcePath;
    BackgroundFormat format = BackgroundFormat::kNone;  // DVD+RW only

    bool Blank() const { return tracks.empty(); }
    bool Recordable() const { return medium == Medium::kCdR || medium == Medium::kCdRw; }
    bool Erasable() const { return medium == Medium::kCdRw || medium == Medium::kDvdPlusRw; }
};

// What a recordable disc offers for writing next: the incomplete track, or
// the invisible (blank) track after the last one.
struct WritableTrack {
    int number = 1;
    int session = 1;
    int32_t start = 0;
    int32_t nextWritable = 0;
    int32_t freeBlocks = 0;
    const Track* incomplete = nullptr;  // null for the invisible track
};

// Sorts ranges and joins those that overlap or touch.
void MergeRanges(std::vector<BlockRange>& ranges);

// Sorts and checks what a parser built: tracks in order and not
// overlapping, numbers rising by one, areas inside tracks, sessions derived.
// Returns an empty string, or the reason the disc is unusable; `line`
// then receives the line of the offending track (0 when none).
std::string FinishDisc(Disc& disc, int* line = nullptr);

// Leads-out and lead-ins between sessions on a recordable CD: the first
// lead-out lasts 6750 blocks, later ones 2250; every lead-in 4500; the next
// session's first track follows a 150-block pre-gap.
inline constexpr int32_t kFirstLeadOutBlocks = 6750;
inline constexpr int32_t kLaterLeadOutBlocks = 2250;
inline constexpr int32_t kLeadInBlocks = 4500;
inline constexpr int32_t kPregapBlocks = 150;
inline int32_t SessionGap(int previousSession) {
    return (previousSession == 1 ? kFirstLeadOutBlocks : kLaterLeadOutBlocks) + kLeadInBlocks + kPregapBlocks;
}

// Queries the command handlers share.
class DiscView {
public:
    explicit DiscView(const Disc& disc) : disc_(disc) {}
    const Disc& disc() const { return disc_; }

    // Sessions whose TOC can be read (closed ones).
    int ClosedSessionCount() const;
    const Track* TrackByNumber(int number) const;
    // The track whose index 0 or 1 area holds `lba`, or null.
    const Track* TrackAt(int32_t lba) const;
    // The area that holds `lba`, or null.
    const Area* AreaAt(int32_t lba) const;
    bool Unreadable(int32_t lba) const;
    // First block after everything recorded.
    int32_t RecordedEnd() const;
    // Where the program area of a session after `session` would begin.
    int32_t NextProgramArea(const Session& session) const;
    // The incomplete or invisible track, when the disc can still be written.
    std::optional<WritableTrack> Writable() const;
    // MMC disc status: 0 empty, 1 incomplete, 2 complete.
    int DiscStatus() const;
    // 0 empty, 1 incomplete, 3 complete.
    int LastSessionState() const;
    // The A0 disc type: 0x20 when a track is Mode 2, else 0.
    uint8_t DiscType() const;

private:
    const Disc& disc_;
};

}  // namespace dravik::vdrive
