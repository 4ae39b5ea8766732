// Refining the TOC's tracks with the drive's track information: the MMC
// form (which also finds tracks the TOC does not list, on discs whose last
// session is open) and the older form of drives that predate MMC.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/driver/disc_layout.h"
#include "program/scan/driver/reply_fields.h"
#include "program/scan/scan_device.h"
#include "program/scan/track_list.h"

namespace dravik::scan {

namespace {

// Waiting for a drive after a failed older-form read: tries, 100 ms apart.
constexpr int kReadyWaitTries = 100;

// Fields of the MMC track information reply.
struct MmcTrackInfo {
    int length;
    std::uint8_t number, session, mode, dataMode;
    bool damaged, blank, packet, nwaValid;
    std::int32_t start, nextWritable, freeBlocks, size;
};

MmcTrackInfo ParseMmcTrackInfo(const std::uint8_t* reply) {
    MmcTrackInfo info{};
    info.length = bytes::GetBe16(reply);
    info.number = reply[2];
    info.session = reply[3];
    info.mode = reply[5];
    info.dataMode = reply[6];
    info.damaged = reply[5] & 0x20;
    info.blank = reply[6] & 0x40;
    info.packet = reply[6] & 0x20;
    info.nwaValid = reply[7] & 0x01;
    info.start = ReplyBlock(reply + 8);
    info.nextWritable = ReplyBlock(reply + 12);
    info.freeBlocks = ReplyBlock(reply + 16);
    info.size = ReplyBlock(reply + 24);
    return info;
}

bool ReadTrackInfo(device::CDDevice* device, std::uint8_t* buffer, int track) {
    std::memset(buffer, 0, kInfoReplyBytes);
    return device->ReadCDRWInfo(buffer, track);
}

void DumpTrackInfo(const std::uint8_t* buffer, int track, int length) {
    if (!diag::DebugMode) return;
    char title[48];
    std::snprintf(title, sizeof title, "Track %d Information", track);
    diag::DebugDump(buffer, DumpLength(static_cast<std::size_t>(length), kInfoReplyBytes), title);
}

void RefineNode(TrackNode* node, const MmcTrackInfo& info) {
    CatalogueGuard guard;
    // A node the scan added for the readable area after the last closed
    // session starts where that session's lead-out was, a guess: the
    // open session's track starts a session gap later, where the drive
    // says. Other nodes keep their TOC start unless the drive names an
    // earlier one.
    if (info.start < node->start || ((node->flags & TrackAdded) && info.start > node->start)) node->start = info.start;
    node->freeBlocks = info.freeBlocks;
    if (info.nwaValid) {
        node->nextWritable = info.nextWritable == node->start ? 0 : static_cast<std::uint32_t>(info.nextWritable);
        node->end = info.nextWritable;
    } else if ((info.mode & kControlData) || (node->control & kControlData)) {
        node->end = AddBlocks(node->start, info.size);
    }
    node->trackMode = info.mode;
    node->dataMode = info.dataMode;
    if (info.blank) node->flags |= TrackBlank;
    // Sessions count from 1: a drive that leaves the field 0 keeps the TOC's.
    if (info.session != 0) node->session = info.session;
    if (info.mode != 0 && ((info.mode & kControlData) != 0) == ((node->control & kControlData) != 0))
        node->control = static_cast<std::uint8_t>((node->control & 0xF0) | (info.mode & 0x0F));
    if (info.packet) node->flags |= TrackPacket;
}

// A reply that ends the walk beyond the TOC: nothing recorded, a reserved
// or blank invisible track, or the blank mark of some drives.
bool EndsWalkBeyondToc(const std::uint8_t* reply) {
    return (reply[5] == 0 && reply[6] == 0) || (reply[6] & 0xE0) == 0x60 || reply[6] == 0x4F;
}

TrackNode* NodeFromTrackInfo(const MmcTrackInfo& info) {
    TrackNode* node = NewTrackNode();
    if (!node) return nullptr;
    node->start = info.start;
    node->end = AddBlocks(info.start, info.size);
    node->freeBlocks = info.freeBlocks;
    if (info.nwaValid && info.nextWritable != info.start) node->nextWritable = static_cast<std::uint32_t>(info.nextWritable);
    node->trackMode = info.mode;
    node->dataMode = info.dataMode;
    node->session = info.session;
    node->number = info.number;
    node->control = info.mode & 0x0F;
    node->flags = TrackPacket | TrackAdded | (info.blank ? TrackBlank : 0);
    return node;
}

TrackNode* LastTrackBeforeLeadOut() {
    TrackNode* last = TrackListTail;
    if (last && last->number == kLeadOutNumber) last = last->prev;
    return last;
}

enum class WalkEnd { Reply, Condition };

// Tracks beyond the TOC, after `current`: the next numbers while they stay
// below the disc's last track, then the incomplete track once.
WalkEnd AddTracksBeyondToc(device::CDDevice* device, std::uint8_t* buffer, TrackNode* current, int lastTrack) {
    int asked = current->number + 1;
    for (int added = 0; added <= kMaxTracksBeyondToc && asked <= kIncompleteTrack; ++added) {
        if (!ReadTrackInfo(device, buffer, asked)) return WalkEnd::Reply;
        const MmcTrackInfo info = ParseMmcTrackInfo(buffer);
        DumpTrackInfo(buffer, asked, info.length);
        if (info.length == 0 || info.length >= kOlderFormLength || info.number == current->number)
            return WalkEnd::Reply;
        if (EndsWalkBeyondToc(buffer)) return WalkEnd::Condition;
        // A drive that answers with an earlier track would make the walk go round.
        if (info.number < current->number) return WalkEnd::Reply;
        TrackNode* node = NodeFromTrackInfo(info);
        if (!node) return WalkEnd::Reply;
        InsertTrackNodeAfter(current, node);
        if (diag::DebugMode) diag::DebugPrint("Track %d found beyond the TOC at %d", node->number, node->start);
        current = node;
        if (asked == kIncompleteTrack || info.number == lastTrack) return WalkEnd::Reply;
        asked = info.number + 1 < lastTrack ? info.number + 1 : kIncompleteTrack;
    }
    return WalkEnd::Reply;
}

}  // namespace

int ReadMmcTrackInfo(std::uint8_t* buffer) {
    device::CDDevice* device = SelectedDevice();
    if (device->GetTrackInfoCmd() == 0 || !TrackListHead) return 0;
    std::memset(buffer, 0, kInfoReplyBytes);
    if (!device->ReadCDRWInfo(buffer, 0)) {
        if (diag::DebugMode)
            diag::DebugPrint("Read Disc Info failed for %s (%s).", device->GetDeviceId(), device->GetDeviceName());
        return 0;
    }
    const int discLength = bytes::GetBe16(buffer);
    if (diag::DebugMode) diag::DebugDump(buffer, DumpLength(static_cast<std::size_t>(discLength), kInfoReplyBytes), "Disc Information");
    if (discLength == 0) return 0;
    const bool incomplete = (buffer[2] & 0x03) == 1;
    const int lastTrack = buffer[6];
    if (buffer[2] & 0x10) {
        CatalogueGuard guard;
        TrackListHead->flags |= TrackErasable;
    }

    for (TrackNode* node = TrackListHead; node && node->number != kLeadOutNumber; node = node->next) {
        bool read = ReadTrackInfo(device, buffer, node->number);
        if (!read && node->number == 1) read = ReadTrackInfo(device, buffer, 256);
        if (!read) {
            if (diag::DebugMode) diag::DebugPrint("Read Track Info failed.");
            return 0;
        }
        const MmcTrackInfo info = ParseMmcTrackInfo(buffer);
        DumpTrackInfo(buffer, node->number, info.length);
        if (info.length > 254) return 0;
        RefineNode(node, info);
    }

    WalkEnd walkEnd = WalkEnd::Reply;
    if (TrackNode* current = LastTrackBeforeLeadOut()) walkEnd = AddTracksBeyondToc(device, buffer, current, lastTrack);

    if (walkEnd != WalkEnd::Condition && ReadTrackInfo(device, buffer, kIncompleteTrack)) {
        const MmcTrackInfo info = ParseMmcTrackInfo(buffer);
        if (diag::DebugMode) diag::DebugDump(buffer, DumpLength(static_cast<std::size_t>(info.length), kInfoReplyBytes), "Track 255 information");
        TrackNode* leadOut = TrackListTail;
        CatalogueGuard guard;
        if (leadOut->number == kLeadOutNumber && info.number != leadOut->number &&
            (!leadOut->prev || info.number != leadOut->prev->number) && info.nwaValid) {
            leadOut->end = info.nextWritable;
            if (info.nextWritable > leadOut->start) {
                leadOut->start = info.nextWritable;
                if (leadOut->prev) leadOut->prev->end = info.nextWritable;
            }
        }
    }

    CatalogueGuard guard;
    if (incomplete) {
        if (TrackNode* last = LastTrackBeforeLeadOut()) last->flags |= TrackAdded;
    }
    TrackNode* tail = TrackListTail;
    if (tail->number == kLeadOutNumber && tail->prev && tail->start < tail->prev->end) tail->start = tail->prev->end;
    for (TrackNode* node = TrackListHead; node && node->number != kLeadOutNumber; node = node->next) {
        if (node->end != 0 || !node->prev) continue;
        node->start = AddBlocks(node->prev->end, 1);
        node->end = kAssumedDiscEnd;
    }
    return 1;
}

int ReadNonMmcTrackInfo(std::uint8_t* buffer) {
    device::CDDevice* device = SelectedDevice();
    if (device->GetTrackInfoCmd() == 0) return 0;
    TrackNode* last = nullptr;
    for (TrackNode* node = TrackListHead; node && node->number != kLeadOutNumber; node = node->next) {
        if (!ReadTrackInfo(device, buffer, node->number)) {
            // Kept before the waiting below, whose commands replace the sense.
            const std::uint8_t failure = device->GetSenseCode();
            if (diag::DebugMode) diag::DebugPrint("Read Track Info failed (non-MMC)");
            for (int tries = 0; tries < kReadyWaitTries && !device->CheckDevice(true) && !device->IsAbortSet(); ++tries)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (failure == 0x20) {
                device->SetTrackInfoCmd(0);
                device->UpdateDeviceInformation();
            }
            return 0;
        }
        if (buffer[0] == 0) return 0;
        DumpTrackInfo(buffer, node->number, buffer[0] - 1);
        const std::int32_t start = ReplyBlock(buffer + 2);
        const std::int32_t size = ReplyBlock(buffer + 6);
        CatalogueGuard guard;
        node->start = start;
        node->freeBlocks = ReplyBlock(buffer + 12);
        const std::int32_t end = AddBlocks(start, size);
        if (end < node->end) node->end = end;
        node->trackMode = buffer[10];
        node->dataMode = buffer[11];
        node->control = buffer[10] & 0x0F;
        if (buffer[11] & 0x20) node->flags |= TrackPacket;
        last = node;
    }
    if (last && last->number < kIncompleteTrack && ReadTrackInfo(device, buffer, last->number + 1) &&
        TrackListTail->number == kLeadOutNumber) {
        CatalogueGuard guard;
        TrackListTail->end = 1;
    }
    return 1;
}

int AddOldFormatTrack(int n, const std::uint8_t* block) {
    const std::int32_t size = ReplyBlock(block + 6);
    if (size == 0) return 0;
    TrackNode* node = NewTrackNode();
    if (!node) return 0;
    node->start = ReplyBlock(block + 2);
    node->end = AddBlocks(node->start, size);
    node->freeBlocks = ReplyBlock(block + 12);
    node->trackMode = block[10];
    node->dataMode = block[11];
    node->control = block[10] & 0x0F;
    if ((block[10] & kControlData) && (block[10] & 0x05) == 0x05) node->flags |= TrackPacket;
    node->number = static_cast<std::uint8_t>(n);
    AppendTrackNode(node);
    return 1;
}

}  // namespace dravik::scan
