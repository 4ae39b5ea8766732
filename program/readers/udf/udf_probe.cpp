// ProbeUdf: decides whether a track carries a UDF volume, finds its file
// set descriptor (or, when that is destroyed, its root directory) and reads
// the tree into the catalogue. Volume recognition itself is in
// udf_volume.cpp, the tree in udf_directory.cpp and udf_file_entry.cpp.
#include "program/readers/udf/udf_probe.h"

#include <cstring>
#include <string>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/messages/message_catalog.h"
#include "program/messages/show_message.h"
#include "program/messages/show_status.h"
#include "program/readers/file_system_entries.h"
#include "program/readers/udf/udf_block_scan.h"
#include "program/readers/udf/udf_cleanup.h"
#include "program/readers/udf/udf_file_data.h"
#include "program/readers/udf/udf_file_stream.h"
#include "program/readers/udf/udf_names.h"
#include "program/readers/udf/udf_reader.h"
#include "program/readers/udf/udf_structures.h"
#include "program/readers/udf/udf_volume.h"
#include "program/port/message_dialog.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_device.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"

namespace dravik::readers {

namespace udf {

namespace {

// Where a lost root directory is searched, from the partition's start.
constexpr std::int64_t kRootSearchBlocks = 2000;
constexpr std::int32_t kQuickCheckBlocks[] = {256, 512};
constexpr std::uint32_t kRootGuessBytes = 2048;
constexpr char kPrassiId[] = "*Prassi abCD";
constexpr char kBhaId[] = "*BHA UDF";
constexpr unsigned kBlockScanQuestion = 185;

// The bitmap of used blocks, released on every way out of the probe.
class UsedBlocks {
public:
    explicit UsedBlocks(std::size_t bytes)
        : data_(static_cast<std::uint8_t*>(diag::TrackedAlloc(bytes, __FILE__, __LINE__))) {
        if (data_) std::memset(data_, 0, bytes);
    }
    ~UsedBlocks() {
        if (data_) diag::TrackedFree(data_, __FILE__, __LINE__);
    }
    UsedBlocks(const UsedBlocks&) = delete;
    UsedBlocks& operator=(const UsedBlocks&) = delete;
    std::uint8_t* data() const { return data_; }

private:
    std::uint8_t* data_;
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// An ISO track that is also UDF (a bridge disc) carries an anchor at 256 or 512.
bool QuickAnchorCheck(UdfState& state, std::uint8_t* buffer) {
    QuietReads quiet(state);
    for (const std::int32_t offset : kQuickCheckBlocks) {
        const std::int64_t block = std::int64_t{state.track->start} + offset;
        int code = 0;
        if (ReadBlock(state, block, buffer) && TagId(buffer) == kTagAnchor && TagLocation(buffer) == block &&
            CheckTag(state, buffer, code))
            return true;
    }
    return false;
}

// Where the root directory is and what the root item shows.
struct Root {
    std::int64_t block = kNoBlock;
    std::int64_t logical = -1;  // as the file set descriptor names it
    std::uint32_t reference = 0;
    std::uint32_t size = 0;
    scan::ItemDate date{};
    bool found = false;
};

// A file set descriptor found by searching moves the partition's start.
bool SearchFileSet(UdfState& state, std::uint8_t* buffer, std::int64_t from, std::int64_t to) {
    const std::int64_t found = SearchTag(state, from, to, buffer, kTagFileSet);
    if (found == 0) return false;
    const std::int64_t oldStart = state.map.partitionStart;
    if (!RebasePartition(state, found, TagLocation(buffer))) return false;
    const std::int64_t moved = state.map.partitionStart - oldStart;
    state.partitionLength = moved >= state.partitionLength ? 0 : static_cast<std::uint32_t>(state.partitionLength - moved);
    state.partitionEnd = state.map.partitionStart + state.partitionLength;
    if (Verbose())
        diag::DebugPrint("Found FSD at %d, partition start at %d", static_cast<int>(found),
                         static_cast<int>(state.map.partitionStart));
    return true;
}

void TakeFileSet(UdfState& state, const std::uint8_t* fsd, VolumeFacts& facts, Root& root) {
    facts.name = facts.directCd ? UdfDString(fsd + kFsdFileSetId, kFsdFileSetIdBytes)
                                : UdfDString(fsd + kFsdVolumeId, kLvdVolumeIdBytes);
    if (facts.name.empty()) facts.name = "Unknown";
    if (TagId(fsd) == kTagCompressedFileSet) SetFlags(state.track, scan::TrackCompressed);
    if (facts.directCdCompressed) SetFlags(state.track, scan::TrackCompressed | scan::TrackDirectCdCompressed);
    root.reference = GetLe16(fsd + kFsdRootPartition);
    root.logical = GetLe32(fsd + kFsdRootBlock);
    root.block = MarkUsed(state, MapBlock(state, GetLe32(fsd + kFsdRootBlock), root.reference));
    root.size = LengthOfExtent(GetLe32(fsd + kFsdRootLength));
    root.date = UdfDate(fsd + kFsdRecordingDate);
    root.found = true;
}

// The first File Entry of a directory in (from, to]: the first entries of
// a partition may be a stream directory or other system files, which are
// not the root.
std::int64_t SearchDirectoryEntry(UdfState& state, std::uint8_t* buffer, std::int64_t from, std::int64_t to) {
    while (from < to) {
        const std::int64_t found = SearchTag(state, from, to, buffer, kTagFileEntry);
        if (found == 0 || buffer[kFeFileType] == kFileTypeDirectory) return found;
        from = found;
    }
    return 0;
}

// Steps from the file set descriptor to the root directory. False when
// neither a file set descriptor nor a root directory could be found.
bool LocateRoot(UdfState& state, std::uint8_t* buffer, VolumeFacts& facts, Root& root) {
    scan::TrackNode* track = state.track;
    std::int64_t fsdBlock = MarkUsed(state, MapBlock(state, facts.fsdLocation, facts.fsdReference));
    if (fsdBlock <= 0) {
        const scan::TrackNode* next = track->next && track->next->number != scan::kLeadOutNumber ? track->next : track;
        const std::int64_t from = facts.sequenceEnd > 0 ? facts.sequenceEnd - 1 : track->start;
        if (SearchFileSet(state, buffer, from, std::int64_t{next->end} - 1)) {
            fsdBlock = state.map.partitionStart + TagLocation(buffer);
        } else if (track->number == 1) {
            if (Verbose()) diag::DebugPrint("No file descriptor found, nothing to process here");
            return false;
        } else {
            fsdBlock = 0;
        }
    }
    if (!ReadBlock(state, fsdBlock, buffer)) {
        if (Verbose()) diag::DebugPrint("Error reading FSD at %d, trying to proceed", static_cast<int>(fsdBlock));
        state.udfError = true;
        return true;
    }
    if (Verbose()) diag::DebugDumpSector(buffer, static_cast<int>(fsdBlock), "File Set Descriptor");
    int code = 0;
    if ((TagId(buffer) == kTagFileSet || TagId(buffer) == kTagCompressedFileSet) && CheckTag(state, buffer, code)) {
        TakeFileSet(state, buffer, facts, root);
        return true;
    }
    if (facts.directCdCompressed) {
        SetFlags(track, scan::TrackCompressed | scan::TrackDirectCdCompressed);
        root.block = state.partitionEnd + 1;
        root.found = true;
        return true;
    }
    const std::int64_t from = state.map.partitionStart;
    std::int64_t entry = 0;
    if (StartsWith(facts.implementation, kPrassiId) || StartsWith(facts.implementation, kBhaId)) {
        entry = SearchDirectoryEntry(state, buffer, from, from + kRootSearchBlocks);
        if (entry != 0 && Verbose()) diag::DebugPrint("Found Prassi root directory entry at %d", static_cast<int>(entry));
    }
    if (entry == 0) {
        entry = SearchDirectoryEntry(state, buffer, from, from + kRootSearchBlocks);
        if (entry != 0 && Verbose()) diag::DebugPrint("FSD destroyed, root directory found at %d", static_cast<int>(entry));
    }
    if (entry != 0) {
        root.block = MarkUsed(state, entry);
        root.size = kRootGuessBytes;
        root.reference = 0;
        root.date = UdfDate(buffer + FieldsOf(buffer).modificationTime);
        root.found = true;
        return true;
    }
    if (!SearchFileSet(state, buffer, from, from + state.partitionLength)) return false;
    TakeFileSet(state, buffer, facts, root);
    return true;
}

// The root must lie inside the partition: its logical block when the file
// set descriptor named it (a sparing table may have moved the block
// itself out of the partition), else the block found.
bool ReadTree(UdfState& state, scan::FoundItem* rootItem, const Root& root, std::uint8_t* buffer) {
    const std::int64_t inside = root.logical >= 0 ? state.map.partitionStart + root.logical : root.block;
    if (inside < state.map.partitionStart || inside > state.partitionEnd || !ReadBlock(state, root.block, buffer))
        return false;
    state.directoriesRead.clear();
    state.directoriesRead.insert(root.block);
    state.nestLevel = 0;
    ReadUdfDirectory(state, rootItem, buffer, root.reference);
    return true;
}

// Asks before the long block scan, unless questions are suppressed.
bool AskForBlockScan() {
    if (settings::ProgramSettings.PromptSuppress) return true;
    return messages::ShowMessage(messages::MessageIdWithFlags(kBlockScanQuestion)) == port::kResultYes;
}

}  // namespace

bool HasIsoDirectory(scan::TrackNode* track, std::uint8_t* buffer) {
    device::CDDevice* device = scan::SelectedDevice();
    if (!track || !device) return false;
    UdfState state;
    state.device = device;
    state.readLimit = track->end > track->start ? track->end : kMinMediaBlocks;
    QuietReads quiet(state);
    static const std::uint8_t kPrimary[] = {0x01, 'C', 'D', '0', '0', '1', 0x01};
    static const std::uint8_t kSupplementary[] = {0x02, 'C', 'D', '0', '0', '1', 0x01};
    if (!ReadBlock(state, std::int64_t{track->start} + 16, buffer) || std::memcmp(buffer, kPrimary, sizeof kPrimary) != 0)
        return false;
    return ReadBlock(state, std::int64_t{track->start} + 17, buffer) &&
           std::memcmp(buffer, kSupplementary, sizeof kSupplementary) == 0 && buffer[88] == '%' && buffer[89] == '/';
}

}  // namespace udf

bool ProbeUdf(scan::TrackNode* track, std::uint8_t* buffer) {
    using namespace udf;
    device::CDDevice* device = scan::SelectedDevice();
    if (!track || !device || !buffer) return false;
    // 1.
    if (Verbose()) diag::DebugPrint("Checking for UDF filesystem on track %d", track->number);
    UdfState state;
    state.device = device;
    state.track = track;
    // A track whose end the layout left unset (an image without an ISO
    // volume size) ends where the next node starts: the anchors at its end
    // are then found too.
    if (track->end <= track->start && track->next && track->next->start > track->start) {
        scan::CatalogueGuard guard;
        track->end = track->next->start;
    }
    const scan::TrackNode* next = track->next && track->next->number != scan::kLeadOutNumber ? track->next : nullptr;
    state.readLimit = next ? next->end : track->end;
    if (state.readLimit <= track->start) state.readLimit = kMinMediaBlocks;
    state.mediaBlocks = static_cast<std::int32_t>(std::max<std::int64_t>(state.readLimit, kMinMediaBlocks));
    UsedBlocks used((static_cast<std::size_t>(state.mediaBlocks) + 7) / 8);
    state.usedBlocks = used.data();
    if (!state.usedBlocks) messages::ShowMessage(messages::MessageIdWithFlags(kBitmapMemoryMessage));

    // 2.
    if ((track->flags & scan::TrackIso) && !(track->flags & scan::TrackPacket) && !QuickAnchorCheck(state, buffer)) {
        track->udfStage = kStageNotUdf;
        return false;
    }
    // 3-13.
    VolumeFacts facts;
    if (RecogniseVolume(state, buffer, facts) != Recognition::kVolume) return false;
    // The end of the readable area may have moved with the volume.
    state.readLimit = std::max<std::int64_t>(state.readLimit, track->end);

    // 14-20, again through an older VAT when none of the files could be
    // read through the newest. Each retry drops one VAT, and there are at
    // most as many retries as VATs remembered.
    const bool intensive = settings::ProgramSettings.IntensiveScan != 0;
    scan::FoundItem* rootItem = nullptr;
    for (int retries = 0;; ++retries) {
        // 14.
        if ((track->flags & scan::TrackSparing) || facts.needsNoVat) {
            state.readDirectories = true;
        } else if (!ReadVat(state, buffer, false)) {
            device->ClearAbortFlag();
            if (!settings::ProgramSettings.ShowAll && HasIsoDirectory(track, buffer)) {
                if (Verbose()) diag::DebugPrint("Switching to ISO-9660 directory");
                SetFlags(track, scan::TrackUdfFound);
                return false;
            }
            if (!ReadVat(state, buffer, true)) {
                device->ClearAbortFlag();
                SetFlags(track, scan::TrackUdfFound);
                state.udfError = true;
                state.readDirectories = false;
            }
        }

        // 15-17.
        if (state.map.vatLoaded) state.readDirectories = true;
        Root root;
        if (state.readDirectories) {
            messages::ShowStatus(static_cast<int>(kUdfVolumeStatus), int{track->number}, facts.name.c_str());
            if (!LocateRoot(state, buffer, facts, root)) return false;
        }
        if (root.found) {
            track->udfBlock = state.map.partitionRelative ? static_cast<std::int32_t>(state.map.partitionStart) : 0;
            if (Verbose())
                diag::DebugPrint("Partition starts at %d for %d, Root directory at %d(%d), translated to %d",
                                 static_cast<int>(state.map.partitionStart), static_cast<int>(state.partitionLength),
                                 static_cast<int>(root.block - state.map.partitionStart), static_cast<int>(root.reference),
                                 static_cast<int>(root.block));
        }

        // 18.
        rootItem = scan::NewFoundItem(scan::RootItemName(facts.name, track->session), scan::kRootNameRoom);
        if (!rootItem) return false;
        rootItem->flags = scan::ItemDirectory;
        rootItem->start = root.block >= 0 && root.block <= INT32_MAX ? static_cast<std::int32_t>(root.block) : scan::StartNotAvailable;
        rootItem->fsId = root.block > 0 && root.block <= INT32_MAX ? static_cast<std::uint32_t>(root.block) : 0;
        rootItem->extents.block = static_cast<std::uint32_t>(facts.lvdBlock);
        rootItem->size = root.size;
        rootItem->date = root.date;
        scan::AttachRootItem(track, rootItem);
        if (!root.found) state.udfError = true;
        if (!state.udfError && !ReadTree(state, rootItem, root, buffer)) state.udfError = true;

        // 19.
        if (state.checksumErrorSeen) {
            if (Verbose())
                diag::DebugPrint("Checksum error in UDF file entries, recycling...FileCount=%d, bIgnCkSum=%d", state.fileCount,
                                 state.ignoreChecksums ? 1 : 0);
            if (state.fileCount == 0 && !state.ignoreChecksums) {
                state.ignoreChecksums = true;
                state.udfError = true;
                SetFlags(track, scan::TrackChecksumRecycled);
                if (root.found && rootItem->firstChild == nullptr) ReadTree(state, rootItem, root, buffer);
            }
        }
        // 20. With the intensive setting, errors go straight to the block
        // scan rather than to an older VAT.
        if (!intensive && state.vatHistory[1] != 0 && state.readDirectories && state.fileCount == 0 &&
            !(track->flags & scan::TrackUdfFound) && retries < kVatHistorySize) {
            if (Verbose()) diag::DebugPrint("Trying to locate prior VAT due to errors...");
            DropNewestVat(state);
            state.map.vatLoaded = false;
            state.map.vat.clear();
            ChooseMappings(state.map);
            state.udfError = false;
            state.readDirectories = false;
            {
                scan::CatalogueGuard guard;
                ++track->vatFallbacks;
            }
            continue;
        }
        if (state.fileCount == 0) state.udfError = true;
        if (state.udfError && Verbose()) diag::DebugPrint("UDF tree of track %d read with errors", track->number);
        break;
    }
    // The block scan finds the File Entries no directory reaches: after
    // errors, or on every volume when the user asked for it.
    if (state.usedBlocks && (state.udfError || intensive) && AskForBlockScan())
        ScanUdfBlocks(state, rootItem, state.map.partitionStart);

    // 21.
    {
        scan::CatalogueGuard guard;
        track->flags |= scan::TrackUdf;
        track->flags &= ~scan::TrackIso;
    }
    return true;
}

scan::FileSystemReader UdfFileSystem() {
    scan::FileSystemReader entry;
    entry.kind = scan::FileSystemKind::kUdf;
    entry.name = "UDF";
    entry.probe = ProbeUdf;
    entry.fileData = udf::UdfFileData;
    entry.openFile = udf::OpenUdfFileStream;
    entry.removeDuplicates = udf::RemoveDuplicates;
    return entry;
}

}  // namespace dravik::readers
