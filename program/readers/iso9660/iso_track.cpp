// ReadIsoTrack: decides which file system a data track holds (UDF on
// packet-written and bridge discs, Joliet, ISO 9660, High Sierra, HFS) and
// reads the ISO family's tree into the catalogue, with the recoveries for
// damaged descriptors.
#include <string>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/readers/hfs/hfs_reader.h"
#include "program/readers/iso9660/iso_names.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/readers/reader_entries.h"
#include "program/readers/udf/udf_probe.h"
#include "program/scan/driver/scan_device.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "program/shell/show_status.h"

namespace dravik::readers {

namespace iso {

namespace {

bool TryUdf(scan::TrackNode* track, std::uint8_t* probe) {
    if (!ProbeUdf(track, probe)) return false;
    if (track->rootItem) ShowTrackTree(track->rootItem);
    return true;
}

// Blocks start+17 to start+31: the first supplementary descriptor that
// reads as a Joliet volume ends the search with true.
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
    // 10.
    if (AbortRequested(state)) {
        LogAbort(state);
        return false;
    }
    // 11.
    const std::uint32_t rootExtent = bytes::GetLe32(descriptor + kVdRootExtent);
    if (std::int64_t{rootExtent} < track->start) {
        if (Verbose()) diag::DebugPrint("Directory before track, trying offset: %d, %d", static_cast<int>(rootExtent), track->start);
        messages::ShowMessage(messages::MessageIdWithFlags(kRootBeforeTrackMessage), int{track->number});
        ClearTrackFlags(track, scan::TrackIso);
        return false;
    }
    // 12, 13.
    const std::uint32_t volumeSpace = bytes::GetLe32(descriptor + kVdVolumeSpace);
    state.readLimit = ReadLimitFor(track, volumeSpace);
    FindImageOffset(state, bytes::GetLe32(descriptor + kVdPathTableL), rootExtent);
    // 14.
    const std::string volume =
        TrimVolumeIdentifier(IsoBytesToUtf8(descriptor + kVdVolumeId, 32));
    std::uint32_t rootSize = bytes::GetLe32(descriptor + kVdRootLength);
    if (rootSize == 0) rootSize = kBlockBytes;
    scan::FoundItem* root = MakeRootItem(state, volume, MapLocation(state, rootExtent), rootSize, descriptor + kVdRootDate);
    if (!root) return false;
    shell::ShowStatus(kIsoVolumeStatus, int{track->number}, volume.c_str());
    // 15.
    BeginTree(state);
    {
        QuietReads quiet(state);
        ReadIsoDirectory(state, root, root->start, root->size, DirectoryFormat::kIso);
        if (!AbortRequested(state)) RecoverThroughPathTable(state, root, descriptor, DirectoryFormat::kIso);
    }
    // 16.
    if (AbortRequested(state)) LogAbort(state);
    ShowTrackTree(root);
    if (state.badBlocks != 0) messages::ShowMessage(messages::MessageIdWithFlags(kBadBlocksMessage), state.badBlocks);
    if ((track->flags & scan::TrackFilesMissing) && std::int64_t{track->end} >= std::int64_t{volumeSpace})
        messages::ShowMessage(messages::MessageIdWithFlags(kFilesMissingMessage), int{track->session});
    return true;
}

}  // namespace iso

bool ReadIsoTrack(scan::TrackNode* track, int) {
    using namespace iso;
    device::CDDevice* device = scan::SelectedDevice();
    if (!track || !device) return false;
    // 1.
    device->ClearAbortFlag();
    IsoTrackState state;
    state.device = device;
    state.track = track;
    WorkBlock work(2);
    if (!work) return false;
    std::uint8_t* descriptor = work.data();
    std::uint8_t* probe = work.data() + kBlockBytes;
    const bool ignoreJoliet = settings::ProgramSettings.IgnoreJoliet != 0;

    // 2.
    const bool packet = (track->flags & scan::TrackPacket) || (track->next && (track->next->flags & scan::TrackPacket));
    if (packet && !ignoreJoliet && TryUdf(track, probe)) return true;

    // 3.
    if (!ReadBlock(state, std::int64_t{track->start} + kDescriptorBlock, descriptor)) {
        // 9.
        if (!LocateRootByScanning(state, descriptor)) {
            messages::ShowMessage(messages::MessageIdWithFlags(kNoDirectoryMessage), int{track->number});
            return false;
        }
        return ReadPrimaryVolume(state, descriptor);
    }
    // 4.
    if (Verbose()) diag::DebugDumpSector(descriptor, track->start + kDescriptorBlock, "ISO:PVD/SVD");
    if (IsHighSierraDescriptor(descriptor)) return ReadHighSierraVolume(state, descriptor);

    // 5.
    if (!IsPrimaryDescriptor(descriptor)) {
        if (!ignoreJoliet) {
            if (TryUdf(track, probe)) return true;
            if (ReadHfsTrack(track, 0)) return true;
        }
        // Another kind of volume structure (UDF, a boot record) is not ours.
        // With IgnoreJoliet on, UDF and HFS are not asked; a block without
        // any descriptor then goes to the directory search rather than
        // being taken as a primary descriptor full of zeros or garbage.
        if (HoldsKnownDescriptor(descriptor)) return false;
        switch (RescueVolumeWithoutDescriptor(state, descriptor, probe, !ignoreJoliet)) {
            case Rescue::kJoliet: return true;
            case Rescue::kBuiltDescriptor: return ReadPrimaryVolume(state, descriptor);
            case Rescue::kNone: return false;
        }
    }

    // 6.
    SetTrackFlags(track, scan::TrackIso);
    if (IsCdiBridge(descriptor)) SetTrackFlags(track, scan::TrackCdiBridge);
    if (!(track->flags & scan::TrackUdfFound) && !ignoreJoliet && TryUdf(track, probe)) return true;

    // 7.
    bool overwritten = false;
    const std::uint32_t volumeSpace = bytes::GetLe32(descriptor + kVdVolumeSpace);
    if (std::int64_t{track->end} < std::int64_t{track->start} + volumeSpace)
        overwritten = CheckTrackContinuation(state, descriptor);

    // 8.
    if (!ignoreJoliet && TryJolietDescriptors(state, probe, false)) return true;
    if (overwritten && !ReadBlock(state, std::int64_t{track->start} + kDescriptorBlock, descriptor)) {
        messages::ShowMessage(messages::MessageIdWithFlags(kNoDirectoryMessage), int{track->number});
        return false;
    }
    return ReadPrimaryVolume(state, descriptor);
}

}  // namespace dravik::readers
