// The catalogue's item memory: items side by side in large blocks while
// allocation tracking is off, one guarded block each while it is on, and
// every release finding its way back whichever way the item was made.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "program/diag/debug_log.h"
#include "program/diag/tracked_alloc.h"
#include "program/scan/found_item.h"
#include "program/scan/item_memory.h"
#include "program/scan/track_list.h"

namespace dravik::test {
namespace {

using namespace dravik::scan;

class ItemMemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        diag::TrackAllocations = false;
        before_ = CurrentItemMemory();
        guardedBefore_ = diag::LiveGuardedBlocks();
    }
    void TearDown() override {
        diag::TrackAllocations = false;
        EXPECT_EQ(CurrentItemMemory().items, before_.items) << "items left behind";
        EXPECT_LE(CurrentItemMemory().blocks, before_.blocks + 1) << "only the current block may stay";
        EXPECT_EQ(diag::LiveGuardedBlocks(), guardedBefore_);
    }
    ItemMemoryCounts before_{};
    std::size_t guardedBefore_ = 0;
};

TEST_F(ItemMemoryTest, ManyItemsShareFewBlocksAndAllReturn) {
    // 40,000 items of an ordinary size need more than one 2 MB block.
    std::vector<unsigned char*> items;
    std::set<std::uintptr_t> starts;
    for (int i = 0; i < 40000; ++i) {
        const std::size_t bytes = 120 + static_cast<std::size_t>(i % 7) * 13;
        auto* memory = static_cast<unsigned char*>(AllocateItemMemory(bytes));
        ASSERT_NE(memory, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % alignof(FoundItem), 0u);
        std::memset(memory, i & 0xFF, bytes);  // every byte is usable
        EXPECT_TRUE(starts.insert(reinterpret_cast<std::uintptr_t>(memory)).second) << "handed out twice";
        items.push_back(memory);
    }
    const ItemMemoryCounts full = CurrentItemMemory();
    EXPECT_EQ(full.items, before_.items + 40000);
    EXPECT_GE(full.blocks, 3u);
    EXPECT_LE(full.blocks, before_.blocks + 6) << "items are packed, not one page each";
    EXPECT_EQ(diag::LiveGuardedBlocks(), guardedBefore_) << "nothing came from the general heap";
    // Contents survive the neighbours' writes.
    for (std::size_t i = 0; i < items.size(); ++i) ASSERT_EQ(items[i][0], i & 0xFF) << i;

    // Released in an order unlike the allocation: blocks go back once empty.
    for (std::size_t i = 0; i < items.size(); i += 2) ReleaseItemMemory(items[i]);
    EXPECT_EQ(CurrentItemMemory().items, before_.items + 20000);
    for (std::size_t i = 1; i < items.size(); i += 2) ReleaseItemMemory(items[i]);
}

TEST_F(ItemMemoryTest, TrackedItemsAreGuardedBlocksAndEitherKindIsReleasedEitherWay) {
    diag::TrackAllocations = true;
    void* tracked = AllocateItemMemory(200);
    ASSERT_NE(tracked, nullptr);
    EXPECT_EQ(diag::LiveGuardedBlocks(), guardedBefore_ + 1) << "tracking on: a guarded block";
    EXPECT_EQ(CurrentItemMemory().items, before_.items);
    diag::TrackAllocations = false;
    void* pooled = AllocateItemMemory(200);
    EXPECT_EQ(CurrentItemMemory().items, before_.items + 1);

    // Tracking switched on and off between making and releasing an item.
    ReleaseItemMemory(tracked);
    EXPECT_EQ(diag::LiveGuardedBlocks(), guardedBefore_);
    diag::TrackAllocations = true;
    ReleaseItemMemory(pooled);
    EXPECT_EQ(CurrentItemMemory().items, before_.items);
    ReleaseItemMemory(nullptr);
}

TEST_F(ItemMemoryTest, OversizedRequestsComeFromTheHeap) {
    void* large = AllocateItemMemory(std::size_t{1} << 20);
    ASSERT_NE(large, nullptr);
    std::memset(large, 0xAB, std::size_t{1} << 20);
    EXPECT_EQ(CurrentItemMemory().items, before_.items);
    ReleaseItemMemory(large);
}

TEST_F(ItemMemoryTest, ACatalogueBuiltWithoutTrackingIsReleasedWhole) {
    TrackNode* node = NewTrackNode();
    node->number = 1;
    AppendTrackNode(node);
    FoundItem* root = NewFoundItem("\\ DISC (Session 1)", kRootNameRoom);
    root->flags = ItemDirectory;
    AttachRootItem(node, root);
    for (int d = 0; d < 50; ++d) {
        FoundItem* dir = NewFoundItem("DIR" + std::to_string(d));
        dir->flags = ItemDirectory;
        AppendItem(root, dir);
        for (int f = 0; f < 100; ++f) AppendItem(dir, NewFoundItem("FILE" + std::to_string(f) + ".TXT;1"));
    }
    FoundItem* split = root->firstChild->firstChild;
    split->start = 100;
    split->size = 2048;
    ASSERT_TRUE(StartExtentList(split));  // an extent list from the heap
    ASSERT_TRUE(AppendItemExtent(split, 300, 2048));
    EXPECT_EQ(CurrentItemMemory().items, before_.items + 1 + 50 + 5000);
    ClearTrackList(false);
    EXPECT_EQ(TrackListHead, nullptr);
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer build sees writes past an item and uses after release,
// although items sit side by side in one block.
TEST_F(ItemMemoryTest, SanitizerSeesWritesPastAnItemAndUseAfterRelease) {
    auto* first = static_cast<volatile char*>(AllocateItemMemory(100));
    auto* second = static_cast<char*>(AllocateItemMemory(100));
    EXPECT_DEATH(first[100] = 'x', "use-after-poison");
    ReleaseItemMemory(second);
    EXPECT_DEATH(static_cast<volatile char*>(second)[0] = 'x', "use-after-poison");
    ReleaseItemMemory(const_cast<char*>(first));
}
#endif

}  // namespace
}  // namespace dravik::test
