// A Joliet volume: the supplementary descriptor's tree with UCS-2 names,
// including images whose locations are relative to the track start.
#include <string>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/readers/iso9660/iso_names.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "program/messages/show_status.h"

namespace dravik::readers::iso {

namespace {

bool IsJolietEscape(const std::uint8_t* svd) {
    return HasBytes(svd, kVdEscapes, "%/@") || HasBytes(svd, kVdEscapes, "%/C") || HasBytes(svd, kVdEscapes, "%/E");
}

// The root's block read where the track puts it: a directory there means
// the image was mastered for block 0 and written later on the disc.
void DetectOffsetImage(IsoTrackState& state, const std::uint8_t* svd, std::uint32_t rootExtent) {
    scan::TrackNode* track = state.track;
    if (Verbose()) {
        diag::DebugPrint("Track %d appears to have offset image, directory starts at %d", int{track->number},
                         static_cast<int>(rootExtent));
        diag::DebugDump(svd + kVdRootRecord, kRootRecordBytes, "Root directory entry");
    }
    WorkBlock buffer;
    if (!buffer) return;
    std::uint8_t* block = buffer.data();
    const std::int64_t at = std::int64_t{rootExtent} + track->start;
    if (!ReadBlock(state, at, block)) return;
    if (Verbose()) diag::DebugDumpSector(block, static_cast<int>(at), "Root directory block");
    const std::uint8_t length = block[kDrLength];
    if (length > 33 && length < 128 && (block[kDrFlags] & kFlagDirectory) && IsSelfEntry(block)) {
        state.offsetImage = true;
        if (Verbose()) diag::DebugPrint("Image offset detected, processing offset image");
    }
}

}  // namespace

bool ReadJolietVolume(IsoTrackState& state, const std::uint8_t* svd) {
    scan::TrackNode* track = state.track;
    // A CD-i bridge system id marks the track whatever the descriptor; only
    // a descriptor with a Joliet escape sequence (UCS-2 levels 1 to 3) is
    // read as a Joliet volume.
    if (IsCdiBridge(svd)) SetTrackFlags(track, scan::TrackCdiBridge);
    if (!IsJolietEscape(svd)) return false;
    if (Verbose()) {
        diag::DebugPrint("Joliet format SVD encountered with code \"%3.3s\"", reinterpret_cast<const char*>(svd + kVdEscapes));
        diag::DebugDump(svd, kBlockBytes, "Joliet SVD");
    }
    // Reads stay inside the volume (or the track); name failures are counted
    // afresh for this tree.
    SetTrackFlags(track, scan::TrackJoliet);
    state.nameFailed = false;
    state.readLimit = ReadLimitFor(track, bytes::GetLe32(svd + kVdVolumeSpace));
    // A root recorded below the track start may be an image mastered for
    // block 0 and written later on the disc.
    const std::uint32_t rootExtent = bytes::GetLe32(svd + kVdRootExtent);
    if (std::int64_t{rootExtent} < track->start) DetectOffsetImage(state, svd, rootExtent);
    // A root beyond the readable end cannot be walked; otherwise look for
    // a path table displaced from its recorded place.
    if (state.readLimit < std::int64_t{rootExtent}) {
        ClearTrackFlags(track, scan::TrackJoliet);
        return false;
    }
    FindImageOffset(state, bytes::GetLe32(svd + kVdPathTableL), rootExtent);
    // The root item carries the volume's name; walk the tree quietly, then
    // reach the directories the walk could not through the path table.
    bool volumeFailed = false;
    const std::string volume = TrimVolumeIdentifier(Ucs2BeToUtf8(svd + kVdVolumeId, 32, volumeFailed));
    scan::FoundItem* root =
        MakeRootItem(state, volume, MapLocation(state, rootExtent), bytes::GetLe32(svd + kVdRootLength), svd + kVdRootDate);
    if (!root) {
        ClearTrackFlags(track, scan::TrackJoliet);
        return false;
    }
    messages::ShowStatus(kJolietVolumeStatus, int{track->number}, volume.c_str());
    BeginTree(state);
    {
        QuietReads quiet(state);
        ReadIsoDirectory(state, root, root->start, root->size, DirectoryFormat::kJoliet);
        // A root that yielded nothing leaves the volume to the primary
        // descriptor's tree, which may be whole; recovering only the Joliet
        // subdirectories would hide that tree's root files.
        if (root->firstChild && !AbortRequested(state))
            RecoverThroughPathTable(state, root, svd, DirectoryFormat::kJoliet);
    }
    // An empty Joliet tree still shows its root, but the track is then
    // read through the primary descriptor instead.
    const bool gotEntries = root->firstChild != nullptr;
    if (gotEntries) {
        ShowTrackTree(root);
    } else {
        if (Verbose()) diag::DebugPrint("No directory information collected.");
        scan::ShowItemInTree(root);
        // The primary descriptor's tree is read next; this one was not used.
        ClearTrackFlags(track, scan::TrackJoliet);
    }
    if (state.badBlocks != 0) messages::ShowMessage(messages::MessageIdWithFlags(kBadBlocksMessage), state.badBlocks);
    if (state.nameFailed) messages::ShowMessage(messages::MessageIdWithFlags(kJolietNamesMessage));
    return gotEntries;
}

}  // namespace dravik::readers::iso
