#include "program/scan/track_measure.h"

#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::scan {

std::int32_t ItemDataEnd(const FoundItem* item) {
    const std::int64_t end =
        static_cast<std::int64_t>(item->start) + (static_cast<std::int64_t>(item->size) + kBlockBytes - 1) / kBlockBytes;
    return end > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(end);
}

void MeasureTrackEnd(TrackNode* node) {
    if (node->flags & TrackHfs) return;
    node->end = 0;
    node->dirDepth = 0;
    const FoundItem* root = node->rootItem;
    if (!root || !root->firstChild) return;
    // Depth first over the parent links, without recursion.
    const FoundItem* item = root->firstChild;
    std::int32_t depth = 1;
    while (item) {
        if (depth > node->dirDepth) node->dirDepth = depth;
        if (item->start != StartNotAvailable) {
            const std::int32_t end = ItemDataEnd(item);
            if (end > node->end) node->end = end;
        }
        if ((item->flags & ItemDirectory) && item->firstChild) {
            item = item->firstChild;
            ++depth;
            continue;
        }
        while (item && !item->next && item != root) {
            item = item->parent;
            --depth;
        }
        if (!item || item == root) break;
        item = item->next;
    }
}

}  // namespace dravik::scan
