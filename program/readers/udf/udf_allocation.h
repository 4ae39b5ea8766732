// Allocation descriptors: where a File Entry's data lie. The walker reads
// the short (8-byte), long (16-byte) or extended (20-byte) descriptors of a
// File Entry in order and follows their continuation blocks (allocation
// extent descriptors) itself, so callers see only data extents. The file
// layout built from it is what extraction copies: recorded extents read
// block by block through the volume map, allocated or unallocated extents
// as zeros, or the data embedded in the File Entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "program/readers/udf/udf_volume_map.h"

namespace dravik::readers::udf {

// A file larger than this is taken as this large (more than any disc the
// reader meets holds).
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{16} << 30;

struct AllocationDescriptor {
    std::uint32_t lengthField = 0;  // length with the extent type in its top two bits
    std::uint32_t position = 0;     // logical block
    std::uint32_t reference = 0;    // partition reference
    // Long descriptors only: the implementation-use flags (bytes 10-11) and
    // word (bytes 12-15), where compressing software marks an extent.
    std::uint16_t implementationFlags = 0;
    std::uint32_t implementationWord = 0;
};

class AllocationWalker {
public:
    // `descriptors` (of `type`, see udf_structures.h) stay valid while the
    // walker is used; short descriptors belong to partition `reference`.
    AllocationWalker(const UdfVolumeMap& map, const ReadBlockFunction& read, const std::uint8_t* descriptors,
                     std::size_t length, int type, std::uint32_t reference);
    // The next descriptor that is not a continuation; false at the end (an
    // all-zero descriptor, the end of the list, or a broken chain).
    bool Next(AllocationDescriptor& out);
    // A continuation block could not be read, was not an allocation extent
    // descriptor, or the chain went on too long or in a circle.
    bool Broken() const { return broken_; }
    // A continuation was recorded longer than one block.
    bool LongContinuation() const { return longContinuation_; }
    // Told each continuation block read (the scan marks it used).
    std::function<void(std::int64_t block)> onContinuation;

private:
    bool FollowContinuation(const AllocationDescriptor& next);

    const UdfVolumeMap& map_;
    ReadBlockFunction read_;
    const std::uint8_t* list_;
    std::size_t length_;
    std::size_t at_ = 0;
    std::size_t size_;
    std::uint32_t reference_;
    std::vector<std::uint8_t> continuation_;
    std::set<std::int64_t> followed_;
    bool broken_ = false;
    bool longContinuation_ = false;
};

// One piece of a file's data, in order.
struct FilePiece {
    enum class Kind { kRecorded, kZeros };
    Kind kind = Kind::kRecorded;
    std::uint32_t position = 0;   // logical block of a recorded piece
    std::uint32_t reference = 0;  // its partition reference
    std::uint64_t length = 0;     // bytes
};

struct FileLayout {
    bool valid = false;          // the File Entry was read and checked
    bool embedded = false;       // the data are `bytes`
    bool broken = false;         // the descriptor chain broke: the rest is zeros
    std::vector<std::uint8_t> bytes;
    std::vector<FilePiece> pieces;
    std::uint64_t size = 0;      // information length
};

// The layout of the file whose File Entry is at absolute block
// `entryBlock`; pieces cover exactly its size (a gap at the end is zeros).
// `reference` is the partition of the File Entry, where its short
// descriptors' blocks lie.
FileLayout ReadFileLayout(const UdfVolumeMap& map, const ReadBlockFunction& read, std::int64_t entryBlock,
                          std::uint32_t reference);

// Where a File Entry's allocation descriptors lie in its block (`available`
// bytes from the entry's start): false when L_EA + L_AD do not fit.
bool DescriptorArea(const std::uint8_t* fileEntry, std::size_t available, std::size_t& start, std::size_t& length);

}  // namespace dravik::readers::udf
