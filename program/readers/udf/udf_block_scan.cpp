// ScanUdfBlocks: reads the blocks of a UDF volume that no found item
// occupies, in runs of up to kScanRunBlocks blocks a command (a healthy
// disc costs one command per run), and falls back to single blocks inside
// a run that failed, so that one bad block costs only itself. Read errors
// are counted, never fatal, except at the recognised end of the written
// area; packet link areas are jumped over (AfterFailedBlock).
#include "program/readers/udf/udf_block_scan.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/language_module.h"
#include "program/messages/scan_progress.h"
#include "program/messages/show_message.h"
#include "program/messages/show_status.h"
#include "program/readers/udf/udf_cleanup.h"
#include "program/readers/udf/udf_overlaps.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_vat_table.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"

namespace dravik::readers::udf {

namespace {

using Clock = std::chrono::steady_clock;

// A successful read slower than this, or a failed one slower than the
// second, is followed by NudgeDrive.
constexpr auto kSlowScanRead = std::chrono::milliseconds(400);
constexpr auto kSlowFailedScanRead = std::chrono::milliseconds(500);
// The status line changes when the block enters a new hundred, or after
// this long.
constexpr std::int64_t kStatusEveryBlocks = 100;
constexpr auto kStatusEvery = std::chrono::milliseconds(5000);
// Verbose run lines are broken once they are longer than this.
constexpr std::size_t kRunLineBytes = 80;
// Sense codes of the end of the written area.
constexpr std::uint8_t kSenseOutOfRange = 0x21;
constexpr std::uint8_t kSenseHpEnd = 0xC6;
constexpr std::uint8_t kSenseHpEndDetail = 0x01;
// The last-access time's year and month of a File Entry: zero in a VAT of
// the older form, which is a File Entry of file type 0.
constexpr std::size_t kFeAccessYear = 74;
constexpr std::size_t kFeAccessMonth = 76;

// File types of the volume's own structures, which a user never wrote:
// unallocated-space, partition-integrity and indirect entries, an
// extended-attribute file, a stream directory and the metadata partition's
// files. The scan does not list them as lost files.
bool SystemFileType(std::uint8_t type) {
    switch (type) {
        case 1: case 2: case 3: case 8: case 13: case 250: case 251: case 252: return true;
        default: return false;
    }
}

const scan::TrackNode* ContinuedNext(const scan::TrackNode* track) {
    const scan::TrackNode* next = track->next;
    if (!next || next->number == scan::kLeadOutNumber || !(next->flags & scan::TrackContinued)) return nullptr;
    return next;
}

class BlockScan {
public:
    BlockScan(UdfState& state, scan::FoundItem* lost, std::int64_t from, std::int64_t end)
        : state_(state), lost_(lost), from_(from), end_(end), runBuffer_(std::size_t{kScanRunBlocks} * kBlockBytes),
          scratch_(kBlockBytes), entry_(kBlockBytes) {
        NoteVatTargets();
    }

    void Run();
    int BlocksRead() const { return blocksRead_; }
    int Errors() const { return errors_; }

private:
    void NoteVatTargets();
    std::uint32_t EntryReference(std::int64_t block) const;
    int RunLength(std::int64_t block) const;
    void ShowProgress(std::int64_t block);
    void Examine(std::int64_t block, std::uint8_t* data);
    void DirectoryBlock(std::int64_t block, std::uint8_t* data);
    void FileEntryBlock(std::int64_t block, const std::uint8_t* data);
    // Where the scan goes on after `block` failed; -1 ends the scan.
    std::int64_t Failed(std::int64_t block, Clock::duration took);
    void Keep(scan::FoundItem* first);

