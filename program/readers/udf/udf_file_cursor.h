// Reading a UDF file's contents 2048 bytes at a time, the way every
// consumer of a found file's data reads it: plain files through their
// allocation descriptors (short, long or extended, continued through
// allocation extent descriptors), data embedded in the File Entry, extents
// allocated but never written as zeros, and the compressed files of two
// packet-writing products: CeQuadrat's compressed extents, which are
// expanded here, and DirectCD's zlib streams, which the decompressor
// (udf_directcd_stream.h) inflates. Every extent's blocks are mapped one
// by one through the volume map with the extent's partition reference, so
// files on VAT and sparable volumes are read from their true blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "program/readers/udf/udf_allocation.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_volume_map.h"

namespace dravik::scan {
struct FoundItem;
}

namespace dravik::readers::udf {

class VUVUDADInterface;

// Results of ReadUdfData and of the decompressor's ReadNextBlock.
constexpr int kUdfDataRead = 1;
constexpr int kUdfDataError = 0;  // this block's data could not be had
constexpr int kUdfDataEnded = -1;  // the file's data end here

enum class UdfCursorMode { kPlain = 0, kCeQuadrat = 1, kDirectCd = 2 };

struct UdfFileCursor {
    UdfFileCursor();
    ~UdfFileCursor();
    UdfFileCursor(const UdfFileCursor&) = delete;
    UdfFileCursor& operator=(const UdfFileCursor&) = delete;

    // What is read: set by OpenUdfFile.
    const UdfVolumeMap* map = nullptr;
    ReadBlockFunction read;
    std::string name;            // the file's name, for the debug log
    std::int64_t entryBlock = kNoBlock;
    std::uint32_t entryReference = 0;  // the File Entry's partition, where short descriptors point
    bool ceQuadratVolume = false;  // long descriptors may mark compressed extents

    UdfCursorMode mode = UdfCursorMode::kPlain;
    int descriptorType = kShortDescriptors;  // ICB flags & 3 of the File Entry
    // A copy of the File Entry's allocation descriptors or embedded data.
    std::array<std::uint8_t, kBlockBytes> descriptorArea{};
    std::size_t descriptorBytes = 0;
    std::optional<AllocationWalker> walker;

    // The current extent: its type, the bytes not yet handed out, and the
    // next logical block with its partition reference.
    ExtentType extentType = ExtentType::kRecorded;
    std::int64_t remaining = 0;
    std::uint32_t position = 0;
    std::uint32_t reference = 0;
    std::uint32_t extentLength = 0;

    // Logical Blocks Recorded of the File Entry, counted down by
    // NextUdfExtent; `blocksCounting` when it counts blocks (it equals the
    // information length in blocks) rather than descriptors.
    std::uint64_t blocksRecorded = 0;
    std::uint64_t blocksLeft = 0;
    bool blocksCounting = false;
    // Bytes the file holds: the information length, or the size a DirectCD
    // header gives.
    std::uint64_t size = 0;
    bool embeddedDone = false;

    // The current CeQuadrat extent: its compressed blocks, then the
    // expansion, handed out from `readPosition` to `expansionEnd`.
    std::vector<std::uint8_t> compressed;
    std::uint32_t compressedLength = 0;
    std::size_t expansionStart = 0;
    std::size_t readPosition = 0;
    std::size_t expansionEnd = 0;

    std::unique_ptr<VUVUDADInterface> decompressor;
    // OpenUdfFile failed because the decompressor could not be made.
    bool decompressorFailed = false;

    // What the last read gave: the bytes of the file the 2048 bytes stand
    // for, and the block that could not be read or decoded (kNoBlock when
    // it had no place on the disc or the read succeeded).
    std::size_t lastBytes = 0;
    std::int64_t failedBlock = kNoBlock;
    std::int64_t currentBlock = kNoBlock;  // the block read last
};

// Opens the file whose File Entry the item names (its `fsId`, in partition
// `fsPartition`), on a volume read through `map` and `read`; `trackFlags`
// are its track's flags (they say whether the volume is compressed). The
// map must outlive the cursor. False when the File Entry cannot be read or
// is not one, its descriptor area does not fit its block, or a DirectCD
// file's decompressor cannot be had (the system's zlib is missing).
bool OpenUdfFile(UdfFileCursor& cursor, const UdfVolumeMap& map, const ReadBlockFunction& read,
                 const scan::FoundItem& item, std::uint32_t trackFlags);
// The next 2048 bytes of the file into `data`: kUdfDataRead;
// kUdfDataError when they could not be read or expanded (`data` then holds
// zeros, `failedBlock` says where, and the cursor has moved past them);
// kUdfDataEnded when the file's descriptors end.
int ReadUdfData(UdfFileCursor& cursor, std::uint8_t* data);
// The next extent (absolute first block, bytes; for a CeQuadrat extent its
// compressed bytes) while Logical Blocks Recorded are left; false at the
// end. `cursor.extentType` tells the extent's type.
bool NextUdfExtent(UdfFileCursor& cursor, std::int64_t& block, std::uint32_t& length);
// Ends the reading: logs the cursor in verbose mode and releases the
// expansion buffer and the decompressor. The cursor can be opened again.
void CloseUdfFile(UdfFileCursor& cursor);

// The implementation identifier of a UDF volume's logical volume
// descriptor (the block a UDF root item's `extents` records), without its
// leading "*". False when the block cannot be read or is not one.
bool UdfImplementationId(const scan::FoundItem* root, const ReadBlockFunction& read, std::string& text);

// For the decompressor: the next block of the current extent (taking the
// next descriptor when it is used up) into `data`, with the same results as
// ReadUdfData; extents never written give zeros.
int ReadExtentBlock(UdfFileCursor& cursor, std::uint8_t* data);

}  // namespace dravik::readers::udf
