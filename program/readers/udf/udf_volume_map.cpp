#include "program/readers/udf/udf_volume_map.h"

#include <cstring>
#include <limits>

#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_tags.h"
#include "program/readers/udf/udf_vat_table.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::readers::udf {

namespace {

// Sparing table copies a map may name (the format allows four).
constexpr std::uint32_t kMaxSparingCopies = 4;
constexpr std::int64_t kLastBlock = std::numeric_limits<std::int32_t>::max();

std::int64_t Checked(std::int64_t block) { return block < 0 || block > kLastBlock ? kNoBlock : block; }

std::int64_t MapPhysical(const UdfVolumeMap& map, std::uint32_t block) {
    return Checked(map.partitionStart + block);
}

std::int64_t MapSparable(const UdfVolumeMap& map, std::uint32_t block) {
    if (map.sparingLoaded && map.packetLength != 0) {
        for (const SparingEntry& entry : map.sparing) {
            // Entries 0xFFFFFFF0 and above are free or defective spares.
            if (entry.original >= 0xFFFFFFF0u) continue;
            if (block >= entry.original && block - entry.original < map.packetLength)
                return Checked(std::int64_t{entry.mapped} + (block - entry.original));
        }
    }
    return MapPhysical(map, block);
}

// A block past the table, or one whose entry is unused, has no place.
std::int64_t MapVirtual(const UdfVolumeMap& map, std::uint32_t block) {
    if (block >= map.vat.size() || map.vat[block] == kNoPreviousVat) return kNoBlock;
    return MapPhysical(map, map.vat[block]);
}

std::int64_t MapUnsupported(const UdfVolumeMap&, std::uint32_t) { return kNoBlock; }

bool MapNamed(const std::uint8_t* entry, const char* name) {
    const std::size_t length = std::strlen(name);
    return std::memcmp(entry + kMapEntityId, name, length) == 0;
}

}  // namespace

bool ReadPartitionMaps(const std::uint8_t* lvd, UdfVolumeMap& map) {
    map.mapCount = 0;
    map.sparingLocations.clear();
    const std::uint32_t tableLength = GetLe32(lvd + kLvdMapTableLength);
    const std::uint32_t count = GetLe32(lvd + kLvdMapCount);
    const std::size_t end = kLvdMaps + std::min<std::size_t>(tableLength, kBlockBytes - kLvdMaps);
    std::size_t at = kLvdMaps;
    for (std::uint32_t index = 0; index < count && index < kMaxPartitionMaps; ++index) {
        if (at + 2 > end) break;
        const std::uint8_t type = lvd[at];
        const std::size_t length = lvd[at + 1];
        if (length < 2 || at + length > end) break;
        PartitionKind kind = PartitionKind::kUnsupported;
        if (type == kMapPhysical) {
            kind = PartitionKind::kPhysical;
        } else if (type == kMapIdentified && length >= kMapType2Bytes) {
            const std::uint8_t* entry = lvd + at;
            if (MapNamed(entry, kSparableMapId)) {
                kind = PartitionKind::kSparable;
                map.packetLength = GetLe16(entry + kMapPacketLength);
                const std::uint32_t copies = std::min<std::uint32_t>(entry[kMapSparingTableCount], kMaxSparingCopies);
                for (std::uint32_t copy = 0; copy < copies; ++copy) {
                    const std::size_t field = kMapSparingTables + 4 * copy;
                    if (field + 4 > length) break;
                    map.sparingLocations.push_back(GetLe32(entry + field));
                }
            } else if (MapNamed(entry, kVirtualMapId)) {
                kind = PartitionKind::kVirtual;
            }
        }
        map.kinds[map.mapCount++] = kind;
        at += length;
    }
    ChooseMappings(map);
    for (int i = 0; i < map.mapCount; ++i)
        if (map.kinds[i] != PartitionKind::kUnsupported) return true;
    return false;
}

void GuessPartitionMaps(UdfVolumeMap& map, bool sparing) {
    map.mapCount = 2;
    map.kinds[0] = PartitionKind::kPhysical;
    map.kinds[1] = sparing ? PartitionKind::kSparable : PartitionKind::kPhysical;
    ChooseMappings(map);
}

