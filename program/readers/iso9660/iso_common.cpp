// Helpers every part of the ISO reader uses: block reads, quiet reads,
// location mapping, the read limit, track flags, root items and the tree.
#include <limits>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"

namespace dravik::readers::iso {

void BeginTree(IsoTrackState& state) {
    state.nestLevel = 0;
    state.badBlocks = 0;
    state.directoriesRead.clear();
    state.directoriesCut = 0;
    state.itemsMade = 0;
    state.systemUseSkip = 0;
    state.continuationBlock = -1;
    state.continuationReadable = false;
    state.onlyRelocations = false;
    state.relocations = 0;
    state.relocationHolders.clear();
    state.claimingMoved = false;
    state.movedClaimed = 0;
}

WorkBlock::WorkBlock(std::size_t blocks)
    : data_(static_cast<std::uint8_t*>(diag::TrackedAlloc(blocks * kBlockBytes, __FILE__, __LINE__))) {}

WorkBlock::~WorkBlock() {
    if (data_) diag::TrackedFree(data_, __FILE__, __LINE__);
}

QuietReads::QuietReads(IsoTrackState& state, bool quiet) : state_(state), quiet_(quiet) {
    if (!quiet_) return;
    if (state_.quietDepth++ == 0 && state_.device) state_.device->SetErrorMode(true);
}

QuietReads::~QuietReads() {
    if (!quiet_) return;
    if (--state_.quietDepth == 0 && state_.device) state_.device->SetErrorMode(false);
}

bool ReadBlock(IsoTrackState& state, std::int64_t block, std::uint8_t* buffer) {
    if (!state.device || block < 0 || block > std::numeric_limits<std::int32_t>::max()) return false;
    return state.device->ReadCD(static_cast<int>(block), buffer, 1);
}

bool AbortRequested(const IsoTrackState& state) {
    return scan::CloseRequested.load() != 0 || (state.device && state.device->IsAbortSet());
}

bool Verbose() { return diag::DebugMode.load(); }
bool SectorDumps() { return diag::DebugMode.load() && diag::LogWriteThrough.load(); }

std::int64_t MapLocation(const IsoTrackState& state, std::int64_t extent) {
    std::int64_t block = extent + state.imageOffset;
    if (state.offsetImage && block < state.track->start) block += state.track->start;
    return block;
}

int ReadLimitFor(const scan::TrackNode* track, std::uint32_t volumeSpace) {
    if (track->next) return track->end;
    // A descriptor built by the directory search knows no volume size: the
    // track's own end (or the end of a disc) is the best limit left.
    if (volumeSpace == 0) return track->end > track->start ? track->end : scan::kAssumedDiscEnd;
    const std::int64_t end = std::int64_t{track->start} + volumeSpace;
    return end > scan::kAssumedDiscEnd - 1 ? scan::kAssumedDiscEnd : static_cast<int>(end);
}

void SetTrackFlags(scan::TrackNode* track, std::uint32_t bits) {
    scan::CatalogueGuard guard;
    track->flags |= bits;
}

void ClearTrackFlags(scan::TrackNode* track, std::uint32_t bits) {
    scan::CatalogueGuard guard;
    track->flags &= ~bits;
}

scan::FoundItem* MakeRootItem(IsoTrackState& state, const std::string& volume, std::int64_t start,
                              std::uint32_t size, const std::uint8_t* date) {
    scan::FoundItem* root = scan::NewFoundItem(scan::RootItemName(volume, state.track->session), scan::kRootNameRoom);
    if (!root) return nullptr;
    root->flags = scan::ItemDirectory;
    root->start = (start < 0 || start > std::numeric_limits<std::int32_t>::max()) ? scan::StartNotAvailable
                                                                                  : static_cast<std::int32_t>(start);
    root->size = size;
    root->date = scan::ItemDateFromIso(date);
    scan::AttachRootItem(state.track, root);
    return root;
}

void ShowTrackTree(scan::FoundItem* root) { scan::ShowDirectoryTree(root, true); }

}  // namespace dravik::readers::iso
