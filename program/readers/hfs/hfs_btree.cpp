// Reading an HFS volume's B*-tree files: sectors and allocation blocks
// through the selected drive, file blocks mapped through a file's extents
// and the extents overflow file, nodes through a one-allocation-block
// cache, and the records of a node, checked against the node.
#include <algorithm>
#include <cstring>
#include <limits>
#include <set>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "platform/byte_order.h"
#include "program/readers/hfs/hfs_volume.h"
#include "program/scan/scan_state.h"

namespace dravik::readers::hfs {

namespace {
constexpr std::int64_t kLastDiscBlock = std::numeric_limits<std::int32_t>::max();
}  // namespace

ExtentRecord ReadExtentRecord(const std::uint8_t* at) {
    ExtentRecord record;
    for (int i = 0; i < 3; ++i) record[i] = {bytes::GetBe16(at + 4 * i), bytes::GetBe16(at + 4 * i + 2)};
    return record;
}

bool Verbose() { return diag::DebugMode.load(); }

bool AbortRequested(const HfsVolume& volume) {
    return scan::CloseRequested.load() != 0 || (volume.device && volume.device->IsAbortSet());
}

bool ReadSector(HfsVolume& volume, std::int64_t sector, std::uint8_t* out) {
    if (sector < 0 || !volume.device) return false;
    const std::int64_t block = sector / kSectorsPerBlock;
    if (block > kLastDiscBlock) return false;
    if (block != volume.bufferedBlock) {
        volume.bufferedBlock = -1;
        if (!volume.device->ReadCD(static_cast<int>(block), volume.buffer.data(), 1)) return false;
        volume.bufferedBlock = block;
    }
    std::memcpy(out, volume.buffer.data() + (sector % kSectorsPerBlock) * kSectorBytes, kSectorBytes);
    return true;
}

std::int64_t AllocationBlockSector(const HfsVolume& volume, std::uint32_t allocBlock) {
    return volume.partitionBase + volume.allocationBase +
           std::int64_t{allocBlock} * (volume.mdb.blockSize / kSectorBytes);
}

bool ReadHfsBlock(HfsVolume& volume, std::int64_t allocBlock, std::uint8_t* out) {
    bool ok = allocBlock >= 0 && allocBlock <= std::numeric_limits<std::uint32_t>::max() && volume.device;
    if (ok) {
        std::int64_t sector = AllocationBlockSector(volume, static_cast<std::uint32_t>(allocBlock));
        std::uint32_t remaining = volume.mdb.blockSize;
        std::uint8_t* at = out;
        while (ok && remaining > 0) {
            // Whole disc blocks in one read; a sector inside a block, or the
            // last part of one, through the one-block buffer.
            const std::int64_t wholeBlocks =
                std::min<std::int64_t>(remaining / (kSectorsPerBlock * kSectorBytes), kMaxBlocksPerRead);
            if (sector % kSectorsPerBlock == 0 && wholeBlocks > 0) {
                const std::int64_t block = sector / kSectorsPerBlock;
                ok = block + wholeBlocks - 1 <= kLastDiscBlock &&
                     volume.device->ReadCD(static_cast<int>(block), at, static_cast<int>(wholeBlocks));
                const auto bytes = static_cast<std::uint32_t>(wholeBlocks * kSectorsPerBlock * kSectorBytes);
                at += bytes;
                remaining -= bytes;
                sector += wholeBlocks * kSectorsPerBlock;
            } else {
                ok = ReadSector(volume, sector, at);
                at += kSectorBytes;
                remaining -= kSectorBytes;
                ++sector;
            }
        }
    }
    if (!ok) diag::DebugPrint("Error reading HFS block %d", static_cast<int>(allocBlock));
    return ok;
}

bool MapFileBlock(const HfsVolume& volume, std::uint32_t fileId, std::uint8_t fork, const ExtentRecord& first,
                  std::uint32_t fileBlock, std::uint32_t& allocBlock) {
    const ExtentRecord* record = &first;
    std::uint32_t recordStart = 0;  // file block of the record's first extent
    for (std::size_t hops = 0; hops <= kMaxForkRuns / 3; ++hops) {
        std::uint32_t offset = fileBlock - recordStart;
        for (const Extent& extent : *record) {
            if (offset < extent.count) {
                allocBlock = extent.start + offset;
                return true;
            }
            offset -= extent.count;
            recordStart += extent.count;
        }
        const auto found = volume.overflow.find({fileId, fork, recordStart});
        if (found == volume.overflow.end()) return false;
        record = &found->second;
    }
    return false;
}

bool PrepareTree(HfsVolume& volume, HfsTree& tree, std::uint32_t nodeSize) {
    const std::uint32_t blockSize = volume.mdb.blockSize;
    if (nodeSize == 0 || nodeSize % kSectorBytes != 0 || nodeSize > kMaxNodeBytes || nodeSize > blockSize ||
        blockSize % nodeSize != 0) {
        diag::DebugPrint("HFS: node size %u does not fit allocation blocks of %u bytes", nodeSize, blockSize);
        return false;
    }
    tree.nodeSize = nodeSize;
    tree.cache.assign(blockSize, 0);
    tree.cached = false;
    return true;
}

const std::uint8_t* ReadHfsNode(HfsVolume& volume, HfsTree& tree, std::uint32_t n) {
    const std::uint32_t perBlock = volume.mdb.blockSize / tree.nodeSize;
    if (!tree.cached || n < tree.firstNode || n - tree.firstNode >= perBlock) {
        const std::uint32_t fileBlock = n / perBlock;
        std::uint32_t allocBlock = 0;
        tree.cached = false;
        if (fileBlock >= tree.unmappedFrom) return nullptr;
        if (!MapFileBlock(volume, tree.fileId, kDataFork, tree.extents, fileBlock, allocBlock)) {
            diag::DebugPrint("Error reading HFS node %d", static_cast<int>(n));
            tree.unmappedFrom = fileBlock;
            return nullptr;
        }
        // An extent that reaches past the volume's allocation blocks is
        // damaged: what it names is not read.
        const bool outside = volume.mdb.allocationBlocks != 0 && allocBlock >= volume.mdb.allocationBlocks;
        if (outside || tree.unreadableBlocks.count(allocBlock)) return nullptr;
        if (!ReadHfsBlock(volume, allocBlock, tree.cache.data())) {
            diag::DebugPrint("Error reading HFS node %d", static_cast<int>(n));
            tree.unreadableBlocks.insert(allocBlock);
            return nullptr;
        }
        tree.cached = true;
        tree.firstNode = fileBlock * perBlock;
    }
    return tree.cache.data() + std::size_t{n - tree.firstNode} * tree.nodeSize;
}

std::uint32_t NodeRecordCount(const std::uint8_t* node, std::uint32_t nodeSize) {
    const std::uint32_t claimed = bytes::GetBe16(node + 10);
    const std::uint32_t room = (nodeSize - kNodeDescriptorBytes) / 2;
    return claimed < room ? claimed : room;
}

std::size_t RecordOffset(const std::uint8_t* node, std::uint32_t nodeSize, std::uint32_t k) {
    const std::uint32_t records = NodeRecordCount(node, nodeSize);
    if (k >= records) return 0;
    const std::size_t offset = bytes::GetBe16(node + nodeSize - 2 - 2 * k);
    if (offset < kNodeDescriptorBytes || offset >= nodeSize - 2 * std::size_t{records}) return 0;
    return offset;
}

bool ReadTreeHeader(HfsVolume& volume, HfsTree& tree) {
    const std::uint8_t* node = ReadHfsNode(volume, tree, 0);
    if (!node || node[8] != kHeaderNode || node[9] != 0 || bytes::GetBe16(node + 10) != 3) return false;
    const std::uint8_t* header = node + kNodeDescriptorBytes;
    tree.depth = bytes::GetBe16(header + 0);
    tree.root = bytes::GetBe32(header + 2);
    tree.leafRecords = bytes::GetBe32(header + 6);
    tree.firstLeaf = bytes::GetBe32(header + 10);
    tree.lastLeaf = bytes::GetBe32(header + 14);
    const std::uint32_t nodeSize = bytes::GetBe16(header + 18);
    tree.maxKeyLength = bytes::GetBe16(header + 20);
    tree.nodeCount = bytes::GetBe32(header + 22);
    tree.freeNodes = bytes::GetBe32(header + 26);
    if (nodeSize != tree.nodeSize) return PrepareTree(volume, tree, nodeSize);
    return true;
}

void LoadOverflowExtents(HfsVolume& volume) {
    HfsTree tree;
    tree.fileId = kExtentsFileId;
    tree.extents = volume.mdb.extentsFile;
    if (volume.mdb.extentsFileSize == 0 || tree.extents[0].count == 0) return;
    if (!PrepareTree(volume, tree, kSectorBytes) || !ReadTreeHeader(volume, tree)) {
        if (Verbose()) diag::DebugPrint("HFS: no extents overflow file; files keep their first three extents");
        return;
    }
    std::set<std::uint32_t> visited;
    for (std::uint32_t n = tree.firstLeaf; n != 0 && visited.size() < kMaxVisitedNodes; ) {
        if (!visited.insert(n).second || AbortRequested(volume)) break;
        const std::uint8_t* node = ReadHfsNode(volume, tree, n);
        if (!node || node[8] != kLeafNode) break;
        const std::uint32_t records = NodeRecordCount(node, tree.nodeSize);
        for (std::uint32_t k = 0; k < records && volume.overflow.size() < kMaxOverflowRecords; ++k) {
            const std::size_t offset = RecordOffset(node, tree.nodeSize, k);
            if (offset == 0) continue;
            const std::size_t keyLength = node[offset];
            const std::size_t data = (offset + 1 + keyLength + 1) & ~std::size_t{1};
            if (keyLength < 7 || data + 12 > tree.nodeSize) continue;
            const std::uint8_t fork = node[offset + 1];
            const std::uint32_t fileId = bytes::GetBe32(node + offset + 2);
            const std::uint32_t firstBlock = bytes::GetBe16(node + offset + 6);
            volume.overflow[{fileId, fork, firstBlock}] = ReadExtentRecord(node + data);
        }
        n = bytes::GetBe32(node);
    }
    if (Verbose()) diag::DebugPrint("HFS: %zu extents overflow records", volume.overflow.size());
}

}  // namespace dravik::readers::hfs
