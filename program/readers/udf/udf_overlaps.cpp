// CheckExtentOverlaps: the tree walk that lists every extent (a UDF file's
// extents read from its File Entry again and mapped block by block where
// the partition is not a plain one), the records gathered in memory or in
// a work file, and the sorted walk that marks shared blocks.
#include "program/readers/udf/udf_overlaps.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/messages/display_path.h"
#include "program/messages/message_catalog.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/messages/show_status.h"
#include "program/readers/udf/udf_allocation.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_tags.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"

namespace dravik::readers::udf {

namespace {

constexpr int kMaxExtentDepth = 64;
constexpr int kOverlapListCode = 14;
constexpr int kOverlapListDetail = 5;
constexpr std::uint16_t kFirstTagVersion = 1;
constexpr std::uint16_t kLastTagVersion = 2;

std::uint32_t BlocksOf(std::uint64_t bytes) { return static_cast<std::uint32_t>((bytes + kBlockBytes - 1) / kBlockBytes); }

class ExtentWriter {
public:
    ExtentWriter(UdfState& state, ExtentRecords& records) : state_(state), records_(records), block_(kBlockBytes) {}
    // False when the records could not be kept (the pass then stops).
    bool WriteItemExtents(scan::FoundItem* dir, int depth);
    bool Failed() const { return failed_; }

private:
    bool Write(scan::FoundItem* item, std::uint32_t start, std::uint32_t count);
    void WriteAdExtents(scan::FoundItem* item, const std::uint8_t* entry);
    bool WriteMapped(scan::FoundItem* item, const AllocationDescriptor& d);

    UdfState& state_;
    ExtentRecords& records_;
    std::vector<std::uint8_t> block_;
    bool failed_ = false;
};

bool ExtentWriter::Write(scan::FoundItem* item, std::uint32_t start, std::uint32_t count) {
    if (count == 0) return true;
    if (Verbose())
        diag::DebugPrint("%s %s at %d for %d", (item->flags & scan::ItemDirectory) ? "Dir" : "File", item->Name(),
                         static_cast<int>(start), static_cast<int>(count));
    if (records_.Add({start, count, item})) return true;
    failed_ = true;
    return false;
}

// One extent, mapped through the item's partition. A plain partition keeps
// the extent whole; a sparable or virtual one may place each block
// elsewhere, so the extent is mapped block by block and written as the
// runs that follow on.
bool ExtentWriter::WriteMapped(scan::FoundItem* item, const AllocationDescriptor& d) {
    const std::uint32_t count = BlocksOf(LengthOfExtent(d.lengthField));
    const UdfVolumeMap& map = state_.map;
    const bool plain = d.reference < static_cast<std::uint32_t>(map.mapCount) && d.reference < kMaxPartitionMaps &&
                       map.kinds[d.reference] == PartitionKind::kPhysical && !(d.reference > 0 && map.vatLoaded);
    auto invalid = [&](std::int64_t at) {
        if (at != kNoBlock && at >= 0 && at + (plain ? count : 1) <= state_.mediaBlocks) return false;
        if (Verbose()) diag::DebugPrint("Invalid extent detected for %s, FE at %d", item->Name(), static_cast<int>(item->fsId));
        return true;
    };
    if (plain) {
        const std::int64_t first = MapBlock(state_, d.position, d.reference);
        if (invalid(first)) return false;
        return Write(item, static_cast<std::uint32_t>(first), count);
    }
    std::int64_t runStart = kNoBlock;
    std::uint32_t runLength = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint64_t logical = std::uint64_t{d.position} + k;
        const std::int64_t at =
            logical > 0xFFFFFFFFu ? kNoBlock : MapBlock(state_, static_cast<std::uint32_t>(logical), d.reference);
        if (invalid(at)) return false;
        if (runLength > 0 && at == runStart + runLength) {
            ++runLength;
            continue;
        }
        if (runLength > 0 && !Write(item, static_cast<std::uint32_t>(runStart), runLength)) return false;
        runStart = at;
        runLength = 1;
    }
    return runLength == 0 || Write(item, static_cast<std::uint32_t>(runStart), runLength);
}

void ExtentWriter::WriteAdExtents(scan::FoundItem* item, const std::uint8_t* entry) {
    std::size_t start = 0;
    std::size_t length = 0;
    const std::size_t available = kBlockBytes - static_cast<std::size_t>(entry - block_.data());
    const int type = DescriptorType(entry);
    if (type == kEmbeddedData || !DescriptorArea(entry, available, start, length)) return;
    std::vector<std::uint8_t> descriptors(entry + start, entry + start + length);
    AllocationWalker walker(state_.map, Reader(state_), descriptors.data(), descriptors.size(), type, item->fsPartition);
    AllocationDescriptor d;
    while (walker.Next(d)) {
        if (LengthOfExtent(d.lengthField) == 0) break;
        // Extents that were never allocated have no place on the disc.
        if (TypeOfExtent(d.lengthField) == ExtentType::kUnallocated) continue;
        if (!WriteMapped(item, d)) return;
    }
    if (walker.LongContinuation())
        messages::ShowMessage(messages::MessageIdWithFlags(kLongExtentListMessage), messages::DisplayPathOf(item).c_str(),
                              kOverlapListCode, kOverlapListDetail);
    if (walker.Broken()) {
        scan::CatalogueGuard guard;
        item->start = scan::StartNotAvailable;
    }
}

bool ExtentWriter::WriteItemExtents(scan::FoundItem* dir, int depth) {
    if (depth > kMaxExtentDepth) return true;
    const bool checksums = !state_.ignoreChecksums && settings::ProgramSettings.IgnoreChecksums == 0;
    for (scan::FoundItem* item = dir->firstChild; item && !AbortRequested(state_); item = item->next) {
        messages::ProgressTick();
        if (item->size == 0 || item->start == scan::StartNotAvailable) continue;
        const bool directory = (item->flags & scan::ItemDirectory) != 0;
        if (directory && item->fsId == static_cast<std::uint32_t>(item->start)) {
            if (!Write(item, static_cast<std::uint32_t>(item->start), 1)) return false;
        } else if ((!directory && !(item->flags & scan::ItemFragmented)) || item->fsId == 0) {
            if (!Write(item, static_cast<std::uint32_t>(item->start), BlocksOf(item->size))) return false;
            continue;
        } else if (ReadBlock(state_, item->fsId, block_.data())) {
            const std::uint8_t* entry =
                TagId(block_.data()) == kTagDirectCdPrefix ? block_.data() + kDirectCdPrefixBytes : block_.data();
            if (CheckFeTag(entry, checksums)) WriteAdExtents(item, entry);
            if (failed_) return false;
        }
        if (directory && !WriteItemExtents(item, depth + 1)) return false;
    }
    return true;
}

}  // namespace

