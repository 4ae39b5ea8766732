// The scan thread builds and prunes the catalogue while the user-interface
// thread walks it. Under the catalogue lock the walker must only ever see
// complete items in consistent chains, and never an item that was already
// released (AddressSanitizer reports that as a use after free).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "program/scan/catalogue_lock.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"

namespace dravik::test {
namespace {

using namespace dravik::scan;

constexpr int kItems = 20000;
constexpr std::uint32_t kIdMask = 0x5A5A5A5A;

// Every field the walker checks is derived from the number in the name, so
// a half-built or stale item shows.
FoundItem* MakeItem(char letter, int number, bool directory) {
    FoundItem* item = NewFoundItem(letter + std::to_string(number));
    item->start = number;
    item->size = static_cast<std::uint32_t>(number) * 7 + 1;
    item->fsId = static_cast<std::uint32_t>(number) ^ kIdMask;
    item->date = ItemDate{static_cast<std::uint8_t>(number % 200 + 1), 1, 1, 0, 0, 0, 0};
    if (directory) item->flags = ItemDirectory;
    return item;
}

struct WalkResult {
    long items = 0;
    std::vector<std::string> faults;
};

void CheckItem(const FoundItem* item, const FoundItem* dir, const FoundItem* previous, WalkResult& result) {
    auto fault = [&](const std::string& what) {
        if (result.faults.size() < 20) result.faults.push_back(std::string(item->Name()) + ": " + what);
    };
    if (item->parent != dir) fault("parent");
    if (item->prev != previous) fault("prev");
    if (item->track != dir->track) fault("track");
    const char letter = item->Name()[0];
    if (letter != 'F' && letter != 'D' && letter != 'S') return fault("name");
    const int number = std::atoi(item->Name() + 1);
    if (item->start != number) fault("start");
    // A multi-extent file's size grows by each extent's 2048 bytes.
    const std::uint32_t extraExtents = (item->flags & ItemFragmented) ? item->count - 1 : 0;
    if (item->size != static_cast<std::uint32_t>(number) * 7 + 1 + 2048 * extraExtents) fault("size");
    if (item->fsId != (static_cast<std::uint32_t>(number) ^ kIdMask)) fault("fsId");
    if (item->date.year != number % 200 + 1) fault("date");
    if (((item->flags & ItemDirectory) != 0) != (letter != 'F')) fault("directory flag");
    if (const ExtentPair* list = ItemExtentList(item)) {
        if (item->count > item->extentRoom) fault("extent count beyond room");
        for (std::uint32_t k = 0; k < item->count && k < item->extentRoom; ++k)
            if (list[k].start != number + static_cast<std::int32_t>(k)) fault("extent " + std::to_string(k));
    }
}

WalkResult WalkEverything() {
    WalkResult result;
    CatalogueGuard guard;
    for (const TrackNode* node = TrackListHead; node; node = node->next) {
        if (node->next && node->next->prev != node) result.faults.push_back("track list links");
        const FoundItem* root = node->rootItem;
        if (!root) continue;
        if (root->track != node) result.faults.push_back("root's track");
        std::vector<const FoundItem*> directories{root};
        while (!directories.empty()) {
            const FoundItem* dir = directories.back();
            directories.pop_back();
            const FoundItem* previous = nullptr;
            for (const FoundItem* item = dir->firstChild; item; item = item->next) {
                CheckItem(item, dir, previous, result);
                ++result.items;
                if (item->firstChild) directories.push_back(item);
                previous = item;
            }
        }
    }
    return result;
}

// One scan's worth of building and pruning with a walker beside it.
void BuildWhileWalking() {
    std::atomic<bool> walkerStarted{false};
    std::atomic<bool> writerDone{false};
    long walks = 0, partialWalks = 0, mostItems = 0;
    std::vector<std::string> faults;

    std::thread walker([&] {
        walkerStarted = true;
        while (!writerDone) {
            WalkResult result = WalkEverything();
            ++walks;
            if (result.items > 0) ++partialWalks;
            if (result.items > mostItems) mostItems = result.items;
            faults.insert(faults.end(), result.faults.begin(), result.faults.end());
            std::this_thread::yield();
        }
    });

    std::thread writer([&] {
        while (!walkerStarted) std::this_thread::yield();
        std::mt19937 random(12345);
        TrackNode* node = NewTrackNode();
        node->number = 1;
        AppendTrackNode(node);
        FoundItem* root = NewFoundItem("\\ ROOT (Session 1)", kRootNameRoom);
        root->flags = ItemDirectory;
        AttachRootItem(node, root);
        std::vector<FoundItem*> directories{root};
        std::vector<FoundItem*> files;
        FoundItem* scratch = nullptr;
        for (int number = 1; number <= kItems; ++number) {
            FoundItem* dir = directories[random() % directories.size()];
            if (number % 10 == 0) {
                FoundItem* made = MakeItem('D', number, true);
                AppendItem(dir, made);
                directories.push_back(made);
            } else if (number % 7 == 0) {
                // A multi-extent file, grown after it is linked.
                FoundItem* made = MakeItem('F', number, false);
                EXPECT_TRUE(StartExtentList(made));
                AppendItem(dir, made);
                for (int k = 1; k < 25; ++k) EXPECT_TRUE(AppendItemExtent(made, number + k, 2048));
            } else if (number % 3 == 0) {
                // Inserted as a directory's first item.
                FoundItem* made = MakeItem('F', number, false);
                LinkItem(dir, nullptr, made);
                files.push_back(made);
            } else {
                FoundItem* made = MakeItem('F', number, false);
                AppendItem(dir, made);
                files.push_back(made);
            }
            if (number % 4 == 0 && !files.empty()) {
                std::size_t pick = random() % files.size();
                UnlinkItem(files[pick]);
                files[pick] = files.back();
                files.pop_back();
            }
            if (number % 5 == 0) SetItemFlags(dir, ItemViewMarkA);
            // A scratch directory that fills up and is then dropped whole,
            // as a reader abandoning a partial tree does.
            if (number % 40 == 1) {
                if (scratch) UnlinkItem(scratch);
                scratch = MakeItem('S', number, true);
                AppendItem(root, scratch);
            } else if (scratch && number % 2 == 0) {
                FoundItem* sub = MakeItem('S', number, true);
                AppendItem(scratch, sub);
                AppendItem(sub, MakeItem('F', number + 1, false));
            }
            if (number % 2500 == 0) {
                TrackNode* next = NewTrackNode();
                next->number = static_cast<std::uint8_t>(1 + number / 2500);
                FoundItem* label = MakeItem('D', number, true);
                AttachRootItem(next, label);
                AppendTrackNode(next);
                RecountDirectories(root);
            }
        }
        writerDone = true;
    });

    writer.join();
    walker.join();

    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, first: " << faults.front();
    EXPECT_GE(walks, 3) << "the walker must overlap the writer";
    EXPECT_GE(partialWalks, 2);
    WalkResult final = WalkEverything();
    EXPECT_TRUE(final.faults.empty());
    EXPECT_GT(final.items, kItems / 2);
    EXPECT_LE(mostItems, final.items + kItems);
    ClearTrackList(false);
    EXPECT_EQ(TrackListHead, nullptr);
}

// A use after free needs the walker to stand on an item the moment it is
// released; a few rounds make that near certain should the guard fail.
TEST(CatalogueConcurrency, WalkerSeesOnlyCompleteItemsWhileTheScanBuildsAndPrunes) {
    for (int round = 0; round < 3 && !HasFailure(); ++round) BuildWhileWalking();
}

}  // namespace
}  // namespace dravik::test
