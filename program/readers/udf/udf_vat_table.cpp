#include "program/readers/udf/udf_vat_table.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "program/readers/udf/udf_structures.h"

namespace dravik::readers::udf {

namespace {

constexpr char kVatId[] = "*UDF Virtual Alloc Tbl";
constexpr std::size_t kVatIdBytes = sizeof kVatId - 1;  // 22
// The identifier begins this many bytes before the data end.
constexpr std::size_t kVatIdFromEnd = 35;
constexpr int kVatIdMatches = 18;  // more than 80 percent of 22
// Long descriptors that fit in a File Entry's descriptor area.
constexpr std::uint32_t kMaxLongDescriptors = 117;
constexpr std::uint32_t kEmbeddedEmptyBytes = 40;

// The allocation descriptor area of an entry, bounded by its block.
struct Area {
    std::size_t start = 0;
    std::size_t end = 0;
};

Area DescriptorArea(const std::uint8_t* entry) {
    const EntryFields fields = FieldsOf(entry);
    const std::uint64_t attributes = GetLe32(entry + fields.extendedAttributesLength);
    const std::uint64_t descriptors = GetLe32(entry + fields.descriptorsLength);
    Area area;
    area.start = static_cast<std::size_t>(std::min<std::uint64_t>(fields.extendedAttributes + attributes, kBlockBytes));
    area.end = static_cast<std::size_t>(std::min<std::uint64_t>(area.start + descriptors, kBlockBytes));
    return area;
}

int IdMatches(const std::uint8_t* bytes) {
    int matches = 0;
    for (std::size_t i = 0; i < kVatIdBytes; ++i)
        if (bytes[i] == static_cast<std::uint8_t>(kVatId[i])) ++matches;
    return matches;
}

// The identifier where data ending at `end` of `block` put it, or ending at
// the last 'l' between the block's end and `end`.
bool IdentifierNear(const std::uint8_t* block, std::size_t end) {
    if (end >= kVatIdFromEnd && end - kVatIdFromEnd + kVatIdBytes <= kBlockBytes &&
        IdMatches(block + end - kVatIdFromEnd) >= kVatIdMatches)
        return true;
    for (std::size_t at = kBlockBytes; at-- > end;) {
        if (block[at] != 'l') continue;
        return at + 1 >= kVatIdBytes && IdMatches(block + at + 1 - kVatIdBytes) >= kVatIdMatches;
    }
    return false;
}

std::uint32_t BlocksFor(std::uint64_t bytes) { return static_cast<std::uint32_t>((bytes + kBlockBytes - 1) / kBlockBytes); }

// Reads the recorded extents of a short or long descriptor list into `data`.
VatLoad ReadExtents(const std::uint8_t* entry, const Area& area, std::size_t descriptorBytes, std::uint32_t units,
                    bool unitsAreBlocks, std::int64_t partitionStart, const ReadBlockFunction& read,
                    std::vector<std::uint8_t>& data, std::uint32_t size, const VatLoadLog& log) {
    // The buffer holds the larger of the size and the recorded lengths.
    std::uint64_t recorded = 0;
    for (std::size_t at = area.start; at + descriptorBytes <= area.end; at += descriptorBytes) {
        const std::uint32_t length = GetLe32(entry + at);
        if (TypeOfExtent(length) == ExtentType::kRecorded) recorded += LengthOfExtent(length);
    }
    if (recorded > kMaxVatBytes) return VatLoad::kRefused;
    data.assign(std::max<std::uint64_t>(size, recorded), 0);
    std::vector<std::uint8_t> scratch(kBlockBytes);
    std::size_t position = 0;
    bool firstRead = true;
    const bool unlimited = units == 0;
    for (std::size_t at = area.start; at + descriptorBytes <= area.end && (unlimited || units > 0); at += descriptorBytes) {
        if (AllZero(entry + at, descriptorBytes)) break;
        const std::uint32_t field = GetLe32(entry + at);
        const std::uint32_t where = GetLe32(entry + at + 4);
        const std::uint32_t length = LengthOfExtent(field);
        if (!unlimited) units -= unitsAreBlocks ? std::min(units, std::max<std::uint32_t>(1, BlocksFor(length))) : 1;
        if (TypeOfExtent(field) != ExtentType::kRecorded) {
            if (log.unrecordedExtent) log.unrecordedExtent(field, where);
            continue;
        }
        const std::int64_t first = partitionStart + where;
        const std::uint32_t whole = length / kBlockBytes;
        const std::uint32_t partial = length % kBlockBytes;
        for (std::uint32_t k = 0; k <= whole; ++k) {
            const std::size_t bytes = k < whole ? kBlockBytes : partial;
            if (bytes == 0 || position + bytes > data.size()) break;
            const std::int64_t block = first + k;
            // The partial last block goes through a scratch block: only its
            // used bytes are appended.
            if (read(block, scratch.data())) {
                std::memcpy(data.data() + position, scratch.data(), bytes);
            } else {
                if (firstRead) return VatLoad::kFirstReadFailed;
                if (log.readFailed) log.readFailed(block);
                std::memset(data.data() + position, 0xFF, bytes);
            }
            firstRead = false;
            position += k < whole ? bytes : bytes & ~std::size_t{3};
        }
    }
    if (firstRead) return VatLoad::kRefused;  // no recorded extent at all
    return VatLoad::kLoaded;
}

}  // namespace

VatLoad LoadVatTable(const std::uint8_t* entry, std::int64_t partitionStart, const ReadBlockFunction& read,
                     VatTable& table, const VatLoadLog& log) {
    table = VatTable{};
    const std::uint64_t information = bytes::GetLe64(entry + kFeInformationLength);
    const std::uint32_t size = static_cast<std::uint32_t>(information);
    std::uint32_t units = GetLe32(entry + kFeBlocksRecorded);
    // A size below the trailer leaves a negative entry count.
    if (size < kVatTrailerBytes || size > kMaxVatBytes) return VatLoad::kRefused;
    if (units != 0 && std::uint64_t{units} * kBlockBytes < size) return VatLoad::kRefused;
    units = std::min(units, BlocksFor(size));
    const bool unitsAreBlocks = units != 0 && units == BlocksFor(information);
    if (unitsAreBlocks && log.blocksAreSectors) log.blocksAreSectors();

    const Area area = DescriptorArea(entry);
    std::vector<std::uint8_t> data;
    switch (DescriptorType(entry)) {
        case kExtendedDescriptors: return VatLoad::kExtended;
        case kEmbeddedData:
            // An embedded table is never more than the descriptor area.
            if (size > area.end - area.start) return VatLoad::kRefused;
            data.assign(entry + area.start, entry + area.start + size);
            break;
        default: {
            const std::size_t descriptorBytes =
                DescriptorType(entry) == kLongDescriptors ? kLongDescriptorBytes : kShortDescriptorBytes;
            const VatLoad loaded = ReadExtents(entry, area, descriptorBytes, units, unitsAreBlocks, partitionStart,
                                               read, data, size, log);
            if (loaded != VatLoad::kLoaded) return loaded;
            break;
        }
    }

    std::size_t first = 0;
    std::size_t end = size;
    if (entry[kFeFileType] == kFileTypeVat) {
        const std::uint32_t header = GetLe16(data.data());
        if (header < kVatHeaderBytes || header > size) return VatLoad::kRefused;
        table.headerForm = true;
        table.previous = GetLe32(data.data() + kVatHeaderPrevious);
        first = header;
    } else {
        table.previous = GetLe32(data.data() + size - 4);
        end = size - kVatTrailerBytes;
    }
    const std::size_t count = (end - first) / 4;
    table.entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) table.entries[i] = GetLe32(data.data() + first + 4 * i);
    return VatLoad::kLoaded;
}

