#include "program/readers/udf/udf_volume.h"

#include <cstring>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_status.h"
#include "program/readers/udf/udf_names.h"
#include "program/readers/udf/udf_structures.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"

namespace dravik::readers::udf {

namespace {

// Anchor places from the track's end and start.
constexpr std::int32_t kAnchorBlock = 256;
constexpr std::int32_t kSecondAnchorBlock = 512;
constexpr std::int32_t kMtRainierAnchor = 1536;
// Blocks of a descriptor sequence read at most; a reserve sequence of
// length 0 is read over this many.
constexpr std::uint32_t kMaxSequenceBlocks = 256;
constexpr std::uint32_t kDefaultReserveBlocks = 16;
// Volume descriptors are never recorded before the volume recognition area.
constexpr std::int64_t kFirstDescriptorBlock = 16;
// Failed reads after which that search gives up.
constexpr int kSequenceSearchFailures = 3;
// Where a lost File Entry is looked for on an erasable disc.
constexpr std::int32_t kEntrySearchFirst = 512;
constexpr std::int32_t kEntrySearchLast = 5999;
// Packet layouts left by packet-writing software without descriptors.
constexpr std::int32_t kShortFirstTrackEnd = 348;
constexpr std::int32_t kPacketTrackAt500 = 500;
constexpr std::int32_t kPacketTrackAt512 = 512;
constexpr std::int32_t kPartitionAt513 = 513;
constexpr std::int32_t kPartitionAt547 = 547;
constexpr char kUnknownName[] = "Unknown";
constexpr char kDirectCdId[] = "*Adaptec DirectCD";

bool IsAnchor(UdfState& state, const std::uint8_t* block, std::int64_t at) {
    int code = 0;
    return TagId(block) == kTagAnchor && TagLocation(block) == at && CheckTag(state, block, code);
}

std::vector<std::int64_t> AnchorCandidates(UdfState& state) {
    scan::TrackNode* track = state.track;
    const std::int64_t start = track->start;
    const std::int64_t end = track->end;
    std::vector<std::int64_t> list;
    if (track->flags & scan::TrackPacket) {
        if ((track->flags & scan::TrackBlank) && track->number == 1 && track->next &&
            track->next->number != scan::kLeadOutNumber) {
            SetFlags(track->next, scan::TrackContinued);
            list = {start + kSecondAnchorBlock, start + kAnchorBlock};
        } else {
            list = {end, end - 1, end - kAnchorBlock, end - kAnchorBlock - 1, start + kSecondAnchorBlock,
                    start + kAnchorBlock};
        }
    } else {
        list = {end - 1, end - kAnchorBlock, end - 406, end - 407, start + kSecondAnchorBlock, start + kAnchorBlock};
        const scan::TrackNode* next = track->next;
        if (next && next->number != scan::kLeadOutNumber && (next->flags & scan::TrackPacket)) {
            for (std::int64_t b : {std::int64_t{next->end} - 1, std::int64_t{next->end} - kAnchorBlock,
                                   std::int64_t{next->start} + kAnchorBlock, std::int64_t{next->start} + kSecondAnchorBlock,
                                   std::int64_t{next->start}})
                list.push_back(b);
        }
    }
    std::vector<std::int64_t> kept;
    for (std::int64_t b : list)
        if (b > 0) kept.push_back(b);
    return kept;
}

enum class AnchorSearch { kFound, kNone, kAborted };

AnchorSearch FindAnchor(UdfState& state, std::uint8_t* buffer, bool& readFailed) {
    QuietReads quiet(state);
    for (const std::int64_t candidate : AnchorCandidates(state)) {
        messages::ProgressTick();
        if (AbortRequested(state)) return AnchorSearch::kAborted;
        if (!ReadBlock(state, candidate, buffer)) {
            readFailed = true;
            if (Verbose())
                diag::DebugPrint("Failed to read block %d, %s", static_cast<int>(candidate),
                                 state.device && candidate < state.readLimit ? state.device->FormatErrorSense() : "outside the track");
            continue;
        }
        if (Verbose()) diag::DebugDumpSector(buffer, static_cast<int>(candidate), "Probing for AVDP");
        if (IsAnchor(state, buffer, candidate)) return AnchorSearch::kFound;
    }
    // A Mount Rainier disc in a drive that does not translate its
    // addresses shows its anchor (recorded for block 256) at block 1536.
    if (ReadBlock(state, kMtRainierAnchor, buffer) && TagId(buffer) == kTagAnchor &&
        TagLocation(buffer) == static_cast<std::uint32_t>(kAnchorBlock)) {
        int code = 0;
        if (CheckTag(state, buffer, code)) {
            if (state.device) state.device->SetFakeMode3(true);
            if (Verbose()) diag::DebugPrint("Mt Rainier disc format w/o Mt Rainier support");
            return AnchorSearch::kFound;
        }
    }
    return AnchorSearch::kNone;
}

struct Sequence {
    bool partition = false;
    bool logicalVolume = false;
    bool readOnly = false;
};

// Reads one volume descriptor sequence. False when the user stopped or the
// sparing table could not get memory (`outOfMemory`).
bool ReadSequence(UdfState& state, std::uint8_t* buffer, std::uint32_t location, std::uint32_t blocks,
                  VolumeFacts& facts, Sequence& found, bool& outOfMemory) {
    scan::TrackNode* track = state.track;
    blocks = std::min(blocks, kMaxSequenceBlocks);
    QuietReads quiet(state);
    for (std::uint32_t i = 0; i < blocks; ++i) {
        if (AbortRequested(state)) return false;
        const std::int64_t at = std::int64_t{location} + i;
        if (!ReadBlock(state, at, buffer)) {
            if (Verbose()) diag::DebugPrint("Error reading block %d of UDF volume descriptor", static_cast<int>(at));
            continue;
        }
        facts.sequenceEnd = std::max(facts.sequenceEnd, at + 1);
        if (Verbose()) diag::DebugDumpSector(buffer, static_cast<int>(at), "UDF volume descriptor data");
        int code = 0;
        const std::uint16_t tag = TagId(buffer);
        if (tag == kTagTerminating) break;
        if (!CheckTag(state, buffer, code)) continue;
        if (tag == kTagPrimaryVolume) {
            const char* id = reinterpret_cast<const char*>(buffer + kPvdImplementationId + 1);
            facts.implementation.assign(id, strnlen(id, 23));
            facts.directCd = std::memcmp(id, kDirectCdId, sizeof kDirectCdId) == 0;
        } else if (tag == kTagPartition) {
            const std::uint32_t access = GetLe32(buffer + kPdAccessType);
            if (!found.partition) {
                found.partition = true;
                state.map.partitionStart = GetLe32(buffer + kPdStart);
                const std::uint32_t length = GetLe32(buffer + kPdLength);
                state.partitionLength =
                    length == 0xFFFFFFFFu ? static_cast<std::uint32_t>(track->end - track->start) : length;
                found.readOnly = access == kAccessReadOnly;
                if (access >= kAccessRewritable) facts.needsNoVat = true;
                if (state.map.partitionStart != 0) state.map.partitionRelative = true;
                if (Verbose())
                    diag::DebugPrint("Partition: S:%d Len:%u AccType:%x", static_cast<int>(state.map.partitionStart),
                                     state.partitionLength, access);
            } else {
                found.readOnly = false;
            }
        } else if (tag == kTagLogicalVolume || (facts.directCd && tag == kTagDirectCdLogical)) {
            if (tag == kTagDirectCdLogical) facts.directCdCompressed = true;
            found.logicalVolume = true;
            facts.lvdBlock = at;
            facts.name = UdfDString(buffer + kLvdVolumeId, kLvdVolumeIdBytes);
            facts.fsdLocation = GetLe32(buffer + kLvdFsdBlock);
            facts.fsdReference = GetLe16(buffer + kLvdFsdBlock + 4);
            ReadPartitionMaps(buffer, state.map);
            bool sparable = false;
            for (int m = 0; m < state.map.mapCount; ++m) sparable |= state.map.kinds[m] == PartitionKind::kSparable;
            if (sparable) {
                SetFlags(track, scan::TrackSparing);
                if (!ReadSparingTable(state, buffer)) {
                    outOfMemory = true;
                    return false;
                }
            }
        }
    }
    if (found.readOnly) facts.needsNoVat = true;
    return true;
}

// Layouts of packet-written discs without volume descriptors (steps after
// a failed sequence, and without an anchor).
bool GuessPacketLayout(UdfState& state, bool readFailed, VolumeFacts& facts) {
    scan::TrackNode* track = state.track;
    scan::TrackNode* next = track->next;
    const bool first = track == scan::TrackListHead;
    const bool nextPacket = next && next->number != scan::kLeadOutNumber && (next->flags & scan::TrackPacket);
    if (readFailed && first && (track->flags & scan::TrackPacket) && (track->flags & scan::TrackErasable)) {
        state.map.partitionStart = kPartitionAt513;
        state.partitionLength = static_cast<std::uint32_t>(track->end);
        facts.fsdLocation = 0;
        SetFlags(track, scan::TrackSparing);
    } else if (readFailed && first && !(track->flags & scan::TrackPacket) && nextPacket &&
               next->start == kPacketTrackAt512) {
        state.map.partitionStart = kPartitionAt547;
        state.partitionLength = static_cast<std::uint32_t>(std::max(0, next->end - kPartitionAt547));
        facts.fsdLocation = kPartitionAt547 + 1;
        if (track->end < next->end) {
            SetFlags(next, scan::TrackContinued);
            scan::CatalogueGuard guard;
            track->end = next->end;
        }
    } else {
        return false;
    }
    return true;
}

// The layouts packet-writing software leaves behind a short first track
// whose descriptors cannot be read.
bool GuessAfterSequence(UdfState& state, VolumeFacts& facts) {
    scan::TrackNode* track = state.track;
    scan::TrackNode* next = track->next;
    if (track != scan::TrackListHead || !next || next->number == scan::kLeadOutNumber ||
        !(next->flags & scan::TrackPacket))
        return false;
    if (track->end == kShortFirstTrackEnd && next->start == kPacketTrackAt500) {
        state.map.partitionStart = kPartitionAt513;
        state.partitionLength = 0;
        facts.fsdLocation = kPartitionAt513;
        return true;
    }
    if (next->start == kPacketTrackAt512) {
        state.map.partitionStart = kPartitionAt547;
        state.partitionLength = static_cast<std::uint32_t>(std::max(0, next->end - kPartitionAt547));
        facts.fsdLocation = kPartitionAt547 + 1;
        if (track->end < next->end) SetFlags(next, scan::TrackContinued);
        return true;
    }
    return false;
}

void UseGuessedLayout(UdfState& state, VolumeFacts& facts) {
    facts.name = kUnknownName;
    state.map.partitionRelative = true;
    GuessPartitionMaps(state.map, state.track->flags & scan::TrackSparing);
    facts.fsdReference = 1;
}

// A File Entry found on an erasable disc gives the partition's start.
bool LayoutFromFileEntry(UdfState& state, std::uint8_t* buffer, VolumeFacts& facts) {
    scan::TrackNode* track = state.track;
    const std::int64_t found =
        SearchTag(state, std::int64_t{track->start} + kEntrySearchFirst, std::int64_t{track->start} + kEntrySearchLast,
                  buffer, kTagFileEntry);
    if (found == 0 || !RebasePartition(state, found, TagLocation(buffer))) return false;
    state.partitionLength = static_cast<std::uint32_t>(track->end - state.map.partitionStart);
    facts.fsdLocation = 0;
    SetFlags(track, scan::TrackSparing);
    return true;
}

// Where the anchor says the two descriptor sequences are (lengths in bytes).
struct SequencePlaces {
    std::uint32_t mainLocation = 0;
    std::uint32_t mainLength = 0;
    std::uint32_t reserveLocation = 0;
    std::uint32_t reserveLength = 0;
};


// Without an anchor (both copies lost on an open disc, whose end anchor is
// not written until it is closed) the descriptor sequences are looked for
// where writers put them, between block 16 and the first anchor place: the
// first Primary Volume Descriptor recorded for its own block starts the
// main sequence, the next one after it the reserve sequence.
bool FindSequencesWithoutAnchor(UdfState& state, std::uint8_t* buffer, SequencePlaces& places) {
    const std::int64_t start = state.track->start;
    const std::int64_t last = std::min<std::int64_t>(start + kAnchorBlock, state.readLimit);
    QuietReads quiet(state);
    std::int64_t main = 0;
    int failedReads = 0;
    for (std::int64_t block = start + kFirstDescriptorBlock; block < last; ++block) {
        if (AbortRequested(state)) return false;
        messages::ProgressTick();
        if (!ReadBlock(state, block, buffer)) {
            // A track that does not read here is not worth a read of every
            // block: on a real drive each failure can take seconds.
            if (++failedReads == kSequenceSearchFailures) break;
            continue;
        }
        int code = 0;
        if (TagId(buffer) != kTagPrimaryVolume || TagLocation(buffer) != block || !CheckTag(state, buffer, code)) continue;
        if (main == 0) {
            main = block;
            block += kDefaultReserveBlocks - 1;  // the rest of the main sequence
            continue;
        }
        places.reserveLocation = static_cast<std::uint32_t>(block);
        places.reserveLength = kDefaultReserveBlocks * kBlockBytes;
        break;
    }
    if (main == 0) return false;
    places.mainLocation = static_cast<std::uint32_t>(main);
    places.mainLength = kDefaultReserveBlocks * kBlockBytes;
    if (Verbose())
        diag::DebugPrint("No anchor on track %d, volume descriptors found at %d and %d", state.track->number,
                         static_cast<int>(places.mainLocation), static_cast<int>(places.reserveLocation));
    return true;
}

// Reads the main sequence, then the reserve one when the main one left the
// partition or the logical volume unknown, then falls back to the layouts
// packet-writing software leaves.
Recognition ReadSequences(UdfState& state, std::uint8_t* buffer, const SequencePlaces& places, VolumeFacts& facts) {
    scan::TrackNode* track = state.track;
    facts.reserveLocation = places.reserveLocation;
    Sequence found;
    bool outOfMemory = false;
    if (!ReadSequence(state, buffer, places.mainLocation, places.mainLength / kBlockBytes, facts, found, outOfMemory))
        return outOfMemory ? Recognition::kOutOfMemory : Recognition::kAborted;
    bool reserveTried = false;
    bool laidOut = false;
    for (;;) {
        if ((track->flags & scan::TrackSparing) && !state.map.sparingLoaded) SetFlags(track, scan::TrackNoSparingTable);
        if (state.partitionLength != 0 && found.logicalVolume && found.partition) {
            laidOut = true;
            break;
        }
        if (reserveTried || places.reserveLocation == 0) break;
        reserveTried = true;
        const std::uint32_t blocks =
            places.reserveLength == 0 ? kDefaultReserveBlocks : places.reserveLength / kBlockBytes;
        if (Verbose())
            diag::DebugPrint("Switching to reserve VRS at %d for %d", static_cast<int>(places.reserveLocation),
                             static_cast<int>(blocks));
        if (!ReadSequence(state, buffer, places.reserveLocation, blocks, facts, found, outOfMemory))
            return outOfMemory ? Recognition::kOutOfMemory : Recognition::kAborted;
    }
    if (laidOut) return Recognition::kVolume;
    if (Verbose()) diag::DebugPrint("Error reading last VRS, trying to proceed.");
    if (track->flags & scan::TrackErasable) {
        if (!LayoutFromFileEntry(state, buffer, facts)) {
            state.map.partitionStart = 0;
            state.partitionLength = static_cast<std::uint32_t>(track->end - track->start);
            const std::int64_t fsd =
                SearchTag(state, places.reserveLocation, std::int64_t{track->end} - 1, buffer, kTagFileSet);
            facts.fsdLocation = static_cast<std::uint32_t>(fsd);
        }
    } else if (!GuessAfterSequence(state, facts)) {
        return Recognition::kNotUdf;
    }
    const std::string known = facts.name;
    UseGuessedLayout(state, facts);
    if (!known.empty()) facts.name = known;
    return Recognition::kVolume;
}

void CutPartition(UdfState& state) {
    scan::TrackNode* track = state.track;
    state.partitionEnd = state.map.partitionStart + state.partitionLength;
    for (scan::TrackNode* other = track->next; other && other->number != scan::kLeadOutNumber; other = other->next) {
        if (other->flags & scan::TrackContinued) continue;
        if (other->start < state.partitionEnd) {
            SetFlags(track, scan::TrackPartitionOverlap);
            if (!settings::ProgramSettings.AcceptErrors) state.partitionEnd = other->start;
        }
        break;
    }
}

}  // namespace

bool RebasePartition(UdfState& state, std::int64_t found, std::uint32_t tagLocation) {
    const std::int64_t start = found - std::int64_t{tagLocation};
    if (start < 0 || start >= state.readLimit) {
        if (Verbose()) diag::DebugPrint("Partition start %lld from block %d refused", static_cast<long long>(start), static_cast<int>(found));
        return false;
    }
    state.map.partitionStart = start;
    state.map.partitionRelative = true;
    return true;
}

Recognition RecogniseVolume(UdfState& state, std::uint8_t* buffer, VolumeFacts& facts) {
    scan::TrackNode* track = state.track;
    bool readFailed = false;
    const AnchorSearch anchor = FindAnchor(state, buffer, readFailed);
    if (anchor == AnchorSearch::kAborted) return Recognition::kAborted;

    SequencePlaces places;
    bool haveSequences = false;
    if (anchor == AnchorSearch::kNone) {
        track->udfStage = kStageNoAnchor;
        haveSequences = FindSequencesWithoutAnchor(state, buffer, places);
        if (!haveSequences) {
            const bool first = track == scan::TrackListHead;
            bool fromEntry = false;
            if (readFailed && first && (track->flags & scan::TrackErasable))
                fromEntry = LayoutFromFileEntry(state, buffer, facts);
            if (!fromEntry && !GuessPacketLayout(state, readFailed, facts)) return Recognition::kNotUdf;
            UseGuessedLayout(state, facts);
        }
    } else {
        const std::int64_t anchorBlock = TagLocation(buffer);
        places.mainLength = GetLe32(buffer + kAnchorMainLength);
        places.mainLocation = GetLe32(buffer + kAnchorMainLocation);
        places.reserveLength = GetLe32(buffer + kAnchorReserveLength);
        places.reserveLocation = GetLe32(buffer + kAnchorReserveLocation);
        if (Verbose())
            diag::DebugPrint("Located track %d AVDP at %d pointing to %d for %d bytes", track->number,
                             static_cast<int>(anchorBlock), static_cast<int>(places.mainLocation),
                             static_cast<int>(places.mainLength));
        scan::TrackNode* next = track->next;
        if ((places.mainLocation >= static_cast<std::uint32_t>(track->end) || anchorBlock >= track->end) && next &&
            next->number != scan::kLeadOutNumber && (next->control & 0x05) == 0x05) {
            SetFlags(next, scan::TrackContinued);
            scan::CatalogueGuard guard;
            track->end = next->end;
        }
        haveSequences = true;
    }
    if (haveSequences) {
        const Recognition read = ReadSequences(state, buffer, places, facts);
        if (read != Recognition::kVolume) return read;
    }
    if (facts.name.empty()) facts.name = kUnknownName;
    CutPartition(state);
    messages::ShowStatus(static_cast<int>(kUdfVolumeStatus), int{track->number}, facts.name.c_str());
    return Recognition::kVolume;
}

}  // namespace dravik::readers::udf