    UdfState& state_;
    scan::FoundItem* lost_;
    scan::FoundItem* last_ = nullptr;
    const std::int64_t from_;
    const std::int64_t end_;
    std::vector<std::uint8_t> runBuffer_;
    std::vector<std::uint8_t> scratch_;
    std::vector<std::uint8_t> entry_;
    std::vector<bool> vatTargets_;  // partition blocks the loaded VAT maps a virtual block onto
    int blocksRead_ = 0;
    int errors_ = 0;
    int endOfMediaRun_ = 0;
    std::int64_t singleUntil_ = 0;  // blocks below are read one at a time (a run failed there)
    std::int64_t lastStatusBlock_ = -1;
    Clock::time_point lastStatus_{};
};

void BlockScan::NoteVatTargets() {
    if (!state_.map.vatLoaded) return;
    for (const std::uint32_t target : state_.map.vat) {
        if (target >= static_cast<std::uint32_t>(state_.mediaBlocks)) continue;
        if (vatTargets_.size() <= target) vatTargets_.resize(std::size_t{target} + 1, false);
        vatTargets_[target] = true;
    }
}

// Files of a write-once volume are described in its virtual partition;
// those of a sparable volume in the sparable one.
std::uint32_t BlockScan::EntryReference(std::int64_t block) const {
    const UdfVolumeMap& map = state_.map;
    const std::int64_t inPartition = block - map.partitionStart;
    for (int i = 1; i < map.mapCount && i < kMaxPartitionMaps; ++i) {
        const bool virtualMap = map.kinds[i] == PartitionKind::kVirtual ||
                                (map.kinds[i] == PartitionKind::kPhysical && map.vatLoaded);
        if (!virtualMap) continue;
        if (!map.vatLoaded) return static_cast<std::uint32_t>(i);
        if (inPartition >= 0 && static_cast<std::uint64_t>(inPartition) < vatTargets_.size() &&
            vatTargets_[static_cast<std::size_t>(inPartition)])
            return static_cast<std::uint32_t>(i);
    }
    for (int i = 0; i < map.mapCount && i < kMaxPartitionMaps; ++i)
        if (map.kinds[i] == PartitionKind::kSparable) return static_cast<std::uint32_t>(i);
    return 0;
}

int BlockScan::RunLength(std::int64_t block) const {
    if (block < singleUntil_) return 1;
    const scan::TrackNode* next = ContinuedNext(state_.track);
    int count = 1;
    while (count < kScanRunBlocks && block + count < end_ && !IsUsed(state_, block + count)) {
        // A run does not cross into the gap before a continued track.
        if (next && block + count >= state_.track->end && block < next->start) break;
        ++count;
    }
    return count;
}

void BlockScan::ShowProgress(std::int64_t block) {
    messages::ProgressTick();
    const Clock::time_point now = Clock::now();
    if (lastStatusBlock_ >= 0 && block / kStatusEveryBlocks == lastStatusBlock_ / kStatusEveryBlocks &&
        now - lastStatus_ < kStatusEvery)
        return;
    // Only the first status line is logged.
    const int id = lastStatusBlock_ < 0 ? static_cast<int>(kBlockScanStatus)
                                        : static_cast<int>(0x80000000u | kBlockScanStatus);
    lastStatusBlock_ = block;
    lastStatus_ = now;
    messages::ShowStatus(id, static_cast<int>(block), static_cast<int>(end_), state_.fileCount, errors_);
}

void BlockScan::Keep(scan::FoundItem* first) {
    if (!first) return;
    // Items are linked in front of what the directory held; the last one
    // of the lost-files item is what new entries follow.
    scan::FoundItem* tail = lost_->firstChild;
    while (tail && tail->next) tail = tail->next;
    last_ = tail;
}

void BlockScan::DirectoryBlock(std::int64_t block, std::uint8_t* data) {
    MarkUsed(state_, block);
    // A directory's first block starts with the identifier of its parent:
    // the parent, when its entry is still good, is read whole (which reads
    // this directory too, and marks its block).
    if (TagId(data) == kTagFileIdentifier && (data[kFidCharacteristics] & kFidParent)) {
        const std::uint32_t reference = GetLe16(data + kFidIcbPartition);
        const std::int64_t parent = MarkUsed(state_, MapBlock(state_, GetLe32(data + kFidIcbBlock), reference));
        int code = 0;
        if (parent != kNoBlock && state_.directoriesRead.insert(parent).second && ReadBlock(state_, parent, entry_.data()) &&
            IsFileEntryTag(TagId(entry_.data())) && CheckTag(state_, entry_.data(), code) &&
            EntryLengthsUsable(entry_.data(), kBlockBytes)) {
            if (Verbose()) diag::DebugPrint("Reading parent directory at %d of directory block %d", static_cast<int>(parent),
                                            static_cast<int>(block));
            state_.nestLevel = 0;
            Keep(ReadUdfDirectory(state_, lost_, entry_.data(), reference));
        }
    }
    if (state_.directoriesRead.count(block) != 0) return;
    state_.directoriesRead.insert(block);
    state_.nestLevel = 0;
    Keep(ReadFidStream(state_, data, kBlockBytes, lost_));
}

void BlockScan::FileEntryBlock(std::int64_t block, const std::uint8_t* data) {
    const std::uint8_t type = data[kFeFileType];
    const bool olderVat = type == 0 && data[kFeAccessYear] == 0 && data[kFeAccessYear + 1] == 0 &&
                          data[kFeAccessMonth] == 0 && LooksLikeVat(data, state_.map.partitionStart, Reader(state_));
    if (type == kFileTypeVat || olderVat) {
        if (Verbose()) diag::DebugPrint("Skipping VAT file at %d", static_cast<int>(block));
        return;
    }
    if (SystemFileType(type) || !EntryLengthsUsable(data, kBlockBytes)) return;
    state_.nestLevel = 0;
    scan::FoundItem* item =
        AddEntryItem(state_, lost_, last_, scan::NextUnnamedItemName(), block, EntryReference(block), data);
    if (!item) return;
    scan::SetItemFlags(item, scan::ItemUnnamed);
    last_ = item;
}

void BlockScan::Examine(std::int64_t block, std::uint8_t* data) {
    endOfMediaRun_ = 0;
    const std::uint16_t tag = TagId(data);
    int code = 0;
    if (tag == kTagFileIdentifier || tag == kTagExtendedAttributes) {
        if (CheckTag(state_, data, code)) DirectoryBlock(block, data);
    } else if (IsFileEntryTag(tag)) {
        if (CheckTag(state_, data, code)) FileEntryBlock(block, data);
    }
}

std::int64_t BlockScan::Failed(std::int64_t block, Clock::duration took) {
    device::CDDevice* device = state_.device;
    const std::uint8_t sense = device ? device->GetSenseCode() : 0;
    const std::uint8_t detail = device ? device->GetSenseAddCode() : 0;
    if (took > kSlowFailedScanRead) NudgeDrive(state_);
    // The gap between a track and the next one it continues into is not scanned.
    if (const scan::TrackNode* next = ContinuedNext(state_.track);
        next && block >= state_.track->end && block < next->start)
        return next->start;
    ++errors_;
    if (settings::ProgramSettings.ShowAll == 0) {
        const char* name = device ? device->GetDeviceName() : nullptr;
        if (sense == kSenseHpEnd && detail == kSenseHpEndDetail && name && std::strncmp(name, "HP", 2) == 0) {
            if (Verbose()) diag::DebugPrint("End of media (HP) detected");
            return -1;
        }
        if (sense == kSenseOutOfRange) {
            if (endOfMediaRun_ >= kEndOfMediaAnswers) {
                if (Verbose()) diag::DebugPrint("End of media detected");
                return -1;
            }
            ++endOfMediaRun_;
        }
    }
    if (Verbose()) diag::DebugPrint("Error %02x %02x reading block %d", sense, detail, static_cast<int>(block));
    return AfterFailedBlock(state_, block, sense, scratch_.data());
}

void BlockScan::Run() {
    std::int64_t block = from_;
    while (block < end_ && !AbortRequested(state_)) {
        if (IsUsed(state_, block)) {
            ++block;
            continue;
        }
        ShowProgress(block);
        const int count = RunLength(block);
        const Clock::time_point begun = Clock::now();
        const bool read = ReadBlocks(state_, block, count, runBuffer_.data());
        const Clock::duration took = Clock::now() - begun;
        if (!read && count > 1) {
            // Somewhere in this run a block fails: read it block by block.
            singleUntil_ = block + count;
            continue;
        }
        if (!read) {
            block = Failed(block, took);
            if (block < 0) break;
            continue;
        }
        blocksRead_ += count;
        if (took > kSlowScanRead) NudgeDrive(state_);
        else if (state_.firstQuickBlock < 0) state_.firstQuickBlock = block;
        KeepReadAhead(state_, block, count, runBuffer_.data());
        state_.readAhead = true;
        for (int k = 0; k < count && !AbortRequested(state_); ++k) {
            // Items found earlier in the run may have claimed later blocks.
            if (k > 0 && IsUsed(state_, block + k)) continue;
            if (k > 0) ShowProgress(block + k);
            Examine(block + k, runBuffer_.data() + std::size_t(k) * kBlockBytes);
        }
        state_.readAhead = false;
        block += count;
    }
}

}  // namespace

std::int64_t BlockScanEnd(const scan::TrackNode* track, std::int64_t from) {
    const scan::TrackNode* next = ContinuedNext(track);
    std::int64_t end = next ? next->end : track->end;
    if (track->nextWritable != 0) end = track->nextWritable;
    if (next && next->nextWritable != 0) end = next->nextWritable;
    if (end < from) end = track->end;
    return end;
}

std::vector<std::string> UnusedRunLines(const UdfState& state, std::int64_t from, std::int64_t end) {
    std::vector<std::string> lines;
    std::string line;
    for (std::int64_t block = from; block < end;) {
        if (IsUsed(state, block)) {
            ++block;
            continue;
        }
        std::int64_t last = block;
        while (last + 1 < end && !IsUsed(state, last + 1)) ++last;
        char piece[32];
        if (last > block)
            std::snprintf(piece, sizeof piece, "%d-%d ", static_cast<int>(block), static_cast<int>(last));
        else
            std::snprintf(piece, sizeof piece, "%d ", static_cast<int>(block));
        line += piece;
        if (line.size() > kRunLineBytes) {
            line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
        }
        block = last + 1;
    }
    if (!line.empty()) {
        line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

bool ScanUdfBlocks(UdfState& state, scan::FoundItem* root, std::int64_t from) {
    if (!root || !state.track) return true;
    scan::TrackNode* track = state.track;
    if (state.device) state.device->ClearAbortFlag();
    state.blockScanRunning = true;
    std::int64_t end = std::min<std::int64_t>(BlockScanEnd(track, from), state.readLimit);
    MarkUsed(state, MapBlock(state, 0, 0));
    if (Verbose()) {
        diag::DebugPrint("Block scan from %d to %d:", static_cast<int>(from), static_cast<int>(end));
        for (const std::string& line : UnusedRunLines(state, from, end)) diag::DebugPrint("%s", line.c_str());
    }

    std::string name = messages::MessageLanguage().Text(kLostFilesName);
    if (name.empty()) name = "Lost files";
    scan::FoundItem* lost = scan::NewFoundItem(name);
    if (!lost) {
        state.blockScanRunning = false;
        return false;
    }
    lost->flags = scan::ItemDirectory | scan::ItemUnnamed;
    lost->start = static_cast<std::int32_t>(from);
    lost->fsId = static_cast<std::uint32_t>(from);
    lost->size = 32767;
    lost->track = root->track;

    state.fileCount = 0;
    BlockScan scan(state, lost, from, end);
    {
        QuietReads quiet(state);
        scan.Run();
    }
    if (Verbose())
        diag::DebugPrint("Intensive scan completed, %d blocks read, %d files found, %d errors", scan.BlocksRead(),
                         state.fileCount, scan.Errors());
    if (lost->firstChild) {
        scan::AppendItem(root, lost);
        scan::RecountDirectories(root);
    } else {
        scan::DiscardFoundItem(lost);
    }
    RemoveDuplicates(track);
    CheckExtentOverlaps(state, track);
    state.blockScanRunning = false;
    KeepReadAhead(state, 0, 0, nullptr);
    state.aheadData = {};
    return true;
}

}  // namespace dravik::readers::udf
