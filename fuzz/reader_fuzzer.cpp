// The file-system readers over a disc made of the input (see
// support/image_stage.h for the layout), chosen at build time, one harness
// each: the ISO reader as the scan calls it (volume descriptors, path
// tables, directory records, System Use areas, and the hand-over to UDF or
// HFS it decides on), the UDF probe (anchors, volume and partition
// descriptors, sparing tables, the VAT, File Entries, FIDs, allocation
// descriptors), and the HFS reader (partition map, master directory block,
// catalog B-tree nodes).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "program/readers/hfs/hfs_reader.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/udf/udf_probe.h"
#include "support/image_stage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dravik;
    scan::TrackNode* track = fuzz::StageImage(data, size);
#if defined(DRAVIK_FUZZ_ISO)
    readers::ReadIsoTrack(track, 0);
#elif defined(DRAVIK_FUZZ_UDF)
    std::vector<std::uint8_t> buffer(2048);
    readers::ProbeUdf(track, buffer.data());
#elif defined(DRAVIK_FUZZ_HFS)
    readers::ReadHfsTrack(track, 0);
#else
#error "define the reader this harness drives"
#endif
    fuzz::ClearStage();
    return 0;
}
