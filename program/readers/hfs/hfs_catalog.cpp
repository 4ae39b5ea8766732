// The catalog walk: the leaf records of the catalog B*-tree become items
// below the track's root, folders in a first pass and files in a second.
// A record whose parent folder is not in the catalogue yet (a folder whose
// records come before its parent's) waits in a deferred list that is
// retried until a round places nothing more. When the leaf chain breaks
// (an unreadable node, a link out of the tree or back into the chain), the
// rest of the catalog's leaf nodes are found by looking at every node.
#include <algorithm>
#include <set>
#include <span>
#include <unordered_map>
#include <vector>

#include "program/diag/debug_log.h"
#include "platform/byte_order.h"
#include "program/readers/hfs/hfs_volume.h"
#include "program/readers/hfs/mac_roman.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/found_item.h"
#include "program/scan/mac_file_info.h"
#include "program/scan/track_list.h"

namespace dravik::readers::hfs {

namespace {

constexpr std::size_t kKeyNameOffset = 6;
constexpr char kNoName[] = "**NoName**";

enum class Pass { kFolders, kFiles };

struct Record {
    std::vector<std::uint8_t> key;   // key length byte and key
    std::vector<std::uint8_t> data;  // up to the end of the node's records
};

struct Walk {
    Walk(HfsVolume& v, HfsTree& c) : volume(v), catalog(c), track(v.track) {}
    HfsVolume& volume;
    HfsTree& catalog;
    scan::TrackNode* track;
    scan::FoundItem* root = nullptr;
    std::unordered_map<std::uint32_t, scan::FoundItem*> folders;      // by directory ID
    std::unordered_map<scan::FoundItem*, scan::FoundItem*> lastChild;  // of each folder
    std::set<std::uint32_t> filesMade;  // file IDs, so a swept node cannot add a file twice
    std::size_t items = 0;
};

std::string RecordName(std::span<const std::uint8_t> key) {
    std::size_t length = key.size() > kKeyNameOffset ? key[kKeyNameOffset] : 0;
    length = std::min(length, key.size() - std::min(key.size(), kKeyNameOffset + 1));
    const std::uint8_t* name = key.data() + kKeyNameOffset + 1;
    // Trailing blanks and control bytes go; Mac characters (128 and up) stay.
    while (length > 0 && name[length - 1] <= 32) --length;
    if (length == 0) return kNoName;
    return MacRomanToUtf8(name, length);
}

void AppendHfsChild(Walk& walk, scan::FoundItem* item, scan::FoundItem* dir) {
    scan::FoundItem*& last = walk.lastChild[dir];
    scan::LinkItem(dir, last, item);
    last = item;
}

// The sectors of a fork: its first three extents, then the overflow
// records that continue it, for as many allocation blocks as `size` needs.
scan::MacFork ForkRuns(const HfsVolume& volume, std::uint32_t fileId, std::uint8_t fork, const ExtentRecord& first,
                       std::uint32_t size) {
    scan::MacFork result;
    result.size = size;
    const std::uint32_t blockSize = volume.mdb.blockSize;
    const std::uint64_t needed = (std::uint64_t{size} + blockSize - 1) / blockSize;
    std::uint64_t have = 0;
    const ExtentRecord* record = &first;
    while (have < needed && result.runs.size() < kMaxForkRuns) {
        for (const Extent& extent : *record) {
            if (extent.count == 0 || have >= needed) continue;
            const std::uint64_t take = std::min<std::uint64_t>(extent.count, needed - have);
            const std::int64_t sector = AllocationBlockSector(volume, extent.start);
            const auto sectors = static_cast<std::uint32_t>(take * (blockSize / kSectorBytes));
            if (!result.runs.empty() && result.runs.back().firstSector + result.runs.back().sectors == sector)
                result.runs.back().sectors += sectors;
            else
                result.runs.push_back({sector, sectors});
            have += take;
        }
        if (have >= needed || have > 0xFFFF) break;
        const auto next = volume.overflow.find({fileId, fork, static_cast<std::uint32_t>(have)});
        if (next == volume.overflow.end()) break;
        record = &next->second;
    }
    result.whole = have >= needed;
    return result;
}

scan::FoundItem* ParentOf(Walk& walk, std::uint32_t parentId) {
    const auto found = walk.folders.find(parentId);
    return found == walk.folders.end() ? nullptr : found->second;
}

// False when the record's parent folder is not in the catalogue yet.
bool AddHfsRecord(Walk& walk, std::span<const std::uint8_t> key, std::span<const std::uint8_t> data, Pass pass) {
    if (key.size() < kKeyNameOffset + 1 || data.empty() || walk.items >= kMaxHfsItems) return true;
    const std::uint32_t parentId = bytes::GetBe32(key.data() + 2);
    const std::uint8_t type = data[0];
    if (type == kFileRecord && pass == Pass::kFiles && data.size() >= kFileRecordBytes) {
        const std::uint8_t* d = data.data();
        const std::uint32_t fileId = bytes::GetBe32(d + 20);
        if (walk.filesMade.count(fileId)) return true;
        const ExtentRecord dataExtents = ReadExtentRecord(d + 74);
        const ExtentRecord resourceExtents = ReadExtentRecord(d + 86);
        scan::MacFileInfo info;
        std::copy(d + 4, d + 8, info.type.begin());
        std::copy(d + 8, d + 12, info.creator.begin());
        std::copy(d + 4, d + 20, info.finderInfo.begin());
        std::copy(d + 56, d + 72, info.finderInfo.begin() + 16);
        info.data = ForkRuns(walk.volume, fileId, kDataFork, dataExtents, bytes::GetBe32(d + 26));
        info.resource = ForkRuns(walk.volume, fileId, kResourceFork, resourceExtents, bytes::GetBe32(d + 36));
        const std::string name = RecordName(key);
        if (Verbose())
            diag::DebugPrint("File: %35s id:%d Start:%d(%d) Size:%d RStart:%d RSize:%d", name.c_str(),
                             static_cast<int>(fileId), dataExtents[0].start, dataExtents[0].count,
                             static_cast<int>(info.data.size), resourceExtents[0].start,
                             static_cast<int>(info.resource.size));
        scan::FoundItem* parent = ParentOf(walk, parentId);
        if (!parent) return false;
        scan::FoundItem* item = scan::NewFoundItem(name);
        if (!item) return true;
        item->fsId = fileId;
        item->size = info.data.size;
        item->start = info.data.size == 0 ? scan::StartNotAvailable : static_cast<std::int32_t>(dataExtents[0].start);
        if (!info.data.whole) item->flags |= scan::ItemMissing;
        if (info.data.runs.size() > 1) item->flags |= scan::ItemFragmented;
        item->date = HfsDate(bytes::GetBe32(d + 48));
        scan::SetMacFileInfo(item, std::move(info));
        AppendHfsChild(walk, item, parent);
        walk.filesMade.insert(fileId);
        ++walk.items;
        return true;
    }
    if (type == kFolderRecord && pass == Pass::kFolders && data.size() >= kFolderRecordBytes) {
        const std::uint8_t* d = data.data();
        const std::uint32_t dirId = bytes::GetBe32(d + 6);
        if (walk.folders.count(dirId)) return true;
        scan::FoundItem* parent = nullptr;
        if (walk.root) {
            parent = ParentOf(walk, parentId);
            if (!parent) return false;
        }
        const std::string name = RecordName(key);
        scan::FoundItem* item = scan::NewFoundItem(walk.root ? name : scan::RootItemName(name, walk.track->session));
        if (!item) return true;
        item->fsId = dirId;
        item->start = static_cast<std::int32_t>(dirId);
        item->flags = scan::ItemDirectory;
        item->date = HfsDate(bytes::GetBe32(d + 14));
        if (parent) {
            AppendHfsChild(walk, item, parent);
        } else {
            scan::AttachRootItem(walk.track, item);
            walk.root = item;
        }
        walk.folders[dirId] = item;
        ++walk.items;
        return true;
    }
    return true;
}

// The records of one leaf node, checked against the node: a record offset
// inside the record area, a key that ends before the offset table, data
// that starts inside it.
std::vector<Record> LeafRecords(const std::uint8_t* node, std::uint32_t nodeSize) {
    std::vector<Record> records;
    const std::uint32_t count = NodeRecordCount(node, nodeSize);
    const std::size_t end = nodeSize - 2 * std::size_t{count};
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::size_t offset = RecordOffset(node, nodeSize, k);
        if (offset == 0) continue;
        const std::size_t keyEnd = offset + 1 + node[offset];
        const std::size_t data = (keyEnd + 1) & ~std::size_t{1};
        if (node[offset] < kKeyNameOffset || keyEnd > end || data >= end) continue;
        records.push_back({std::vector<std::uint8_t>(node + offset, node + keyEnd),
                           std::vector<std::uint8_t>(node + data, node + end)});
    }
    return records;
}

bool IsLeaf(const std::uint8_t* node) { return node[8] == kLeafNode && node[9] == 1; }

void AddNode(Walk& walk, const std::uint8_t* node, Pass pass, std::vector<Record>& deferred) {
    for (Record& record : LeafRecords(node, walk.catalog.nodeSize))
        if (!AddHfsRecord(walk, record.key, record.data, pass)) deferred.push_back(std::move(record));
}

void WalkPass(Walk& walk, Pass pass) {
    HfsTree& catalog = walk.catalog;
    const bool dumps = diag::DebugMode.load() && diag::LogWriteThrough.load();
    std::vector<Record> deferred;
    std::set<std::uint32_t> visited;
    bool broken = false;
    for (std::uint32_t n = catalog.firstLeaf; n != 0;) {
        if (AbortRequested(walk.volume)) return;
        if (visited.size() >= kMaxVisitedNodes || !visited.insert(n).second) {
            diag::DebugPrint("HFS: leaf node %u links back into the chain; chain ended", n);
            broken = true;
            break;
        }
        const std::uint8_t* node = ReadHfsNode(walk.volume, catalog, n);
        if (!node || !IsLeaf(node)) {
            if (node) diag::DebugPrint("HFS: node %u in the leaf chain is not a leaf node; chain ended", n);
            broken = true;
            break;
        }
        if (dumps) diag::DebugDump(node, static_cast<int>(catalog.nodeSize), "Catalog node");
        AddNode(walk, node, pass, deferred);
        n = bytes::GetBe32(node);
    }
    if (broken) {
        // Every other leaf node of the catalog file, in node order.
        const std::uint64_t fileNodes = walk.volume.mdb.catalogFileSize / catalog.nodeSize;
        const std::uint64_t last = std::min<std::uint64_t>({fileNodes, catalog.nodeCount ? catalog.nodeCount : fileNodes,
                                                            std::uint64_t{kMaxSweptNodes}});
        if (pass == Pass::kFolders)
            diag::DebugPrint("HFS: looking for the catalog's other leaf nodes among %llu nodes",
                             static_cast<unsigned long long>(last));
        for (std::uint32_t n = 1; n < last && !AbortRequested(walk.volume); ++n) {
            if (visited.count(n)) continue;
            const std::uint8_t* node = ReadHfsNode(walk.volume, catalog, n);
            if (node && IsLeaf(node)) AddNode(walk, node, pass, deferred);
        }
    }
    // Rounds over the deferred records until one places nothing (or the
    // tries run out: a chain of folders each deferred behind the next).
    std::uint64_t tries = 0;
    for (bool placed = true; placed && !deferred.empty() && !AbortRequested(walk.volume);) {
        placed = false;
        std::vector<Record> again;
        for (Record& record : deferred) {
            if (++tries <= kMaxDeferredTries && AddHfsRecord(walk, record.key, record.data, pass))
                placed = true;
            else
                again.push_back(std::move(record));
        }
        deferred.swap(again);
    }
    if (!deferred.empty() && Verbose())
        diag::DebugPrint("HFS: %zu catalog records without a parent folder dropped", deferred.size());
}

}  // namespace

void WalkHfsCatalog(HfsVolume& volume, HfsTree& catalog) {
    if (Verbose()) {
        if (const std::uint8_t* node = ReadHfsNode(volume, catalog, 0))
            diag::DebugDump(node, static_cast<int>(catalog.nodeSize), "1st Catalog block");
    }
    Walk walk(volume, catalog);
    WalkPass(walk, Pass::kFolders);
    WalkPass(walk, Pass::kFiles);
    if (walk.root) scan::RecountDirectories(walk.root);
}

void ShowHfsTree(scan::FoundItem* root) { scan::ShowDirectoryTree(root, false); }

}  // namespace dravik::readers::hfs
