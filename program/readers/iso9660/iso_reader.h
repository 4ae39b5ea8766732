// The ISO 9660 reader's parts and the state they share while one track is
// read. ReadIsoTrack is the entry (through the scan's table of file systems,
// see file_system_entries.h); everything else here is for the reader's own
// files and its tests.
//
// A disc is input from a stranger: every length read from it is checked
// against the buffer it lies in, locations outside the volume are never
// read as directories, each directory extent is read at most once per tree
// (so a directory that lists itself or an ancestor cannot loop), nesting
// stops at kMaxNestLevel and a tree holds at most kMaxItemsPerTree items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>
#include <string>

namespace dravik::device {
class CDDevice;
}
namespace dravik::scan {
struct FoundItem;
struct TrackNode;
}  // namespace dravik::scan

namespace dravik::readers {

// Reads the track's file system into the catalogue (the ISO family, or the
// UDF or HFS volume the track holds instead). `mode` is 0 from the scan
// driver. True when a volume was read (the track then normally has a root
// item); false lets the driver try its other recognisers.
bool ReadIsoTrack(scan::TrackNode* track, int mode);

}  // namespace dravik::readers

namespace dravik::readers::iso {

// Limits of what one track may make the reader do.
constexpr int kMaxNestLevel = 20;                 // deeper directories appear without contents
constexpr std::int64_t kMaxDirectorySectors = 16384;  // 32 MiB of directory records
constexpr std::size_t kMaxItemsPerTree = 1000000;
constexpr std::int64_t kMaxPathTableBytes = 4 * 1024 * 1024;
// Blocks searched for a root directory when the descriptors are unreadable.
constexpr int kScanFirstBlock = 17;
constexpr int kScanLastBlock = 149;
constexpr int kScanUsableBelow = 40;  // a root found this far or farther is not used
// Blocks holding supplementary descriptors.
constexpr int kSupplementaryFirst = 17;
constexpr int kSupplementaryLast = 31;
// The answer "Yes" of a question.
constexpr int kAnswerYes = 6;

// Language-module texts of this reader.
constexpr unsigned kJolietNamesMessage = 128;
constexpr unsigned kIsoVolumeStatus = 129;     // track number, volume name
constexpr unsigned kJolietVolumeStatus = 130;  // track number, volume name
constexpr unsigned kNoDirectoryMessage = 155;  // track number
constexpr unsigned kRootFoundMessage = 156;    // track number, block
constexpr unsigned kRootBeforeTrackMessage = 204;  // track number
constexpr unsigned kFilesMissingMessage = 216;     // session number
constexpr unsigned kContinuationMessage = 218;     // other track, this track
constexpr unsigned kHighSierraStatus = 221;        // track number, volume name
constexpr unsigned kBadBlocksMessage = 241;        // count

enum class DirectoryFormat { kIso, kJoliet, kHighSierra };

// Per-track state, reset at every ReadIsoTrack call.
struct IsoTrackState {
    device::CDDevice* device = nullptr;
    scan::TrackNode* track = nullptr;
    int imageOffset = 0;      // blocks added to every recorded location
    bool offsetImage = false;  // locations below the track start are relative to it
    int readLimit = 0;        // first block beyond what may be read
    int nestLevel = 0;
    int badBlocks = 0;        // directory blocks that could not be read
    bool nameFailed = false;  // a Joliet name could not be converted
    // Directory walks of the tree being read: the directory extents already
    // read, sectors that ended a directory early (zeroed, implausible or
    // malformed), items made.
    std::set<std::int32_t> directoriesRead;
    int directoriesCut = 0;
    std::size_t itemsMade = 0;
    int quietDepth = 0;  // QuietReads scopes open
    // Rock Ridge: System Use bytes every record skips (the root's "SP"),
    // the block last read for a continuation area (several records' areas
    // share one block, read once), and what the last directory read held.
    int systemUseSkip = 0;
    std::int64_t continuationBlock = -1;
    bool continuationReadable = false;
    std::uint8_t continuationData[2048] = {};
    bool onlyRelocations = false;  // the last directory read listed nothing but moved directories
    int relocations = 0;           // directories shown where their "CL" entry put them
    // Folders that held nothing but moved directories (".rr_moved"): hidden
    // once the tree is read, unless a directory moved there was reached by
    // no "CL" entry (its placeholder lost), which is then shown there.
    std::vector<scan::FoundItem*> relocationHolders;
    bool claimingMoved = false;  // the directory read lists only such unreached moved directories
    int movedClaimed = 0;
};

// Starts a new tree on the same track (the primary after a Joliet tree
// that yielded nothing): its walk counters start again.
void BeginTree(IsoTrackState& state);

// One 2048-byte block from the tracked allocator, released on every path.
class WorkBlock {
public:
    explicit WorkBlock(std::size_t blocks = 1);
    ~WorkBlock();
    WorkBlock(const WorkBlock&) = delete;
    WorkBlock& operator=(const WorkBlock&) = delete;
    std::uint8_t* data() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    std::uint8_t* data_;
};

// The device's error reporting off for reads expected to fail, back on
// when the outermost such scope ends (the scopes nest: a Joliet volume read
// inside the quiet supplementary search).
class QuietReads {
public:
    explicit QuietReads(IsoTrackState& state, bool quiet = true);
    ~QuietReads();
    QuietReads(const QuietReads&) = delete;
    QuietReads& operator=(const QuietReads&) = delete;

private:
    IsoTrackState& state_;
    bool quiet_;
};

// Reads one block; false for a failed read and for a block number the
// drive cannot be asked for (negative).
bool ReadBlock(IsoTrackState& state, std::int64_t block, std::uint8_t* buffer);
bool AbortRequested(const IsoTrackState& state);
// Verbose log and sector dumps.
bool Verbose();
bool SectorDumps();

// A recorded location as a disc block: plus imageOffset, plus the track
// start when offsetImage is set and the block lies below the track.
std::int64_t MapLocation(const IsoTrackState& state, std::int64_t extent);
// readLimit for a volume of `volumeSpace` blocks on this track.
int ReadLimitFor(const scan::TrackNode* track, std::uint32_t volumeSpace);

// Track flags, changed under the catalogue lock (the views read nodes).
void SetTrackFlags(scan::TrackNode* track, std::uint32_t bits);
void ClearTrackFlags(scan::TrackNode* track, std::uint32_t bits);

// The root item "\ <volume> (Session n)" of a directory at `start`.
scan::FoundItem* MakeRootItem(IsoTrackState& state, const std::string& volume, std::int64_t start,
                              std::uint32_t size, const std::uint8_t* date);

// Reads the directory at `block` of `length` bytes into `dir`; returns its
// first item (null when it yielded none). `lengthFromSelf`: the length is
// not known (a relocated directory) and is taken from the directory's own
// entry, which also becomes `dir`'s size.
scan::FoundItem* ReadIsoDirectory(IsoTrackState& state, scan::FoundItem* dir, std::int64_t block,
                                  std::uint32_t length, DirectoryFormat format = DirectoryFormat::kIso,
                                  bool lengthFromSelf = false);

// After a tree is read: shows each directory that was moved away to keep
// the tree shallow but that no "CL" entry led to, in the folder it was
// moved to, and hides the folders that only held moved directories.
void SettleMovedDirectories(IsoTrackState& state, DirectoryFormat format);

// Rock Ridge of one ISO directory record: its System Use entries, with the
// continuation areas read through the drive (each block once while the
// records that share it follow each other).
struct RockRidgeEntries;
RockRidgeEntries RecordRockRidge(IsoTrackState& state, const std::uint8_t* record, std::size_t recordLength,
                                 bool rootSelfEntry);
// Gives a new item what its entries say: the modification time, the mode,
// a link target, a zisofs file's expanded size.
void ApplyRockRidge(const RockRidgeEntries& entries, scan::FoundItem* item);

// Shows the root and every named directory below it in the tree.
void ShowTrackTree(scan::FoundItem* root);

// Recovery steps of a volume.
void FindImageOffset(IsoTrackState& state, std::uint32_t pathTable, std::uint32_t rootExtent);
// Fills `descriptor` with a built primary descriptor and returns true when
// a root directory was found close after the descriptor area.
// `alwaysQuiet`: error reporting stays off also in verbose mode.
bool LocateRootByScanning(IsoTrackState& state, std::uint8_t* descriptor, bool alwaysQuiet = false);
// True when it read into `descriptor` (the caller must read it again).
bool CheckTrackContinuation(IsoTrackState& state, std::uint8_t* descriptor);
// Reads the directories the walk could not reach through the volume's path
// table, when the walk met unreadable or cut directories.
void RecoverThroughPathTable(IsoTrackState& state, scan::FoundItem* root, const std::uint8_t* descriptor,
                             DirectoryFormat format);

// The volumes.
bool ReadJolietVolume(IsoTrackState& state, const std::uint8_t* svd);
bool ReadHighSierraVolume(IsoTrackState& state, const std::uint8_t* descriptor);
// Sessions inside one track (iso_sessions.cpp).
constexpr int kEmulatedSessionStart = 32;  // first session of an image that emulates sessions
constexpr int kMaxSessionNumber = 99;
constexpr std::int64_t kMaxSessionProbes = 50000;
constexpr int kMaxFailedSessionProbes = 16;           // unreadable blocks in a row that end the search
constexpr std::int64_t kSessionDescriptorReach = 64;  // blocks before a session's root searched for its descriptor
// Block 16 is a copy of the newest session's descriptors and the first
// session starts at block 32: the track is moved there and `descriptor`
// holds that session's primary descriptor. `probe` is scratch.
bool MoveToEmbeddedFirstSession(IsoTrackState& state, std::uint8_t* descriptor, std::uint8_t* probe);
// Looks past the volume of `descriptor` (null: its size is not known) for
// the next session's descriptors; when found, this track ends there and a
// new node for that session follows it. True when a node was added.
bool FindNextSession(IsoTrackState& state, const std::uint8_t* descriptor);

// Reads the tree of a primary descriptor (read from the disc or built by
// the directory search) into the catalogue and shows it; the last part of
// ReadIsoTrack.
bool ReadPrimaryVolume(IsoTrackState& state, const std::uint8_t* descriptor);

}  // namespace dravik::readers::iso
