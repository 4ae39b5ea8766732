#include "program/readers/udf/udf_file_cursor.h"

#include <algorithm>
#include <cstring>

#include "program/diag/debug_log.h"
#include "program/readers/udf/udf_cequadrat.h"
#include "program/readers/udf/udf_directcd_stream.h"
#include "program/readers/udf/udf_reader.h"
#include "program/readers/udf/udf_tags.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::readers::udf {

namespace {

// The logical volume descriptor's implementation identifier: a flags byte,
// then the text.
constexpr std::size_t kLvdImplementationText = 273;
constexpr std::size_t kImplementationTextBytes = 23;

constexpr std::size_t kBlock = kBlockBytes;

std::int64_t MapOne(const UdfFileCursor& cursor, std::uint64_t logical, std::uint32_t reference) {
    if (logical > 0xFFFFFFFFu) return kNoBlock;
    return MapLogicalBlock(*cursor.map, static_cast<std::uint32_t>(logical), reference);
}

bool ReadMapped(UdfFileCursor& cursor, std::int64_t block, std::uint8_t* out) {
    cursor.currentBlock = block;
    return block != kNoBlock && cursor.read(block, out);
}

void ReleaseExpansion(UdfFileCursor& cursor) {
    cursor.compressed.clear();
    cursor.compressed.shrink_to_fit();
    cursor.readPosition = cursor.expansionEnd = cursor.expansionStart = 0;
}

// Takes the next data extent from the descriptors (their continuations
// followed); false at their end.
bool NextExtent(UdfFileCursor& cursor) {
    AllocationDescriptor d;
    if (!cursor.walker || !cursor.walker->Next(d)) {
        if (cursor.walker && cursor.walker->Broken() && Verbose())
            diag::DebugPrint("Early termination of file %s - extent at block %d", cursor.name.c_str(),
                             static_cast<int>(cursor.currentBlock));
        return false;
    }
    cursor.extentType = TypeOfExtent(d.lengthField);
    cursor.extentLength = LengthOfExtent(d.lengthField);
    cursor.remaining = cursor.extentLength;
    cursor.position = d.position;
    cursor.reference = d.reference;
    const bool compressed = cursor.ceQuadratVolume && cursor.descriptorType == kLongDescriptors &&
                            d.implementationFlags != 0 && d.implementationWord != 0 &&
                            d.implementationWord < cursor.extentLength && cursor.extentType == ExtentType::kRecorded;
    if (compressed) {
        cursor.mode = UdfCursorMode::kCeQuadrat;
        cursor.compressedLength = d.implementationWord;
        ReleaseExpansion(cursor);
    } else if (cursor.mode == UdfCursorMode::kCeQuadrat) {
        cursor.mode = UdfCursorMode::kPlain;
        ReleaseExpansion(cursor);
    }
    return true;
}

// The first up to 2048 expanded bytes not yet handed out.
int HandExpanded(UdfFileCursor& cursor, std::uint8_t* data) {
    const std::size_t bytes = std::min(kBlock, cursor.expansionEnd - cursor.readPosition);
    std::memcpy(data, cursor.compressed.data() + cursor.readPosition, bytes);
    std::memset(data + bytes, 0, kBlock - bytes);
    cursor.readPosition += bytes;
    cursor.lastBytes = bytes;
    return kUdfDataRead;
}

// A new CeQuadrat extent: its compressed blocks read and expanded after
// them. An extent that cannot be had is handed out as zeros of its length
// (so what follows stays in place), the first of them with an error.
int StartCeQuadrat(UdfFileCursor& cursor, std::uint8_t* data) {
    const std::size_t length = cursor.extentLength;
    const std::size_t blocks = (std::size_t{cursor.compressedLength} + kBlock - 1) / kBlock;
    const std::int64_t first = MapOne(cursor, cursor.position, cursor.reference);
    auto fail = [&](std::int64_t block) {
        ReleaseExpansion(cursor);
        cursor.extentType = ExtentType::kAllocated;
        cursor.remaining = static_cast<std::int64_t>(length) - static_cast<std::int64_t>(kBlock);
        cursor.lastBytes = std::min(kBlock, length);
        cursor.failedBlock = block;
        std::memset(data, 0, kBlock);
        return kUdfDataError;
    };
    if (length > kMaxCeQuadratExtent) return fail(first);
    cursor.compressed.assign(blocks * kBlock + length, 0);
    for (std::size_t i = 0; i < blocks; ++i) {
        const std::int64_t block = MapOne(cursor, std::uint64_t{cursor.position} + i, cursor.reference);
        if (!ReadMapped(cursor, block, cursor.compressed.data() + i * kBlock)) return fail(block);
    }
    if (!HasCeQuadratMagic(cursor.compressed.data(), cursor.compressedLength)) {
        // Not compressed after all: the extent is read as it lies.
        if (Verbose()) diag::DebugPrint("CeQuadrat compression id mismatch.");
        ReleaseExpansion(cursor);
        cursor.mode = UdfCursorMode::kPlain;
        return ReadExtentBlock(cursor, data);
    }
    cursor.expansionStart = blocks * kBlock;
    if (!ExpandCeQuadrat(cursor.compressed.data(), cursor.compressedLength,
                         cursor.compressed.data() + cursor.expansionStart, length))
        return fail(first);
    cursor.readPosition = cursor.expansionStart;
    cursor.expansionEnd = cursor.expansionStart + length;
    cursor.remaining = 0;
    return HandExpanded(cursor, data);
}

// Back to the first descriptor.
void RestartDescriptors(UdfFileCursor& cursor) {
    cursor.walker.emplace(*cursor.map, cursor.read, cursor.descriptorArea.data(), cursor.descriptorBytes,
                          cursor.descriptorType, cursor.entryReference);
    cursor.remaining = 0;
}

// Whether a DirectCD file's first block is a "This file" header or the
// start of a zlib stream (a deflate method byte and a header whose check
// value divides by 31). The cursor is put back at the file's start.
bool StartsCompressed(UdfFileCursor& cursor) {
    std::array<std::uint8_t, kBlock> first{};
    const int result = ReadExtentBlock(cursor, first.data());
    RestartDescriptors(cursor);
    if (result != kUdfDataRead) return true;
    if (std::memcmp(first.data() + 2, "This file", 9) == 0) return true;
    return (first[0] & 0x0F) == 8 && (first[0] * 256 + first[1]) % 31 == 0;
}

}  // namespace

