// The HFS reader's parts and the state they share while one volume is read.
// ReadHfsTrack (hfs_reader.h) is the entry; everything here is for the
// reader's own files and its tests.
//
// A disc is input from a stranger: the block and node sizes are checked
// before anything is sized by them, every record offset and key length is
// checked against its node, the leaf chain is walked with a visited set and
// a node limit (so a forward link back into the chain ends the walk), and
// a volume holds at most kMaxHfsItems items.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace dravik::device {
class CDDevice;
}
namespace dravik::scan {
struct FoundItem;
struct TrackNode;
struct ItemDate;
}  // namespace dravik::scan

namespace dravik::readers::hfs {

// Limits of what one volume may make the reader do.
constexpr std::uint32_t kSectorBytes = 512;
// 512-byte sectors in one 2048-byte block of the disc.
constexpr std::int64_t kSectorsPerBlock = 4;
constexpr std::uint32_t kMaxPartitionEntries = 64;           // partition map entries looked at
constexpr std::uint32_t kMaxAllocationBlockBytes = 1u << 22;  // 4 MiB: the node cache is one block
constexpr std::uint32_t kMaxNodeBytes = 32768;
constexpr std::uint32_t kMaxVisitedNodes = 1u << 20;  // leaf nodes per pass, and per tree walk
constexpr std::uint32_t kMaxSweptNodes = 65536;       // nodes looked at when the leaf chain breaks
constexpr std::uint64_t kMaxDeferredTries = 1u << 22;  // retries of records waiting for their parent
constexpr int kMaxBlocksPerRead = 32;                  // disc blocks asked for in one read
constexpr std::size_t kMaxOverflowRecords = 65536;    // extents overflow records kept
constexpr std::size_t kMaxForkRuns = 4096;            // extents of one fork
constexpr std::size_t kMaxHfsItems = 1000000;

// Status line of the volume being read (its name).
constexpr unsigned kHfsVolumeStatus = 177;

// Signatures.
constexpr std::uint16_t kDriverDescriptorSignature = 0x4552;  // "ER"
constexpr std::uint16_t kPartitionSignature = 0x504D;         // "PM"
constexpr std::uint16_t kMdbSignature = 0x4244;               // "BD"

// Catalog node IDs and fork types.
constexpr std::uint32_t kRootParentId = 1;
constexpr std::uint32_t kExtentsFileId = 3;
constexpr std::uint32_t kCatalogFileId = 4;
constexpr std::uint8_t kDataFork = 0x00;
constexpr std::uint8_t kResourceFork = 0xFF;

// Node kinds (node descriptor byte 8).
constexpr std::uint8_t kLeafNode = 0xFF;
constexpr std::uint8_t kHeaderNode = 1;
constexpr std::size_t kNodeDescriptorBytes = 14;

// Catalog record types (data byte 0).
constexpr std::uint8_t kFolderRecord = 1;
constexpr std::uint8_t kFileRecord = 2;
constexpr std::size_t kFolderRecordBytes = 70;
constexpr std::size_t kFileRecordBytes = 102;

struct Extent {
    std::uint32_t start = 0;  // allocation block
    std::uint32_t count = 0;
};
using ExtentRecord = std::array<Extent, 3>;
ExtentRecord ReadExtentRecord(const std::uint8_t* at);

// The fields of the master directory block the reader uses.
struct MasterDirectory {
    std::uint16_t signature = 0;
    std::uint32_t createDate = 0;
    std::uint16_t bitmapStart = 0;    // drVBMSt, sectors from the partition base
    std::uint16_t allocationBlocks = 0;  // drNmAlBlks
    std::uint32_t blockSize = 0;      // drAlBlkSiz
    std::uint16_t allocationStart = 0;  // drAlBlSt, sectors
    std::string volumeName;           // UTF-8
    std::uint32_t extentsFileSize = 0;
    ExtentRecord extentsFile{};
    std::uint32_t catalogFileSize = 0;
    ExtentRecord catalogFile{};
};
MasterDirectory ParseMasterDirectory(const std::uint8_t* sector);
// True when the fields can describe a volume this reader can read: a block
// size that is a nonzero multiple of 512 within the limit, allocation
// blocks, a catalog with at least one extent.
bool PlausibleMasterDirectory(const MasterDirectory& mdb);

// One B*-tree file of the volume (the catalog or the extents overflow file)
// with its one-allocation-block node cache.
struct HfsTree {
    std::uint32_t fileId = 0;
    ExtentRecord extents{};
    std::uint32_t nodeSize = kSectorBytes;
    std::vector<std::uint8_t> cache;  // one allocation block
    bool cached = false;              // the cache holds nodes from firstNode on
    std::uint32_t firstNode = 0;
    // Allocation blocks of the tree that could not be read: the nodes they
    // hold are not asked for again (a damaged block of many small nodes
    // costs one failed read, not one per node, in every pass).
    std::set<std::uint32_t> unreadableBlocks;
    // The first file block no extent maps: no later one maps either.
    std::uint32_t unmappedFrom = std::numeric_limits<std::uint32_t>::max();
    // Header record.
    std::uint16_t depth = 0;
    std::uint32_t root = 0;
    std::uint32_t leafRecords = 0;
    std::uint32_t firstLeaf = 0;
    std::uint32_t lastLeaf = 0;
    std::uint16_t maxKeyLength = 0;
    std::uint32_t nodeCount = 0;
    std::uint32_t freeNodes = 0;
};

// Overflow extents by (file ID, fork type, first file allocation block).
using OverflowMap = std::map<std::tuple<std::uint32_t, std::uint8_t, std::uint32_t>, ExtentRecord>;

// Per-volume state, made at every ReadHfsTrack call.
struct HfsVolume {
    device::CDDevice* device = nullptr;
    scan::TrackNode* track = nullptr;
    std::int64_t partitionBase = 0;  // absolute 512-byte sector
    std::int64_t volumeSectors = 0;  // 0: unknown
    std::int64_t allocationBase = 0;  // sectors from the partition base
    // The track holds no other file system: without a partition map the
    // alternate master directory block at the track's end is worth a read
    // (beside ISO 9660 it would cost a read of the run-out blocks of
    // nearly every data CD).
    bool onlyFileSystem = true;
    MasterDirectory mdb;
    OverflowMap overflow;
    // The 2048-byte disc block last read, so that neighbouring sectors cost
    // one read.
    std::int64_t bufferedBlock = -1;
    std::array<std::uint8_t, 2048> buffer{};
};

bool Verbose();
bool AbortRequested(const HfsVolume& volume);

// One 512-byte sector (absolute sector number); false when unreadable.
bool ReadSector(HfsVolume& volume, std::int64_t sector, std::uint8_t* out);
// The absolute sector of an allocation block.
std::int64_t AllocationBlockSector(const HfsVolume& volume, std::uint32_t allocBlock);

// Reads one allocation block into `out` (drAlBlkSiz bytes); logs "Error
// reading HFS block %d" on failure.
bool ReadHfsBlock(HfsVolume& volume, std::int64_t allocBlock, std::uint8_t* out);
// Maps block `fileBlock` of a file through its extents and its overflow
// records; false when the extents do not reach it.
bool MapFileBlock(const HfsVolume& volume, std::uint32_t fileId, std::uint8_t fork, const ExtentRecord& first,
                  std::uint32_t fileBlock, std::uint32_t& allocBlock);
// Node n of the tree through the cache, or null after logging "Error
// reading HFS node %d". The pointer stays valid until the next call.
const std::uint8_t* ReadHfsNode(HfsVolume& volume, HfsTree& tree, std::uint32_t n);
// Sets the tree's node size and allocates its cache; false when the sizes
// cannot work (logged).
bool PrepareTree(HfsVolume& volume, HfsTree& tree, std::uint32_t nodeSize);
// Reads node 0's header record into the tree; false when node 0 is not a
// header node.
bool ReadTreeHeader(HfsVolume& volume, HfsTree& tree);
// The offset of record k in a node, checked to lie after the descriptor
// and before the offset table; 0 when it does not.
std::size_t RecordOffset(const std::uint8_t* node, std::uint32_t nodeSize, std::uint32_t k);
// The records a node claims that fit its offset table.
std::uint32_t NodeRecordCount(const std::uint8_t* node, std::uint32_t nodeSize);

// Loads the extents overflow file's leaf records into volume.overflow.
void LoadOverflowExtents(HfsVolume& volume);
// Walks the catalog into the catalogue below the track.
void WalkHfsCatalog(HfsVolume& volume, HfsTree& catalog);
// Inserts the root and every directory below it into the tree view and
// sets every item's parent.
void ShowHfsTree(scan::FoundItem* root);

// HFS dates: local time in seconds since 1 January 1904.
scan::ItemDate HfsDate(std::uint32_t seconds);

}  // namespace dravik::readers::hfs
