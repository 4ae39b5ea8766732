#include "support/udf_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/byte_order.h"
#include "program/readers/udf/udf_structures.h"

namespace dravik::test {

namespace {

using namespace readers::udf;
using bytes::PutLe16;
using bytes::PutLe32;
using bytes::PutLe64;

constexpr uint16_t kTagImplementationUse = 4;
constexpr std::size_t kSequenceBlocks = 16;
constexpr std::size_t kEntryFixedBytes = 176;

uint8_t Checksum(const uint8_t* tag) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kTagBytes; ++i)
        if (i != kTagChecksum) sum += tag[i];
    return static_cast<uint8_t>(sum);
}

// An 8-bit d-string: compression id, text, its length in the last byte.
void PutDString(uint8_t* field, std::size_t size, const std::string& text) {
    const std::size_t length = std::min(text.size(), size - 2);
    field[0] = 8;
    std::memcpy(field + 1, text.data(), length);
    field[size - 1] = static_cast<uint8_t>(length + 1);
}

void PutTimestamp(uint8_t* field) {
    PutLe16(field, 0x1000);
    PutLe16(field + 2, 2024);
    const uint8_t rest[] = {5, 17, 10, 20, 30};
    std::memcpy(field + 4, rest, sizeof rest);
}

// The domain identifier of a logical volume or file set: the volume
// keeps to the UDF revision named in its suffix.
void PutDomain(uint8_t* field, uint16_t revision) {
    std::memcpy(field + 1, "*OSTA UDF Compliant", 19);
    PutLe16(field + 24, revision);
}

void PutIdentifier(uint8_t* field, const std::string& text) { std::memcpy(field + 1, text.data(), std::min<std::size_t>(text.size(), 23)); }

}  // namespace

