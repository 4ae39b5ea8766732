// The catalogue: one FoundItem per file or directory a reader found, linked
// into one tree per track under the track's root item. There is no index;
// every lookup walks the tree. Items are single blocks (see item_memory.h)
// holding the fixed fields followed by the NUL-terminated name.
//
// Building: NewFoundItem makes an unlinked item (fixed fields zeroed, name
// copied); the reader fills in its fields and then links it with LinkItem
// or AppendItem, or makes it a track's root with AttachRootItem. See
// catalogue_lock.h for the rules between the scan thread and the views.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "program/scan/item_date.h"

namespace dravik::scan {

struct TrackNode;
struct FoundItem;
struct MacFileInfo;
struct PosixFileInfo;

// Limits of what a disc can make us store.
// Names longer than this many bytes are cut (on a UTF-8 character boundary).
constexpr std::size_t kMaxItemNameBytes = 1024;
// ISO and High Sierra roots are made with this much name room.
constexpr std::size_t kRootNameRoom = 64;
// An extent list starts with room for 10 pairs (20 words) and grows by as
// many whenever it is full.
constexpr std::uint32_t kExtentListStepPairs = 10;
// A multi-extent file holds at most this many extents; more are refused
// (a real file needs one extent per 4 GB).
constexpr std::uint32_t kMaxItemExtents = 4096;

// `start` when the item has no usable location.
constexpr std::int32_t StartNotAvailable = -1;

// Bits of FoundItem::flags.
constexpr std::uint16_t ItemDirectory = 0x001;   // contents hang from firstChild
constexpr std::uint16_t ItemSelfLink = 0x002;    // UDF directory with an entry naming itself (skipped)
constexpr std::uint16_t ItemUnnamed = 0x004;     // not reached through a directory, or a track placeholder
constexpr std::uint16_t ItemMissing = 0x008;     // data beyond the readable end, or entry unreadable
constexpr std::uint16_t ItemFragmented = 0x010;  // data not in one simple extent
constexpr std::uint16_t ItemDeleted = 0x020;     // named by a deleted UDF identifier
constexpr std::uint16_t ItemOverlap = 0x040;     // an extent is shared with another item
constexpr std::uint16_t ItemBroken = 0x080;      // allocation descriptor chain broken
// Two marks of the views, cleared on every item in one pass; no reader sets them.
constexpr std::uint16_t ItemViewMarkA = 0x100;
constexpr std::uint16_t ItemViewMarkB = 0x200;
// A directory whose contents could not all be read (an unreadable directory
// block, a scan stopped while it was read): files it holds may be missing.
constexpr std::uint16_t ItemIncomplete = 0x400;

// One extent of an ISO multi-extent file.
struct ExtentPair {
    std::int32_t start;    // absolute block
    std::uint32_t length;  // bytes
};

// The views' bookkeeping of a directory item in the tree; readers leave it zero.
struct ItemTreeView {
    std::uintptr_t handle;  // the front end's tree node, 0 until inserted
    std::uint32_t state;
    std::int32_t image;
    std::int32_t selectedImage;
    std::int32_t hasChildren;
};

// `extents` is a list for ISO multi-extent files and a block number for UDF
// items (the File Entry, or the logical volume descriptor on a UDF root).
union ItemExtents {
    ExtentPair* list;
    std::uint32_t block;
};

struct FoundItem {
    FoundItem* next;        // next item of the same directory
    FoundItem* prev;        // previous item of the same directory; null for the first
    FoundItem* firstChild;  // a directory's first item
    FoundItem* parent;      // null for a track's root item
    TrackNode* track;       // the track whose file system holds the item
    std::uint32_t fsId;     // UDF: File Entry block; HFS: catalogue node ID; ISO: 0
    ItemTreeView treeView;
    std::int32_t listIndex;  // row in the file list while it shows the item's directory
    std::int32_t start;      // absolute block, or StartNotAvailable
    std::uint32_t size;      // bytes (low 32 bits)
    std::uint32_t count;     // directory: named entries below it; multi-extent file: extents
    ItemExtents extents;
    void* access;            // open data cursor of a UDF file being read; owned by the reader
    MacFileInfo* mac;        // an HFS file's forks and codes (mac_file_info.h); owned by the item
    PosixFileInfo* posix;    // Rock Ridge mode, link target, compression (posix_file_info.h); owned by the item
    std::uint16_t flags;
    ItemDate date;
    // Pairs of room in extents.list; nonzero exactly when the item owns an
    // extent list. The item decides the release, not its track's flags: a
    // UDF reader abandons partial trees on tracks that still say ISO, where
    // extents holds a block number.
    std::uint16_t extentRoom;
    // UDF: the partition reference of the File Entry; its short allocation
    // descriptors name blocks of that partition (a virtual one on VAT discs).
    std::uint16_t fsPartition;

