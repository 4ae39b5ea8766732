// A High Sierra volume: the older format's descriptor and directories,
// read without offsets, multi-extent files or Rock Ridge names.
#include <string>

#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/readers/iso9660/iso_names.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "program/messages/show_status.h"

namespace dravik::readers::iso {

bool ReadHighSierraVolume(IsoTrackState& state, const std::uint8_t* descriptor) {
    scan::TrackNode* track = state.track;
    SetTrackFlags(track, scan::TrackHighSierra);
    state.readLimit = ReadLimitFor(track, bytes::GetLe32(descriptor + kHsVolumeSpace));
    const std::string volume = TrimVolumeIdentifier(IsoBytesToUtf8(descriptor + kHsVolumeId, 32));
    scan::FoundItem* root = MakeRootItem(state, volume, bytes::GetLe32(descriptor + kHsRootExtent),
                                         bytes::GetLe32(descriptor + kHsRootLength), descriptor + kHsRootDate);
    if (!root) return false;
    messages::ShowStatus(kHighSierraStatus, int{track->number}, volume.c_str());
    BeginTree(state);
    {
        QuietReads quiet(state);
        ReadIsoDirectory(state, root, root->start, root->size, DirectoryFormat::kHighSierra);
    }
    ShowTrackTree(root);
    if (state.badBlocks != 0) messages::ShowMessage(messages::MessageIdWithFlags(kBadBlocksMessage), state.badBlocks);
    return true;
}

}  // namespace dravik::readers::iso
