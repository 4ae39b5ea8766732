// Where the ISO 9660, Joliet and High Sierra structures keep the fields the
// reader uses, and small checks on them. Numbers come from the little-endian
// half of both-endian fields (the big-endian half only in a type M path
// table). Every accessor takes a whole 2048-byte block or a directory record
// whose length the caller has checked against its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/byte_order.h"

namespace dravik::readers::iso {

constexpr int kBlockBytes = 2048;
constexpr int kDescriptorBlock = 16;  // first volume descriptor, from the track start

// Volume descriptors (primary type 1, supplementary type 2).
constexpr std::size_t kVdSystemId = 8;        // 32 bytes
constexpr std::size_t kVdVolumeId = 40;       // 32 bytes; Joliet: 16 UCS-2 characters
constexpr std::size_t kVdVolumeSpace = 80;    // 32-bit
constexpr std::size_t kVdEscapes = 88;        // 3 bytes, Joliet
constexpr std::size_t kVdPathTableSize = 132;  // 32-bit
constexpr std::size_t kVdPathTableL = 140;    // 32-bit little-endian
constexpr std::size_t kVdPathTableM = 148;    // 32-bit big-endian
constexpr std::size_t kVdRootRecord = 156;    // 34 bytes
constexpr std::size_t kVdRootExtent = 158;
constexpr std::size_t kVdRootLength = 166;
constexpr std::size_t kVdRootDate = 174;
constexpr std::size_t kVdRootFlags = 181;
constexpr std::size_t kRootRecordBytes = 34;

// High Sierra standard file structure volume descriptor.
constexpr std::size_t kHsSignature = 8;  // 0x01 "CDROM" 0x01
constexpr std::size_t kHsVolumeId = 48;
constexpr std::size_t kHsVolumeSpace = 88;
constexpr std::size_t kHsRootExtent = 182;
constexpr std::size_t kHsRootLength = 190;
constexpr std::size_t kHsRootDate = 198;

// Directory records.
constexpr std::size_t kDrLength = 0;
constexpr std::size_t kDrExtent = 2;
constexpr std::size_t kDrDataLength = 10;
constexpr std::size_t kDrDate = 18;  // 7 bytes (High Sierra: 6 and its flags byte)
constexpr std::size_t kDrFlags = 25;
constexpr std::size_t kHsDrFlags = 24;
constexpr std::size_t kDrIdLength = 32;
constexpr std::size_t kDrId = 33;
constexpr std::size_t kDrMinimumBytes = 34;  // a record with a one-byte identifier
constexpr std::uint8_t kFlagDirectory = 0x02;
constexpr std::uint8_t kFlagMultiExtent = 0x80;

// A self entry whose data length is above this is not believed.
constexpr std::int64_t kMaxDirectoryDataLength = 0x32000000;

// Path table records.
constexpr std::size_t kPtIdLength = 0;
constexpr std::size_t kPtExtAttrLength = 1;
constexpr std::size_t kPtExtent = 2;
constexpr std::size_t kPtParent = 6;
constexpr std::size_t kPtId = 8;

inline bool HasBytes(const std::uint8_t* block, std::size_t at, std::string_view bytes) {
    return std::string_view(reinterpret_cast<const char*>(block) + at, bytes.size()) == bytes;
}
inline bool IsPrimaryDescriptor(const std::uint8_t* block) {
    return HasBytes(block, 0, std::string_view("\x01" "CD001" "\x01", 7));
}
inline bool IsSupplementaryDescriptor(const std::uint8_t* block) {
    return HasBytes(block, 0, std::string_view("\x02" "CD001" "\x01", 7));
}
inline bool IsTerminator(const std::uint8_t* block) { return block[0] == 0xFF && HasBytes(block, 1, "CD001"); }
inline bool IsHighSierraDescriptor(const std::uint8_t* block) {
    return HasBytes(block, kHsSignature, std::string_view("\x01" "CDROM" "\x01", 7));
}
inline bool IsCdiBridge(const std::uint8_t* block) { return HasBytes(block, kVdSystemId, "CD-RTOS CD-BRIDGE"); }
// Some volume structure of a known kind (ISO, High Sierra, or the UDF
// recognition sequence) rather than zeros or damage.
inline bool HoldsKnownDescriptor(const std::uint8_t* block) {
    for (std::string_view id : {"CD001", "BEA01", "NSR02", "NSR03", "TEA01", "BOOT2", "CDW02"})
        if (HasBytes(block, 1, id)) return true;
    return IsHighSierraDescriptor(block);
}

// The record's own fields (the record is at least kDrMinimumBytes long).
inline std::uint32_t RecordExtent(const std::uint8_t* record) { return bytes::GetLe32(record + kDrExtent); }
inline std::uint32_t RecordDataLength(const std::uint8_t* record) { return bytes::GetLe32(record + kDrDataLength); }
inline std::uint8_t RecordIdLength(const std::uint8_t* record) { return record[kDrIdLength]; }
// The directory's own entry: identifier of one byte 0.
inline bool IsSelfEntry(const std::uint8_t* record) { return record[kDrIdLength] == 1 && record[kDrId] == 0; }
inline bool IsSelfOrParentIdentifier(const std::uint8_t* record) {
    return record[kDrIdLength] == 1 && (record[kDrId] == 0 || record[kDrId] == 1);
}

}  // namespace dravik::readers::iso
