// Directories the walk could not reach because a parent's directory sector
// was unreadable or zeroed, found again through the volume's path table:
// every directory the table lists and the walk did not read is read and
// hung under its parent by the table's parent numbers, so its files keep
// their full paths. Runs only after a walk that met such damage.
//
// Limits: the path table is read only when its size is at most
// kMaxPathTableBytes; a record must lie inside the table and name a parent
// listed before it; at most 65535 directories are taken (the table's
// numbers are 16-bit).
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "program/diag/debug_log.h"
#include "program/readers/iso9660/iso_names.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::readers::iso {

namespace {

constexpr std::size_t kMaxPathTableEntries = 65535;

struct PathEntry {
    std::uint32_t extent;
    std::uint16_t parent;  // number of the parent's entry, from 1
    std::string identifier;  // as recorded
};

std::optional<std::vector<std::uint8_t>> ReadPathTable(IsoTrackState& state, std::int64_t location,
                                                        std::uint32_t size) {
    std::vector<std::uint8_t> table((size + kBlockBytes - 1) / kBlockBytes * kBlockBytes);
    for (std::size_t at = 0; at < table.size(); at += kBlockBytes) {
        if (AbortRequested(state)) return std::nullopt;
        const std::int64_t block = MapLocation(state, location) + static_cast<std::int64_t>(at / kBlockBytes);
        if (block >= state.readLimit || !ReadBlock(state, block, table.data() + at)) return std::nullopt;
    }
    table.resize(size);
    return table;
}

std::vector<PathEntry> ParsePathTable(const std::vector<std::uint8_t>& table, bool bigEndian) {
    std::vector<PathEntry> entries;
    std::size_t at = 0;
    while (at + kPtId <= table.size() && entries.size() < kMaxPathTableEntries) {
        const std::uint8_t* record = table.data() + at;
        const std::size_t idLength = record[kPtIdLength];
        if (idLength == 0 || at + kPtId + idLength > table.size()) break;
        PathEntry entry;
        entry.extent = bigEndian ? bytes::GetBe32(record + kPtExtent) : bytes::GetLe32(record + kPtExtent);
        entry.parent = bigEndian ? bytes::GetBe16(record + kPtParent) : bytes::GetLe16(record + kPtParent);
        entry.identifier.assign(reinterpret_cast<const char*>(record + kPtId), idLength);
        entries.push_back(std::move(entry));
        at += kPtId + idLength + (idLength % 2);
    }
    return entries;
}

// Every directory item below `top` (and `top` itself) by its start block.
void MapDirectories(scan::FoundItem* top, std::map<std::int32_t, scan::FoundItem*>& byStart) {
    std::vector<scan::FoundItem*> pending{top};
    while (!pending.empty()) {
        scan::FoundItem* item = pending.back();
        pending.pop_back();
        if (item->start != scan::StartNotAvailable) byStart.emplace(item->start, item);
        for (scan::FoundItem* child = item->firstChild; child; child = child->next)
            if ((child->flags & scan::ItemDirectory) && !scan::IsHiddenEntry(child)) pending.push_back(child);
    }
}

int Depth(const scan::FoundItem* item) {
    int depth = 0;
    for (; item->parent; item = item->parent) ++depth;
    return depth;
}

std::string EntryName(IsoTrackState& state, const PathEntry& entry, DirectoryFormat format) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(entry.identifier.data());
    if (format == DirectoryFormat::kJoliet && entry.identifier.size() > 1)
        return Ucs2BeToUtf8(bytes, entry.identifier.size(), state.nameFailed);
    return IsoBytesToUtf8(bytes, entry.identifier.size());
}

// Reads one directory the walk did not reach and hangs it under `parent`.
scan::FoundItem* RecoverDirectory(IsoTrackState& state, scan::FoundItem* parent, const PathEntry& entry,
                                  std::int64_t block, DirectoryFormat format) {
    // The directory's own entry gives its length and date.
    WorkBlock buffer;
    if (!buffer) return nullptr;
    std::uint32_t length = kBlockBytes;
    const std::uint8_t* date = nullptr;
    if (ReadBlock(state, block, buffer.data()) && buffer.data()[kDrLength] >= kDrMinimumBytes &&
        IsSelfEntry(buffer.data()) && RecordDataLength(buffer.data()) > 0 &&
        RecordDataLength(buffer.data()) <= kMaxDirectoryDataLength) {
        length = RecordDataLength(buffer.data());
        date = buffer.data() + kDrDate;
    }
    scan::FoundItem* item = scan::NewFoundItem(EntryName(state, entry, format));
    if (!item) return nullptr;
    item->flags = scan::ItemDirectory;
    item->start = static_cast<std::int32_t>(block);
    item->size = length;
    if (date) item->date = scan::ItemDateFromIso(date);
    scan::AppendItem(parent, item);
    ++state.itemsMade;
    state.nestLevel = Depth(item);
    if (state.nestLevel < kMaxNestLevel) ReadIsoDirectory(state, item, block, length, format);
    state.nestLevel = 0;
    if (Verbose())
        diag::DebugPrint("Directory %s at block %d recovered through the path table under %s", item->Name(),
                         static_cast<int>(block), parent->Name());
    return item;
}

}  // namespace

void RecoverThroughPathTable(IsoTrackState& state, scan::FoundItem* root, const std::uint8_t* descriptor,
                             DirectoryFormat format) {
    if (state.badBlocks == 0 && state.directoriesCut == 0) return;
    const std::uint32_t size = bytes::GetLe32(descriptor + kVdPathTableSize);
    if (size == 0 || size > kMaxPathTableBytes) return;
    if (Verbose()) diag::DebugPrint("Directory walk met damage; looking for unreached directories in the path table");
    std::optional<std::vector<std::uint8_t>> table = ReadPathTable(state, bytes::GetLe32(descriptor + kVdPathTableL), size);
    bool bigEndian = false;
    if (!table) {
        table = ReadPathTable(state, bytes::GetBe32(descriptor + kVdPathTableM), size);
        bigEndian = true;
    }
    if (!table) {
        if (Verbose()) diag::DebugPrint("Path table unreadable; no directories recovered");
        return;
    }
    const std::vector<PathEntry> entries = ParsePathTable(*table, bigEndian);
    std::map<std::int32_t, scan::FoundItem*> byStart;
    MapDirectories(root, byStart);
    std::vector<scan::FoundItem*> byNumber(entries.size() + 1, nullptr);
    int recovered = 0;
    for (std::size_t index = 0; index < entries.size() && !AbortRequested(state); ++index) {
        const std::size_t number = index + 1;
        if (number == 1) {
            byNumber[1] = root;
            continue;
        }
        const PathEntry& entry = entries[index];
        const std::int64_t block = MapLocation(state, entry.extent);
        if (block < 0 || block >= state.readLimit) continue;
        if (auto known = byStart.find(static_cast<std::int32_t>(block)); known != byStart.end()) {
            byNumber[number] = known->second;
            continue;
        }
        // Parents come before their children in a path table.
        if (entry.parent == 0 || entry.parent >= number || !byNumber[entry.parent]) continue;
        if (state.itemsMade >= kMaxItemsPerTree) break;
        scan::FoundItem* item = RecoverDirectory(state, byNumber[entry.parent], entry, block, format);
        if (!item) continue;
        byNumber[number] = item;
        MapDirectories(item, byStart);
        ++recovered;
    }
    if (recovered > 0) scan::RecountDirectories(root);
    if (Verbose()) diag::DebugPrint("%d directories recovered through the path table", recovered);
}

}  // namespace dravik::readers::iso
