// The data of a UDF file found by the scan, for copying it out: its File
// Entry read again, its allocation descriptors turned into runs of disc
// blocks through the volume's map (a spared packet becomes a run of its
// own), zeros for extents that were allocated but never written, or the
// bytes embedded in the entry.
#include "program/readers/udf/udf_file_data.h"

#include "program/readers/udf/udf_allocation.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_volume_map.h"
#include "program/scan/found_item.h"

namespace dravik::readers::udf {

namespace {

void AddRun(std::vector<scan::FileDataRun>& runs, scan::FileDataRun::Kind kind, std::int64_t start, std::uint64_t length) {
    if (!runs.empty()) {
        scan::FileDataRun& last = runs.back();
        const bool follows = kind == scan::FileDataRun::Kind::kZeros ||
                             (last.start >= 0 && start == last.start + static_cast<std::int64_t>(last.length / kBlockBytes));
        if (last.kind == kind && last.length % kBlockBytes == 0 && follows) {
            last.length += length;
            return;
        }
    }
    scan::FileDataRun run;
    run.kind = kind;
    run.start = start;
    run.length = length;
    runs.push_back(std::move(run));
}

}  // namespace

bool UdfFileData(const scan::FoundItem* root, const scan::FoundItem* item, const scan::ReadOneBlock& read,
                 std::vector<scan::FileDataRun>& runs) {
    runs.clear();
    if (!root || !item || item->fsId == 0) return false;
    const UdfVolumeMap map = LoadVolumeMap(root, read);
    const FileLayout layout = ReadFileLayout(map, read, item->fsId, item->fsPartition);
    if (!layout.valid) return false;
    if (layout.embedded) {
        scan::FileDataRun run;
        run.kind = scan::FileDataRun::Kind::kBytes;
        run.length = layout.bytes.size();
        run.bytes = layout.bytes;
        runs.push_back(std::move(run));
        return true;
    }
    for (const FilePiece& piece : layout.pieces) {
        if (piece.kind == FilePiece::Kind::kZeros) {
            AddRun(runs, scan::FileDataRun::Kind::kZeros, 0, piece.length);
            continue;
        }
        if (piece.reference < static_cast<std::uint32_t>(map.mapCount) &&
            map.kinds[piece.reference] == PartitionKind::kPhysical) {
            AddRun(runs, scan::FileDataRun::Kind::kBlocks, MapLogicalBlock(map, piece.position, piece.reference),
                   piece.length);
            continue;
        }
        // Block by block: a sparable partition may have moved any packet.
        for (std::uint64_t done = 0; done < piece.length; done += kBlockBytes) {
            const std::uint64_t logical = std::uint64_t{piece.position} + done / kBlockBytes;
            const std::int64_t block =
                logical > 0xFFFFFFFFu ? kNoBlock : MapLogicalBlock(map, static_cast<std::uint32_t>(logical), piece.reference);
            AddRun(runs, scan::FileDataRun::Kind::kBlocks, block, std::min<std::uint64_t>(kBlockBytes, piece.length - done));
        }
    }
    return true;
}

}  // namespace dravik::readers::udf
