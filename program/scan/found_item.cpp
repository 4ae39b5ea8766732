#include "program/scan/found_item.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/utf8_text.h"
#include "program/diag/tracked_alloc.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/item_memory.h"
#include "program/scan/mac_file_info.h"
#include "program/scan/posix_file_info.h"
#include "program/scan/track_list.h"

namespace dravik::scan {

namespace {

// Roots that AttachRootItem replaced; the views may still show them.
std::vector<FoundItem*>& ReplacedRoots() {
    static std::vector<FoundItem*> roots;
    return roots;
}

// Cuts at kMaxItemNameBytes without splitting a UTF-8 character.
std::size_t StoredNameLength(std::string_view name) {
    std::size_t length = 0;
    while (length < name.size() && name[length] != '\0') ++length;
    return text::Utf8CutLength(name.substr(0, length), kMaxItemNameBytes);
}

void ReleaseExtentList(FoundItem* item) {
    if (item->extentRoom != 0) {
        diag::TrackedFree(item->extents.list, __FILE__, __LINE__);
        item->extents.list = nullptr;
        item->extentRoom = 0;
    }
}

void ReleaseItem(FoundItem* item) {
    ReleaseExtentList(item);
    ReleaseMacFileInfo(item);
    ReleasePosixFileInfo(item);
    ReleaseItemMemory(item);
}

}  // namespace

std::string RootItemName(std::string_view volume, int session) {
    return "\\ " + std::string(volume) + " (Session " + std::to_string(session) + ")";
}

bool IsHiddenEntryName(const char* name) { return name[0] == '\0' || name[0] == '\x01'; }

FoundItem* NewFoundItem(std::string_view name, std::size_t minNameRoom) {
    const std::size_t length = StoredNameLength(name);
    std::size_t room = length + 1;
    if (room < minNameRoom) room = minNameRoom;
    // The name follows the fixed fields in the same block (FoundItem::Name).
    const std::size_t bytes = sizeof(FoundItem) + room;
    void* block = AllocateItemMemory(bytes);
    if (!block) return nullptr;
    std::memset(block, 0, bytes);
    auto* item = new (block) FoundItem;
    std::memcpy(item->Name(), name.data(), length);
    item->Name()[length] = '\0';
    return item;
}

void DiscardFoundItem(FoundItem* item) {
    if (item) ReleaseItem(item);
}

void LinkItem(FoundItem* dir, FoundItem* previous, FoundItem* item) {
    CatalogueGuard guard;
    item->parent = dir;
    if (dir) item->track = dir->track;
    item->prev = previous;
    item->next = previous ? previous->next : (dir ? dir->firstChild : nullptr);
    if (item->next) item->next->prev = item;
    if (previous)
        previous->next = item;
    else if (dir)
        dir->firstChild = item;
    if (dir && !IsHiddenEntry(item)) ++dir->count;
}

void AppendItem(FoundItem* dir, FoundItem* item) {
    CatalogueGuard guard;
    FoundItem* last = dir ? dir->firstChild : nullptr;
    while (last && last->next) last = last->next;
    LinkItem(dir, last, item);
}

void AttachRootItem(TrackNode* track, FoundItem* root) {
    CatalogueGuard guard;
    root->parent = nullptr;
    root->prev = nullptr;
    root->next = nullptr;
    root->track = track;
    if (track->rootItem && track->rootItem != root) ReplacedRoots().push_back(track->rootItem);
    track->rootItem = root;
}

void FreeItemTree(FoundItem* first) {
    CatalogueGuard guard;
    // Without recursion: a released item's contents are put in front of the
    // rest of the chain still to be released.
    FoundItem* pending = first;
    while (pending) {
        FoundItem* item = pending;
        pending = item->next;
        if (FoundItem* child = item->firstChild) {
            FoundItem* last = child;
            while (last->next) last = last->next;
            last->next = pending;
            pending = child;
        }
        ReleaseItem(item);
    }
}

void UnlinkItem(FoundItem* item) {
    CatalogueGuard guard;
    if (item->parent && item->parent->firstChild == item) item->parent->firstChild = item->next;
    if (item->prev) item->prev->next = item->next;
    if (item->next) item->next->prev = item->prev;
    for (TrackNode* node = TrackListHead; node; node = node->next)
        if (node->rootItem == item) node->rootItem = item->next;
    if (item->firstChild) FreeItemTree(item->firstChild);
    ReleaseItem(item);
}

bool StartExtentList(FoundItem* item) {
    auto* list = static_cast<ExtentPair*>(
        diag::TrackedAlloc(kExtentListStepPairs * sizeof(ExtentPair), __FILE__, __LINE__));
    if (!list) return false;
    list[0] = {item->start, item->size};
    CatalogueGuard guard;
    ReleaseExtentList(item);
    item->extents.list = list;
    item->extentRoom = kExtentListStepPairs;
    item->count = 1;
    item->flags |= ItemFragmented;
    return true;
}

bool AppendItemExtent(FoundItem* item, std::int32_t start, std::uint32_t length) {
    if (item->extentRoom == 0 || item->count >= kMaxItemExtents) return false;
    CatalogueGuard guard;
    if (item->count >= item->extentRoom) {
        const std::uint32_t room = item->extentRoom + kExtentListStepPairs;
        auto* grown = static_cast<ExtentPair*>(diag::TrackedAlloc(room * sizeof(ExtentPair), __FILE__, __LINE__));
        if (!grown) return false;
        std::memcpy(grown, item->extents.list, item->count * sizeof(ExtentPair));
        diag::TrackedFree(item->extents.list, __FILE__, __LINE__);
        item->extents.list = grown;
        item->extentRoom = static_cast<std::uint16_t>(room);
    }
    item->extents.list[item->count] = {start, length};
    ++item->count;
    item->size += length;  // the low 32 bits, like every size here
    return true;
}

const ExtentPair* ItemExtentList(const FoundItem* item) {
    return item->extentRoom != 0 ? item->extents.list : nullptr;
}

void SetItemFlags(FoundItem* item, std::uint16_t bits) {
    CatalogueGuard guard;
    item->flags |= bits;
}

void ClearItemFlags(FoundItem* item, std::uint16_t bits) {
    CatalogueGuard guard;
    item->flags &= static_cast<std::uint16_t>(~bits);
}

void AddToDirectoryCount(FoundItem* dir, std::uint32_t amount) {
    CatalogueGuard guard;
    dir->count += amount;
}

void RecountDirectories(FoundItem* dir) {
    if (!dir) return;
    CatalogueGuard guard;
    // Post-order without recursion, over the parent links: an item is
    // finished once all its contents are.
    FoundItem* item = dir;
    for (;;) {
        while (item->firstChild) item = item->firstChild;
        for (;;) {
            if (item->flags & ItemDirectory) {
                std::uint32_t count = 0;
                for (const FoundItem* child = item->firstChild; child; child = child->next) {
                    if (IsHiddenEntry(child)) continue;
                    count += 1 + ((child->flags & ItemDirectory) ? child->count : 0);
                }
                item->count = count;
            }
            if (item == dir) return;
            if (item->next) {
                item = item->next;
                break;
            }
            item = item->parent;
            if (!item) return;  // a broken chain ends the walk rather than the program
        }
    }
}

void ReleaseReplacedRootItems() {
    CatalogueGuard guard;
    for (FoundItem* root : ReplacedRoots()) FreeItemTree(root);
    ReplacedRoots().clear();
}

std::size_t ReplacedRootItemCount() {
    CatalogueGuard guard;
    return ReplacedRoots().size();
}

}  // namespace dravik::scan