UdfFileCursor::UdfFileCursor() = default;
UdfFileCursor::~UdfFileCursor() = default;

int ReadExtentBlock(UdfFileCursor& cursor, std::uint8_t* data) {
    cursor.failedBlock = kNoBlock;
    while (cursor.remaining <= 0) {
        if (!NextExtent(cursor)) {
            std::memset(data, 0, kBlock);
            cursor.lastBytes = 0;
            return kUdfDataEnded;
        }
        if (cursor.mode == UdfCursorMode::kCeQuadrat && cursor.remaining > 0) return StartCeQuadrat(cursor, data);
    }
    cursor.lastBytes = static_cast<std::size_t>(std::min<std::int64_t>(kBlock, cursor.remaining));
    cursor.remaining -= static_cast<std::int64_t>(kBlock);
    if (cursor.extentType != ExtentType::kRecorded) {
        std::memset(data, 0, kBlock);
        return kUdfDataRead;
    }
    const std::int64_t block = MapOne(cursor, cursor.position, cursor.reference);
    ++cursor.position;
    if (!ReadMapped(cursor, block, data)) {
        std::memset(data, 0, kBlock);
        cursor.failedBlock = block;
        return kUdfDataError;
    }
    return kUdfDataRead;
}

bool OpenUdfFile(UdfFileCursor& cursor, const UdfVolumeMap& map, const ReadBlockFunction& read,
                 const scan::FoundItem& item, std::uint32_t trackFlags) {
    CloseUdfFile(cursor);
    cursor.decompressorFailed = false;
    cursor.map = &map;
    cursor.read = read;
    cursor.name = item.Name();
    cursor.entryBlock = item.fsId;
    std::array<std::uint8_t, kBlock> block{};
    const std::uint8_t* entry = block.data();
    std::size_t available = kBlock;
    if (item.fsId == 0 || !read(item.fsId, block.data())) return false;
    if (TagId(entry) == kTagDirectCdPrefix) {
        entry += kDirectCdPrefixBytes;
        available -= kDirectCdPrefixBytes;
    }
    std::size_t start = 0;
    std::size_t length = 0;
    // The descriptors must lie inside the entry's block (176 + L_EA + L_AD).
    if (!IsFileEntryTag(TagId(entry)) || TagProblem(entry, false) != kTagGood ||
        !DescriptorArea(entry, available, start, length)) {
        if (Verbose()) {
            diag::DebugPrint("Invalid file entry for InitUDFAccess: %d %s", static_cast<int>(item.fsId),
                             cursor.name.c_str());
            diag::DebugDump(block.data(), kBlock, "Invalid File Entry");
        }
        return false;
    }
    cursor.descriptorType = DescriptorType(entry);
    cursor.mode = UdfCursorMode::kPlain;
    cursor.size = bytes::GetLe64(entry + kFeInformationLength);
    cursor.blocksRecorded = cursor.blocksLeft = bytes::GetLe64(entry + kFeBlocksRecorded);
    cursor.blocksCounting = cursor.blocksRecorded == (cursor.size + kBlock - 1) / kBlock;
    cursor.descriptorBytes = length;
    // Embedded data are at most the descriptor area, whatever the
    // information length says.
    if (cursor.descriptorType == kEmbeddedData) cursor.size = std::min<std::uint64_t>(cursor.size, length);
    std::memcpy(cursor.descriptorArea.data(), entry + start, length);
    cursor.ceQuadratVolume = (trackFlags & scan::TrackCompressed) && !(trackFlags & scan::TrackDirectCdCompressed);
    cursor.entryReference = item.fsPartition;
    if (cursor.descriptorType != kEmbeddedData) RestartDescriptors(cursor);
    if (!(trackFlags & scan::TrackDirectCdCompressed) || cursor.descriptorType == kEmbeddedData) return true;
    cursor.mode = UdfCursorMode::kDirectCd;
    ZlibFailure failure = ZlibFailure::kNone;
    cursor.decompressor = VUVUDADInterface::Create(cursor, failure);
    if (!cursor.decompressor) {
        if (Verbose()) {
            if (failure == ZlibFailure::kNoMemory) diag::DebugPrint("Return from VUVUDAD ctor is null");
            else diag::DebugPrint("UDF VUVUDAD exception: %d", static_cast<int>(failure));
        }
        // Without zlib, a file of one chunk that is not zlib data is what
        // the decompressor would hand out unchanged: read it as it lies.
        cursor.mode = UdfCursorMode::kPlain;
        RestartDescriptors(cursor);
        if (cursor.size <= std::uint64_t{kStoredRunBlocks} * kBlock && !StartsCompressed(cursor)) return true;
        CloseUdfFile(cursor);
        cursor.decompressorFailed = true;
        return false;
    }
    return true;
}

