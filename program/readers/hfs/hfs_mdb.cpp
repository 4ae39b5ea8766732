// Where an HFS volume starts and what its master directory block says:
// the Apple partition map (or none: a volume at the start of the track,
// as hformat and most hybrid mastering tools write it), the master
// directory block at sector 2 of the volume, and the alternate copy HFS
// keeps in the volume's second-to-last sector for when the first is
// zeroed or unreadable.
#include <cstring>

#include "program/diag/debug_log.h"
#include "platform/byte_order.h"
#include "program/readers/hfs/hfs_mdb.h"
#include "program/readers/hfs/mac_roman.h"
#include "program/scan/track_list.h"

namespace dravik::readers::hfs {

namespace {

constexpr std::int64_t kMdbSector = 2;
constexpr std::size_t kVolumeNameMax = 27;
constexpr std::size_t kPartitionTextBytes = 32;

// Partition map entry fields.
constexpr std::size_t kPmMapBlockCount = 4;
constexpr std::size_t kPmPhysicalStart = 8;
constexpr std::size_t kPmBlockCount = 12;
constexpr std::size_t kPmName = 16;
constexpr std::size_t kPmType = 48;
constexpr std::size_t kPmLogicalDataStart = 80;

std::string FixedText(const std::uint8_t* at, std::size_t length) {
    std::size_t used = 0;
    while (used < length && at[used] != 0) ++used;
    return std::string(reinterpret_cast<const char*>(at), used);
}

bool AllZero(const std::uint8_t* sector) {
    for (std::uint32_t i = 0; i < kSectorBytes; ++i)
        if (sector[i] != 0) return false;
    return true;
}

}  // namespace

MasterDirectory ParseMasterDirectory(const std::uint8_t* s) {
    MasterDirectory mdb;
    mdb.signature = bytes::GetBe16(s + 0);
    mdb.createDate = bytes::GetBe32(s + 2);
    mdb.bitmapStart = bytes::GetBe16(s + 14);
    mdb.allocationBlocks = bytes::GetBe16(s + 18);
    mdb.blockSize = bytes::GetBe32(s + 20);
    mdb.allocationStart = bytes::GetBe16(s + 28);
    const std::size_t nameLength = s[36] < kVolumeNameMax ? s[36] : kVolumeNameMax;
    mdb.volumeName = MacRomanToUtf8(s + 37, nameLength);
    mdb.extentsFileSize = bytes::GetBe32(s + 130);
    mdb.extentsFile = ReadExtentRecord(s + 134);
    mdb.catalogFileSize = bytes::GetBe32(s + 146);
    mdb.catalogFile = ReadExtentRecord(s + 150);
    return mdb;
}

bool PlausibleMasterDirectory(const MasterDirectory& mdb) {
    return mdb.blockSize != 0 && mdb.blockSize % kSectorBytes == 0 && mdb.blockSize <= kMaxAllocationBlockBytes &&
           mdb.allocationBlocks != 0 && mdb.bitmapStart >= 3 && mdb.catalogFileSize != 0 &&
           mdb.catalogFile[0].count != 0;
}

PartitionSearch FindHfsPartition(HfsVolume& volume) {
    const std::int64_t trackBase = std::int64_t{volume.track->start} * kSectorsPerBlock;
    std::uint8_t sector[kSectorBytes];
    PartitionSearch result;
    if (!ReadSector(volume, trackBase, sector)) return result;
    if (bytes::GetBe16(sector) != kDriverDescriptorSignature) {
        // No partition map: a volume that starts with the track, known by
        // its master directory block or, when that is damaged, by the
        // alternate copy at the track's end.
        result.partitioned = false;
        result.base = trackBase;
        if (volume.track->end > volume.track->start)
            result.sectors = std::int64_t{volume.track->end - volume.track->start} * kSectorsPerBlock;
        result.found = true;
        return result;
    }
    std::memcpy(result.driverDescriptor.data(), sector, kSectorBytes);
    std::uint32_t entries = 1;
    for (std::uint32_t i = 1; i <= entries && i <= kMaxPartitionEntries; ++i) {
        if (!ReadSector(volume, trackBase + i, sector) || bytes::GetBe16(sector) != kPartitionSignature) return result;
        if (i == 1) entries = bytes::GetBe32(sector + kPmMapBlockCount);
        if (FixedText(sector + kPmType, kPartitionTextBytes) != "Apple_HFS") continue;
        if (bytes::GetBe32(sector + kPmLogicalDataStart) != 0) return result;
        if (Verbose()) diag::DebugDump(sector, kSectorBytes, "Partition Map");
        result.partitioned = true;
        result.found = true;
        result.name = MacRomanToUtf8(sector + kPmName, FixedText(sector + kPmName, kPartitionTextBytes).size());
        result.base = trackBase + bytes::GetBe32(sector + kPmPhysicalStart);
        result.sectors = bytes::GetBe32(sector + kPmBlockCount);
        return result;
    }
    return result;
}

bool ReadHfsMdb(HfsVolume& volume, const PartitionSearch& partition) {
    std::uint8_t sector[kSectorBytes];
    const std::int64_t primary = volume.partitionBase + kMdbSector;
    const bool readable = ReadSector(volume, primary, sector);
    if (readable) {
        if (Verbose()) diag::DebugDump(sector, kSectorBytes, "HFS Master Directory Block");
        volume.mdb = ParseMasterDirectory(sector);
        // Inside an Apple_HFS partition the signature is not asked for;
        // without a map it is all that tells HFS from any other track.
        const bool signed_ = volume.mdb.signature == kMdbSignature;
        if ((signed_ || partition.partitioned) && PlausibleMasterDirectory(volume.mdb)) return true;
        if (Verbose() && !AllZero(sector))
            diag::DebugPrint("HFS: sector %lld holds no usable master directory block", static_cast<long long>(primary));
    }
    if (volume.volumeSectors <= kMdbSector + 1) return false;
    if (!partition.partitioned && !volume.onlyFileSystem) return false;
    const std::int64_t alternate = volume.partitionBase + volume.volumeSectors - 2;
    if (!ReadSector(volume, alternate, sector)) return false;
    MasterDirectory copy = ParseMasterDirectory(sector);
    if (copy.signature != kMdbSignature || !PlausibleMasterDirectory(copy)) return false;
    // The copy must describe a volume that fits where it was found.
    const std::int64_t described =
        std::int64_t{copy.allocationStart} + std::int64_t{copy.allocationBlocks} * (copy.blockSize / kSectorBytes);
    if (described > volume.volumeSectors) return false;
    if (Verbose()) diag::DebugDump(sector, kSectorBytes, "HFS Alternate Master Directory Block");
    diag::DebugPrint("HFS: master directory block at sector %lld %s; using the alternate copy at sector %lld",
                     static_cast<long long>(primary), readable ? "is not valid" : "could not be read",
                     static_cast<long long>(alternate));
    volume.mdb = copy;
    return true;
}

}  // namespace dravik::readers::hfs
