// Rock Ridge entries of the ISO directory walk: each record's System Use
// area read with its continuation areas, and what the entries give the
// record's item.
#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/readers/iso9660/rock_ridge.h"
#include "program/scan/found_item.h"
#include "program/scan/posix_file_info.h"

namespace dravik::readers::iso {

RockRidgeEntries RecordRockRidge(IsoTrackState& state, const std::uint8_t* record, std::size_t recordLength,
                                 bool rootSelfEntry) {
    // The root's own entry holds "SP" at the very start of its area, before
    // any skip is known.
    const std::uint8_t* area = nullptr;
    std::size_t length = 0;
    SystemUseArea(record, recordLength, rootSelfEntry ? 0 : static_cast<std::size_t>(state.systemUseSkip), area,
                  length);
    if (length < 4) return {};
    const ContinuationBlockReader read = [&state](std::uint32_t recorded, const std::uint8_t*& data) {
        const std::int64_t block = MapLocation(state, recorded);
        if (block != state.continuationBlock) {
            state.continuationBlock = block;
            state.continuationReadable = block >= 0 && block < state.readLimit && ReadBlock(state, block, state.continuationData);
            if (!state.continuationReadable && Verbose())
                diag::DebugPrint("Rock Ridge continuation area at sector %lld not read", static_cast<long long>(block));
        }
        data = state.continuationData;
        return state.continuationReadable;
    };
    RockRidgeEntries entries = ParseSystemUse(area, length, read);
    if (rootSelfEntry && entries.sharingProtocol) state.systemUseSkip = entries.skipBytes;
    return entries;
}

void ApplyRockRidge(const RockRidgeEntries& entries, scan::FoundItem* item) {
    if (entries.hasModified) item->date = entries.modified;
    if (!entries.hasMode && !entries.symlink && !entries.zisofs) return;
    scan::PosixFileInfo info;
    info.hasMode = entries.hasMode;
    info.mode = entries.mode;
    // A link is a link by its "SL" entry; a mode that says link without
    // a target leaves a plain file.
    info.symlink = entries.symlink && !(item->flags & scan::ItemDirectory);
    if (info.symlink) info.linkTarget = entries.linkTarget;
    if (entries.zisofs && !info.symlink && !(item->flags & scan::ItemDirectory)) {
        info.zisofs = true;
        info.compressed.storedSize = item->size;
        info.compressed.headerSize = entries.zisofsHeaderSize;
        info.compressed.blockLog2 = entries.zisofsBlockLog2;
        item->size = entries.zisofsSize;
    }
    scan::SetPosixFileInfo(item, std::move(info));
}

}  // namespace dravik::readers::iso