int ReadUdfData(UdfFileCursor& cursor, std::uint8_t* data) {
    cursor.failedBlock = kNoBlock;
    cursor.lastBytes = 0;
    if (cursor.mode == UdfCursorMode::kDirectCd) {
        if (!cursor.decompressor) {
            if (Verbose())
                diag::DebugPrint("Null pointer to decompression interface for info=%x",
                                 static_cast<unsigned>(cursor.entryBlock));
            return kUdfDataError;
        }
        return cursor.decompressor->ReadNextBlock(data);
    }
    if (cursor.descriptorType == kEmbeddedData) {
        // At most the descriptor area: the information length may say more.
        if (cursor.embeddedDone) return kUdfDataEnded;
        const auto bytes = static_cast<std::size_t>(cursor.size);
        std::memcpy(data, cursor.descriptorArea.data(), bytes);
        std::memset(data + bytes, 0, kBlock - bytes);
        cursor.lastBytes = bytes;
        cursor.embeddedDone = true;
        return kUdfDataRead;
    }
    if (cursor.mode == UdfCursorMode::kCeQuadrat && cursor.readPosition < cursor.expansionEnd)
        return HandExpanded(cursor, data);
    return ReadExtentBlock(cursor, data);
}

bool NextUdfExtent(UdfFileCursor& cursor, std::int64_t& block, std::uint32_t& length) {
    if (cursor.descriptorType == kEmbeddedData) return false;
    while (cursor.blocksLeft > 0) {
        if (!NextExtent(cursor)) return false;
        const std::uint64_t uses =
            cursor.blocksCounting ? (std::uint64_t{cursor.extentLength} + kBlock - 1) / kBlock : 1;
        cursor.blocksLeft -= std::min(uses, cursor.blocksLeft);
        cursor.remaining = 0;
        block = MapOne(cursor, cursor.position, cursor.reference);
        length = cursor.mode == UdfCursorMode::kCeQuadrat ? cursor.compressedLength : cursor.extentLength;
        return true;
    }
    return false;
}

