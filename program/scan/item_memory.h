// The memory of the catalogue's items. A disc with many files makes many
// small items, built one after another and released together when the
// track list is cleared. They are placed side by side in blocks of 2 MB,
// each on one huge page where the system offers them, so a scan of 100,000
// files takes a handful of page faults instead of one every 30 items. The
// first block serves discs with few files: 256 KB of small pages, put in
// place 64 KB at a time.
//
// With allocation tracking on (a debug switch) items come from
// TrackedAlloc, one guarded block each, as every other tracked block does.
// A block is returned to the system when its last item is released; space
// of a released item is not reused before then.
#pragma once

#include <cstddef>

namespace dravik::scan {

// At least `bytes` of memory aligned for any item; null when memory runs out.
void* AllocateItemMemory(std::size_t bytes);
// Releases memory from AllocateItemMemory (whichever way it was made).
void ReleaseItemMemory(void* memory);

// What the pool holds now: items in its blocks, and the blocks.
struct ItemMemoryCounts {
    std::size_t items;
    std::size_t blocks;
};
ItemMemoryCounts CurrentItemMemory();

}  // namespace dravik::scan
