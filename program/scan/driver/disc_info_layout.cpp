// The track list without a TOC: blank discs, and discs whose last session
// is still open, from the disc information and a walk over the track
// information (the incomplete track 255 included).
#include <cstdio>
#include <cstring>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/driver/disc_layout.h"
#include "program/scan/driver/reply_fields.h"
#include "program/scan/scan_device.h"
#include "program/scan/found_item.h"
#include "program/scan/track_labels.h"
#include "program/scan/track_list.h"

namespace dravik::scan {

namespace {

constexpr unsigned char kOlderVendorTrackInfo = 0xE6;

void DumpReply(const std::uint8_t* buffer, int length, const char* title) {
    if (diag::DebugMode) diag::DebugDump(buffer, DumpLength(static_cast<std::size_t>(length), kInfoReplyBytes), title);
}

// One node from an MMC track information reply of the walk; false when
// the walk ends here.
bool AddWalkedTrack(int n, std::uint8_t* reply, std::int32_t lastLeadOutStart) {
    std::int32_t size = ReplyBlock(reply + 24);
    if (size == 0) {
        // A damaged track without a size runs to the last possible lead-out.
        if (!(reply[5] & 0x20)) return false;
        size = lastLeadOutStart;
        reply[5] |= kControlData;
    }
    const std::int32_t start = ReplyBlock(reply + 8);
    if (n == kIncompleteTrack && TrackListTail && TrackListTail->number == reply[2] && TrackListTail->start == start)
        return false;
    TrackNode* node = NewTrackNode();
    if (!node) return false;
    node->start = start;
    node->end = AddBlocks(start, size);
    node->freeBlocks = ReplyBlock(reply + 16);
    if (reply[7] & 0x01) {
        const std::int32_t nextWritable = ReplyBlock(reply + 12);
        {
            CatalogueGuard guard;
            (TrackListHead ? TrackListHead : node)->flags |= TrackAppendable;
        }
        node->nextWritable = nextWritable == start ? 0 : static_cast<std::uint32_t>(nextWritable);
        if (static_cast<std::int64_t>(node->end) - node->freeBlocks == nextWritable) node->end = nextWritable;
    }
    node->trackMode = reply[5];
    node->dataMode = reply[6];
    node->session = reply[3];
    node->number = reply[2];
    node->control = reply[5] & 0x0F;
    if (reply[6] & 0x20) node->flags |= TrackPacket;
    if (reply[6] & 0x40) node->flags |= TrackBlank;
    AppendTrackNode(node);
    return true;
}

}  // namespace

int ReadDiscInfoLayout(std::uint8_t* buffer) {
    device::CDDevice* device = SelectedDevice();
    if (device->GetTrackInfoCmd() == kOlderVendorTrackInfo) {
        std::memset(buffer, 0, kInfoReplyBytes);
        if (!device->ReadCDRWInfo(buffer, 1)) return 0;
        const std::int32_t nextWritable = ReplyBlock(buffer);
        if (diag::DebugMode) diag::DebugPrint("NWA returned from device is %d.", nextWritable);
        TrackNode* node = NewTrackNode();
        if (!node) return 0;
        node->end = nextWritable;
        node->session = 1;
        node->number = 1;
        node->control = 0x14;
        node->flags = TrackAdded;
        AppendTrackNode(node);
        return 1;
    }

    if (diag::DebugMode) diag::DebugPrint("Attempting to obtain disc information from %s.", device->GetDeviceId());
    std::memset(buffer, 0, kInfoReplyBytes);
    if (!device->ReadCDRWInfo(buffer, 0)) {
        if (diag::DebugMode)
            diag::DebugPrint("Read Disc Info failed for %s (%s).", device->GetDeviceId(), device->GetDeviceName());
        return 0;
    }
    DumpReply(buffer, bytes::GetBe16(buffer), "Disc Information");
    const int status = buffer[2] & 0x03;
    if (status == 0) {
        std::memset(buffer, 0, kInfoReplyBytes);
        if (device->ReadCDRWInfo(buffer, 1)) DumpReply(buffer, bytes::GetBe16(buffer) > 255 ? 255 : bytes::GetBe16(buffer), "Blank track information");
        return MakeBlankDiscTrack(ReplyBlock(buffer + 16));
    }
    if (status != 1) {
        if (diag::DebugMode) diag::DebugPrint("Disc status (%02x) not incomplete, there should be a TOC.", buffer[2]);
        return 0;
    }
    const int firstTrack = buffer[3];
    if (firstTrack == 0 || buffer[4] == 0) return 0;
    const std::int32_t lastLeadOutStart = MsfToBlocks(buffer[21], buffer[22], buffer[23]);
    const bool erasable = buffer[2] & 0x10;

    for (int n = firstTrack; n <= kIncompleteTrack && !device->IsAbortSet(); ++n) {
        std::memset(buffer, 0, kInfoReplyBytes);
        if (!device->ReadCDRWInfo(buffer, n)) {
            if (diag::DebugMode)
                diag::DebugPrint("Error returned obtaining track %d information: %s", n, device->FormatErrorSense());
            if (n == kIncompleteTrack) break;
            n = kIncompleteTrack - 1;  // the loop's step asks for the incomplete track next
            continue;
        }
        const int length = bytes::GetBe16(buffer);
        char title[48];
        std::snprintf(title, sizeof title, "Track %d Information", n);
        if (length == 0) break;
        // An older-form block has no track number to compare.
        if (length >= kOlderFormLength) {
            DumpReply(buffer, buffer[0] - 1, title);
            if (!AddOldFormatTrack(n, buffer)) break;
            continue;
        }
        // Track 255 answers with the incomplete track's own number.
        if (n != kIncompleteTrack && buffer[2] != n) break;
        DumpReply(buffer, length, title);
        if (!AddWalkedTrack(n, buffer, lastLeadOutStart)) break;
    }

    CatalogueGuard guard;
    if (erasable && TrackListHead) TrackListHead->flags |= TrackErasable;
    if (TrackListTail) TrackListTail->flags |= TrackAdded;
    return 1;
}

int MakeBlankDiscTrack(std::int32_t capacity) {
    // The blank disc's node is the whole list.
    if (TrackListHead) ClearTrackList(false);
    TrackNode* node = NewTrackNode();
    if (!node) return 0;
    node->end = capacity;
    node->number = 1;
    node->flags = TrackBlank | TrackAdded;
    AppendTrackNode(node);
    AttachTrackLabel(node, TrackLabel(kBlankDiscLabel, capacity), ItemDirectory);
    return 1;
}

}  // namespace dravik::scan
