// One catalogue item per File Identifier Descriptor: its File Entry read
// and checked, its location, size, date and flags taken, its blocks marked
// used, and a subdirectory read in turn.
#include <algorithm>
#include <string>
#include <vector>

#include "program/diag/debug_log.h"
#include "program/messages/scan_progress.h"
#include "program/readers/udf/udf_allocation.h"
#include "program/readers/udf/udf_names.h"
#include "program/readers/udf/udf_reader.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_vat_table.h"
#include "program/scan/found_item.h"
#include "program/settings/settings.h"

namespace dravik::readers::udf {

namespace {

constexpr char kNoName[] = "**NoName**";
// Why a File Entry is bad.
constexpr int kEntryUnreadable = 1;
constexpr int kEntryNotFileEntry = 2;
constexpr int kEntryBadLengths = 4;

// Marks every block of every extent; counts the extents. The blocks marked
// per file are capped at mediaBlocks (more cannot be on the disc).
int MarkExtents(UdfState& state, AllocationWalker& walker) {
    int count = 0;
    std::int64_t budget = state.mediaBlocks;
    AllocationDescriptor d;
    while (walker.Next(d)) {
        ++count;
        if (!state.usedBlocks) continue;
        const std::uint32_t blocks = (LengthOfExtent(d.lengthField) + kBlockBytes - 1) / kBlockBytes;
        for (std::uint32_t k = 0; k < blocks && budget > 0; ++k, --budget)
            MarkUsed(state, MapBlock(state, d.position + k, d.reference));
    }
    return count;
}

scan::FoundItem* MakeItem(UdfState& state, scan::FoundItem* dirItem, scan::FoundItem* prevItem, const std::string& name,
                          std::int64_t entryBlock, std::uint32_t reference, const std::uint8_t* block,
                          const std::uint8_t* entry, int code);

}  // namespace

bool MarkShortExtents(UdfState& state, const std::uint8_t* descriptors, std::size_t length, std::uint32_t reference) {
    const ReadBlockFunction read = Reader(state);
    AllocationWalker walker(state.map, read, descriptors, length, kShortDescriptors, reference);
    walker.onContinuation = [&state](std::int64_t block) { MarkUsed(state, block); };
    return MarkExtents(state, walker) > 1;
}

bool MarkLongExtents(UdfState& state, const std::uint8_t* descriptors, std::size_t length, scan::FoundItem* item) {
    const ReadBlockFunction read = Reader(state);
    AllocationWalker walker(state.map, read, descriptors, length, kLongDescriptors, 0);
    walker.onContinuation = [&state](std::int64_t block) { MarkUsed(state, block); };
    const int count = MarkExtents(state, walker);
    if (walker.Broken() && item) scan::SetItemFlags(item, scan::ItemBroken);
    return count > 1;
}

scan::FoundItem* AddUdfItem(UdfState& state, scan::FoundItem* dirItem, scan::FoundItem* prevItem,
                            const std::uint8_t* fid, std::size_t fidBytes) {
    messages::ProgressTick();
    const std::size_t implementation = GetLe16(fid + kFidImplementationLength);
    const std::size_t nameLength = fid[kFidNameLength];
    if (kFidFixedBytes + implementation + nameLength > fidBytes) return nullptr;
    std::string name = UdfName(nameLength, fid + kFidFixedBytes + implementation);
    if (name.empty()) name = kNoName;

    const std::uint32_t icbBlock = GetLe32(fid + kFidIcbBlock);
    const std::uint32_t reference = GetLe16(fid + kFidIcbPartition);
    const std::int64_t entryBlock = MapBlock(state, icbBlock, reference);
    if (Verbose())
        diag::DebugPrint("Reading file entry at block %d(%d:%d) for %s", static_cast<int>(entryBlock),
                         static_cast<int>(icbBlock), static_cast<int>(reference), name.c_str());
    std::vector<std::uint8_t> block(kBlockBytes);
    const std::uint8_t* entry = nullptr;
    int code = 0;
    const bool checks = !state.ignoreChecksums && settings::ProgramSettings.IgnoreChecksums == 0;
    if ((GetLe32(fid + kFidIcbLength) == 0 && icbBlock == 0) || entryBlock == kNoBlock ||
        entryBlock >= state.mediaBlocks || !ReadBlock(state, entryBlock, block.data())) {
        code = kEntryUnreadable;
    } else if (checks) {
        entry = DescriptorAt(state, block.data(), kTagFileEntry, code);
        if (!entry && code == 0) code = kEntryNotFileEntry;
    } else {
        entry = TagId(block.data()) == kTagDirectCdPrefix ? block.data() + kDirectCdPrefixBytes : block.data();
        if (!IsFileEntryTag(TagId(entry))) {
            entry = nullptr;
            code = kEntryNotFileEntry;
        }
    }
    const std::size_t available = entry ? kBlockBytes - static_cast<std::size_t>(entry - block.data()) : 0;
    if (entry && !EntryLengthsUsable(entry, available)) {
        if (Verbose() && !state.blockScanRunning)
            diag::DebugDump(entry, static_cast<int>(available), "Invalid ExtAttrLength in FE");
        entry = nullptr;
        code = kEntryBadLengths;
    }
    if (!entry) {
        state.udfError = true;
        if (Verbose() && !state.blockScanRunning) {
            diag::DebugPrint("Invalid UDF File Entry, code=%d", code);
            if (code != kEntryUnreadable) diag::DebugDump(block.data(), kBlockBytes, "Invalid UDF File Entry");
        }
    } else if (state.blockScanRunning && IsVatEntry(entry, state.map.partitionStart, Reader(state))) {
        return nullptr;
    }
    return MakeItem(state, dirItem, prevItem, name, entryBlock, reference, block.data(), entry, code);
}

bool EntryLengthsUsable(const std::uint8_t* entry, std::size_t available) {
    std::size_t start = 0;
    std::size_t length = 0;
    return GetLe32(entry + FieldsOf(entry).extendedAttributesLength) <= kMaxExtendedAttributes &&
           DescriptorArea(entry, available, start, length);
}

scan::FoundItem* AddEntryItem(UdfState& state, scan::FoundItem* dirItem, scan::FoundItem* prevItem, const std::string& name,
                              std::int64_t entryBlock, std::uint32_t reference, const std::uint8_t* block) {
    const std::uint8_t* entry = TagId(block) == kTagDirectCdPrefix ? block + kDirectCdPrefixBytes : block;
    return MakeItem(state, dirItem, prevItem, name, entryBlock, reference, block, entry, 0);
}

namespace {

// The item of a File Entry (`entry` inside `block`; null when the entry
// could not be read or checked, `code` then says why).
scan::FoundItem* MakeItem(UdfState& state, scan::FoundItem* dirItem, scan::FoundItem* prevItem, const std::string& name,
                          std::int64_t entryBlock, std::uint32_t reference, const std::uint8_t* block,
                          const std::uint8_t* entry, int code) {
    std::size_t adStart = 0;
    std::size_t adLength = 0;
    if (entry) DescriptorArea(entry, kBlockBytes - static_cast<std::size_t>(entry - block), adStart, adLength);
    scan::FoundItem* item = scan::NewFoundItem(name);
    if (!item) return nullptr;
    item->extents.block = entryBlock == kNoBlock ? 0 : static_cast<std::uint32_t>(entryBlock);
    bool directory = false;
    bool startWasUsed = false;
    if (!entry) {
        item->start = scan::StartNotAvailable;
        item->flags |= scan::ItemMissing;
    } else {
        ++state.fileCount;
        item->fsId = static_cast<std::uint32_t>(entryBlock);
        item->fsPartition = static_cast<std::uint16_t>(reference);
        item->size = GetLe32(entry + kFeInformationLength);
        item->date = UdfDate(entry + FieldsOf(entry).modificationTime);
        directory = entry[kFeFileType] == kFileTypeDirectory;
        const std::uint8_t* ads = entry + adStart;
        std::int64_t start = kNoBlock;
        switch (DescriptorType(entry)) {
            case kShortDescriptors:
                if (adLength >= kShortDescriptorBytes) start = MapBlock(state, GetLe32(ads + 4), reference);
                if (!directory && MarkShortExtents(state, ads, adLength, reference)) item->flags |= scan::ItemFragmented;
                break;
            case kLongDescriptors:
                if (adLength >= kLongDescriptorBytes) start = MapBlock(state, GetLe32(ads + 4), GetLe16(ads + 8));
                if (!directory && MarkLongExtents(state, ads, adLength, item)) item->flags |= scan::ItemFragmented;
                break;
            case kExtendedDescriptors:
                if (adLength >= kExtendedDescriptorBytes) {
                    start = MapBlock(state, GetLe32(ads + 12), GetLe16(ads + 16));
                    if (LengthOfExtent(GetLe32(ads)) != item->size || GetLe32(entry + kFeInformationLength + 4) != 0)
                        item->flags |= scan::ItemFragmented;
                }
                break;
            case kEmbeddedData:
                start = entryBlock;
                item->flags |= scan::ItemFragmented;
                break;
        }
        // An empty file has no extent: it lives in its entry.
        if (start == kNoBlock && item->size == 0 && adLength == 0) start = entryBlock;
        // Whether the start was in use before this entry claimed it (a
        // directory met a second time).
        startWasUsed = IsUsed(state, start);
        if (DescriptorType(entry) == kLongDescriptors) MarkUsed(state, start);
        const bool showAll = settings::ProgramSettings.ShowAll != 0;
        if (start == kNoBlock || (start > state.partitionEnd && !showAll) ||
            (start == state.map.partitionStart && start != entryBlock)) {
            item->start = scan::StartNotAvailable;
            item->flags |= scan::ItemMissing;
        } else {
            item->start = static_cast<std::int32_t>(start);
        }
    }
    scan::LinkItem(dirItem, prevItem, item);

    if (entry && directory) {
        scan::SetItemFlags(item, scan::ItemDirectory);
        if (Verbose())
            diag::DebugPrint("UDF Dir: %s\\%s at %d for %d (%x), FE at %d", dirItem->Name(), item->Name(), item->start,
                             static_cast<int>(item->size), code, static_cast<int>(entryBlock));
        // A directory met again (two directories naming each other, or a
        // link back up the tree) is not read again.
        const bool again = startWasUsed || !state.directoriesRead.insert(entryBlock).second;
        if (again && Verbose()) diag::DebugPrint("Apparent recursion ignored");
        MarkUsed(state, item->start);
        ++state.nestLevel;
        if (!again && !AbortRequested(state) && state.nestLevel < kMaxNestLevel && state.readDirectories) {
            ReadUdfDirectory(state, item, block, reference);
            scan::AddToDirectoryCount(dirItem, item->count);
        }
        --state.nestLevel;
    } else if (Verbose()) {
        diag::DebugPrint("UDF File: %s\\%s at %d for %d (%x), FE at %d", dirItem->Name(), item->Name(), item->start,
                         static_cast<int>(item->size), code, static_cast<int>(entryBlock));
    }
    if (entry) MarkUsed(state, entryBlock);
    return item;
}

}  // namespace

}  // namespace dravik::readers::udf
