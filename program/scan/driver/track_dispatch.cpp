#include "program/scan/driver/track_dispatch.h"

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/scan_progress.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/driver/track_probes.h"
#include "program/scan/file_systems.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_labels.h"
#include "program/scan/track_list.h"
#include "program/scan/track_measure.h"
#include "program/settings/settings.h"

namespace dravik::scan {

namespace {

// A blank track with nothing written that no incremental track follows.
bool IsEmptyBlankTrack(const TrackNode* node) {
    const bool filled = static_cast<std::int64_t>(node->start) + node->freeBlocks >= node->end;
    const bool incrementalNext = node->next && (node->next->control & kControlIncremental);
    return filled && (node->flags & TrackBlank) && !incrementalNext;
}

// Returns the node the cursor stands on afterwards.
TrackNode* DispatchDataTrack(TrackNode* node) {
    {
        CatalogueGuard guard;
        if (node->start < 0) {
            node->start = 0;
            node->end = kAssumedDiscEnd;
        }
        if (node->end == 0 && node->next && (node->next->flags & TrackPacket)) node->end = node->next->start;
    }
    if (node->end == 0) {
        LabelUnrecognisedTrack(node);
        return node;
    }
    // The ISO reader takes every data track; it hands the track on to the
    // UDF or HFS reader when that is what the track holds.
    const FileSystemReader* iso = FindFileSystem(FileSystemKind::kIso9660);
    if (!iso || !iso->readTrack(node, 0)) {
        if (!DetectSamplerTrack(node)) LabelUnrecognisedTrack(node);
        return node;
    }
    const TrackNode* next = node->next;
    if (!node->rootItem && (!next || ((next->flags & TrackContinued) && !next->rootItem))) {
        LabelUnrecognisedTrack(node);
    } else if (!(node->flags & TrackPacket)) {
        MeasureTrackEnd(node);
    }
    // A second file system ends the visit: the cursor goes to the last node.
    if (node->rootItem && !(node->flags & TrackHfs) && ProbeSecondFileSystem(node)) return TrackListTail;
    return node;
}

}  // namespace

bool PrepareBlankDisc() {
    TrackNode* head = TrackListHead;
    if (!head || head->next || !(head->flags & TrackBlank)) return true;
    if (!settings::ProgramSettings.ShowAll) return false;
    CatalogueGuard guard;
    head->control = kControlData;
    head->flags &= ~TrackBlank;
    return true;
}

void MarkTrackStoppedEarly(TrackNode* node) {
    if (!node) return;
    CatalogueGuard guard;
    node->flags |= TrackStoppedEarly;
    if (node->rootItem) node->rootItem->flags |= ItemIncomplete;
}

void DispatchTracks(device::CDDevice* device, std::atomic<int>& currentTrack) {
    {
        CatalogueGuard guard;
        for (TrackNode* node = TrackListHead; node; node = node->next) node->layoutEnd = static_cast<std::uint32_t>(node->end);
    }
    TrackNode* visited = nullptr;
    for (TrackNode* node = TrackListHead; node; node = node->next) {
        messages::ProgressTick();
        if (device->IsAbortSet()) {
            if (diag::DebugMode) diag::DebugPrint("Aborting track scan on request before track %d", node->number);
            break;
        }
        if (node->flags & TrackContinued) continue;
        visited = node;
        currentTrack = node->number;
        if (diag::DebugMode)
            diag::DebugPrint("Processing track %d, starting at %d, IgnJoliet=%d", node->number, node->start,
                             settings::ProgramSettings.IgnoreJoliet ? 1 : 0);
        if (IsEmptyBlankTrack(node)) {
            CatalogueGuard guard;
            node->end = node->start;
            continue;
        }
        if ((node->control & kControlData) && node->number != kLeadOutNumber) {
            node = DispatchDataTrack(node);
        } else if (node->number == kLeadOutNumber) {
            LabelLeadOut(node);
        } else if (!(node->control & (kControlData | kControlFourChannel))) {
            LabelAudioTrack(node);
        }
    }
    // The reader of the last track visited may have left its tree half
    // read when the stop came: the track and its root say so.
    if (visited && (device->IsAbortSet() || CloseRequested)) MarkTrackStoppedEarly(visited);
    currentTrack = 0;
}

}  // namespace dravik::scan
