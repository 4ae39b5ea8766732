// ReadHfsTrack: finds the HFS volume on a track (inside an Apple partition
// map or at the track's start), reads its master directory block (or the
// alternate copy), places the allocation blocks, and walks the catalog
// into the catalogue. Also the reader's entry in the scan's table of file
// systems.
#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/show_status.h"
#include "program/readers/file_system_entries.h"
#include "program/readers/hfs/hfs_mdb.h"
#include "program/readers/hfs/hfs_reader.h"
#include "program/readers/hfs/hfs_volume.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/scan_device.h"
#include "program/scan/track_list.h"

namespace dravik::readers {

namespace hfs {

namespace {

// The device's error reporting off while the reader probes sectors that
// may well not be there (a track that is not HFS, a damaged volume).
class QuietDevice {
public:
    explicit QuietDevice(device::CDDevice* device) : device_(device) { device_->SetErrorMode(true); }
    ~QuietDevice() { device_->SetErrorMode(false); }
    QuietDevice(const QuietDevice&) = delete;
    QuietDevice& operator=(const QuietDevice&) = delete;

private:
    device::CDDevice* device_;
};

// The catalog's node 0 is looked for where the master directory block
// puts the allocation blocks, then right after the volume bitmap, where
// some writers put them while recording drAlBlSt wrongly.
bool PlaceAllocationBlocks(HfsVolume& volume, HfsTree& catalog) {
    const MasterDirectory& mdb = volume.mdb;
    const std::int64_t bitmapBytes = (std::int64_t{mdb.allocationBlocks} + 7) / 8;
    const std::int64_t bitmapRoom = (bitmapBytes + mdb.blockSize - 1) / mdb.blockSize * mdb.blockSize;
    const std::int64_t pastBitmap = mdb.bitmapStart + bitmapRoom / kSectorBytes;
    for (const std::int64_t candidate : {std::int64_t{mdb.allocationStart}, pastBitmap}) {
        volume.allocationBase = candidate;
        if (PrepareTree(volume, catalog, kSectorBytes) && ReadTreeHeader(volume, catalog)) return true;
    }
    diag::DebugPrint("No valid node 0 found at any location. drAlBlSt=%d, past bitmap=%d",
                     int{mdb.allocationStart}, static_cast<int>(pastBitmap));
    return false;
}

}  // namespace

}  // namespace hfs

bool ReadHfsTrack(scan::TrackNode* track, int position) {
    using namespace hfs;
    device::CDDevice* device = scan::SelectedDevice();
    if (!track || !device) return false;
    HfsVolume volume;
    volume.device = device;
    volume.track = track;
    volume.onlyFileSystem = position == 0;
    QuietDevice quiet(device);

    const PartitionSearch partition = FindHfsPartition(volume);
    if (!partition.found) return false;
    volume.partitionBase = partition.base;
    volume.volumeSectors = partition.sectors;
    if (partition.partitioned && Verbose())
        diag::DebugDump(partition.driverDescriptor.data(), kSectorBytes, "HFS Block 0");
    if (!ReadHfsMdb(volume, partition)) return false;
    const MasterDirectory& mdb = volume.mdb;
    messages::ShowStatus(kHfsVolumeStatus, mdb.volumeName.c_str());

    const std::uint64_t catalogBlocks = mdb.catalogFileSize / mdb.blockSize;
    std::uint64_t inRecord = 0;
    for (const Extent& extent : mdb.catalogFile) inRecord += extent.count;
    if (inRecord < catalogBlocks && Verbose())
        diag::DebugPrint("HFS: the catalog continues in the extents overflow file (%llu of %llu blocks in the "
                         "master directory block)",
                         static_cast<unsigned long long>(inRecord), static_cast<unsigned long long>(catalogBlocks));

    HfsTree catalog;
    catalog.fileId = kCatalogFileId;
    catalog.extents = mdb.catalogFile;
    if (!PlaceAllocationBlocks(volume, catalog)) return false;
    LoadOverflowExtents(volume);
    {
        scan::CatalogueGuard guard;
        track->readerWord = static_cast<std::uint32_t>(volume.allocationBase);
    }
    diag::DebugPrint("HFS: PartBegin=%d, BlkSize=%d, AlBegin=%d, CatTree=%d(%d), %d(%d), %d(%d)",
                     static_cast<int>(volume.partitionBase), static_cast<int>(mdb.blockSize),
                     static_cast<int>(volume.allocationBase), mdb.catalogFile[0].start, mdb.catalogFile[0].count,
                     mdb.catalogFile[1].start, mdb.catalogFile[1].count, mdb.catalogFile[2].start,
                     mdb.catalogFile[2].count);

    WalkHfsCatalog(volume, catalog);
    if (track->rootItem) ShowHfsTree(track->rootItem);
    scan::CatalogueGuard guard;
    track->flags |= scan::TrackHfs;
    return true;
}

scan::FileSystemReader HfsFileSystem() {
    scan::FileSystemReader entry;
    entry.kind = scan::FileSystemKind::kHfs;
    entry.name = "HFS";
    entry.readTrack = ReadHfsTrack;
    entry.secondFileSystem = true;
    return entry;
}

}  // namespace dravik::readers
