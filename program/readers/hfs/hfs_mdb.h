// Finding an HFS volume on a track and reading its master directory block.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "program/readers/hfs/hfs_volume.h"

namespace dravik::readers::hfs {

struct PartitionSearch {
    bool found = false;        // a place to look for a volume
    bool partitioned = false;  // an Apple_HFS partition map entry gave it
    std::int64_t base = 0;     // absolute sector of the volume's start
    std::int64_t sectors = 0;  // the volume's size, 0 when unknown
    std::string name;          // the partition's name
    std::array<std::uint8_t, kSectorBytes> driverDescriptor{};
};

// Sector 0 of the track: with "ER" the partition map is walked for the
// first Apple_HFS entry (none, a broken map or a logical data start other
// than 0: not found); without, the volume may start with the track.
PartitionSearch FindHfsPartition(HfsVolume& volume);

// Reads the master directory block of the volume at volume.partitionBase
// into volume.mdb, falling back to the alternate copy at the volume's
// second-to-last sector (volume.volumeSectors; without a partition map
// only when the track holds no other file system). False when neither is a
// master directory block this reader can use.
bool ReadHfsMdb(HfsVolume& volume, const PartitionSearch& partition);

}  // namespace dravik::readers::hfs