ExtentRecords::ExtentRecords(std::string folder, std::size_t memoryRecords)
    : folder_(std::move(folder)), memoryRecords_(std::max<std::size_t>(memoryRecords, 1)) {}

ExtentRecords::~ExtentRecords() {
    if (fd_ >= 0) ::close(fd_);
    if (!fileName_.empty()) ::unlink(fileName_.c_str());
}

bool ExtentRecords::Spill() {
    if (fd_ < 0) {
        std::string pattern = folder_;
        if (!pattern.empty() && pattern.back() != '/') pattern += '/';
        pattern += "CDDXXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd_ = ::mkstemp(name.data());
        if (fd_ < 0) {
            errorCode_ = errno;
            error_ = std::strerror(errorCode_);
            fileName_.clear();
            fileName_ = pattern;
            return false;
        }
        fileName_ = name.data();
    }
    const auto* bytes = reinterpret_cast<const char*>(memory_.data());
    std::size_t left = memory_.size() * sizeof(ExtentRecord);
    while (left > 0) {
        const ssize_t wrote = ::write(fd_, bytes, left);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            errorCode_ = wrote < 0 ? errno : EIO;
            error_ = std::strerror(errorCode_);
            return false;
        }
        bytes += wrote;
        left -= static_cast<std::size_t>(wrote);
    }
    inFile_ += memory_.size();
    memory_.clear();
    return true;
}

bool ExtentRecords::Add(const ExtentRecord& record) {
    if (!error_.empty()) return false;
    memory_.push_back(record);
    return memory_.size() < memoryRecords_ || Spill();
}

