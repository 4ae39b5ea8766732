// ISO 9660, Joliet and High Sierra structures for tests, so that a test
// can lay out exactly the (damaged) volume it needs on a DiscBuilder track.
// The ISO 9660 structures come from the ISO writer the sample disc uses
// (program/iso_writer), written from the format's definition, not from the
// reader; Joliet names and the High Sierra descriptor are added here.
// Real-tool images in other tests guard against writer and reader agreeing
// on the same mistake.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dravik::test::iso {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kDirectory = 0x02;
constexpr std::uint8_t kMultiExtent = 0x80;

// A date the tests can recognise: 2021-05-06 07:08:09, zone +4 (one hour).
constexpr std::uint8_t kTestDate[7] = {121, 5, 6, 7, 8, 9, 4};

struct Record {
    std::uint32_t extent = 0;
    std::uint32_t length = 0;
    std::uint8_t flags = 0;
    std::string id;      // raw identifier bytes ("\0" self, "\1" parent)
    Bytes systemUse;     // appended after the identifier (and its padding)
};
Bytes DirectoryRecord(const Record& record);
// High Sierra: flags at byte 24, date in bytes 18-23.
Bytes HighSierraRecord(const Record& record);

// A self entry and a parent entry.
Bytes SelfAndParent(std::uint32_t self, std::uint32_t selfLength, std::uint32_t parent, std::uint32_t parentLength);
// Records packed into one 2048-byte sector (they must fit).
Bytes Sector(const std::vector<Bytes>& records);

struct VolumeFields {
    std::string volumeId = "TESTVOL";
    std::string systemId;
    std::uint32_t volumeSpace = 0;
    std::uint32_t rootExtent = 0;
    std::uint32_t rootLength = 2048;
    std::uint32_t pathTableSize = 0;
    std::uint32_t pathTableL = 0;
    std::uint32_t pathTableM = 0;
};
Bytes PrimaryDescriptor(const VolumeFields& fields);
// Joliet: the volume identifier as UCS-2, escape sequence "%/E" unless told.
Bytes JolietDescriptor(const VolumeFields& fields, const std::string& escape = "%/E");
Bytes Terminator();
Bytes HighSierraDescriptor(const VolumeFields& fields);

struct PathEntry {
    std::uint32_t extent;
    std::uint16_t parent;
    std::string id;  // "\0" for the root
};
// A path table of type L (little-endian) or M (big-endian).
Bytes PathTable(const std::vector<PathEntry>& entries, bool bigEndian = false);

// ASCII text as UCS-2 big-endian bytes.
std::string Ucs2(const std::string& ascii);
// A Rock Ridge "NM" entry of version `version`.
Bytes NameEntry(const std::string& name, std::uint8_t version = 1);

}  // namespace dravik::test::iso
