// The directory walk of ISO 9660, Joliet and High Sierra volumes: one item
// per directory record, multi-extent files gathered into extent lists
// (also across sector boundaries), Rock Ridge names, subdirectories read
// depth first.
//
// Limits (see iso_reader.h): a record must lie inside its sector and hold
// its identifier; a directory is read for at most kMaxDirectorySectors
// sectors and never past readLimit; an extent is read as a directory once
// per tree; nesting stops at kMaxNestLevel; a tree holds at most
// kMaxItemsPerTree items.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/messages/scan_progress.h"
#include "program/readers/iso9660/iso_names.h"
#include "program/readers/iso9660/iso_reader.h"
#include "program/readers/iso9660/iso_structures.h"
#include "program/readers/iso9660/rock_ridge.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"

namespace dravik::readers::iso {

namespace {

const char* DumpTitle(DirectoryFormat format) {
    switch (format) {
        case DirectoryFormat::kJoliet: return "Joliet Directory";
        case DirectoryFormat::kHighSierra: return "HSG Directory";
        case DirectoryFormat::kIso: break;
    }
    return "ISO Directory";
}

// An open multi-extent chain: the file its continuation records belong to.
struct ExtentChain {
    scan::FoundItem* item = nullptr;
    std::string identifier;  // raw identifier of the chain's first record
};

// A first record that ends the directory: a self entry (or, on High Sierra,
// any first record) whose extent or length cannot be right.
bool ImplausibleFirstRecord(const IsoTrackState& state, const std::uint8_t* record, DirectoryFormat format) {
    if (format != DirectoryFormat::kHighSierra && !IsSelfEntry(record)) return false;
    const auto extent = static_cast<std::int32_t>(RecordExtent(record));
    const auto length = static_cast<std::int32_t>(RecordDataLength(record));
    return extent > state.readLimit || extent < 0 || length < 0 || length > kMaxDirectoryDataLength;
}

std::string RecordName(IsoTrackState& state, const std::uint8_t* record, DirectoryFormat format,
                       const RockRidgeEntries& rockRidge) {
    const std::uint8_t* id = record + kDrId;
    const std::size_t idLength = RecordIdLength(record);
    // The directory's own entry and its parent's keep their one-byte names.
    if (idLength == 1 && (id[0] == 0 || id[0] == 1)) return std::string(1, static_cast<char>(id[0]));
    switch (format) {
        case DirectoryFormat::kJoliet:
            if (idLength == 1) return std::string(1, static_cast<char>(id[0]));
            return Ucs2BeToUtf8(id, idLength, state.nameFailed);
        case DirectoryFormat::kHighSierra:
            return IsoBytesToUtf8(id, idLength);
        case DirectoryFormat::kIso:
            // An empty Rock Ridge name would hide the file; its ISO
            // identifier is kept instead.
            if (rockRidge.name && !rockRidge.name->empty()) {
                if (!(state.track->flags & scan::TrackRockRidge)) SetTrackFlags(state.track, scan::TrackRockRidge);
                return IsoBytesToUtf8(reinterpret_cast<const std::uint8_t*>(rockRidge.name->data()),
                                      rockRidge.name->size());
            }
            return IsoBytesToUtf8(id, idLength);
    }
    return {};
}

std::int32_t StoredStart(std::int64_t block) {
    if (block < 0) return scan::StartNotAvailable;
    return static_cast<std::int32_t>(std::min<std::int64_t>(block, std::numeric_limits<std::int32_t>::max()));
}

// Marks an item whose data lies beyond readLimit. A file of no bytes at the
// limit has nothing to miss.
void CheckMissing(IsoTrackState& state, scan::FoundItem* item, std::int64_t start) {
    if (!(start > state.readLimit || (start == state.readLimit && item->size > 0))) return;
    if (Verbose())
        diag::DebugPrint("File missing from disc: %s %d end:%d", item->Name(), StoredStart(start), state.readLimit);
    item->flags |= scan::ItemMissing;
    SetTrackFlags(state.track, scan::TrackFilesMissing);
    if (!settings::ProgramSettings.ShowAll) item->start = scan::StartNotAvailable;
}


// A continuation record of an open chain: its extent joins the file's list.
void AppendContinuation(IsoTrackState& state, ExtentChain& chain, const std::uint8_t* record) {
    scan::FoundItem* item = chain.item;
    const std::int64_t block = MapLocation(state, RecordExtent(record));
    const std::uint32_t length = RecordDataLength(record);
    if (!scan::AppendItemExtent(item, StoredStart(block), length)) {
        if (Verbose()) diag::DebugPrint("Extent list of %s is full, extent at %lld dropped", item->Name(), (long long)block);
        return;
    }
    if (length > 0 && block + (std::int64_t{length} + kBlockBytes - 1) / kBlockBytes > state.readLimit &&
        !(item->flags & scan::ItemMissing)) {
        if (Verbose()) diag::DebugPrint("File missing from disc: %s %d end:%d", item->Name(), StoredStart(block), state.readLimit);
        scan::SetItemFlags(item, scan::ItemMissing);
        SetTrackFlags(state.track, scan::TrackFilesMissing);
    }
}

}  // namespace

scan::FoundItem* ReadIsoDirectory(IsoTrackState& state, scan::FoundItem* dir, std::int64_t block,
                                  std::uint32_t length, DirectoryFormat format, bool lengthFromSelf) {
    state.onlyRelocations = false;
    // Only this directory is read in that way, not the ones below it.
    const bool claiming = state.claimingMoved;
    state.claimingMoved = false;
    if (state.readLimit < block || block < 0) return nullptr;
    std::int64_t sectors = lengthFromSelf ? 1 : (std::int64_t{length} + kBlockBytes - 1) / kBlockBytes;
    if (Verbose()) diag::DebugPrint("Processing directory at sector %d for %d sectors.", static_cast<int>(block), static_cast<int>(std::min<std::int64_t>(sectors, std::numeric_limits<int>::max())));
    // Never past the volume's end, never more than a directory can hold.
    sectors = std::min({sectors, std::max<std::int64_t>(1, state.readLimit - block), kMaxDirectorySectors});
    if (!state.directoriesRead.insert(static_cast<std::int32_t>(block)).second) {
        if (Verbose()) diag::DebugPrint("Directory at sector %lld was read before; not read again", (long long)block);
        return nullptr;
    }
    WorkBlock buffer;
    if (!buffer) return nullptr;
    std::uint8_t* sector = buffer.data();

    scan::FoundItem* last = dir->firstChild;
    while (last && last->next) last = last->next;
    ExtentChain chain;
    bool ended = false;
    // Entries of this directory that are directories moved here from
    // deeper down ("RE"; shown where they belong), and all other named ones.
    int movedHere = 0;
    int namedHere = 0;
    for (std::int64_t index = 0; index < sectors && !ended && !AbortRequested(state); ++index) {
        const std::int64_t at = block + index;
        if (!ReadBlock(state, at, sector)) {
            if (Verbose())
                diag::DebugPrint(format == DirectoryFormat::kHighSierra ? "Error reading sector %d, directory block skipped."
                                                                        : "Error reading sector %d, skipping directory block.",
                                 static_cast<int>(at));
            ++state.badBlocks;
            // What that block listed is lost: the folder shows it.
            scan::SetItemFlags(dir, scan::ItemIncomplete);
            continue;
        }
        if (SectorDumps()) diag::DebugDumpSector(sector, static_cast<int>(at), DumpTitle(format));
        if (sector[0] == 0 || sector[0] < kDrMinimumBytes - 1 || ImplausibleFirstRecord(state, sector, format)) {
            ++state.directoriesCut;
            break;
        }
        // A relocated directory's length is known only from its own entry.
        if (index == 0 && lengthFromSelf && IsSelfEntry(sector)) {
            dir->size = RecordDataLength(sector);
            const std::int64_t own = (std::int64_t{dir->size} + kBlockBytes - 1) / kBlockBytes;
            sectors = std::min({std::max<std::int64_t>(1, own), std::max<std::int64_t>(1, state.readLimit - block),
                                kMaxDirectorySectors});
        }
        std::size_t offset = 0;
        while (offset < static_cast<std::size_t>(kBlockBytes)) {
            const std::uint8_t* record = sector + offset;
            const std::size_t recordLength = record[kDrLength];
            if (recordLength == 0) break;
            if (AbortRequested(state)) {
                ended = true;
                break;
            }
            // A record that runs past the sector, or whose identifier runs
            // past the record, ends the directory: nothing after it can be
            // trusted.
            if (recordLength < kDrMinimumBytes - 1 || offset + recordLength > static_cast<std::size_t>(kBlockBytes) ||
                kDrId + std::size_t{RecordIdLength(record)} > recordLength) {
                if (Verbose()) diag::DebugPrint("Bad directory record at sector %lld offset %zu; directory ended", (long long)at, offset);
                ++state.directoriesCut;
                ended = true;
                break;
            }
            offset += recordLength;
            const std::uint8_t flags = record[format == DirectoryFormat::kHighSierra ? kHsDrFlags : kDrFlags];
            const std::string identifier(reinterpret_cast<const char*>(record + kDrId), RecordIdLength(record));

            if (claiming) {
                // Everything else here was listed when the folder was read.
                const bool unreached = !IsSelfOrParentIdentifier(record) && (flags & kFlagDirectory) &&
                                       !state.directoriesRead.count(static_cast<std::int32_t>(
                                           MapLocation(state, RecordExtent(record))));
                if (!unreached) continue;
            }
            if (chain.item) {
                // Continuation records repeat the file's identifier; a record
                // that does not is a new file after a broken chain.
                if (identifier == chain.identifier) {
                    AppendContinuation(state, chain, record);
                    if (!(flags & kFlagMultiExtent)) chain = {};
                    continue;
                }
                chain = {};
            }
            if (state.itemsMade >= kMaxItemsPerTree) {
                if (Verbose()) diag::DebugPrint("Item limit of %zu reached; directory ended", kMaxItemsPerTree);
                ended = true;
                break;
            }

            RockRidgeEntries rockRidge;
            if (format == DirectoryFormat::kIso)
                rockRidge = RecordRockRidge(state, record, recordLength,
                                            dir->parent == nullptr && index == 0 && record == sector && IsSelfEntry(record));
            const bool selfOrParent = IsSelfOrParentIdentifier(record);
            // A directory moved away to keep the tree shallow is listed
            // where its placeholder stands ("CL"), not here.
            if (rockRidge.relocated && !selfOrParent && (flags & kFlagDirectory) && !claiming) {
                ++movedHere;
                continue;
            }
            if (!selfOrParent) ++namedHere;
            if (claiming) ++state.movedClaimed;
            scan::FoundItem* item = scan::NewFoundItem(RecordName(state, record, format, rockRidge));
            if (!item) {
                ended = true;
                break;
            }
            const bool relocatedChild = rockRidge.childLink.has_value() && !selfOrParent;
            const std::int64_t start = MapLocation(state, relocatedChild ? *rockRidge.childLink : RecordExtent(record));
            item->start = StoredStart(start);
            item->size = relocatedChild ? 0 : RecordDataLength(record);
            item->date = scan::ItemDateFromIso(record + kDrDate);
            CheckMissing(state, item, start);
            const bool isDirectory = (flags & kFlagDirectory) != 0 || relocatedChild;
            if (isDirectory) item->flags |= scan::ItemDirectory;
            if (rockRidge.any) ApplyRockRidge(rockRidge, item);
            if (!isDirectory && format != DirectoryFormat::kHighSierra && (flags & kFlagMultiExtent)) {
                if (scan::StartExtentList(item)) chain = {item, identifier};
            }
            scan::LinkItem(dir, last, item);
            last = item;
            ++state.itemsMade;
            messages::ProgressTick();

            if (isDirectory) {
                ++state.nestLevel;
                if (item->start != scan::StartNotAvailable && state.nestLevel < kMaxNestLevel && !selfOrParent) {
                    if (relocatedChild) ++state.relocations;
                    const bool read = ReadIsoDirectory(state, item, item->start, item->size, format, relocatedChild);
                    if (state.onlyRelocations) {
                        // The folder that held nothing but moved
                        // directories (".rr_moved") is settled once the
                        // whole tree is read.
                        state.relocationHolders.push_back(item);
                    } else if (read) {
                        scan::AddToDirectoryCount(dir, item->count);
                    }
                }
                --state.nestLevel;
            }
        }
    }
    state.onlyRelocations = movedHere > 0 && namedHere == 0;
    return dir->firstChild;
}

void SettleMovedDirectories(IsoTrackState& state, DirectoryFormat format) {
    for (scan::FoundItem* holder : state.relocationHolders) {
        int claimed = 0;
        if (!AbortRequested(state) && holder->start != scan::StartNotAvailable) {
            // Read the folder again (its own block was read once already),
            // taking only the moved directories nothing led to.
            state.directoriesRead.erase(holder->start);
            state.claimingMoved = true;
            state.movedClaimed = 0;
            ++state.nestLevel;
            ReadIsoDirectory(state, holder, holder->start, holder->size, format);
            --state.nestLevel;
            state.claimingMoved = false;
            claimed = state.movedClaimed;
        }
        scan::FoundItem* dir = holder->parent;
        if (claimed > 0) {
            if (Verbose()) diag::DebugPrint("%d moved directories reached by no CL entry shown in %s", claimed, holder->Name());
            if (dir) scan::AddToDirectoryCount(dir, holder->count);
            continue;
        }
        scan::UnlinkItem(holder);
        if (dir) {
            scan::CatalogueGuard guard;
            dir->count = dir->count > 0 ? dir->count - 1 : 0;
        }
        --state.itemsMade;
    }
    state.relocationHolders.clear();
}

}  // namespace dravik::readers::iso