bool ExtentRecords::Collect(std::vector<ExtentRecord>& out) {
    out.clear();
    if (fd_ >= 0) {
        out.resize(inFile_);
        auto* bytes = reinterpret_cast<char*>(out.data());
        std::size_t left = inFile_ * sizeof(ExtentRecord);
        off_t at = 0;
        while (left > 0) {
            const ssize_t got = ::pread(fd_, bytes, left, at);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                errorCode_ = got < 0 ? errno : EIO;
                error_ = std::strerror(errorCode_);
                out.clear();
                return false;
            }
            bytes += got;
            at += got;
            left -= static_cast<std::size_t>(got);
        }
    }
    out.insert(out.end(), memory_.begin(), memory_.end());
    return true;
}

bool CheckFeTag(const std::uint8_t* entry, bool checksums) {
    const std::uint16_t version = GetLe16(entry + kTagVersion);
    if (!IsFileEntryTag(TagId(entry)) || version < kFirstTagVersion || version > kLastTagVersion) return false;
    if (entry[kTagReserved] != 0 || GetLe16(entry + kTagCrcLength) > kBlockBytes) return false;
    return !checksums || TagChecksum(entry) == entry[kTagChecksum];
}

void MarkOverlap(scan::FoundItem* first, scan::FoundItem* second, const ExtentRecord& record) {
    if (!first || !second || first->start == scan::StartNotAvailable || second->start == scan::StartNotAvailable) return;
    scan::SetItemFlags(first, scan::ItemOverlap);
    scan::SetItemFlags(second, scan::ItemOverlap);
    if (Verbose()) {
        const std::string firstPath = messages::DisplayPathOf(first);
        const std::string secondPath = messages::DisplayPathOf(second);
        diag::DebugPrint("File %s has an extent at %d for %d that is also occupied by %s.", firstPath.c_str(),
                         static_cast<int>(record.start), static_cast<int>(record.count), secondPath.c_str());
    }
}

int MarkOverlaps(std::span<const ExtentRecord> sorted) {
    int pairs = 0;
    for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
        const std::uint64_t end = std::uint64_t{sorted[i].start} + sorted[i].count;
        // Sorted by start: the first record that starts at or after the end
        // ends the comparison.
        for (std::size_t j = i + 1; j < sorted.size() && sorted[j].start < end; ++j) {
            if (sorted[j].item == sorted[i].item) continue;
            if (j == i + 1) MarkOverlap(sorted[i].item, sorted[j].item, sorted[i]);
            else MarkOverlap(sorted[j].item, sorted[i].item, sorted[j]);
            ++pairs;
        }
    }
    return pairs;
}

void CheckExtentOverlaps(UdfState& state, scan::TrackNode* track) {
    if (!track || !scan::TrackListHead || !scan::TrackListHead->rootItem || !track->rootItem) return;
    messages::ShowStatus(static_cast<int>(kOverlapStatus), int{track->number});
    ExtentRecords records(settings::ProgramSettings.TempPath, kMemoryExtentRecords);
    if (Verbose()) diag::DebugPrint("Beginning file overlap process");
    ExtentWriter writer(state, records);
    writer.WriteItemExtents(track->rootItem, 0);
    if (writer.Failed()) {
        messages::ShowMessage(messages::MessageIdWithFlags(kWorkFileMessage), records.FileName().c_str(),
                              records.Error().c_str());
        return;
    }
    if (AbortRequested(state)) return;
    std::vector<ExtentRecord> table;
    if (!records.Collect(table)) {
        if (Verbose()) diag::DebugPrint("Error reading extent data: %s (%d)", records.Error().c_str(), records.ErrorCode());
        return;
    }
    if (records.InFile() && Verbose())
        diag::DebugPrint("Extent work file %s is 0x%x bytes", records.FileName().c_str(),
                         static_cast<unsigned>(table.size() * sizeof(ExtentRecord)));
    std::stable_sort(table.begin(), table.end(),
                     [](const ExtentRecord& a, const ExtentRecord& b) { return a.start < b.start; });
    const std::size_t bytes = std::max<std::size_t>(table.size(), 1) * sizeof(ExtentRecord);
    auto* attached = static_cast<ExtentRecord*>(diag::TrackedAlloc(bytes, __FILE__, __LINE__));
    if (attached) {
        if (!table.empty()) std::memcpy(attached, table.data(), table.size() * sizeof(ExtentRecord));
        scan::CatalogueGuard guard;
        if (track->extentTable) diag::TrackedFree(track->extentTable, __FILE__, __LINE__);
        track->extentTable = attached;
        track->readerWord = static_cast<std::uint32_t>(table.size());
    }
    MarkOverlaps(table);
}

}  // namespace dravik::readers::udf
