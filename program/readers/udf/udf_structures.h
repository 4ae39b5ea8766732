// Where the UDF descriptors keep the fields the reader uses: descriptor
// tags, anchors, volume descriptors, partition maps, the file set
// descriptor, File Entries, File Identifier Descriptors and allocation
// descriptors. All numbers are little-endian. Accessors take a whole
// 2048-byte block unless they say otherwise; the caller has checked that
// the field lies inside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/byte_order.h"

namespace dravik::readers::udf {

using bytes::GetLe16;
using bytes::GetLe32;

constexpr int kBlockBytes = 2048;

// Descriptor tag identifiers.
constexpr std::uint16_t kTagPrimaryVolume = 1;
constexpr std::uint16_t kTagAnchor = 2;
constexpr std::uint16_t kTagPartition = 5;
constexpr std::uint16_t kTagLogicalVolume = 6;
constexpr std::uint16_t kTagTerminating = 8;
constexpr std::uint16_t kTagFileSet = 256;
constexpr std::uint16_t kTagFileIdentifier = 257;
constexpr std::uint16_t kTagAllocationExtent = 258;
constexpr std::uint16_t kTagFileEntry = 261;
constexpr std::uint16_t kTagExtendedAttributes = 262;
constexpr std::uint16_t kTagExtendedFileEntry = 266;  // the File Entry of UDF 2.00 and later
constexpr std::uint16_t kTagDirectCdPrefix = 376;     // a DirectCD block: the descriptor follows 40 bytes on
constexpr std::uint16_t kTagCompressedFileSet = 392;  // a compressed volume's file set descriptor
constexpr std::uint16_t kTagDirectCdLogical = 0x9999; // a compressed DirectCD volume's logical volume descriptor
constexpr std::size_t kDirectCdPrefixBytes = 40;

// Descriptor tag.
constexpr std::size_t kTagBytes = 16;
constexpr std::size_t kTagId = 0;
constexpr std::size_t kTagVersion = 2;
constexpr std::size_t kTagChecksum = 4;
constexpr std::size_t kTagReserved = 5;
constexpr std::size_t kTagCrcLength = 10;
constexpr std::size_t kTagLocation = 12;

// Anchor volume descriptor pointer.
constexpr std::size_t kAnchorMainLength = 16;
constexpr std::size_t kAnchorMainLocation = 20;
constexpr std::size_t kAnchorReserveLength = 24;
constexpr std::size_t kAnchorReserveLocation = 28;

// Primary volume descriptor: implementation identifier (flags byte, then text).
constexpr std::size_t kPvdImplementationId = 388;

// Partition descriptor.
constexpr std::size_t kPdAccessType = 184;
constexpr std::size_t kPdStart = 188;
constexpr std::size_t kPdLength = 192;
constexpr std::uint32_t kAccessReadOnly = 1;
constexpr std::uint32_t kAccessRewritable = 3;

// Logical volume descriptor.
constexpr std::size_t kLvdVolumeId = 84;  // 128-byte d-string
constexpr std::size_t kLvdVolumeIdBytes = 128;
constexpr std::size_t kLvdFsdLength = 248;
constexpr std::size_t kLvdFsdBlock = 252;
constexpr std::size_t kLvdMapTableLength = 264;
constexpr std::size_t kLvdMapCount = 268;
constexpr std::size_t kLvdMaps = 440;

// Partition maps: type 1 (physical, 6 bytes) and type 2 (64 bytes, by its
// entity identifier: sparable, virtual, ...).
constexpr std::uint8_t kMapPhysical = 1;
constexpr std::uint8_t kMapIdentified = 2;
constexpr std::size_t kMapType2Bytes = 64;
constexpr std::size_t kMapEntityId = 5;      // identifier text after the flags byte at 4
constexpr std::size_t kMapPacketLength = 40;
constexpr std::size_t kMapSparingTableCount = 42;
constexpr std::size_t kMapSparingTables = 48;
constexpr char kSparableMapId[] = "*UDF Sparable Partition";
constexpr char kVirtualMapId[] = "*UDF Virtual Partition";

// Sparing table.
constexpr std::size_t kSparingId = 17;  // "*UDF Sparing Table" and its 0 byte, bytes 17-34
constexpr char kSparingTableId[] = "*UDF Sparing Table";
constexpr std::size_t kSparingEntryCount = 48;
constexpr std::size_t kSparingEntries = 56;
constexpr std::size_t kSparingEntryBytes = 8;

// File set descriptor.
constexpr std::size_t kFsdRecordingDate = 16;
constexpr std::size_t kFsdVolumeId = 112;  // 128-byte d-string
constexpr std::size_t kFsdFileSetId = 304;  // 32-byte d-string
constexpr std::size_t kFsdFileSetIdBytes = 32;
constexpr std::size_t kFsdRootLength = 400;
constexpr std::size_t kFsdRootBlock = 404;
constexpr std::size_t kFsdRootPartition = 408;

// File Entry (tag 261) and Extended File Entry (tag 266): the same up to
// byte 64, then the extended entry's fields lie further on.
constexpr std::size_t kFeFileType = 27;
constexpr std::size_t kFeIcbFlags = 34;
constexpr std::size_t kFeInformationLength = 56;  // 64-bit
constexpr std::size_t kFeBlocksRecorded = 64;     // 64-bit
constexpr std::size_t kFeModificationTime = 84;
constexpr std::size_t kFeExtendedAttributesLength = 168;
constexpr std::size_t kFeDescriptorsLength = 172;
constexpr std::size_t kFeExtendedAttributes = 176;
constexpr std::size_t kEfeModificationTime = 92;
constexpr std::size_t kEfeExtendedAttributesLength = 208;
constexpr std::size_t kEfeDescriptorsLength = 212;
constexpr std::size_t kEfeExtendedAttributes = 216;
constexpr std::uint8_t kFileTypeDirectory = 4;
constexpr std::uint8_t kFileTypeVat = 248;
// Allocation descriptor types (ICB tag flags bits 0-1).
constexpr int kShortDescriptors = 0;
constexpr int kLongDescriptors = 1;
constexpr int kExtendedDescriptors = 2;
constexpr int kEmbeddedData = 3;
constexpr std::size_t kShortDescriptorBytes = 8;
constexpr std::size_t kLongDescriptorBytes = 16;
constexpr std::size_t kExtendedDescriptorBytes = 20;

// Extended attribute header (tag 262).
constexpr std::size_t kEaApplicationLocation = 20;
constexpr std::size_t kEaHeaderBytes = 24;
constexpr std::size_t kEaFarLocation = 32;  // used when the application location is past 2046

// Allocation extent descriptor (tag 258): descriptor bytes at 20, descriptors from 24.
constexpr std::size_t kAedDescriptorsLength = 20;
constexpr std::size_t kAedDescriptors = 24;

// File identifier descriptor.
constexpr std::size_t kFidCharacteristics = 18;
constexpr std::size_t kFidNameLength = 19;
constexpr std::size_t kFidIcbLength = 20;
constexpr std::size_t kFidIcbBlock = 24;
constexpr std::size_t kFidIcbPartition = 28;
constexpr std::size_t kFidImplementationLength = 36;
constexpr std::size_t kFidFixedBytes = 38;
constexpr std::uint8_t kFidDeleted = 0x04;
constexpr std::uint8_t kFidParent = 0x08;

// Extent lengths carry their type in the top two bits.
constexpr std::uint32_t kExtentLengthMask = 0x3FFFFFFF;
enum class ExtentType { kRecorded = 0, kAllocated = 1, kUnallocated = 2, kNextDescriptors = 3 };
inline ExtentType TypeOfExtent(std::uint32_t length) { return static_cast<ExtentType>(length >> 30); }
inline std::uint32_t LengthOfExtent(std::uint32_t length) { return length & kExtentLengthMask; }

inline std::uint16_t TagId(const std::uint8_t* descriptor) { return GetLe16(descriptor + kTagId); }
inline std::uint32_t TagLocation(const std::uint8_t* descriptor) { return GetLe32(descriptor + kTagLocation); }
inline int DescriptorType(const std::uint8_t* fileEntry) { return fileEntry[kFeIcbFlags] & 3; }

// A tag that names a file's entry, plain or extended.
inline bool IsFileEntryTag(std::uint16_t tag) { return tag == kTagFileEntry || tag == kTagExtendedFileEntry; }

// Where the fields past byte 64 lie in an entry of either kind.
struct EntryFields {
    std::size_t modificationTime;
    std::size_t extendedAttributesLength;
    std::size_t descriptorsLength;
    std::size_t extendedAttributes;
};
inline EntryFields FieldsOf(const std::uint8_t* entry) {
    if (TagId(entry) == kTagExtendedFileEntry)
        return {kEfeModificationTime, kEfeExtendedAttributesLength, kEfeDescriptorsLength, kEfeExtendedAttributes};
    return {kFeModificationTime, kFeExtendedAttributesLength, kFeDescriptorsLength, kFeExtendedAttributes};
}

// The first `size` bytes are all zero.
inline bool AllZero(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

}  // namespace dravik::readers::udf
