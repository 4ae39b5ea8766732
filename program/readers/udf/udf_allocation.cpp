#include "program/readers/udf/udf_allocation.h"

#include <algorithm>
#include <cstring>

#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_tags.h"

namespace dravik::readers::udf {

namespace {

// Continuation blocks followed per descriptor list; a longer chain is
// taken as broken (it would describe far more than a disc holds).
constexpr int kMaxContinuations = 1024;
// Pieces of one file's layout; more are taken as a broken list.
constexpr std::size_t kMaxPieces = 1 << 20;

std::size_t DescriptorBytes(int type) {
    switch (type) {
        case kShortDescriptors: return kShortDescriptorBytes;
        case kLongDescriptors: return kLongDescriptorBytes;
        case kExtendedDescriptors: return kExtendedDescriptorBytes;
        default: return 0;
    }
}

}  // namespace

AllocationWalker::AllocationWalker(const UdfVolumeMap& map, const ReadBlockFunction& read,
                                   const std::uint8_t* descriptors, std::size_t length, int type,
                                   std::uint32_t reference)
    : map_(map), read_(read), list_(descriptors), length_(length), size_(DescriptorBytes(type)),
      reference_(reference) {}

bool AllocationWalker::Next(AllocationDescriptor& out) {
    while (size_ != 0 && at_ + size_ <= length_) {
        const std::uint8_t* d = list_ + at_;
        if (AllZero(d, size_)) return false;
        at_ += size_;
        AllocationDescriptor next;
        next.lengthField = GetLe32(d);
        if (size_ == kShortDescriptorBytes) {
            next.position = GetLe32(d + 4);
            next.reference = reference_;
        } else if (size_ == kLongDescriptorBytes) {
            next.position = GetLe32(d + 4);
            next.reference = GetLe16(d + 8);
            next.implementationFlags = GetLe16(d + 10);
            next.implementationWord = GetLe32(d + 12);
        } else {
            next.position = GetLe32(d + 12);
            next.reference = GetLe16(d + 16);
        }
        if (TypeOfExtent(next.lengthField) != ExtentType::kNextDescriptors) {
            out = next;
            return true;
        }
        if (!FollowContinuation(next)) {
            broken_ = true;
            return false;
        }
    }
    return false;
}

bool AllocationWalker::FollowContinuation(const AllocationDescriptor& next) {
    if (LengthOfExtent(next.lengthField) > kBlockBytes) longContinuation_ = true;
    const std::int64_t block = MapLogicalBlock(map_, next.position, next.reference);
    if (block == kNoBlock || static_cast<int>(followed_.size()) >= kMaxContinuations ||
        !followed_.insert(block).second)
        return false;
    continuation_.assign(kBlockBytes, 0);
    if (!read_(block, continuation_.data())) return false;
    if (onContinuation) onContinuation(block);
    if (TagId(continuation_.data()) != kTagAllocationExtent || TagProblem(continuation_.data(), false) != kTagGood)
        return false;
    list_ = continuation_.data() + kAedDescriptors;
    length_ = std::min<std::size_t>(GetLe32(continuation_.data() + kAedDescriptorsLength), kBlockBytes - kAedDescriptors);
    at_ = 0;
    return true;
}

bool DescriptorArea(const std::uint8_t* fileEntry, std::size_t available, std::size_t& start, std::size_t& length) {
    if (available < kEfeExtendedAttributes) return false;
    const EntryFields fields = FieldsOf(fileEntry);
    const std::uint64_t extended = GetLe32(fileEntry + fields.extendedAttributesLength);
    const std::uint64_t descriptors = GetLe32(fileEntry + fields.descriptorsLength);
    if (fields.extendedAttributes + extended + descriptors > available) return false;
    start = fields.extendedAttributes + static_cast<std::size_t>(extended);
    length = static_cast<std::size_t>(descriptors);
    return true;
}

FileLayout ReadFileLayout(const UdfVolumeMap& map, const ReadBlockFunction& read, std::int64_t entryBlock,
                          std::uint32_t reference) {
    FileLayout layout;
    std::vector<std::uint8_t> block(kBlockBytes);
    if (entryBlock < 0 || !read(entryBlock, block.data())) return layout;
    const std::uint8_t* entry = block.data();
    std::size_t available = kBlockBytes;
    if (TagId(entry) == kTagDirectCdPrefix) {
        entry += kDirectCdPrefixBytes;
        available -= kDirectCdPrefixBytes;
    }
    if (!IsFileEntryTag(TagId(entry)) || TagProblem(entry, false) != kTagGood) return layout;
    std::size_t start = 0;
    std::size_t length = 0;
    if (!DescriptorArea(entry, available, start, length)) return layout;
    layout.valid = true;
    layout.size = std::min(bytes::GetLe64(entry + kFeInformationLength), kMaxFileBytes);
    const int type = DescriptorType(entry);
    if (type == kEmbeddedData) {
        layout.embedded = true;
        layout.bytes.assign(entry + start, entry + start + std::min<std::uint64_t>(length, layout.size));
        layout.size = layout.bytes.size();
        return layout;
    }
    // Short descriptors lie in the File Entry's own partition, as the scan
    // maps them (on a VAT disc the virtual one).
    AllocationWalker walker(map, read, entry + start, length, type, reference);
    std::uint64_t covered = 0;
    AllocationDescriptor d;
    while (covered < layout.size && layout.pieces.size() < kMaxPieces && walker.Next(d)) {
        FilePiece piece;
        piece.length = std::min<std::uint64_t>(LengthOfExtent(d.lengthField), layout.size - covered);
        if (piece.length == 0) continue;
        if (TypeOfExtent(d.lengthField) == ExtentType::kRecorded) {
            piece.position = d.position;
            piece.reference = d.reference;
        } else {
            piece.kind = FilePiece::Kind::kZeros;
        }
        layout.pieces.push_back(piece);
        covered += piece.length;
    }
    layout.broken = walker.Broken();
    if (covered < layout.size) {
        FilePiece tail;
        tail.kind = FilePiece::Kind::kZeros;
        tail.length = layout.size - covered;
        layout.pieces.push_back(tail);
    }
    return layout;
}

}  // namespace dravik::readers::udf
