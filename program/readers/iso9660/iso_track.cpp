// ReadIsoTrack: decides which file system a data track holds (UDF on
// packet-written and bridge discs, Joliet, ISO 9660, High Sierra, HFS) and
// reads the ISO family's tree into the catalogue, with the recoveries for
// damaged descriptors.
#include <string>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/readers/iso9660/iso_names.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/readers/iso9660/zisofs_stream.h"
#include "program/scan/posix_file_info.h"
#include "program/readers/file_system_entries.h"
#include "program/scan/file_systems.h"
#include "program/scan/scan_device.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/messages/show_status.h"

namespace dravik::readers {

namespace iso {

namespace {

// The UDF and HFS readers are reached through the scan's table of file
// systems; a build or a test without them simply finds no such volume.
bool TryUdf(scan::TrackNode* track, std::uint8_t* probe) {
    const scan::FileSystemReader* udf = scan::FindFileSystem(scan::FileSystemKind::kUdf);
    if (!udf || !udf->probe || !udf->probe(track, probe)) return false;
    if (track->rootItem) ShowTrackTree(track->rootItem);
    return true;
}

// Blocks start+17 to start+31: the first supplementary descriptor that
// reads as a Joliet volume ends the search with true.
bool TryHfs(scan::TrackNode* track) {
    const scan::FileSystemReader* hfs = scan::FindFileSystem(scan::FileSystemKind::kHfs);
    return hfs && hfs->readTrack && hfs->readTrack(track, 0);
}

bool TryJolietDescriptors(IsoTrackState& state, std::uint8_t* probe, bool quiet) {
    QuietReads reads(state, quiet);
    for (int index = kSupplementaryFirst; index <= kSupplementaryLast; ++index) {
        if (!ReadBlock(state, std::int64_t{state.track->start} + index, probe)) break;
        if (IsSupplementaryDescriptor(probe) && ReadJolietVolume(state, probe)) return true;
    }
    return false;
}

void LogAbort(const IsoTrackState& state) {
    if (Verbose())
        diag::DebugPrint("Abort requested during directory scan, Abort=%d, CloseReq=%d",
                         state.device->IsAbortSet() ? 1 : 0, scan::CloseRequested.load());
}

// Block 16 read but holds no volume descriptor at all (zeros or damage,
// which many drives return for a bad sector), and neither UDF nor HFS took
// the track: the supplementary descriptors and then a directory search may
// still find the volume. Nothing is shown to the user when they do not.
enum class Rescue { kNone, kJoliet, kBuiltDescriptor };
Rescue RescueVolumeWithoutDescriptor(IsoTrackState& state, std::uint8_t* descriptor, std::uint8_t* probe,
                                     bool tryJoliet) {
    const int number = state.track->number;
    if (Verbose())
        diag::DebugPrint("Track %d: block %d holds no volume descriptor; looking for the volume elsewhere", number,
                         state.track->start + kDescriptorBlock);
    if (tryJoliet && TryJolietDescriptors(state, probe, true)) {
        if (Verbose()) diag::DebugPrint("Track %d read through its supplementary descriptor", number);
        return Rescue::kJoliet;
    }
    if (LocateRootByScanning(state, descriptor, true)) return Rescue::kBuiltDescriptor;
    if (Verbose()) diag::DebugPrint("Track %d: no volume found without its descriptor", number);
    return Rescue::kNone;
}

}  // namespace

bool ReadPrimaryVolume(IsoTrackState& state, const std::uint8_t* descriptor) {
    scan::TrackNode* track = state.track;
    // A cancel that came while the descriptors were being looked at ends
    // the track before its tree is started.
    if (AbortRequested(state)) {
        LogAbort(state);
        return false;
    }
    // A root directory recorded below the track's first block cannot be
    // read as this track's: tell the user and take the ISO mark off.
    const std::uint32_t rootExtent = bytes::GetLe32(descriptor + kVdRootExtent);
    if (std::int64_t{rootExtent} < track->start) {
        if (Verbose()) diag::DebugPrint("Directory before track, trying offset: %d, %d", static_cast<int>(rootExtent), track->start);
        messages::ShowMessage(messages::MessageIdWithFlags(kRootBeforeTrackMessage), int{track->number});
        ClearTrackFlags(track, scan::TrackIso);
        return false;
    }
    // Reads stay inside the volume (or the track), and a path table found a
    // few blocks after its recorded place tells how far the image is shifted.
    const std::uint32_t volumeSpace = bytes::GetLe32(descriptor + kVdVolumeSpace);
    state.readLimit = ReadLimitFor(track, volumeSpace);
    FindImageOffset(state, bytes::GetLe32(descriptor + kVdPathTableL), rootExtent);
    // The root item carries the volume's name; the status line shows it.
    const std::string volume =
        TrimVolumeIdentifier(IsoBytesToUtf8(descriptor + kVdVolumeId, 32));
    std::uint32_t rootSize = bytes::GetLe32(descriptor + kVdRootLength);
    if (rootSize == 0) rootSize = kBlockBytes;
    scan::FoundItem* root = MakeRootItem(state, volume, MapLocation(state, rootExtent), rootSize, descriptor + kVdRootDate);
    if (!root) return false;
    messages::ShowStatus(kIsoVolumeStatus, int{track->number}, volume.c_str());
    // Walk the tree quietly, then reach through the path table the
    // directories the walk could not.
    BeginTree(state);
    {
        QuietReads quiet(state);
        ReadIsoDirectory(state, root, root->start, root->size, DirectoryFormat::kIso);
        if (!AbortRequested(state)) RecoverThroughPathTable(state, root, descriptor, DirectoryFormat::kIso);
        SettleMovedDirectories(state, DirectoryFormat::kIso);
    }
    // Show what was found, even after a cancel, and tell about unreadable
    // blocks and about files whose data lies beyond what can be read.
    if (AbortRequested(state)) LogAbort(state);
    ShowTrackTree(root);
    if (state.badBlocks != 0) messages::ShowMessage(messages::MessageIdWithFlags(kBadBlocksMessage), state.badBlocks);
    if ((track->flags & scan::TrackFilesMissing) && std::int64_t{track->end} >= std::int64_t{volumeSpace})
        messages::ShowMessage(messages::MessageIdWithFlags(kFilesMissingMessage), int{track->session});
    return true;
}

}  // namespace iso

namespace {

// The track's own volume; `searchFrom` tells afterwards which descriptor's
// volume was read (null when its size is unknown) and whether further
// sessions may follow it inside the track.
bool ReadTrackVolume(iso::IsoTrackState& state, std::uint8_t* descriptor, std::uint8_t* probe,
                     const std::uint8_t*& searchFrom, bool& search) {
    using namespace iso;
    scan::TrackNode* track = state.track;
    const bool ignoreJoliet = settings::ProgramSettings.IgnoreJoliet != 0;
    searchFrom = nullptr;
    search = false;

    // A packet-written track (or one followed by a packet-written track)
    // holds UDF first of all; try it before any ISO descriptor.
    const bool packet = (track->flags & scan::TrackPacket) || (track->next && (track->next->flags & scan::TrackPacket));
    if (packet && !ignoreJoliet && TryUdf(track, probe)) return true;

    // Block 16 holds the first volume descriptor.
    if (!ReadBlock(state, std::int64_t{track->start} + kDescriptorBlock, descriptor)) {
        // It cannot be read: search the blocks after the descriptor area
        // for a root directory and build a primary descriptor around it.
        // (A damaged disc, not an image: no session search.)
        if (!LocateRootByScanning(state, descriptor)) {
            messages::ShowMessage(messages::MessageIdWithFlags(kNoDirectoryMessage), int{track->number});
            return false;
        }
        return ReadPrimaryVolume(state, descriptor);
    }
    // High Sierra discs predate ISO 9660 and keep their fields elsewhere.
    if (Verbose()) diag::DebugDumpSector(descriptor, track->start + kDescriptorBlock, "ISO:PVD/SVD");
    if (IsHighSierraDescriptor(descriptor)) return ReadHighSierraVolume(state, descriptor);

    // No primary descriptor at block 16: the track may be UDF or HFS, or
    // the descriptor may be damaged and the volume still findable.
    if (!IsPrimaryDescriptor(descriptor)) {
        if (!ignoreJoliet) {
            if (TryUdf(track, probe)) return true;
            if (TryHfs(track)) return true;
        }
        // Another kind of volume structure (UDF, a boot record) is not ours.
        // With IgnoreJoliet on, UDF and HFS are not asked; a block without
        // any descriptor then goes to the directory search rather than
        // being taken as a primary descriptor full of zeros or garbage.
        if (HoldsKnownDescriptor(descriptor)) return false;
        // Later sessions may still stand after a first one whose
        // descriptors are lost.
        search = true;
        switch (RescueVolumeWithoutDescriptor(state, descriptor, probe, !ignoreJoliet)) {
            case Rescue::kJoliet: return true;
            case Rescue::kBuiltDescriptor: return ReadPrimaryVolume(state, descriptor);
            case Rescue::kNone: return false;
        }
    }

    // An image that emulates sessions on a file is read from its first
    // session; the copy of the newest one's descriptors is skipped.
    MoveToEmbeddedFirstSession(state, descriptor, probe);
    search = true;
    searchFrom = descriptor;

    // An ISO volume (a CD-i bridge disc is marked as such too). A UDF
    // volume beside it, as on UDF bridge discs, is preferred when it reads.
    SetTrackFlags(track, scan::TrackIso);
    if (IsCdiBridge(descriptor)) SetTrackFlags(track, scan::TrackCdiBridge);
    if (!(track->flags & scan::TrackUdfFound) && !ignoreJoliet && TryUdf(track, probe)) {
        search = false;
        return true;
    }

    // A volume larger than its track goes on over the following tracks of
    // the session; their ends become this track's end.
    bool overwritten = false;
    const std::uint32_t volumeSpace = bytes::GetLe32(descriptor + kVdVolumeSpace);
    if (std::int64_t{track->end} < std::int64_t{track->start} + volumeSpace)
        overwritten = CheckTrackContinuation(state, descriptor);

    // Joliet's long Unicode names beat the primary tree's; the primary
    // descriptor is read again when the continuation check reused its buffer.
    if (!ignoreJoliet && TryJolietDescriptors(state, probe, false)) {
        if (overwritten) search = false;
        return true;
    }
    if (overwritten && !ReadBlock(state, std::int64_t{track->start} + kDescriptorBlock, descriptor)) {
        search = false;
        messages::ShowMessage(messages::MessageIdWithFlags(kNoDirectoryMessage), int{track->number});
        return false;
    }
    return ReadPrimaryVolume(state, descriptor);
}

}  // namespace

bool ReadIsoTrack(scan::TrackNode* track, int) {
    using namespace iso;
    device::CDDevice* device = scan::SelectedDevice();
    if (!track || !device) return false;
    // A cancel left over from an earlier track must not stop this one.
    device->ClearAbortFlag();
    IsoTrackState state;
    state.device = device;
    state.track = track;
    WorkBlock work(2);
    if (!work) return false;
    std::uint8_t* descriptor = work.data();
    std::uint8_t* probe = work.data() + kBlockBytes;
    const std::uint8_t* searchFrom = nullptr;
    bool search = false;
    const bool read = ReadTrackVolume(state, descriptor, probe, searchFrom, search);
    // Further sessions inside the track become tracks of their own.
    if (search && !AbortRequested(state)) {
        const bool known = searchFrom && bytes::GetLe32(searchFrom + kVdVolumeSpace) != 0;
        FindNextSession(state, known ? searchFrom : nullptr);
    }
    return read;
}

namespace {

// Copying a file out: only zisofs files need the reader (to expand them);
// every other ISO file is its start and size, which the extractor reads
// itself.
std::unique_ptr<scan::FileDataStream> OpenIsoFile(const scan::FoundItem*, const scan::FoundItem* item,
                                                  const scan::ReadOneBlock& read, std::string& error) {
    const scan::PosixFileInfo* posix = scan::ItemPosixFileInfo(item);
    if (!posix || !posix->zisofs || item->start < 0) {
        error = "its data are not compressed";
        return nullptr;
    }
    return iso::OpenZisofsStream(read, item->start, item->size, posix->compressed, error);
}

}  // namespace

scan::FileSystemReader IsoFileSystem() {
    scan::FileSystemReader entry;
    entry.kind = scan::FileSystemKind::kIso9660;
    entry.name = "ISO 9660";
    entry.readTrack = ReadIsoTrack;
    entry.openFile = OpenIsoFile;
    return entry;
}

}  // namespace dravik::readers
