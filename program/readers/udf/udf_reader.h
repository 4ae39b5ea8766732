// The UDF reader's parts and the state they share while one track is
// probed. ProbeUdf (udf_probe.h) is the entry; everything here is for the
// reader's own files and its tests.
//
// A disc is input from a stranger: every length read from it is checked
// against the buffer it lies in, blocks are only read inside the track
// (and the tracks the volume covers), a directory is read at most once per
// tree, nesting stops at kMaxNestLevel, and a directory larger than its
// entry says is read again once, into a buffer of at most
// kMaxDirectoryBytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "program/readers/udf/udf_volume_map.h"

namespace dravik::device {
class CDDevice;
}
namespace dravik::scan {
struct FoundItem;
struct TrackNode;
}  // namespace dravik::scan

namespace dravik::readers::udf {

// Limits of what one volume may make the reader do.
constexpr int kMaxNestLevel = 20;
constexpr std::uint32_t kLargeDirectoryBytes = 0x40000;          // logged as excessive
constexpr std::uint32_t kMaxDirectoryBytes = 16 * 1024 * 1024;  // larger directories are cut here
constexpr int kMaxContinuationBlocks = 1024;  // allocation extent descriptors followed per list
constexpr std::uint32_t kMaxExtendedAttributes = 512;  // L_EA of a File Entry
constexpr std::int32_t kMinMediaBlocks = 340000;
// The unreadable link area between two packets of a packet-written track.
constexpr int kLinkAreaBlocks = 7;
// VAT locations remembered, newest first.
constexpr int kVatHistorySize = 6;
// How far back from the end of the recorded area a VAT is looked for.
constexpr std::int64_t kVatSearchBlocks = 256;

// Language-module texts of this reader.
constexpr unsigned kBitmapMemoryMessage = 179;
constexpr unsigned kLongExtentListMessage = 232;  // path, 14, 5
constexpr unsigned kUdfVolumeStatus = 173;       // track number, volume name
constexpr unsigned kTagSearchStatus = 251;       // first block, last block
constexpr unsigned kVatSearchStatus = 114;       // track number, first block, blocks
constexpr unsigned kLongVatSearchMessage = 116;  // yes/no: go on searching

// `udfStage` values of a probe that gave up early.
constexpr std::uint8_t kStageNotUdf = 105;     // an ISO track without anchors
constexpr std::uint8_t kStageNoAnchor = 106;   // the layout was guessed
// `udfStage` values of the VAT search.
constexpr std::uint8_t kStageVatLoaded = 0;
constexpr std::uint8_t kStageVatSearch = 101;
constexpr std::uint8_t kStageVatEntrySeen = 102;  // a valid File Entry was met
constexpr std::uint8_t kStageVatExtended = 103;   // the VAT uses extended descriptors
constexpr std::uint8_t kStageNoVat = 104;

struct UdfState {
    device::CDDevice* device = nullptr;
    scan::TrackNode* track = nullptr;
    UdfVolumeMap map;
    std::uint32_t partitionLength = 0;
    std::int64_t partitionEnd = 0;
    std::int32_t mediaBlocks = 0;
    std::int64_t readLimit = 0;  // first block past the tracks the volume covers
    // One bit per block below mediaBlocks, most significant bit first.
    std::uint8_t* usedBlocks = nullptr;
    bool udfError = false;
    bool readDirectories = false;
    bool checksumErrorSeen = false;
    bool ignoreChecksums = false;
    int fileCount = 0;
    // Absolute blocks of VAT File Entries, newest first; 0 = none.
    std::array<std::int64_t, kVatHistorySize> vatHistory{};
    std::set<std::int64_t> vatsTried;  // VATs loaded or refused in this probe
    int nestLevel = 0;
    int quietDepth = 0;
    std::set<std::int64_t> directoriesRead;  // directory start blocks of this tree
    // The first block an intensive search read quickly (-1: none yet); a
    // slow read is followed by reading it again (NudgeDrive).
    std::int64_t firstQuickBlock = -1;
    // The block scan runs: AddUdfItem skips VAT File Entries and logs no
    // dumps of bad entries (most blocks it meets are not entries at all).
    bool blockScanRunning = false;
    // While the block scan works out what a block holds, single-block reads
    // (the File Entries a directory block names, a found directory's data)
    // are served from the last run read, or read ahead as a run of their
    // own: entries lie near each other and near their data.
    bool readAhead = false;
    std::vector<std::uint8_t> aheadData;
    std::int64_t aheadFirst = 0;
    int aheadCount = 0;
};

// The device's error reporting off for reads expected to fail (scopes nest).
class QuietReads {
public:
    explicit QuietReads(UdfState& state);
    ~QuietReads();
    QuietReads(const QuietReads&) = delete;
    QuietReads& operator=(const QuietReads&) = delete;

private:
    UdfState& state_;
};

// Reads one block; false for a failed read and for a block outside
// [0, readLimit). With readAhead on, through the read-ahead run.
bool ReadBlock(UdfState& state, std::int64_t block, std::uint8_t* buffer);
// Reads `count` blocks with one command; false when any of them failed
// or lies outside [0, readLimit). Never through the read-ahead run.
bool ReadBlocks(UdfState& state, std::int64_t block, int count, std::uint8_t* buffer);
// After a read that took long (a drive that slowed down or started to
// retry), reads firstQuickBlock once more so that the drive settles at a
// block it reads well; nothing when there is none.
void NudgeDrive(UdfState& state);
// The read-ahead run: blocks from `first` (copied from `data`), or none.
void KeepReadAhead(UdfState& state, std::int64_t first, int count, const std::uint8_t* data);
// Where a forward search goes on after `block` failed with sense code
// `sense`. A packet-written disc has 7 unreadable link blocks between its
// packets: when the code is one such blocks give and block+6 fails with
// the same code while block+7 reads, the search continues at block+7;
// otherwise at block+1. `buffer` holds one block (overwritten).
std::int64_t AfterFailedBlock(UdfState& state, std::int64_t block, std::uint8_t sense, std::uint8_t* buffer);
// Whether a failed read's sense code is one drives answer for the link
// blocks between packets; a link area is kLinkAreaBlocks long.
bool IsLinkAreaSense(std::uint8_t code);
bool AbortRequested(const UdfState& state);
bool Verbose();
// ReadBlock of `state` as a block-reading function.
ReadBlockFunction Reader(UdfState& state);
// Milliseconds of a monotonic clock, for the intensive searches' timing.
std::int64_t SearchMilliseconds();
// Sets `bits` of the track's flags under the catalogue lock.
void SetFlags(scan::TrackNode* track, std::uint32_t bits);

// Tag check of a descriptor: false with the reason in `code` (udf_tags.h).
// A checksum mismatch sets checksumErrorSeen; checksums are not checked
// once ignoreChecksums is set or with the program's checksum switch.
bool CheckTag(UdfState& state, const std::uint8_t* descriptor, int& code);
// The first block in (from, to] that reads, carries `tag` and passes
// CheckTag; 0 when none (or the user stopped). Bounded by readLimit.
std::int64_t SearchTag(UdfState& state, std::int64_t from, std::int64_t to, std::uint8_t* buffer, std::uint16_t tag);

// The absolute block of a logical block; kNoBlock when the reference names
// no partition map.
std::int64_t MapBlock(const UdfState& state, std::uint32_t block, std::uint32_t reference);
// Marks a block used in the bitmap (when there is one); returns it.
std::int64_t MarkUsed(UdfState& state, std::int64_t block);
bool IsUsed(const UdfState& state, std::int64_t block);

// Loads the sparing table of the sparable map read from the logical volume
// descriptor. False only when memory for it could not be had.
bool ReadSparingTable(UdfState& state, std::uint8_t* buffer);

// The VAT of a write-once volume (udf_vat.cpp): searched back from the end
// of the recorded area (or, `intensive`, forwards over the whole track),
// or re-read from the newest location vatHistory holds; a VAT that cannot
// be loaded gives way to the previous one. True when one was loaded into
// the volume map; `buffer` holds the last block read.
bool ReadVat(UdfState& state, std::uint8_t* buffer, bool intensive);
// Puts a VAT location in front of vatHistory, dropping the oldest.
void RecordVat(UdfState& state, std::int64_t block);
// Drops the newest VAT location (the others move up one place).
void DropNewestVat(UdfState& state);

// Directories and file entries.
// `fileEntry` is the directory's File Entry block (2048 bytes); its short
// allocation descriptors lie in partition `reference`.
scan::FoundItem* ReadUdfDirectory(UdfState& state, scan::FoundItem* dirItem, const std::uint8_t* fileEntry,
                                  std::uint32_t reference);
scan::FoundItem* ReadFidStream(UdfState& state, std::uint8_t* data, std::uint32_t length, scan::FoundItem* dirItem);
// `fid` holds `fidBytes` bytes (its whole identifier descriptor).
scan::FoundItem* AddUdfItem(UdfState& state, scan::FoundItem* dirItem, scan::FoundItem* prevItem,
                            const std::uint8_t* fid, std::size_t fidBytes);
// Whether a File Entry (tag already checked; `available` bytes of it in
// its block) has lengths the reader can use.
bool EntryLengthsUsable(const std::uint8_t* entry, std::size_t available);
// An item named `name` for the File Entry already read from `entryBlock`
// (a whole block, tag checked, lengths usable), whose short descriptors
// lie in partition `reference`; linked into `dirItem` after `prevItem`. A
// directory's contents are read as AddUdfItem reads them. Null when
// memory ran out.
scan::FoundItem* AddEntryItem(UdfState& state, scan::FoundItem* dirItem, scan::FoundItem* prevItem, const std::string& name,
                              std::int64_t entryBlock, std::uint32_t reference, const std::uint8_t* block);
// Mark the blocks of a file's extents used; true when it has more than one.
bool MarkShortExtents(UdfState& state, const std::uint8_t* descriptors, std::size_t length, std::uint32_t reference);
bool MarkLongExtents(UdfState& state, const std::uint8_t* descriptors, std::size_t length, scan::FoundItem* item);

// The tag wanted, or an Extended File Entry where a File Entry is wanted.
bool TagMatches(std::uint16_t found, std::uint16_t wanted);
// The descriptor a block holds at its start, or 40 bytes on behind a
// DirectCD prefix: null when neither is `tag` with a good tag; `code` then
// holds the CheckTag code (2 for a bad prefixed descriptor).
const std::uint8_t* DescriptorAt(UdfState& state, const std::uint8_t* block, std::uint16_t tag, int& code);

}  // namespace dravik::readers::udf
