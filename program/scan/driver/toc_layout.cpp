// The track list from the table of contents: the tracks from the mode 0
// TOC, their sessions from the full TOC (or counted when that cannot be
// read), an area after the last session that the TOC does not list, and
// the ends of the tracks.
#include <algorithm>
#include <cstring>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/driver/disc_layout.h"
#include "program/scan/driver/reply_fields.h"
#include "program/scan/scan_device.h"
#include "program/scan/track_list.h"

namespace dravik::scan {

namespace {

constexpr int kTocHeaderBytes = 4;
constexpr int kTocDescriptorBytes = 8;
constexpr int kFullTocDescriptorBytes = 11;
constexpr std::uint8_t kPointFirstTrack = 0xA0;
constexpr std::uint8_t kPointNextProgramArea = 0xB0;

struct TocDescriptor {
    std::uint8_t control;
    std::uint8_t track;
    std::int32_t start;
};

TocDescriptor Descriptor(const std::uint8_t* buffer, int index) {
    const std::uint8_t* at = buffer + kTocHeaderBytes + index * kTocDescriptorBytes;
    return {at[1], at[2], ReplyBlock(at + 4)};
}

bool IsBcdOf(std::uint8_t point, int number) {
    if ((point & 0x0F) > 9 || (point >> 4) > 9) return false;
    return (point >> 4) * 10 + (point & 0x0F) == number;
}

}  // namespace

bool LooksLikeFullToc(const std::uint8_t* reply, int replyBytes) {
    if (replyBytes < kTocHeaderBytes) return false;
    const int length = bytes::GetBe16(reply);
    if (length < 2 || (length - 2) % kFullTocDescriptorBytes != 0) return false;
    const int end = std::min(length + 2, replyBytes);
    for (int at = kTocHeaderBytes; at + kFullTocDescriptorBytes <= end; at += kFullTocDescriptorBytes)
        if (reply[at + 3] == kPointFirstTrack && reply[at] != 0) return true;
    return false;
}

namespace {

// Sessions from the full TOC; false when it cannot be read. A drive that
// reads the TOC format only from byte 2 of the command (QEMU's SCSI CD)
// answers the request for the full TOC with the track list of format 0,
// whose zero bytes would read as session 0: an answer that is not a full
// TOC counts as none.
bool ReadSessionsFromFullToc(device::CDDevice* device, std::uint8_t* buffer) {
    std::memset(buffer, 0, kLayoutBufferBytes);
    if (!device->ReadCDToc(0x200, buffer, static_cast<int>(kLayoutBufferBytes))) return false;
    if (diag::DebugMode) diag::DebugDump(buffer, static_cast<int>(kLayoutBufferBytes), "Mode 2 TOC");
    // Byte 0 above 8 means a length beyond the buffer: not used.
    if (buffer[0] >= 9) return true;
    if (!LooksLikeFullToc(buffer, static_cast<int>(kLayoutBufferBytes))) {
        if (diag::DebugMode) diag::DebugPrint("The mode 2 TOC answer is not a full TOC");
        return false;
    }
    const int length = bytes::GetBe16(buffer);
    const int descriptors = length >= 2 ? (length - 2) / kFullTocDescriptorBytes : 0;
    const std::uint8_t lastSession = buffer[3];
    CatalogueGuard guard;
    TrackNode* cursor = TrackListHead;
    for (int i = 0; i < descriptors; ++i) {
        const std::uint8_t* at = buffer + kTocHeaderBytes + i * kFullTocDescriptorBytes;
        if (at + kFullTocDescriptorBytes > buffer + kLayoutBufferBytes) break;
        const std::uint8_t session = at[0];
        const std::uint8_t point = at[3];
        if (point == kPointNextProgramArea && session == lastSession && TrackListTail)
            TrackListTail->end = MsfToBlocks(at[4], at[5], at[6]);
        if (cursor && (point == cursor->number || IsBcdOf(point, cursor->number))) {
            cursor->session = session;
            cursor = cursor->next;
        }
    }
    if (TrackListTail) TrackListTail->session = lastSession;
    return true;
}

// Without the full TOC: the first node is in session 1 and every data
// track opens a new session for the nodes after it, up to the lead-out,
// which closes the session of the last track (as the full TOC's last
// session does).
void CountSessions() {
    CatalogueGuard guard;
    int session = 1;
    TrackNode* node = TrackListHead;
    for (; node && node->number != kLeadOutNumber; node = node->next) {
        node->session = static_cast<std::uint8_t>(session);
        if ((node->control & kControlData) && session < 255) ++session;
    }
    if (node && node->prev) node->session = node->prev->session;
}

// A readable block 16 after the next possible program area means a session
// the TOC does not list (an open one): a node for it goes before the last.
void AddAreaAfterLastSession(device::CDDevice* device, std::uint8_t* buffer) {
    TrackNode* last = TrackListTail;
    if (!last || last->end == 0) return;
    if (!device->ReadCD(AddBlocks(last->end, 16), buffer, 1)) return;
    TrackNode* node = NewTrackNode();
    if (!node) return;
    node->start = last->start;
    node->number = static_cast<std::uint8_t>((last->prev ? last->prev->number : 0) + 1);
    node->control = 0x14;
    node->flags = TrackAdded;
    {
        CatalogueGuard guard;
        if (last->session < 255) ++last->session;
        node->session = last->session;
    }
    InsertTrackNodeBefore(last, node);
    if (diag::DebugMode) diag::DebugPrint("Readable area after the last session added as track %d", node->number);
}

void SetTrackEnds() {
    CatalogueGuard guard;
    for (TrackNode* node = TrackListHead; node && node->next; node = node->next) {
        if (node->number == kLeadOutNumber) continue;
        if (node->prev && node->prev->start > node->start) {
            node->end = 0;
            break;
        }
        const TrackNode* next = node->next;
        if (next->start > node->start)
            node->end = next->start;
        else if (next->next && next->next->start > node->start)
            node->end = next->next->start;
        else
            node->end = kAssumedDiscEnd;
        if (!(node->control & kControlData) && (next->control & kControlData))
            node->end = AddBlocks(node->end, -kSessionGapBlocks);
        if (next->session != node->session && static_cast<std::int64_t>(node->end) - kSessionGapBlocks > node->start)
            node->end -= kSessionGapBlocks;
    }
}

}  // namespace

int ReadTocLayout(std::uint8_t* buffer) {
    device::CDDevice* device = SelectedDevice();
    std::memset(buffer, 0, kLayoutBufferBytes);
    if (!device->ReadCDToc(0, buffer, static_cast<int>(kLayoutBufferBytes))) {
        if (diag::DebugMode) diag::DebugPrint("Error reading mode 0 TOC.");
        return 0;
    }
    if (diag::DebugMode) diag::DebugDump(buffer, static_cast<int>(kLayoutBufferBytes), "Mode 0 TOC");

    // A length below 10 holds no whole descriptor: counting it as
    // descriptors would make tracks out of the zeros after the header.
    const int length = bytes::GetBe16(buffer);
    int count = length >= 10 ? (length - 2) / kTocDescriptorBytes : 0;
    if (count > kMaxTocDescriptors) {
        if (diag::DebugMode) diag::DebugPrint("TOC claims %d descriptors; the first %d are used", count, kMaxTocDescriptors);
        count = kMaxTocDescriptors;
    }
    if (count == 1 && Descriptor(buffer, 0).control == 0 && Descriptor(buffer, 0).track == 0) {
        if (diag::DebugMode) diag::DebugPrint("TOC information appears invalid, ignoring");
        return 0;
    }
    // Some drives leave the lead-out out of the length.
    if (count > 0 && Descriptor(buffer, count).track != 0 && Descriptor(buffer, count - 1).track != kLeadOutNumber)
        ++count;
    if (count == 1 && Descriptor(buffer, 0).start != 0 && Descriptor(buffer, 0).track == kLeadOutNumber)
        return MakeBlankDiscTrack(Descriptor(buffer, 0).start);
    if (count == 1 && Descriptor(buffer, 0).control == 0 && Descriptor(buffer, 0).track == 0) {
        if (diag::DebugMode) diag::DebugPrint("Null track returned, ignored");
        return 0;
    }

    for (int i = 0; i < count; ++i) {
        const TocDescriptor descriptor = Descriptor(buffer, i);
        TrackNode* node = NewTrackNode();
        if (!node) break;
        node->start = descriptor.start;
        node->number = descriptor.track;
        node->control = descriptor.control;
        AppendTrackNode(node);
    }
    if (!TrackListHead) {
        if (diag::DebugMode) diag::DebugPrint("Empty TOC, assuming some kind of CD-RW disc.");
        return 0;
    }
    DumpTrackList();

    device->SetErrorMode(true);
    if (!ReadSessionsFromFullToc(device, buffer)) {
        if (diag::DebugMode) diag::DebugPrint("Unable to read mode 2 TOC");
        CountSessions();
    }
    AddAreaAfterLastSession(device, buffer);
    device->SetErrorMode(false);

    SetTrackEnds();
    DumpTrackList();
    return 1;
}

int CorrectImpossibleEnds() {
    int corrected = 0;
    CatalogueGuard guard;
    for (TrackNode* node = TrackListHead; node; node = node->next) {
        if (node->number == kLeadOutNumber || node->end == 0 || node->end >= node->start) continue;
        if (diag::DebugMode)
            diag::DebugPrint("Track %d ends (%d) before it starts (%d); taken as empty", node->number, node->end,
                             node->start);
        node->end = node->start;
        ++corrected;
    }
    return corrected;
}

}  // namespace dravik::scan
