// The track list: one TrackNode per track, lead-out or added area, in disc
// order between TrackListHead and TrackListTail. Part of the TOC code and
// the scan driver build it on the scan thread; the readers update the node
// they are given and hang the track's catalogue under its rootItem. The
// list outlives the scan until the next scan or shutdown clears it.
#pragma once

#include <cstdint>
#include <string>

namespace dravik::scan {

struct FoundItem;

// Where nothing better is known, the disc ends here (blocks).
constexpr std::int32_t kAssumedDiscEnd = 340000;
constexpr std::int32_t kBlocksPerMinute = 4500;
constexpr std::int32_t kBlocksPerSecond = 75;
// Blocks a session boundary costs: lead-out, lead-in and pre-gap.
constexpr std::int32_t kSessionGapBlocks = 11400;
constexpr std::int32_t kBlockBytes = 2048;
// `number` of the lead-out node.
constexpr std::uint8_t kLeadOutNumber = 170;

// Bits of `control`.
constexpr std::uint8_t kControlIncremental = 0x01;  // data recorded incrementally
constexpr std::uint8_t kControlData = 0x04;
constexpr std::uint8_t kControlFourChannel = 0x08;

// Bits of TrackNode::flags.
constexpr std::uint32_t TrackJoliet = 0x1;
constexpr std::uint32_t TrackIso = 0x2;
constexpr std::uint32_t TrackHighSierra = 0x4;
constexpr std::uint32_t TrackCdiBridge = 0x10;
constexpr std::uint32_t TrackHfs = 0x20;
constexpr std::uint32_t TrackUdf = 0x40;
constexpr std::uint32_t TrackPacket = 0x80;
constexpr std::uint32_t TrackSparing = 0x100;
constexpr std::uint32_t TrackUdfFound = 0x200;
constexpr std::uint32_t TrackVatReread = 0x400;
constexpr std::uint32_t TrackDirRegrown = 0x800;
constexpr std::uint32_t TrackChecksumRecycled = 0x1000;
constexpr std::uint32_t TrackNoSparingTable = 0x2000;
constexpr std::uint32_t TrackBlank = 0x4000;
constexpr std::uint32_t TrackCompressed = 0x8000;
constexpr std::uint32_t TrackDirectCdCompressed = 0x10000;
constexpr std::uint32_t TrackContinued = 0x20000;
constexpr std::uint32_t TrackSecondFs = 0x40000;
constexpr std::uint32_t TrackAdded = 0x80000;
constexpr std::uint32_t TrackPartitionOverlap = 0x100000;
constexpr std::uint32_t TrackPregap = 0x200000;
constexpr std::uint32_t TrackRockRidge = 0x400000;
constexpr std::uint32_t TrackFilesMissing = 0x800000;
constexpr std::uint32_t TrackAppendable = 0x1000000;
constexpr std::uint32_t TrackErasable = 0x2000000;
// The scan was stopped while (or just after) this track was read: its tree
// may lack files and folders the disc holds.
constexpr std::uint32_t TrackStoppedEarly = 0x4000000;

struct TrackNode {
    TrackNode* next;
    TrackNode* prev;
    std::int32_t start;          // first block
    std::int32_t end;            // block after the track; 0 = unset
    std::uint32_t layoutEnd;     // `end` as the layout gave it, before the readers
    std::int32_t freeBlocks;     // from the drive's track information
    std::uint32_t nextWritable;  // 0 when not valid or equal to start
    std::int32_t dirDepth;       // deepest directory level MeasureTrackEnd saw
    std::int32_t udfBlock;       // recorded by the UDF reader
    std::int32_t vatBlock;       // the File Entry of the VAT the UDF reader used; 0 = none
    std::int32_t vatFallbacks;   // older VATs the UDF reader fell back to
    FoundItem* rootItem;         // the track's root catalogue item
    std::uint32_t readerWord;    // HFS allocation-block base, or extentTable's entry count
    void* extentTable;           // the overlap check's sorted table (TrackedAlloc)
    std::int32_t unnamedCounter;  // first node only: next "Unnamed_%04d" number
    std::uint32_t flags;
    std::uint8_t trackMode;  // byte 5 of the track information
    std::uint8_t dataMode;   // byte 6 of the track information
    std::uint8_t session;
    std::uint8_t number;     // kLeadOutNumber for the lead-out
    std::uint8_t control;    // ADR/control of the TOC entry, or the track-mode nibble
    std::uint8_t udfStage;   // 0 or 101-106, written by the UDF reader
};

// The list, in disc order. Written only on the scan thread, under the
// catalogue lock once a node is linked (catalogue_lock.h).
extern TrackNode* TrackListHead;
extern TrackNode* TrackListTail;

// A zero-filled node from TrackedAlloc, not linked; null when memory runs out.
TrackNode* NewTrackNode();
// Releases a node that is not linked (its catalogue is not touched).
void DiscardTrackNode(TrackNode* node);

// Links a node at the end of the list.
void AppendTrackNode(TrackNode* node);
// Links a node before `at` (null `at`: at the end), or after `at` (null: at the head).
void InsertTrackNodeBefore(TrackNode* at, TrackNode* node);
void InsertTrackNodeAfter(TrackNode* at, TrackNode* node);
// Takes a node out of the list without releasing it.
void UnlinkTrackNode(TrackNode* node);

// Clears the views, releases every node's catalogue items and extent table
// (the node's pointers become null) and, unless `keepNodes`, every node,
// leaving the list empty.
void ClearTrackList(bool keepNodes);

// With debug mode on, one log line per node:
// "%2d TOC %2x start:%6d End:%6d Ctl:%x Free:%d NWA:%d %s %s %s".
void DumpTrackList();

// "Unnamed_%04d" with the first node's unnamedCounter, which then rises.
// Numbering starts at 1 also on a fresh list (whose counter is still 0).
// Without a list the number is 1 and nothing is counted.
std::string NextUnnamedItemName();

// Nodes in the list; nodes other than the lead-out.
int TrackCount();
int TrackCountWithoutLeadOut();

}  // namespace dravik::scan
