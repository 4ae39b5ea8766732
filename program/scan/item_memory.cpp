#include "program/scan/item_memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <unordered_set>

#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#include <unordered_map>
#define DRAVIK_ITEM_POOL_ASAN 1
#define DRAVIK_POISON(at, bytes) ASAN_POISON_MEMORY_REGION(at, bytes)
#define DRAVIK_UNPOISON(at, bytes) ASAN_UNPOISON_MEMORY_REGION(at, bytes)
#else
#define DRAVIK_POISON(at, bytes) ((void)(at), (void)(bytes))
#define DRAVIK_UNPOISON(at, bytes) ((void)(at), (void)(bytes))
#endif

namespace dravik::scan {

namespace {

#if DRAVIK_ITEM_POOL_ASAN
// Poisoned space after each item, so that AddressSanitizer sees an item
// written past its end although its neighbour is live; released items are
// poisoned whole, so a use after release is seen too.
constexpr std::size_t kRedZoneBytes = 32;
std::unordered_map<std::uintptr_t, std::size_t> g_itemBytes;
#else
constexpr std::size_t kRedZoneBytes = 0;
#endif

constexpr std::size_t kPoolBlockBytes = std::size_t{2} << 20;
constexpr std::uintptr_t kPoolBlockMask = ~static_cast<std::uintptr_t>(kPoolBlockBytes - 1);
constexpr std::size_t kAlignment = 16;
// Larger requests (never an item in practice) go to the general heap.
constexpr std::size_t kLargestPooled = std::size_t{16} << 10;

// The first block of an empty pool is used up to this many bytes, on small
// pages made ready kReadyStepBytes at a time (one request to the system
// instead of a page fault per page). Later blocks are used whole, on one
// huge page where the system offers them.
constexpr std::size_t kFirstBlockBytes = std::size_t{256} << 10;
constexpr std::size_t kReadyStepBytes = std::size_t{64} << 10;

// At the start of every block.
struct BlockHeader {
    std::size_t used;   // bytes handed out, from the block's start, header included
    std::size_t live;   // items not yet released
    std::size_t limit;  // kFirstBlockBytes or kPoolBlockBytes
    std::size_t ready;  // first block: bytes whose pages are in place
};

std::mutex g_lock;
std::unordered_set<std::uintptr_t> g_blocks;
BlockHeader* g_current = nullptr;
std::size_t g_items = 0;

constexpr std::size_t RoundUp(std::size_t bytes) { return (bytes + kAlignment - 1) / kAlignment * kAlignment; }
constexpr std::size_t kHeaderBytes = RoundUp(sizeof(BlockHeader));

// A fresh block aligned to its size; null when the system has no memory.
BlockHeader* MapBlock() {
    void* mapped = mmap(nullptr, 2 * kPoolBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kPoolBlockBytes - 1) & kPoolBlockMask;
    if (aligned > start) munmap(mapped, aligned - start);
    const std::uintptr_t end = start + 2 * kPoolBlockBytes;
    if (end > aligned + kPoolBlockBytes)
        munmap(reinterpret_cast<void*>(aligned + kPoolBlockBytes), end - aligned - kPoolBlockBytes);
    auto* block = reinterpret_cast<void*>(aligned);
    const std::size_t limit = g_blocks.empty() ? kFirstBlockBytes : kPoolBlockBytes;
    // Asked before the block is first written: once a small page is in
    // place, the block can no longer get a huge one.
    if (limit == kPoolBlockBytes) madvise(block, kPoolBlockBytes, MADV_HUGEPAGE);
    auto* header = static_cast<BlockHeader*>(block);
    header->used = kHeaderBytes;
    header->live = 0;
    header->limit = limit;
    header->ready = 0;
    DRAVIK_POISON(static_cast<char*>(block) + kHeaderBytes, kPoolBlockBytes - kHeaderBytes);
    g_blocks.insert(aligned);
    return header;
}

// Puts the small pages of the first block in place up to `end`. A system
// without the request (before Linux 5.14) gives each page on its first use.
void MakeReady(BlockHeader* header, std::size_t end) {
    if (header->limit != kFirstBlockBytes) return;
    while (header->ready < end) {
#ifdef MADV_POPULATE_WRITE
        madvise(reinterpret_cast<char*>(header) + header->ready, kReadyStepBytes, MADV_POPULATE_WRITE);
#endif
        header->ready += kReadyStepBytes;
    }
}

void UnmapBlock(BlockHeader* header) {
    DRAVIK_UNPOISON(header, kPoolBlockBytes);
    g_blocks.erase(reinterpret_cast<std::uintptr_t>(header));
    munmap(header, kPoolBlockBytes);
}

}  // namespace

void* AllocateItemMemory(std::size_t bytes) {
    const std::size_t needed = RoundUp(bytes + kRedZoneBytes);
    if (diag::TrackAllocations || needed > kLargestPooled) return diag::TrackedAlloc(bytes, __FILE__, __LINE__);
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_current == nullptr || g_current->used + needed > g_current->limit) {
        BlockHeader* fresh = MapBlock();
        if (fresh == nullptr) return diag::TrackedAlloc(bytes, __FILE__, __LINE__);
        // The block left behind still holds items (the current block starts
        // over when its last item is released), so it stays until they go.
        g_current = fresh;
    }
    char* memory = reinterpret_cast<char*>(g_current) + g_current->used;
    g_current->used += needed;
    MakeReady(g_current, g_current->used);
    ++g_current->live;
    ++g_items;
    DRAVIK_UNPOISON(memory, bytes);
#if DRAVIK_ITEM_POOL_ASAN
    g_itemBytes[reinterpret_cast<std::uintptr_t>(memory)] = bytes;
#endif
    return memory;
}

void ReleaseItemMemory(void* memory) {
    if (memory == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(memory) & kPoolBlockMask;
        if (g_blocks.count(base) != 0) {
            auto* header = reinterpret_cast<BlockHeader*>(base);
            --header->live;
            --g_items;
#if DRAVIK_ITEM_POOL_ASAN
            auto sized = g_itemBytes.find(reinterpret_cast<std::uintptr_t>(memory));
            if (sized != g_itemBytes.end()) {
                DRAVIK_POISON(memory, sized->second);
                g_itemBytes.erase(sized);
            }
#endif
            if (header->live == 0) {
                if (header == g_current) {
                    // The current block starts over instead of being mapped anew.
                    DRAVIK_POISON(reinterpret_cast<char*>(header) + kHeaderBytes, kPoolBlockBytes - kHeaderBytes);
                    header->used = kHeaderBytes;
                } else {
                    UnmapBlock(header);
                }
            }
            return;
        }
    }
    diag::TrackedFree(memory, __FILE__, __LINE__);
}

ItemMemoryCounts CurrentItemMemory() {
    std::lock_guard<std::mutex> hold(g_lock);
    return {g_items, g_blocks.size()};
}

}  // namespace dravik::scan
