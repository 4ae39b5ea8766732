#include "program/scan/track_list.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/scan/catalogue_lock.h"
#include "program/scan/catalogue_views.h"
#include "program/scan/found_item.h"

namespace dravik::scan {

TrackNode* TrackListHead = nullptr;
TrackNode* TrackListTail = nullptr;

TrackNode* NewTrackNode() {
    void* block = diag::TrackedAlloc(sizeof(TrackNode), __FILE__, __LINE__);
    if (!block) return nullptr;
    std::memset(block, 0, sizeof(TrackNode));
    return new (block) TrackNode{};
}

void DiscardTrackNode(TrackNode* node) {
    if (node) diag::TrackedFree(node, __FILE__, __LINE__);
}

void AppendTrackNode(TrackNode* node) { InsertTrackNodeAfter(TrackListTail, node); }

void InsertTrackNodeBefore(TrackNode* at, TrackNode* node) {
    if (!at) {
        AppendTrackNode(node);
        return;
    }
    InsertTrackNodeAfter(at->prev, node);
}

void InsertTrackNodeAfter(TrackNode* at, TrackNode* node) {
    CatalogueGuard guard;
    node->prev = at;
    node->next = at ? at->next : TrackListHead;
    if (node->next)
        node->next->prev = node;
    else
        TrackListTail = node;
    if (at)
        at->next = node;
    else
        TrackListHead = node;
}

void UnlinkTrackNode(TrackNode* node) {
    CatalogueGuard guard;
    if (node->prev)
        node->prev->next = node->next;
    else if (TrackListHead == node)
        TrackListHead = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else if (TrackListTail == node)
        TrackListTail = node->prev;
    node->next = nullptr;
    node->prev = nullptr;
}

void ClearTrackList(bool keepNodes) {
    // The views go first: they hold pointers to the items released below.
    ClearCatalogueViews();
    CatalogueGuard guard;
    for (TrackNode* node = TrackListHead; node; node = node->next) {
        FreeItemTree(node->rootItem);
        node->rootItem = nullptr;
        if (node->extentTable) diag::TrackedFree(node->extentTable, __FILE__, __LINE__);
        node->extentTable = nullptr;
    }
    ReleaseReplacedRootItems();
    if (keepNodes) return;
    for (TrackNode* node = TrackListHead; node;) {
        TrackNode* next = node->next;
        diag::TrackedFree(node, __FILE__, __LINE__);
        node = next;
    }
    TrackListHead = nullptr;
    TrackListTail = nullptr;
}

void DumpTrackList() {
    if (!diag::DebugMode) return;
    for (const TrackNode* node = TrackListHead; node; node = node->next)
        diag::DebugPrint("%2d TOC %2x start:%6d End:%6d Ctl:%x Free:%d NWA:%d %s %s %s", node->session, node->number,
                         node->start, node->end, node->control, node->freeBlocks, node->nextWritable,
                         (node->flags & TrackPacket) ? "Packet" : "", (node->flags & TrackContinued) ? "Cont" : "",
                         (node->flags & TrackCompressed) ? "Compr" : "");
}

std::string NextUnnamedItemName() {
    std::int32_t number = 1;
    if (TrackNode* first = TrackListHead) {
        if (first->unnamedCounter < 1) first->unnamedCounter = 1;
        number = first->unnamedCounter;
        if (number < INT32_MAX) ++first->unnamedCounter;
    }
    char name[32];
    std::snprintf(name, sizeof name, "Unnamed_%04d", number);
    return name;
}

int TrackCount() {
    int count = 0;
    for (const TrackNode* node = TrackListHead; node; node = node->next) ++count;
    return count;
}

int TrackCountWithoutLeadOut() {
    int count = 0;
    for (const TrackNode* node = TrackListHead; node; node = node->next)
        if (node->number != kLeadOutNumber) ++count;
    return count;
}

}  // namespace dravik::scan