void ChooseMappings(UdfVolumeMap& map) {
    for (int i = 0; i < kMaxPartitionMaps; ++i) {
        MapFunction function = MapUnsupported;
        if (i < map.mapCount) {
            switch (map.kinds[i]) {
                case PartitionKind::kPhysical: function = i > 0 && map.vatLoaded ? MapVirtual : MapPhysical; break;
                case PartitionKind::kSparable: function = MapSparable; break;
                // Without its VAT, virtual blocks are taken as partition
                // blocks, as on a disc whose VAT is lost.
                case PartitionKind::kVirtual: function = map.vatLoaded ? MapVirtual : MapPhysical; break;
                case PartitionKind::kUnsupported: function = MapUnsupported; break;
            }
        }
        map.mappers[i] = function;
    }
}

std::int64_t MapLogicalBlock(const UdfVolumeMap& map, std::uint32_t block, std::uint32_t reference) {
    if (reference >= static_cast<std::uint32_t>(map.mapCount) || reference >= kMaxPartitionMaps) return kNoBlock;
    if (reference == 0 && !map.partitionRelative && map.kinds[0] == PartitionKind::kPhysical)
        return Checked(block);
    return map.mappers[reference](map, block);
}

bool LoadSparingTable(UdfVolumeMap& map, const ReadBlockFunction& read,
                      const std::function<void(std::uint32_t location)>& logFailure) {
    std::vector<std::uint8_t> block(kBlockBytes);
    for (const std::uint32_t location : map.sparingLocations) {
        if (!read(location, block.data())) {
            if (logFailure) logFailure(location);
            continue;
        }
        if (TagId(block.data()) != 0 || TagProblem(block.data(), true) != kTagGood ||
            std::memcmp(block.data() + kSparingId, kSparingTableId, sizeof kSparingTableId) != 0)
            continue;
        const std::uint32_t count = std::min<std::uint32_t>(GetLe16(block.data() + kSparingEntryCount), kMaxSparingEntries);
        const std::size_t bytes = kSparingEntries + std::size_t{count} * kSparingEntryBytes;
        std::vector<std::uint8_t> table(bytes);
        bool whole = true;
        for (std::size_t done = 0; done < bytes; done += kBlockBytes) {
            const std::size_t part = std::min<std::size_t>(kBlockBytes, bytes - done);
            if (done > 0 && !read(std::int64_t{location} + static_cast<std::int64_t>(done / kBlockBytes), block.data())) {
                whole = false;
                break;
            }
            std::memcpy(table.data() + done, block.data(), part);
        }
        if (!whole) {
            if (logFailure) logFailure(location);
            continue;
        }
        map.sparing.clear();
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = table.data() + kSparingEntries + std::size_t{i} * kSparingEntryBytes;
            map.sparing.push_back({GetLe32(entry), GetLe32(entry + 4)});
        }
        map.sparingLoaded = true;
        map.sparingLoadedFrom = location;
        ChooseMappings(map);
        return true;
    }
    return false;
}

UdfVolumeMap LoadVolumeMap(const scan::FoundItem* root, const ReadBlockFunction& read) {
    UdfVolumeMap map;
    const scan::TrackNode* track = root ? root->track : nullptr;
    map.partitionStart = track ? track->udfBlock : 0;
    map.partitionRelative = map.partitionStart != 0;
    const bool sparing = track && (track->flags & scan::TrackSparing);
    std::vector<std::uint8_t> lvd(kBlockBytes);
    const bool haveLvd = root && root->extents.block != 0 && read(root->extents.block, lvd.data()) &&
                         (TagId(lvd.data()) == kTagLogicalVolume || TagId(lvd.data()) == kTagDirectCdLogical) &&
                         TagProblem(lvd.data(), false) == kTagGood && ReadPartitionMaps(lvd.data(), map);
    if (!haveLvd) GuessPartitionMaps(map, sparing);
    if (!map.sparingLocations.empty()) LoadSparingTable(map, read);
    VatTable table;
    if (track && track->vatBlock > 0 && read(track->vatBlock, lvd.data()) &&
        LoadVatTable(lvd.data(), map.partitionStart, read, table) == VatLoad::kLoaded) {
        map.vat = std::move(table.entries);
        map.vatLoaded = true;
        ChooseMappings(map);
    }
    return map;
}

}  // namespace dravik::readers::udf
