// How a UDF volume's addresses become disc blocks. A logical block is
// named with a partition reference (the index of a partition map in the
// logical volume descriptor); each map is physical, sparable (defective
// packets moved elsewhere through a sparing table) or virtual (through a
// VAT), and its mapping function is chosen once when the maps are read, so
// callers never branch on the kind of partition. A reference that names no
// map is refused, never used as an index.
//
// The same map serves the scan (the probe fills it from the descriptors it
// reads) and the extraction of files after the scan (LoadVolumeMap reads
// it again from the logical volume descriptor the root item records).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace dravik::scan {
struct FoundItem;
}

namespace dravik::readers::udf {

// Partition maps a volume may have; references beyond are refused.
constexpr int kMaxPartitionMaps = 4;
// Sparing table entries kept (a CD-RW's spare area holds far fewer).
constexpr std::uint32_t kMaxSparingEntries = 4096;
// Returned for a block that has no place on the disc.
constexpr std::int64_t kNoBlock = -1;

// Reads one 2048-byte block at an absolute address; false when it failed.
using ReadBlockFunction = std::function<bool(std::int64_t block, std::uint8_t* out)>;

enum class PartitionKind { kPhysical, kSparable, kVirtual, kUnsupported };

struct SparingEntry {
    std::uint32_t original;  // first logical block of the spared packet
    std::uint32_t mapped;    // absolute block of its replacement
};

struct UdfVolumeMap;
using MapFunction = std::int64_t (*)(const UdfVolumeMap& map, std::uint32_t block);

struct UdfVolumeMap {
    std::int64_t partitionStart = 0;  // absolute block of partition block 0
    bool partitionRelative = false;   // reference-0 blocks get partitionStart added
    int mapCount = 0;
    std::array<PartitionKind, kMaxPartitionMaps> kinds{};
    std::array<MapFunction, kMaxPartitionMaps> mappers{};
    // The sparable map's packet length and the sparing table's entries.
    std::uint32_t packetLength = 0;
    bool sparingLoaded = false;
    std::vector<SparingEntry> sparing;
    std::vector<std::uint32_t> sparingLocations;  // from the sparable map
    std::uint32_t sparingLoadedFrom = 0;          // the copy that was loaded
    // The VAT of a write-once volume: virtual block i lies at partition
    // block vat[i]. Once loaded, every reference but 0 that is not
    // sparable maps through it (a guessed layout has no virtual map).
    bool vatLoaded = false;
    std::vector<std::uint32_t> vat;
};

// Kinds of the maps of a logical volume descriptor (a whole block), with
// the sparable map's packet length and table locations. False when the
// block lists no map the reader can use.
bool ReadPartitionMaps(const std::uint8_t* lvd, UdfVolumeMap& map);
// A layout worked out without a logical volume descriptor: reference 0
// physical, reference 1 sparable on a sparing disc, physical otherwise.
void GuessPartitionMaps(UdfVolumeMap& map, bool sparing);
// Chooses each reference's mapping function from its kind (after the kinds
// or the sparing table changed).
void ChooseMappings(UdfVolumeMap& map);

// The absolute block of logical block `block` of partition `reference`;
// kNoBlock for a reference that names no map or a block that cannot lie
// on a disc.
std::int64_t MapLogicalBlock(const UdfVolumeMap& map, std::uint32_t block, std::uint32_t reference);

// Loads the sparing table from the first of its copies that reads and
// checks (the table's tag, its identifier, its entries in the blocks that
// follow). `logFailure` is told each copy that could not be read. False
// when no copy could be loaded.
bool LoadSparingTable(UdfVolumeMap& map, const ReadBlockFunction& read,
                      const std::function<void(std::uint32_t location)>& logFailure = {});

// The map of a volume read by the scan, again, for extracting its files:
// the partition start the track records, the partition maps (with the
// sparing table) of the logical volume descriptor the root item names, and
// the VAT the scan used.
UdfVolumeMap LoadVolumeMap(const scan::FoundItem* root, const ReadBlockFunction& read);

}  // namespace dravik::readers::udf