uint16_t UdfCrc(const uint8_t* bytes, std::size_t size) {
    uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint16_t>(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

UdfBuilder::UdfBuilder(int32_t blocks, uint32_t partitionStart)
    : image_(std::size_t(blocks) * kBlockBytes, 0), partitionStart_(partitionStart) {}

uint8_t* UdfBuilder::Block(int32_t absolute) {
    if (absolute < 0 || absolute >= Blocks()) throw std::out_of_range("UDF test block " + std::to_string(absolute));
    return image_.data() + std::size_t(absolute) * kBlockBytes;
}

void UdfBuilder::Tag(uint8_t* descriptor, uint16_t id, uint32_t location, std::size_t bytes) {
    const std::size_t offset = static_cast<std::size_t>(descriptor - image_.data());
    const auto block = static_cast<int32_t>(offset / kBlockBytes);
    if (const auto recorded = recordedAs_.find(block); recorded != recordedAs_.end()) location = recorded->second;
    PutLe16(descriptor + kTagId, id);
    PutLe16(descriptor + kTagVersion, 2);
    PutLe16(descriptor + kTagCrcLength, static_cast<uint16_t>(bytes - kTagBytes));
    PutLe32(descriptor + kTagLocation, location);
    Reseal(block, offset % kBlockBytes);
}

void UdfBuilder::RecordAs(uint32_t at, uint32_t recordedAs) { recordedAs_[Absolute(at)] = recordedAs; }

void UdfBuilder::Reseal(int32_t absolute, std::size_t offset) {
    uint8_t* descriptor = Block(absolute) + offset;
    const std::size_t length = std::min<std::size_t>(bytes::GetLe16(descriptor + kTagCrcLength),
                                                     image_.data() + image_.size() - descriptor - kTagBytes);
    PutLe16(descriptor + 8, UdfCrc(descriptor + kTagBytes, length));
    descriptor[kTagChecksum] = Checksum(descriptor);
}

void UdfBuilder::BreakChecksum(int32_t absolute, std::size_t offset) {
    uint8_t* descriptor = Block(absolute) + offset;
    descriptor[kTagChecksum] = static_cast<uint8_t>(Checksum(descriptor) + 1);
}

void UdfBuilder::Anchor(int32_t at, const UdfVolume& volume, int32_t recordedAt) {
    uint8_t* d = Block(at);
    PutLe32(d + kAnchorMainLength, kSequenceBlocks * kBlockBytes);
    PutLe32(d + kAnchorMainLocation, static_cast<uint32_t>(volume.mainSequence));
    PutLe32(d + kAnchorReserveLength, volume.reserveSequence ? kSequenceBlocks * kBlockBytes : 0);
    PutLe32(d + kAnchorReserveLocation, static_cast<uint32_t>(volume.reserveSequence));
    Tag(d, kTagAnchor, static_cast<uint32_t>(recordedAt < 0 ? at : recordedAt), 512);
}

void UdfBuilder::Recognition(const UdfVolume& volume) {
    const char* ids[] = {"BEA01", volume.udfRevision >= 0x0200 ? "NSR03" : "NSR02", "TEA01"};
    for (int i = 0; i < 3; ++i) {
        uint8_t* d = Block(16 + i);
        std::memcpy(d + 1, ids[i], 5);
        d[6] = 1;  // structure version
    }
}

void UdfBuilder::Sequence(int32_t at, const UdfVolume& volume) {
    uint8_t* pvd = Block(at);
    PutDString(pvd + 24, 32, volume.name);
    PutIdentifier(pvd + kPvdImplementationId, volume.implementation);
    Tag(pvd, kTagPrimaryVolume, static_cast<uint32_t>(at), 512);

    uint8_t* pd = Block(at + 1);
    PutLe32(pd + kPdAccessType, volume.writeOnce ? 2 : kAccessReadOnly);
    PutLe32(pd + kPdStart, volume.partitionStart);
    PutLe32(pd + kPdLength, volume.partitionLength);
    Tag(pd, kTagPartition, static_cast<uint32_t>(at + 1), 512);

    uint8_t* lvd = Block(at + 2);
    PutDString(lvd + kLvdVolumeId, kLvdVolumeIdBytes, volume.name);
    PutLe32(lvd + 212, kBlockBytes);
    PutDomain(lvd + 216, volume.udfRevision);
    PutLe32(lvd + kLvdFsdLength, kBlockBytes);
    PutLe32(lvd + kLvdFsdBlock, volume.fileSet);
    PutLe16(lvd + kLvdFsdBlock + 4, volume.fileSetReference);
    PutIdentifier(lvd + 272, volume.implementation);  // the implementation identifier
    uint8_t* map = lvd + kLvdMaps;
    map[0] = kMapPhysical;
    map[1] = 6;
    PutLe16(map + 2, 1);
    uint32_t maps = 1;
    std::size_t mapBytes = 6;
    if (volume.sparable) {
        uint8_t* sparable = map + 6;
        sparable[0] = kMapIdentified;
        sparable[1] = kMapType2Bytes;
        std::memcpy(sparable + kMapEntityId, kSparableMapId, sizeof kSparableMapId - 1);
        PutLe16(sparable + kMapEntityId + 23, volume.udfRevision);
        PutLe16(sparable + 36, 1);
        PutLe16(sparable + kMapPacketLength, volume.packetLength);
        sparable[kMapSparingTableCount] = static_cast<uint8_t>(std::min<std::size_t>(volume.sparingTables.size(), 4));
        PutLe32(sparable + 44, kBlockBytes);
        for (std::size_t i = 0; i < volume.sparingTables.size() && i < 4; ++i)
            PutLe32(sparable + kMapSparingTables + 4 * i, volume.sparingTables[i]);
        ++maps;
        mapBytes += kMapType2Bytes;
    }
    if (volume.writeOnce) {
        uint8_t* virt = map + mapBytes;
        virt[0] = kMapIdentified;
        virt[1] = kMapType2Bytes;
        std::memcpy(virt + kMapEntityId, kVirtualMapId, sizeof kVirtualMapId - 1);
        PutLe16(virt + kMapEntityId + 23, volume.udfRevision);
        PutLe16(virt + 36, 1);
        ++maps;
        mapBytes += kMapType2Bytes;
    }
    PutLe32(lvd + kLvdMapTableLength, static_cast<uint32_t>(mapBytes));
    PutLe32(lvd + kLvdMapCount, maps);
    Tag(lvd, kTagLogicalVolume, static_cast<uint32_t>(at + 2), kLvdMaps + mapBytes);

    Tag(Block(at + 3), kTagImplementationUse, static_cast<uint32_t>(at + 3), 512);
    Tag(Block(at + 4), kTagTerminating, static_cast<uint32_t>(at + 4), 512);
}

void UdfBuilder::SparingTable(int32_t at, uint16_t packetLength) {
    uint8_t* d = Block(at);
    std::memcpy(d + kSparingId, kSparingTableId, sizeof kSparingTableId - 1);
    PutLe16(d + kSparingEntryCount, 0);
    PutLe16(d + 50, packetLength);
    Tag(d, 0, static_cast<uint32_t>(at), kSparingEntries);
}

void UdfBuilder::FileSet(uint32_t at, uint32_t rootEntry, const std::string& fileSetId, uint16_t rootReference) {
    uint8_t* d = Block(Absolute(at));
    PutTimestamp(d + kFsdRecordingDate);
    PutDString(d + kFsdVolumeId, kLvdVolumeIdBytes, "LAYOUT");
    PutDString(d + kFsdFileSetId, kFsdFileSetIdBytes, fileSetId);
    PutLe32(d + kFsdRootLength, kBlockBytes);
    PutLe32(d + kFsdRootBlock, rootEntry);
    PutLe16(d + kFsdRootPartition, rootReference);
    PutDomain(d + 416, 0x0201);
    Tag(d, kTagFileSet, at, 512);
}

namespace {

std::size_t PutExtents(uint8_t* ads, UdfData kind, const std::vector<UdfExtent>& extents, uint64_t size) {
    const std::size_t each = kind == UdfData::kShort ? kShortDescriptorBytes : kLongDescriptorBytes;
    std::size_t adBytes = 0;
    for (const UdfExtent& extent : extents) {
        PutLe32(ads + adBytes, extent.length ? extent.length : static_cast<uint32_t>(size));
        PutLe32(ads + adBytes + 4, extent.block);
        if (kind == UdfData::kLong) {
            PutLe16(ads + adBytes + 8, extent.reference);
            PutLe16(ads + adBytes + 10, extent.flags);
            PutLe32(ads + adBytes + 12, extent.word);
        }
        adBytes += each;
    }
    return adBytes;
}

}  // namespace

void UdfBuilder::AllocationExtent(uint32_t at, UdfData kind, const std::vector<UdfExtent>& extents) {
    uint8_t* d = Block(Absolute(at));
    const std::size_t adBytes = PutExtents(d + kAedDescriptors, kind, extents, 0);
    PutLe32(d + kAedDescriptorsLength, static_cast<uint32_t>(adBytes));
    Tag(d, kTagAllocationExtent, at, kAedDescriptors + adBytes);
}

void UdfBuilder::Entry(uint32_t at, const UdfEntry& entry) {
    uint8_t* d = Block(Absolute(at));
    PutLe16(d + 20, 4);  // strategy type 4
    d[kFeFileType] = entry.fileType >= 0 ? static_cast<uint8_t>(entry.fileType) : entry.directory ? kFileTypeDirectory : 5;
    const int kind = entry.kind == UdfData::kShort ? kShortDescriptors
                     : entry.kind == UdfData::kLong ? kLongDescriptors
                                                    : kEmbeddedData;
    PutLe16(d + kFeIcbFlags, static_cast<uint16_t>(kind));
    PutLe16(d + 48, 1);  // file link count: readers take 0 for a deleted entry
    PutLe64(d + kFeInformationLength, entry.size);
    PutLe64(d + kFeBlocksRecorded, (entry.size + kBlockBytes - 1) / kBlockBytes);
    PutTimestamp(d + kFeModificationTime);
    uint32_t ea = entry.extendedAttributes;
    if (ea != 0) {
        ea = std::max<uint32_t>((ea + 3) & ~3u, kEaHeaderBytes);
        uint8_t* header = d + kEntryFixedBytes;
        PutLe32(header + 16, ea);
        PutLe32(header + kEaApplicationLocation, ea);
        Tag(header, kTagExtendedAttributes, at, kEaHeaderBytes);
    }
    uint8_t* ads = d + kEntryFixedBytes + ea;
    std::size_t adBytes = 0;
    if (entry.kind == UdfData::kEmbedded) {
        adBytes = entry.embedded.size();
        std::memcpy(ads, entry.embedded.data(), adBytes);
    } else {
        adBytes = PutExtents(ads, entry.kind, entry.extents, entry.size);
    }
    PutLe32(d + kFeExtendedAttributesLength, ea);
    PutLe32(d + kFeDescriptorsLength, static_cast<uint32_t>(adBytes));
    Tag(d, kTagFileEntry, at, kEntryFixedBytes + ea + adBytes);
}

uint32_t UdfBuilder::Directory(uint32_t at, const std::vector<UdfFid>& fids, bool directCdPrefix) {
    std::vector<uint8_t> stream(directCdPrefix ? kDirectCdPrefixBytes : 0, 0);
    std::vector<std::size_t> starts;
    for (const UdfFid& fid : fids) {
        const std::size_t nameBytes = fid.name.empty() ? 0 : fid.name.size() + 1;
        const std::size_t size = (kFidFixedBytes + fid.implementationUse + nameBytes + 3) & ~std::size_t{3};
        const std::size_t start = stream.size();
        starts.push_back(start);
        stream.resize(start + size, 0);
        uint8_t* f = stream.data() + start;
        PutLe16(f + 16, 1);
        f[kFidCharacteristics] = fid.characteristics;
        f[kFidNameLength] = static_cast<uint8_t>(nameBytes);
        PutLe32(f + kFidIcbLength, kBlockBytes);
        PutLe32(f + kFidIcbBlock, fid.entry);
        PutLe16(f + kFidIcbPartition, fid.reference);
        PutLe16(f + kFidImplementationLength, fid.implementationUse);
        if (nameBytes) {
            f[kFidFixedBytes + fid.implementationUse] = 8;
            std::memcpy(f + kFidFixedBytes + fid.implementationUse + 1, fid.name.data(), fid.name.size());
        }
    }
    Data(at, stream);
    uint8_t* first = Block(Absolute(at));
    if (directCdPrefix) Tag(first, kTagDirectCdPrefix, at, kTagBytes);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t next = i + 1 < starts.size() ? starts[i + 1] : stream.size();
        Tag(first + starts[i], kTagFileIdentifier, at + static_cast<uint32_t>(starts[i] / kBlockBytes), next - starts[i]);
    }
    return static_cast<uint32_t>(stream.size());
}

void UdfBuilder::Data(uint32_t at, std::span<const uint8_t> bytes) {
    const std::size_t offset = std::size_t(Absolute(at)) * kBlockBytes;
    if (offset + bytes.size() > image_.size()) throw std::out_of_range("UDF test data past the image");
    std::copy(bytes.begin(), bytes.end(), image_.begin() + static_cast<std::ptrdiff_t>(offset));
}

uint32_t UdfBuilder::Vat(uint32_t at, const UdfVat& vat) {
    std::vector<uint8_t> table;
    auto put32 = [&table](uint32_t value) {
        const std::size_t at = table.size();
        table.resize(at + 4);
        PutLe32(table.data() + at, value);
    };
    if (vat.headerForm) {
        table.resize(152, 0);
        PutLe16(table.data(), 152);
        PutDString(table.data() + 4, 128, "LAYOUT");
        PutLe32(table.data() + 132, vat.previous);
        PutLe16(table.data() + 144, 0x150);
        PutLe16(table.data() + 146, 0x201);
        PutLe16(table.data() + 148, 0x201);
    }
    for (const uint32_t entry : vat.entries) put32(entry);
    if (!vat.headerForm) {
        const std::size_t id = table.size();
        table.resize(id + 32, 0);
        PutIdentifier(table.data() + id, "*UDF Virtual Alloc Tbl");
        PutLe16(table.data() + id + 24, 0x150);
        put32(vat.previous);
    }
    UdfEntry entry{.size = table.size(), .fileType = vat.headerForm ? kFileTypeVat : 0};
    if (vat.embedded) {
        entry.kind = UdfData::kEmbedded;
        entry.embedded = table;
        Entry(at, entry);
        return at;
    }
    const auto tableBlocks = static_cast<uint32_t>((table.size() + kBlockBytes - 1) / kBlockBytes);
    entry.extents = {{at}};
    Data(at, table);
    Entry(at + tableBlocks, entry);
    return at + tableBlocks;
}

void UdfBuilder::PrefixDirectCd(uint32_t at) {
    uint8_t* d = Block(Absolute(at));
    std::memmove(d + kDirectCdPrefixBytes, d, kBlockBytes - kDirectCdPrefixBytes);
    std::memset(d, 0, kDirectCdPrefixBytes);
    Tag(d, kTagDirectCdPrefix, at, kTagBytes);
}

void UdfBuilder::WriteTo(DiscBuilder& disc, int track, const std::function<int32_t(int32_t)>& place) const {
    for (int32_t b = 0; b < Blocks(); ++b)
        disc.WriteBlock(track, place ? place(b) : b,
                        std::span<const uint8_t>(image_.data() + std::size_t(b) * kBlockBytes, kBlockBytes));
}

}  // namespace dravik::test
