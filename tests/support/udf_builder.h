// Lays out small UDF volumes block by block for the reader's tests: the
// layouts packet-writing software leaves that no tool here writes, and
// damaged ones. The test says what goes where (anchors, descriptor
// sequences, File Entries, directories of identifiers, file data); the
// builder fills in tags, checksums and CRCs and copies the blocks onto a
// DiscBuilder track.
//
//   UdfBuilder udf(800, 300);            // 800 blocks, partition at 300
//   udf.Anchor(256, volume);
//   udf.Sequence(volume.mainSequence, volume);
//   udf.FileSet(0, 1);
//   udf.Entry(1, {.directory = true, .size = udf.Directory(2, fids), .extents = {{2, 0}}});
//   udf.WriteTo(disc, track);
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "support/disc_builder.h"

namespace dravik::test {

// Where a File Entry keeps its data.
enum class UdfData { kShort, kLong, kEmbedded };

// An extent of partition blocks; length 0 takes the entry's size.
// The length may carry an extent type in its top two bits (0x40000000
// allocated, 0x80000000 unallocated, 0xC0000000 continued at `block`).
struct UdfExtent {
    uint32_t block = 0;
    uint32_t length = 0;
    uint16_t reference = 0;              // long descriptors: partition reference
    uint16_t flags = 0;                  // long descriptors: implementation-use flags (bytes 10-11)
    uint32_t word = 0;                   // long descriptors: implementation-use word (bytes 12-15)
};

struct UdfEntry {
    bool directory = false;
    uint64_t size = 0;
    UdfData kind = UdfData::kShort;
    std::vector<UdfExtent> extents = {};    // short and long descriptors
    std::vector<uint8_t> embedded = {};     // the data of an embedded entry
    uint32_t extendedAttributes = 0;     // bytes of an attribute area (header included) before the descriptors
    int fileType = -1;                   // -1: directory or plain file as `directory` says
};

// One File Identifier Descriptor; 8-bit names.
struct UdfFid {
    std::string name;
    uint32_t entry = 0;                  // partition block of its File Entry
    uint8_t characteristics = 0;         // 0x02 directory, 0x04 deleted, 0x08 parent
    uint16_t implementationUse = 0;      // bytes before the name
    uint16_t reference = 0;              // partition reference of `entry`
};

struct UdfVolume {
    int32_t mainSequence = 32;           // absolute blocks, five each
    int32_t reserveSequence = 48;
    uint32_t partitionStart = 0;
    uint32_t partitionLength = 0;
    std::string implementation = "*Dravik tests";
    std::string name = "LAYOUT";
    uint32_t fileSet = 0;                // partition block of the file set descriptor
    bool sparable = false;               // a sparable map (reference 1) after the physical one
    uint16_t packetLength = 32;
    std::vector<uint32_t> sparingTables; // absolute blocks
    bool writeOnce = false;              // a write-once partition with a virtual map (reference 1)
    uint16_t fileSetReference = 0;       // partition reference of `fileSet`
    uint16_t udfRevision = 0x0201;       // in the partition maps' identifiers and the recognition sequence
};

// A Virtual Allocation Table: virtual block i lies at partition block
// entries[i]. The newer form (file type 248) starts with a header, the
// older one (file type 0) ends with "*UDF Virtual Alloc Tbl"; both name
// the previous VAT's File Entry.
struct UdfVat {
    std::vector<uint32_t> entries;
    bool headerForm = true;
    uint32_t previous = 0xFFFFFFFF;
    bool embedded = false;               // the table in its File Entry (small tables only)
};

class UdfBuilder {
public:
    UdfBuilder(int32_t blocks, uint32_t partitionStart);

    int32_t Blocks() const { return static_cast<int32_t>(image_.size() / 2048); }
    uint8_t* Block(int32_t absolute);
    int32_t Absolute(uint32_t logical) const { return static_cast<int32_t>(partitionStart_ + logical); }

    // Volume structures, at absolute blocks. `recordedAt` is the location
    // the anchor's tag names (-1: where it lies).
    void Anchor(int32_t at, const UdfVolume& volume, int32_t recordedAt = -1);
    // The volume recognition sequence (BEA01, NSR02 or NSR03 by the
    // revision, TEA01) at blocks 16 to 18, which other readers insist on.
    void Recognition(const UdfVolume& volume);
    // Primary, Partition, Logical Volume, Implementation Use and
    // Terminating descriptors in five blocks from `at`.
    void Sequence(int32_t at, const UdfVolume& volume);
    void SparingTable(int32_t at, uint16_t packetLength);

    // Partition contents, at partition blocks.
    void FileSet(uint32_t at, uint32_t rootEntry, const std::string& fileSetId = "FILESET", uint16_t rootReference = 0);
    void Entry(uint32_t at, const UdfEntry& entry);
    // Writes the identifiers from `at` on (after a 40-byte DirectCD prefix
    // when asked); returns the directory's length in bytes.
    uint32_t Directory(uint32_t at, const std::vector<UdfFid>& fids, bool directCdPrefix = false);
    void Data(uint32_t at, std::span<const uint8_t> bytes);
    // An allocation extent descriptor holding more of a file's descriptors
    // (short or long).
    void AllocationExtent(uint32_t at, UdfData kind, const std::vector<UdfExtent>& extents);
    // The VAT: its table in the blocks from `at` on and its File Entry in
    // the block after them, the last block a write records, as writers put
    // it (an embedded table is the File Entry alone, at `at`). Returns the
    // File Entry's partition block.
    uint32_t Vat(uint32_t at, const UdfVat& vat);
    // Moves the descriptor of a block 40 bytes on behind a DirectCD header.
    void PrefixDirectCd(uint32_t at);

    // Descriptors written from now on in partition block `at` name
    // `recordedAs` in their tags: the virtual block through which a VAT
    // addresses them, as real writers record it.
    void RecordAs(uint32_t at, uint32_t recordedAs);

    // Recomputes CRC and checksum of the descriptor at `offset` in a block
    // (after a test changed it), or writes a wrong checksum on purpose.
    void Reseal(int32_t absolute, std::size_t offset = 0);
    void BreakChecksum(int32_t absolute, std::size_t offset = 0);

    // Copies every block onto the track, block b at place(b) (the same
    // block when `place` is empty).
    void WriteTo(DiscBuilder& disc, int track, const std::function<int32_t(int32_t)>& place = {}) const;

private:
    void Tag(uint8_t* descriptor, uint16_t id, uint32_t location, std::size_t bytes);
    std::vector<uint8_t> image_;
    uint32_t partitionStart_;
    std::map<int32_t, uint32_t> recordedAs_;  // absolute block -> tag location
};

// The CRC of a descriptor tag (CCITT polynomial 0x1021, start 0).
uint16_t UdfCrc(const uint8_t* bytes, std::size_t size);

}  // namespace dravik::test
