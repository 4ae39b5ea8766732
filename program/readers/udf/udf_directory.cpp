// Reading a UDF directory: its data gathered through the File Entry's
// allocation descriptors (or embedded in the entry), then its File
// Identifier Descriptors walked one by one.
#include <algorithm>
#include <cstring>
#include <vector>

#include "program/diag/debug_log.h"
#include "program/messages/display_path.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/readers/udf/udf_allocation.h"
#include "program/readers/udf/udf_reader.h"
#include "program/readers/udf/udf_structures.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::readers::udf {

namespace {

// Arguments of the message about a continuation longer than a block.
constexpr int kLongListCode = 14;
constexpr int kLongListDetail = 5;

// Where the descriptors start: after an extended attribute header (tag 262)
// at its application-attributes location, or the 32-bit offset at its byte
// 32 when that location is past the block; otherwise after L_EA bytes. The
// result always lies inside `available`.
std::size_t DirectoryDescriptorStart(const std::uint8_t* entry, std::size_t available, std::size_t normal) {
    const std::size_t base = FieldsOf(entry).extendedAttributes;
    const std::uint8_t* header = entry + base;
    if (base + kEaFarLocation + 4 > available || TagId(header) != kTagExtendedAttributes) return normal;
    std::uint64_t offset = GetLe32(header + kEaApplicationLocation);
    offset = offset > 2046 ? GetLe32(header + kEaFarLocation) : (offset + 3) & ~std::uint64_t{3};
    const std::uint64_t start = base + offset;
    return start <= available ? static_cast<std::size_t>(start) : normal;
}

// The sum of the recorded extents' lengths (a directory whose entry
// understates its size), capped at kMaxDirectoryBytes.
std::uint32_t RecordedBytes(UdfState& state, const std::uint8_t* descriptors, std::size_t length, int type,
                            std::uint32_t reference, scan::FoundItem* dirItem) {
    const ReadBlockFunction read = [&state](std::int64_t block, std::uint8_t* out) { return ReadBlock(state, block, out); };
    AllocationWalker walker(state.map, read, descriptors, length, type, reference);
    walker.onContinuation = [&state](std::int64_t block) { MarkUsed(state, block); };
    std::uint64_t total = 0;
    AllocationDescriptor d;
    while (total < kMaxDirectoryBytes && walker.Next(d))
        if (TypeOfExtent(d.lengthField) == ExtentType::kRecorded) total += LengthOfExtent(d.lengthField);
    if (walker.LongContinuation())
        messages::ShowMessage(messages::MessageIdWithFlags(kLongExtentListMessage),
                              messages::DisplayPathOf(dirItem).c_str(), kLongListCode, kLongListDetail);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, kMaxDirectoryBytes));
}

enum class Gathered { kDone, kRegrown };

// Reads the recorded extents into `data` (of `size` bytes); kRegrown when
// an extent does not fit. A failed read ends the data there (`size`
// becomes what was read), and the folder is marked as not read completely.
Gathered GatherExtents(UdfState& state, const std::uint8_t* descriptors, std::size_t length, int type,
                       std::uint32_t reference, std::vector<std::uint8_t>& data, std::uint32_t& size,
                       scan::FoundItem* dirItem) {
    const ReadBlockFunction read = [&state](std::int64_t block, std::uint8_t* out) { return ReadBlock(state, block, out); };
    AllocationWalker walker(state.map, read, descriptors, length, type, reference);
    walker.onContinuation = [&state](std::int64_t block) { MarkUsed(state, block); };
    std::uint64_t at = 0;
    AllocationDescriptor d;
    std::vector<std::uint8_t> block(kBlockBytes);
    while (at < size && walker.Next(d)) {
        if (TypeOfExtent(d.lengthField) != ExtentType::kRecorded) continue;
        const std::uint32_t extent = LengthOfExtent(d.lengthField);
        if (at + extent > size) {
            size = static_cast<std::uint32_t>(at);
            return Gathered::kRegrown;
        }
        const std::int64_t first = MarkUsed(state, MapBlock(state, d.position, d.reference));
        if (d.position == 0 || first == kNoBlock || first >= state.mediaBlocks) {
            state.udfError = true;
            if (dirItem) scan::SetItemFlags(dirItem, scan::ItemIncomplete);
            at += extent;
            continue;
        }
        for (std::uint32_t done = 0; done < extent; done += kBlockBytes) {
            const std::int64_t at_block = MapBlock(state, d.position + done / kBlockBytes, d.reference);
            if (AbortRequested(state) || !ReadBlock(state, at_block, block.data())) {
                if (Verbose()) diag::DebugPrint("Directory data end at unreadable block %d", static_cast<int>(at_block));
                if (dirItem && !AbortRequested(state)) scan::SetItemFlags(dirItem, scan::ItemIncomplete);
                size = static_cast<std::uint32_t>(at + done);
                return Gathered::kDone;
            }
            std::memcpy(data.data() + at + done, block.data(), std::min<std::uint32_t>(kBlockBytes, extent - done));
        }
        at += extent;
    }
    return Gathered::kDone;
}

}  // namespace

