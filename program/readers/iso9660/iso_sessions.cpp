// Sessions inside one track: a plain image file (or a track of one) that
// holds several sessions one after another, as multi-session writers put
// them down on a file or as a block-by-block copy of a multi-session disc
// holds them. Each further session has its own volume descriptors at its
// first block + 16; the reader finds them past the volume it has read and
// gives each one a track node of its own after this one, named
// "(Session N)" in order, which the scan then reads like any other track.
//
// The search is quiet and bounded: it first looks where writers put the
// next session (right after the volume, rounded up to 16 or 32 blocks, or
// after the gaps a recorder leaves between sessions), then reads at most
// one block per 16 blocks of the rest of the track. A track whose volume
// fills it reads nothing more.
//
// Images that emulate sessions on a file keep a copy of the newest
// session's descriptors in blocks 0-31 and the first session at block 32;
// such a track is read from block 32, so that every session is read once
// and in order.
#include <algorithm>
#include <set>

#include "program/diag/debug_log.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/track_list.h"

namespace dravik::readers::iso {

namespace {

// Blocks after the previous session's end where recorders start the next.
constexpr std::int32_t kLaterSessionGapBlocks = 6900;

bool IsLastDataNode(const scan::TrackNode* track) {
    return !track->next || track->next->number == scan::kLeadOutNumber;
}

std::int64_t RoundUp(std::int64_t block, std::int64_t unit) { return (block + unit - 1) / unit * unit; }

// A primary descriptor at `block` whose root lies in the session it would
// start (block - 16) and inside the track.
bool PlausibleSessionDescriptor(const scan::TrackNode* track, std::int64_t block, const std::uint8_t* data) {
    if (!IsPrimaryDescriptor(data)) return false;
    const std::int64_t root = bytes::GetLe32(data + kVdRootExtent);
    return bytes::GetLe32(data + kVdVolumeSpace) != 0 && root > block && root < track->end;
}

// A directory sector at `block`: its first record is a self entry that
// names the block itself.
bool IsDirectoryAt(std::int64_t block, const std::uint8_t* data) {
    return data[0] >= kDrMinimumBytes && IsSelfEntry(data) && (data[kDrFlags] & kFlagDirectory) &&
           std::int64_t{RecordExtent(data)} == block;
}

// The parent entry of a directory sector (its second record).
std::int64_t ParentOf(const std::uint8_t* data) {
    const std::size_t second = data[0];
    if (second + kDrMinimumBytes > static_cast<std::size_t>(kBlockBytes) || data[second] < kDrMinimumBytes ||
        data[second + kDrIdLength] != 1 || data[second + kDrId] != 1)
        return -1;
    return RecordExtent(data + second);
}

// Any volume descriptor (primary, supplementary, boot record, partition or
// terminator): a block of some session's descriptor set.
bool IsAnyVolumeDescriptor(const std::uint8_t* data) { return HasBytes(data, 1, "CD001"); }

// The root's extent named by a path table block (its first record is the
// root's: a one-byte identifier 0 whose parent is record 1), in either byte
// order; -1 for any other block.
std::int64_t PathTableRoot(const std::uint8_t* data) {
    if (data[kPtIdLength] != 1 || data[kPtExtAttrLength] != 0 || data[kPtId] != 0) return -1;
    if (bytes::GetLe16(data + kPtParent) == 1) return bytes::GetLe32(data + kPtExtent);
    if (bytes::GetBe16(data + kPtParent) == 1) return bytes::GetBe32(data + kPtExtent);
    return -1;
}

}  // namespace

bool MoveToEmbeddedFirstSession(IsoTrackState& state, std::uint8_t* descriptor, std::uint8_t* probe) {
    scan::TrackNode* track = state.track;
    const std::int64_t start = track->start;
    const std::int64_t firstDescriptor = start + kEmulatedSessionStart + kDescriptorBlock;
    // Only a volume that leaves room for a whole session before its own
    // tables can have one there.
    if (std::int64_t{bytes::GetLe32(descriptor + kVdRootExtent)} <= firstDescriptor ||
        std::int64_t{bytes::GetLe32(descriptor + kVdPathTableL)} <= firstDescriptor || firstDescriptor >= track->end)
        return false;
    {
        QuietReads quiet(state);
        if (!ReadBlock(state, firstDescriptor, probe)) return false;
    }
    if (!PlausibleSessionDescriptor(track, firstDescriptor, probe)) return false;
    if (Verbose())
        diag::DebugPrint("Track %d: blocks %lld-%lld copy the newest session's descriptors; the first session starts at block %lld",
                         track->number, static_cast<long long>(start), static_cast<long long>(start + 31),
                         static_cast<long long>(start + kEmulatedSessionStart));
    {
        scan::CatalogueGuard guard;
        track->start = static_cast<std::int32_t>(start + kEmulatedSessionStart);
    }
    std::copy(probe, probe + kBlockBytes, descriptor);
    return true;
}

bool FindNextSession(IsoTrackState& state, const std::uint8_t* descriptor) {
    scan::TrackNode* track = state.track;
    if (!IsLastDataNode(track) || track->end <= track->start || track->session >= kMaxSessionNumber) return false;
    const std::int64_t start = track->start;
    const std::int64_t end = track->end;
    // The volume's end: its space counts from the session's first block on
    // some writers and from the disc's on others.
    std::set<std::int64_t> ends;
    const std::int64_t space = descriptor ? bytes::GetLe32(descriptor + kVdVolumeSpace) : 0;
    const std::int64_t ownRoot = descriptor ? bytes::GetLe32(descriptor + kVdRootExtent) : -1;
    if (space > 0) {
        ends.insert(start + space);
        if (space > start) ends.insert(space);
    }
    const std::int64_t searchFrom = ends.empty() ? start + kEmulatedSessionStart : *ends.begin();
    if (searchFrom + kDescriptorBlock >= end) return false;

    std::set<std::int64_t> candidates;  // session starts
    for (const std::int64_t volumeEnd : ends)
        for (const std::int64_t at : {volumeEnd, RoundUp(volumeEnd, 16), RoundUp(volumeEnd, 32),
                                      volumeEnd + kLaterSessionGapBlocks, volumeEnd + scan::kSessionGapBlocks})
            candidates.insert(at);
    WorkBlock buffer;
    if (!buffer) return false;
    std::uint8_t* data = buffer.data();
    std::int64_t found = -1;
    std::int64_t probes = 0;
    int failedInRow = 0;  // a damaged disc, not an image: the search gives up
    bool lastReadOk = false;
    QuietReads quiet(state);
    const auto read = [&](std::int64_t block) {
        ++probes;
        lastReadOk = ReadBlock(state, block, data);
        failedInRow = lastReadOk ? 0 : failedInRow + 1;
        return lastReadOk;
    };
    // A primary descriptor at `block` that is not the one of the volume
    // just read (its descriptors are sometimes seen again further on).
    const auto isNewSession = [&](std::int64_t block) {
        return PlausibleSessionDescriptor(track, block, data) &&
               std::int64_t{bytes::GetLe32(data + kVdRootExtent)} != ownRoot;
    };
    const auto tryStart = [&](std::int64_t session) {
        const std::int64_t block = session + kDescriptorBlock;
        lastReadOk = false;
        if (session <= start || block >= end || AbortRequested(state)) return false;
        return read(block) && isNewSession(block);
    };
    for (const std::int64_t session : candidates) {
        if (tryStart(session)) {
            found = session;
            break;
        }
    }

    // Not where writers put it: one block in 16 of the rest of the track.
    // A session that does not start on such a block is found through what
    // of it is met there. A descriptor of its set leads back to the primary
    // descriptor a few blocks before it; a path table names its root; one
    // of its directories leads up through its parent entries to its root.
    // The session's descriptor set stands a little before its root. (Some
    // writers' Joliet directories name themselves as their parent, so the
    // climb may end at any directory: the nearest set before it is taken.)
    const auto primaryAtOrBefore = [&](std::int64_t block) -> std::int64_t {
        for (std::int64_t at = block; at > start + kDescriptorBlock && at > block - kDescriptorBlock; --at) {
            if (at != block && !read(at)) return -1;
            if (isNewSession(at)) return at - kDescriptorBlock;
            if (!IsAnyVolumeDescriptor(data)) return -1;  // left the set
        }
        return -1;
    };
    std::set<std::int64_t> rootsTried;
    std::set<std::int64_t> lookedBack;  // each block is looked at once by these searches
    const auto sessionBefore = [&](std::int64_t root) -> std::int64_t {
        if (root == ownRoot || !rootsTried.insert(root).second) return -1;
        for (std::int64_t back = root - 1; back > start + kDescriptorBlock && back >= root - kSessionDescriptorReach;
             --back) {
            if (!lookedBack.insert(back).second) continue;
            if (read(back) && IsAnyVolumeDescriptor(data)) return primaryAtOrBefore(back);
        }
        return -1;
    };
    // `data` holds the directory sector at `block`.
    const auto throughDirectory = [&](std::int64_t block) -> std::int64_t {
        std::int64_t at = block;
        for (int level = 0; level < kMaxNestLevel; ++level) {
            const std::int64_t parent = ParentOf(data);
            if (parent == at) return sessionBefore(at);
            if (parent <= start || parent >= end || !read(parent) || !IsDirectoryAt(parent, data)) return -1;
            at = parent;
        }
        return -1;
    };
    const auto throughPathTable = [&](std::int64_t root) -> std::int64_t {
        if (root <= start || root >= end || rootsTried.count(root) || !read(root) || !IsDirectoryAt(root, data) ||
            ParentOf(data) != root)
            return -1;
        return sessionBefore(root);
    };
    for (std::int64_t block = RoundUp(searchFrom + kDescriptorBlock, 16);
         found < 0 && block < end && probes < kMaxSessionProbes && failedInRow < kMaxFailedSessionProbes;
         block += 16) {
        if (candidates.count(block - kDescriptorBlock)) continue;
        if (tryStart(block - kDescriptorBlock)) found = block - kDescriptorBlock;
        else if (!lastReadOk) continue;
        else if (IsDirectoryAt(block, data)) found = throughDirectory(block);
        else if (IsAnyVolumeDescriptor(data)) found = primaryAtOrBefore(block);
        else if (const std::int64_t root = PathTableRoot(data); root >= 0) found = throughPathTable(root);
    }
    if (found < 0) return false;

    scan::TrackNode* node = scan::NewTrackNode();
    if (!node) return false;
    node->start = static_cast<std::int32_t>(found);
    node->end = track->end;
    node->layoutEnd = static_cast<std::uint32_t>(track->end);
    node->control = track->control;
    node->trackMode = track->trackMode;
    node->dataMode = track->dataMode;
    node->session = static_cast<std::uint8_t>(track->session + 1);
    node->number = static_cast<std::uint8_t>(std::min(track->number + 1, 99));
    {
        scan::CatalogueGuard guard;
        track->end = static_cast<std::int32_t>(found);
    }
    scan::InsertTrackNodeAfter(track, node);
    if (Verbose())
        diag::DebugPrint("Track %d: another session starts at block %lld (%lld blocks looked at)", track->number,
                         static_cast<long long>(found), static_cast<long long>(probes));
    return true;
}

}  // namespace dravik::readers::iso
