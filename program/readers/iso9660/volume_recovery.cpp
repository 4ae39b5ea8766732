// Recoveries of a volume whose descriptors do not lead straight to its
// tree: blocks displaced against the descriptor (found through the path
// table), a root directory found by searching when the descriptor cannot
// be read, and a volume that goes on over the following tracks of its
// session.
#include <cstring>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/message_catalog.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/track_list.h"

namespace dravik::readers::iso {

namespace {

// Blocks after the recorded path table searched for the displaced one.
constexpr int kMaxImageOffset = 15;

// A directory sector whose first record is the directory's own entry with
// nothing after its identifier, or, on a Rock Ridge volume, the root's own
// entry: only that one starts its System Use area with the "SP" marker.
bool IsValidSelfEntry(const std::uint8_t* block) {
    if (!(block[kDrFlags] & kFlagDirectory) || !IsSelfEntry(block)) return false;
    constexpr std::string_view kRockRidgeRootMark("SP\x07\x01\xBE\xEF", 6);
    return block[kDrLength] == kDrMinimumBytes ||
           (block[kDrLength] >= kDrMinimumBytes + kRockRidgeRootMark.size() &&
            HasBytes(block, kDrMinimumBytes, kRockRidgeRootMark));
}

bool IsRootPathRecord(const std::uint8_t* block, std::uint32_t rootExtent) {
    return block[kPtIdLength] == 1 && block[kPtExtAttrLength] == 0 && bytes::GetLe32(block + kPtExtent) == rootExtent;
}

}  // namespace

void FindImageOffset(IsoTrackState& state, std::uint32_t pathTable, std::uint32_t rootExtent) {
    state.imageOffset = 0;
    WorkBlock buffer;
    if (!buffer) return;
    std::uint8_t* block = buffer.data();
    // On an offset image the recorded locations are relative to the track;
    // the blocks to look at are where the track puts them.
    const std::int64_t rootBlock = MapLocation(state, rootExtent);
    const std::int64_t tableBlock = MapLocation(state, pathTable);
    if (!ReadBlock(state, rootBlock, block) || IsValidSelfEntry(block)) return;
    if (!ReadBlock(state, tableBlock, block) || IsRootPathRecord(block, rootExtent)) return;
    for (int distance = 1; distance <= kMaxImageOffset; ++distance) {
        if (!ReadBlock(state, tableBlock + distance, block)) return;
        if (IsRootPathRecord(block, rootExtent)) {
            state.imageOffset = distance;
            if (Verbose()) diag::DebugPrint("Path table found %d blocks after its recorded place; image offset %d", distance, distance);
            return;
        }
    }
}

bool LocateRootByScanning(IsoTrackState& state, std::uint8_t* descriptor, bool alwaysQuiet) {
    scan::TrackNode* track = state.track;
    WorkBlock buffer;
    if (!buffer) return false;
    std::uint8_t* block = buffer.data();
    std::int64_t found = -1;
    {
        QuietReads quiet(state, alwaysQuiet || !Verbose());
        for (int index = kScanFirstBlock; index <= kScanLastBlock; ++index) {
            messages::ProgressTick();
            if (state.device->IsAbortSet()) break;
            const std::int64_t at = std::int64_t{track->start} + index;
            if (ReadBlock(state, at, block) && IsValidSelfEntry(block)) {
                found = at;
                break;
            }
        }
    }
    if (found < 0 || found >= std::int64_t{track->start} + kScanUsableBelow || state.device->IsAbortSet()) {
        if (Verbose()) {
            if (found >= 0)
                diag::DebugPrint("Directory found by scanning at %d is too far from the descriptors", static_cast<int>(found));
            else
                diag::DebugPrint("No directory found by scanning track %d", int{track->number});
        }
        return false;
    }
    if (Verbose()) diag::DebugDumpSector(block, static_cast<int>(found), "Directory located by scanning");
    messages::ShowMessage(messages::MessageIdWithFlags(kRootFoundMessage), int{track->number}, static_cast<int>(found));
    std::memset(descriptor, 0, kBlockBytes);
    const auto put32 = [&](std::size_t at, std::uint32_t value) {
        bytes::PutLe32(descriptor + at, value);
        bytes::PutBe32(descriptor + at + 4, value);
    };
    put32(kVdRootExtent, static_cast<std::uint32_t>(found));
    put32(kVdRootLength, RecordDataLength(block));
    descriptor[kVdRootFlags] = kFlagDirectory;
    return true;
}

bool CheckTrackContinuation(IsoTrackState& state, std::uint8_t* descriptor) {
    scan::TrackNode* track = state.track;
    const std::uint32_t volumeSpace = bytes::GetLe32(descriptor + kVdVolumeSpace);
    bool overwritten = false;
    for (scan::TrackNode* other = track->next; other; other = other->next) {
        if (other->session != track->session || !(other->control & scan::kControlData) ||
            other->number == scan::kLeadOutNumber)
            break;
        if (std::int64_t{volumeSpace} < other->start) break;
        const int block = other->start + kDescriptorBlock;
        bool read;
        {
            QuietReads quiet(state);
            read = ReadBlock(state, block, descriptor);
            overwritten = true;
        }
        if (read) {
            if (Verbose()) diag::DebugDumpSector(descriptor, block, "Continuation check");
            if (IsPrimaryDescriptor(descriptor)) break;
        } else {
            if (Verbose())
                diag::DebugPrint("Error reading track %d sector %d for continuation check.", int{other->number}, block);
            const int answer = messages::ShowMessage(messages::MessageIdWithFlags(kContinuationMessage),
                                                     int{other->number}, int{track->number});
            if (answer != kAnswerYes) break;
        }
        if (Verbose()) diag::DebugPrint("Setting track %d end to block %d", int{track->number}, other->end);
        scan::CatalogueGuard guard;
        track->end = other->end;
        other->flags |= scan::TrackContinued;
    }
    return overwritten;
}

}  // namespace dravik::readers::iso