    // The NUL-terminated UTF-8 name. It is not a member: NewFoundItem
    // allocates it with the item, in the bytes right after the fixed fields,
    // so each item is one block however long its name.
    char* Name() { return reinterpret_cast<char*>(this + 1); }
    const char* Name() const { return reinterpret_cast<const char*>(this + 1); }
};

// An ISO directory's own entry and its parent's entry are kept as items
// named by the single bytes 0x00 and 0x01; they are never counted or shown.
bool IsHiddenEntryName(const char* name);
inline bool IsHiddenEntry(const FoundItem* item) { return IsHiddenEntryName(item->Name()); }

// The name of a track's root item: "\\ <volume> (Session <session>)".
std::string RootItemName(std::string_view volume, int session);

// An unlinked item with the fixed fields zeroed and `name` copied (up to
// its first NUL, at most kMaxItemNameBytes bytes), allocated with at least
// `minNameRoom` bytes for the name and its NUL. Null when memory runs out.
FoundItem* NewFoundItem(std::string_view name, std::size_t minNameRoom = 0);
// Releases an item that was never linked (with its extent list).
void DiscardFoundItem(FoundItem* item);

// Links a finished item into `dir` after `previous` (null: as the first
// item): sets parent and track from `dir`, joins the neighbours, and raises
// the directory's count unless the name is hidden.
void LinkItem(FoundItem* dir, FoundItem* previous, FoundItem* item);
// Links after the last item of `dir`.
void AppendItem(FoundItem* dir, FoundItem* item);
// Makes a finished item the root item of `track`: no parent, no siblings,
// its track the node. A root the node already had stays alive (the views
// may show it) until ClearTrackList releases it with the rest.
void AttachRootItem(TrackNode* track, FoundItem* root);

// Releases the root items AttachRootItem replaced (ClearTrackList calls it),
// and how many are waiting.
void ReleaseReplacedRootItems();
std::size_t ReplacedRootItemCount();

// Releases every item of the chain starting at `first`, with everything
// below them and their extent lists. Does not touch a parent's firstChild
// or a track's rootItem: the caller drops its pointer.
void FreeItemTree(FoundItem* first);
// Takes the item out of its directory (or chain) and releases it. An item
// that still has contents releases them too rather than leaving them
// unreachable. The parent's count is left for a recount.
void UnlinkItem(FoundItem* item);

// Multi-extent files (ISO). StartExtentList sets ItemFragmented and gives
// the item a list holding (start, size), count 1. AppendItemExtent adds a
// pair, adds its length to size and raises count. False when memory runs
// out, when the item has no list, or at kMaxItemExtents; the item is then
// unchanged.
bool StartExtentList(FoundItem* item);
bool AppendItemExtent(FoundItem* item, std::int32_t start, std::uint32_t length);
// The item's extents, or null when it owns no list (count holds how many).
const ExtentPair* ItemExtentList(const FoundItem* item);

// Sets or clears flag bits of an item that may already be linked.
void SetItemFlags(FoundItem* item, std::uint16_t bits);
void ClearItemFlags(FoundItem* item, std::uint16_t bits);
// Adds a read subdirectory's count to its directory's.
void AddToDirectoryCount(FoundItem* dir, std::uint32_t amount);

// Recounts every directory below and including `dir`: a directory's count
// is the number of its entries whose names are not hidden plus the count
// of each such entry that is a directory. Files' counts (extents) are kept.
void RecountDirectories(FoundItem* dir);

}  // namespace dravik::scan