scan::FoundItem* ReadUdfDirectory(UdfState& state, scan::FoundItem* dirItem, const std::uint8_t* fileEntry,
                                  std::uint32_t reference) {
    int code = 0;
    const std::uint8_t* entry = DescriptorAt(state, fileEntry, kTagFileEntry, code);
    if (!entry) {
        state.udfError = true;
        if (Verbose()) {
            diag::DebugPrint("Invalid Directory Entry, code=%d", code);
            diag::DebugDump(fileEntry, kBlockBytes, "Invalid Directory Entry");
        }
        return nullptr;
    }
    const std::size_t available = kBlockBytes - static_cast<std::size_t>(entry - fileEntry);
    std::size_t start = 0;
    std::size_t length = 0;
    if (!DescriptorArea(entry, available, start, length)) {
        state.udfError = true;
        if (Verbose()) diag::DebugPrint("Invalid Directory Entry, code=%d", 4);
        return nullptr;
    }
    const int type = DescriptorType(entry);
    std::uint32_t size = GetLe32(entry + kFeInformationLength);
    if (GetLe32(entry + kFeInformationLength + 4) != 0 || size > kMaxDirectoryBytes) size = kMaxDirectoryBytes;

    std::vector<std::uint8_t> data;
    if (type == kEmbeddedData) {
        data.assign(entry + start, entry + start + length);
        size = static_cast<std::uint32_t>(std::min<std::size_t>(size, length));
    } else if (type == kExtendedDescriptors) {
        if (Verbose()) diag::DebugPrint("Encountered type-2 directory pointer");
        return nullptr;
    } else {
        start = DirectoryDescriptorStart(entry, available, start);
        length = std::min(length, available - start);
        const std::uint8_t* descriptors = entry + start;
        if (size < kBlockBytes) size = RecordedBytes(state, descriptors, length, type, reference, dirItem);
        if (size > kLargeDirectoryBytes && Verbose())
            diag::DebugPrint("Warning: Directory size of 0x%x seems excessive", size);
        data.assign(std::size_t{size} + kBlockBytes, 0);
        if (GatherExtents(state, descriptors, length, type, reference, data, size, dirItem) == Gathered::kRegrown) {
            // The directory grew past what its entry says: read it once
            // more at the size of its extents (capped); whatever still does
            // not fit is left out.
            {
                scan::CatalogueGuard guard;
                state.track->flags |= scan::TrackDirRegrown;
            }
            size = RecordedBytes(state, descriptors, length, type, reference, dirItem);
            data.assign(std::size_t{size} + kBlockBytes, 0);
            GatherExtents(state, descriptors, length, type, reference, data, size, dirItem);
        }
    }
    return ReadFidStream(state, data.data(), size, dirItem);
}

scan::FoundItem* ReadFidStream(UdfState& state, std::uint8_t* data, std::uint32_t length, scan::FoundItem* dirItem) {
    std::size_t at = 0;
    // Extended attributes before the identifiers.
    if (length >= kEaHeaderBytes && TagId(data) == kTagExtendedAttributes) {
        at = kEaHeaderBytes;
        while (at + 12 <= length) {
            const std::uint32_t attribute = GetLe32(data + at + 8);
            if (attribute == 0 || attribute >= length || data[at + 5] || data[at + 6] || data[at + 7] ||
                attribute > length - at)
                break;
            at += attribute;
        }
    }
    if (at + kFidFixedBytes > length) {
        state.udfError = true;
        if (Verbose()) diag::DebugPrint("Invalid UDF File Identifier block, err=%d", 1);
        return nullptr;
    }
    {
        int code = 0;
        std::uint8_t first[kBlockBytes] = {};
        std::memcpy(first, data + at, std::min<std::size_t>(kBlockBytes, length - at));
        const std::uint8_t* fid = DescriptorAt(state, first, kTagFileIdentifier, code);
        if (!fid) {
            state.udfError = true;
            if (Verbose()) {
                diag::DebugPrint("Invalid UDF File Identifier block, err=%d", code);
                diag::DebugDump(first, kBlockBytes, "Invalid UDF File Identifier block");
            }
            return nullptr;
        }
        at += static_cast<std::size_t>(fid - first);
    }
    scan::FoundItem* firstItem = nullptr;
    scan::FoundItem* last = nullptr;
    while (at + kFidFixedBytes <= length && !AbortRequested(state)) {
        std::uint8_t* fid = data + at;
        if (TagId(fid) != kTagFileIdentifier) break;
        const std::size_t bytes =
            (kFidFixedBytes + GetLe16(fid + kFidImplementationLength) + fid[kFidNameLength] + 3) & ~std::size_t{3};
        if (bytes > length - at) break;
        at += bytes;
        if (fid[kFidCharacteristics] & kFidParent) continue;
        const std::int64_t entryBlock = MapBlock(state, GetLe32(fid + kFidIcbBlock), GetLe16(fid + kFidIcbPartition));
        if (entryBlock != kNoBlock && dirItem->fsId != 0 && entryBlock == std::int64_t{dirItem->fsId}) {
            scan::SetItemFlags(dirItem, scan::ItemSelfLink);
            fid[kFidCharacteristics] |= kFidParent;
            continue;
        }
        scan::FoundItem* item = AddUdfItem(state, dirItem, last, fid, bytes);
        if (!item) continue;
        if (fid[kFidCharacteristics] & kFidDeleted) scan::SetItemFlags(item, scan::ItemDeleted);
        if (!firstItem) firstItem = item;
        last = item;
    }
    return firstItem;
}

}  // namespace dravik::readers::udf
