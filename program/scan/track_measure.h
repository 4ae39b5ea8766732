// The end of a track as its catalogue shows it: the block after the last
// data of any item. Used for tracks whose layout gave no trustworthy end.
#pragma once

#include <cstdint>

namespace dravik::scan {

struct FoundItem;
struct TrackNode;

// The block after an item's data: start + size / 2048 rounded up (kept
// within 32 bits). Not meaningful for items without a start.
std::int32_t ItemDataEnd(const FoundItem* item);

// Nothing for an HFS node. Otherwise sets `end` to the largest data end of
// the items below the root item (0 when none uses a block) and `dirDepth`
// to the deepest level of items seen, the root's contents being level 1.
void MeasureTrackEnd(TrackNode* node);

}  // namespace dravik::scan
