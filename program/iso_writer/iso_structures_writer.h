// ISO 9660 structures encoded byte by byte: directory records (and their
// High Sierra form), volume descriptors, the set terminator and path
// tables. Each function writes exactly the fields it is given, so a caller
// can lay out a regular volume or a deliberately damaged one; the layout of
// a whole volume (which block holds what) is the caller's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::iso_writer {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kBlockBytes = 2048;
inline constexpr std::uint8_t kFlagDirectory = 0x02;
inline constexpr std::uint8_t kFlagMultiExtent = 0x80;

// A both-byte-order field: the little-endian half, then the big-endian one.
void PutBoth16(std::uint8_t* at, std::uint16_t value);
void PutBoth32(std::uint8_t* at, std::uint32_t value);
// `text` in a field of `width` bytes, padded with spaces (cut if longer).
void PutPadded(std::uint8_t* at, std::size_t width, std::string_view text);

enum class RecordLayout {
    kIso9660,    // 7-byte date, flags at byte 25
    kHighSierra, // 6-byte date, flags at byte 24, byte 25 reserved
};

struct RecordFields {
    std::uint32_t extent = 0;
    std::uint32_t length = 0;
    std::uint8_t flags = 0;
    std::string id;  // identifier bytes as recorded ("\0" self, "\1" parent)
    // Years since 1900, month, day, hour, minute, second, zone in 15-minute
    // steps from Greenwich (High Sierra records have no zone).
    std::array<std::uint8_t, 7> date{};
    std::uint16_t volumeSequence = 1;
    Bytes systemUse;  // after the identifier and its padding byte
};
// The record, its length byte included; throws std::length_error when it
// would be longer than a record can say (255 bytes).
Bytes DirectoryRecord(const RecordFields& fields, RecordLayout layout = RecordLayout::kIso9660);

// Records packed one after another into one block, the rest zero; throws
// std::length_error when they do not fit.
Bytes PackBlock(const std::vector<Bytes>& records);

struct VolumeFields {
    std::uint8_t type = 1;  // 1 primary, 2 supplementary
    std::string systemId;
    std::string volumeId;
    std::uint32_t volumeSpace = 0;
    std::string escapes;  // supplementary descriptors: at byte 88 as given
    // Zero leaves the field zero, as damaged or minimal volumes have it.
    std::uint16_t volumeSetSize = 0;
    std::uint16_t volumeSequence = 0;
    std::uint16_t blockBytes = 0;
    std::uint32_t pathTableBytes = 0;
    std::uint32_t pathTableL = 0;  // little-endian only
    std::uint32_t pathTableM = 0;  // big-endian only
    Bytes rootRecord;              // up to 34 bytes at byte 156
    // The 128-byte identifiers and the 37-byte file names; a field left out
    // stays zero, one given (even empty) is padded with spaces.
    std::optional<std::string> volumeSetId, publisherId, preparerId, applicationId;
    std::optional<std::string> copyrightFile, abstractFile, bibliographicFile;
    // The 17-byte dates (16 digits and a zone byte), written as given; an
    // empty one stays zero.
    std::string created, modified, expires, effective;
    std::uint8_t fileStructureVersion = 0;
};
Bytes VolumeDescriptor(const VolumeFields& fields);
Bytes SetTerminator();

struct PathTableEntry {
    std::uint32_t extent;
    std::uint16_t parent;  // the parent's number, from 1
    std::string id;        // "\0" for the root
};
// A path table of type L (little-endian) or M (big-endian).
Bytes PathTable(const std::vector<PathTableEntry>& entries, bool bigEndian);

}  // namespace dravik::iso_writer