bool LooksLikeVat(const std::uint8_t* entry, std::int64_t partitionStart, const ReadBlockFunction& read) {
    const std::uint64_t information = bytes::GetLe64(entry + kFeInformationLength);
    const std::uint64_t units = bytes::GetLe64(entry + kFeBlocksRecorded);
    const Area area = DescriptorArea(entry);
    const std::size_t end = static_cast<std::size_t>((information - 1) % kBlockBytes) + 1;
    std::vector<std::uint8_t> block(kBlockBytes);
    switch (DescriptorType(entry)) {
        case kExtendedDescriptors: return true;
        case kEmbeddedData: {
            const std::size_t embedded = information % kBlockBytes == 0 ? kEmbeddedEmptyBytes : information % kBlockBytes;
            const std::size_t dataEnd = std::min<std::size_t>(area.start + embedded, kBlockBytes);
            std::memcpy(block.data(), entry, kBlockBytes);
            return IdentifierNear(block.data(), dataEnd);
        }
        case kShortDescriptors: {
            const std::size_t count = (area.end - area.start) / kShortDescriptorBytes;
            if (units == 0 || count == 0) return false;
            std::int64_t where = 0;
            if (units <= count) {
                where = partitionStart + GetLe32(entry + area.start + (units - 1) * kShortDescriptorBytes + 4);
            } else if (units == BlocksFor(information)) {
                // Blocks recorded counts blocks, not descriptors: the data
                // end in the last block of the last extent.
                const std::uint8_t* last = entry + area.start + (count - 1) * kShortDescriptorBytes;
                const std::uint32_t length = LengthOfExtent(GetLe32(last));
                where = partitionStart + GetLe32(last + 4) + (length == 0 ? 0 : (length - 1) / kBlockBytes);
            } else {
                return false;  // the descriptor it names lies past the descriptor area
            }
            return read(where, block.data()) && IdentifierNear(block.data(), end);
        }
        default: {
            if (units == 0 || units > kMaxLongDescriptors || units > (area.end - area.start) / kLongDescriptorBytes)
                return false;
            const std::size_t at = area.start + (units - 1) * kLongDescriptorBytes;
            const std::int64_t position = GetLe32(entry + at + 4);
            const bool relative = GetLe16(entry + at + 8) != 0;
            if (read(position + (relative ? partitionStart : 0), block.data()) && IdentifierNear(block.data(), end))
                return true;
            return !relative && partitionStart != 0 && read(position + partitionStart, block.data()) &&
                   IdentifierNear(block.data(), end);
        }
    }
}

bool IsVatEntry(const std::uint8_t* entry, std::int64_t partitionStart, const ReadBlockFunction& read) {
    if (!IsFileEntryTag(TagId(entry))) return false;
    if (entry[kFeFileType] == kFileTypeVat) return true;
    return entry[kFeFileType] == 0 && LooksLikeVat(entry, partitionStart, read);
}

}  // namespace dravik::readers::udf