void CloseUdfFile(UdfFileCursor& cursor) {
    if (cursor.map && Verbose()) {
        // The cursor's state as one record of little-endian fields: mode,
        // descriptor type, extent type, bytes left in the extent, blocks
        // left, compressed length, last block read, File Entry block.
        std::array<std::uint8_t, 32> record{};
        bytes::PutLe32(record.data(), static_cast<std::uint32_t>(cursor.mode));
        bytes::PutLe32(record.data() + 4, static_cast<std::uint32_t>(cursor.descriptorType));
        bytes::PutLe32(record.data() + 8, static_cast<std::uint32_t>(cursor.extentType));
        bytes::PutLe32(record.data() + 12, static_cast<std::uint32_t>(cursor.remaining));
        bytes::PutLe32(record.data() + 16, static_cast<std::uint32_t>(cursor.blocksLeft));
        bytes::PutLe32(record.data() + 20, cursor.compressedLength);
        bytes::PutLe32(record.data() + 24, static_cast<std::uint32_t>(cursor.currentBlock));
        bytes::PutLe32(record.data() + 28, static_cast<std::uint32_t>(cursor.entryBlock));
        diag::DebugDump(record.data(), static_cast<int>(record.size()), "UDF File access info block");
    }
    cursor.decompressor.reset();
    ReleaseExpansion(cursor);
    cursor.walker.reset();
    cursor.mode = UdfCursorMode::kPlain;
    cursor.remaining = 0;
    cursor.embeddedDone = false;
    cursor.map = nullptr;
}

bool UdfImplementationId(const scan::FoundItem* root, const ReadBlockFunction& read, std::string& text) {
    text.clear();
    if (!root || root->extents.block == 0) return false;
    std::array<std::uint8_t, kBlock> block{};
    if (!read(root->extents.block, block.data())) return false;
    const std::uint16_t tag = TagId(block.data());
    if ((tag != kTagLogicalVolume && tag != kTagDirectCdLogical) || TagProblem(block.data(), false) != kTagGood)
        return false;
    std::size_t at = kLvdImplementationText;
    std::size_t bytes = kImplementationTextBytes;
    if (block[at] == '*') {
        ++at;
        --bytes;
    }
    const char* begin = reinterpret_cast<const char*>(block.data() + at);
    text.assign(begin, strnlen(begin, bytes));
    return true;
}

}  // namespace dravik::readers::udf
