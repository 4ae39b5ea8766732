#include "program/scan/driver/track_probes.h"

#include <cstdint>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/scan/file_systems.h"
#include "program/scan/scan_device.h"
#include "program/scan/track_labels.h"
#include "program/scan/track_list.h"
#include "program/scan/track_measure.h"

namespace dravik::scan {

namespace {

TrackNode* CopyForSecondFileSystem(const TrackNode* node) {
    TrackNode* copy = NewTrackNode();
    if (!copy) return nullptr;
    copy->start = node->start;
    copy->end = node->end;
    copy->trackMode = node->trackMode;
    copy->dataMode = node->dataMode;
    copy->session = node->session;
    copy->number = node->number;
    copy->control = node->control;
    // Linked in only when a reader fills it; until then the neighbours are
    // known to the copy alone, as the readers expect.
    copy->prev = const_cast<TrackNode*>(node);
    copy->next = node->next;
    copy->flags = TrackSecondFs;
    return copy;
}

}  // namespace

bool ProbeSecondFileSystem(TrackNode* node) {
    bool found = false;
    TrackNode* copy = nullptr;
    int position = 0;
    for (const FileSystemReader& reader : FileSystems()) {
        if (!reader.secondFileSystem || !reader.readTrack) continue;
        ++position;
        if (!copy) copy = CopyForSecondFileSystem(node);
        if (!copy) break;
        if (!reader.readTrack(copy, position)) continue;
        copy->prev = copy->next = nullptr;
        InsertTrackNodeAfter(node, copy);
        MeasureTrackEnd(copy);
        if (diag::DebugMode) diag::DebugPrint("Track %d also holds a %s volume", node->number, reader.name);
        found = true;
        copy = nullptr;
    }
    if (copy) DiscardTrackNode(copy);
    return found;
}

bool DetectSamplerTrack(TrackNode* node) {
    device::CDDevice* device = SelectedDevice();
    // Room for a raw sector too, should a reader have left raw mode on.
    std::uint8_t block[2448] = {};
    device->SetErrorMode(true);
    const bool read = device->ReadCD(0, block, 1);
    device->SetErrorMode(false);
    if (!read || !IsSamplerDiscBlock(block, kBlockBytes)) return false;
    LabelSamplerTrack(node);
    if (diag::DebugMode) diag::DebugPrint("Track %d identified as a Roland sampler track", node->number);
    return true;
}

}  // namespace dravik::scan
