#include <cstring>
#include <string>

#include "catalogue_fixture.h"
#include "program/messages/display_path.h"

namespace dravik::test {
namespace {

using namespace dravik::scan;

class FoundItemTest : public CatalogueTest {};

TEST_F(FoundItemTest, NameIsStoredInlineAfterZeroedFields) {
    const std::string names[] = {"", "README.TXT;1", "Fotos \xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\x80",
                                 std::string(255, 'n')};
    for (const std::string& name : names) {
        FoundItem* item = NewFoundItem(name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(std::string(item->Name()), name);
        EXPECT_EQ(reinterpret_cast<char*>(item) + sizeof(FoundItem), item->Name());
        EXPECT_EQ(item->next, nullptr);
        EXPECT_EQ(item->firstChild, nullptr);
        EXPECT_EQ(item->track, nullptr);
        EXPECT_EQ(item->start, 0);
        EXPECT_EQ(item->count, 0u);
        EXPECT_EQ(item->flags, 0);
        EXPECT_EQ(item->date.year, 0);
        EXPECT_EQ(item->treeView.handle, 0u);
        EXPECT_EQ(ItemExtentList(item), nullptr);
        DiscardFoundItem(item);
    }
    EXPECT_EQ(LiveBlocks(), 0u);
}

TEST_F(FoundItemTest, OverlongNamesAreCutOnACharacterBoundary) {
    std::string ascii(kMaxItemNameBytes + 500, 'a');
    FoundItem* item = NewFoundItem(ascii);
    EXPECT_EQ(std::strlen(item->Name()), kMaxItemNameBytes);
    DiscardFoundItem(item);

    // Three-byte characters: the limit falls inside one, which is dropped whole.
    std::string wide;
    while (wide.size() < kMaxItemNameBytes + 10) wide += "\xE6\x97\xA5";
    item = NewFoundItem(wide);
    std::size_t stored = std::strlen(item->Name());
    EXPECT_LE(stored, kMaxItemNameBytes);
    EXPECT_EQ(stored % 3, 0u);
    EXPECT_EQ(std::string(item->Name()), wide.substr(0, stored));
    DiscardFoundItem(item);
}

TEST_F(FoundItemTest, HiddenEntriesAreTheOneByteNamesZeroAndOne) {
    FoundItem* self = NewFoundItem(std::string_view("\0", 1));
    FoundItem* parent = NewFoundItem("\x01");
    FoundItem* file = NewFoundItem("A");
    EXPECT_TRUE(IsHiddenEntry(self));
    EXPECT_TRUE(IsHiddenEntry(parent));
    EXPECT_FALSE(IsHiddenEntry(file));
    // A name with a NUL inside keeps what comes before it.
    FoundItem* cut = NewFoundItem(std::string_view("AB\0CD", 5));
    EXPECT_STREQ(cut->Name(), "AB");
    for (FoundItem* item : {self, parent, file, cut}) DiscardFoundItem(item);
}

TEST_F(FoundItemTest, RootNameRoomHoldsLongerNamesWhole) {
    // 16 Joliet characters of three UTF-8 bytes each do not fit 64 bytes
    // with the prefix and the session; the room grows instead of cutting.
    std::string label = "\\ ";
    for (int i = 0; i < 16; ++i) label += "\xE6\x97\xA5";
    label += " (Session 255)";
    ASSERT_GT(label.size() + 1, kRootNameRoom);
    FoundItem* root = NewFoundItem(label, kRootNameRoom);
    EXPECT_EQ(std::string(root->Name()), label);
    DiscardFoundItem(root);
}

TEST_F(FoundItemTest, LinkingKeepsOrderParentTrackAndCounts) {
    TrackNode* track = AddTrack(1, 0, 1000);
    FoundItem* root = AddRoot(track);
    EXPECT_EQ(root->track, track);
    EXPECT_EQ(track->rootItem, root);

    FoundItem* self = Add(root, std::string_view("\0", 1), 20, 2048, ItemDirectory);
    FoundItem* up = Add(root, "\x01", 20, 2048, ItemDirectory);
    FoundItem* b = Add(root, "B.TXT", 30, 10);
    EXPECT_EQ(root->firstChild, self);
    EXPECT_EQ(root->count, 1u) << "the self and parent entries are not counted";

    // After a given item, and as the new first item.
    FoundItem* a = NewFoundItem("A.TXT");
    LinkItem(root, up, a);
    FoundItem* first = NewFoundItem("FIRST");
    LinkItem(root, nullptr, first);
    EXPECT_EQ(Names(root), (std::vector<std::string>{"FIRST", "", "\x01", "A.TXT", "B.TXT"}));
    EXPECT_EQ(root->firstChild, first);
    EXPECT_EQ(root->count, 3u);
    ExpectConsistent(root);
    EXPECT_EQ(b->track, track);
    EXPECT_EQ(b->next, nullptr);
}

TEST_F(FoundItemTest, UnlinkJoinsNeighboursAndMovesFirstChild) {
    TrackNode* track = AddTrack(1, 0, 1000);
    FoundItem* root = AddRoot(track);
    FoundItem* a = Add(root, "A");
    Add(root, "B");
    FoundItem* c = Add(root, "C");
    FoundItem* d = Add(root, "D");
    std::size_t before = LiveBlocks();

    UnlinkItem(a);
    EXPECT_EQ(root->firstChild->Name(), std::string("B"));
    UnlinkItem(c);
    UnlinkItem(d);
    EXPECT_EQ(Names(root), std::vector<std::string>{"B"});
    ExpectConsistent(root);
    EXPECT_EQ(LiveBlocks(), before - 3);
    EXPECT_EQ(root->count, 4u) << "counts wait for a recount";

    UnlinkItem(root->firstChild);
    EXPECT_EQ(root->firstChild, nullptr);
}

TEST_F(FoundItemTest, UnlinkingADirectoryReleasesItsContents) {
    TrackNode* track = AddTrack(1, 0, 1000);
    FoundItem* root = AddRoot(track);
    FoundItem* dir = Add(root, "DIR", 40, 2048, ItemDirectory);
    Add(Add(dir, "SUB", 41, 2048, ItemDirectory), "DEEP.TXT", 50, 1);
    Add(dir, "F.TXT", 51, 1);
    Add(root, "AFTER");
    std::size_t before = LiveBlocks();
    UnlinkItem(dir);
    EXPECT_EQ(LiveBlocks(), before - 4);
    EXPECT_EQ(Names(root), std::vector<std::string>{"AFTER"});
}

TEST_F(FoundItemTest, FreeItemTreeReleasesEveryItemOfAChainAndBelow) {
    TrackNode* track = AddTrack(1, 0, 1000);
    FoundItem* root = AddRoot(track);
    // A wide and deep tree: 30 levels of directories, each with files and an
    // extent list or two.
    FoundItem* dir = root;
    for (int level = 0; level < 30; ++level) {
        for (int i = 0; i < 3; ++i) Add(dir, "F" + std::to_string(i), 100 + i, 5000);
        FoundItem* multi = Add(dir, "MULTI", 200, 100);
        ASSERT_TRUE(StartExtentList(multi));
        ASSERT_TRUE(AppendItemExtent(multi, 300, 100));
        dir = Add(dir, "D" + std::to_string(level), 50, 2048, ItemDirectory);
    }
    EXPECT_GT(LiveBlocks(), 30u * 6);
    FreeItemTree(root);
    track->rootItem = nullptr;
    EXPECT_EQ(LiveBlocks(), 1u) << "only the track node is left";
}

TEST_F(FoundItemTest, ExtentListGrowsByTenPairsAndSumsTheSize) {
    TrackNode* track = AddTrack(1, 0, 100000);
    track->flags |= TrackIso;
    FoundItem* root = AddRoot(track);
    FoundItem* file = Add(root, "BIG.ISO;1", 1000, 4000);
    ASSERT_TRUE(StartExtentList(file));
    EXPECT_TRUE(file->flags & ItemFragmented);
    EXPECT_EQ(file->count, 1u);
    std::uint32_t total = 4000;
    for (int i = 1; i < 25; ++i) {
        ASSERT_TRUE(AppendItemExtent(file, 1000 + 10 * i, 3000 + i));
        total += 3000 + i;
    }
    EXPECT_EQ(file->count, 25u);
    EXPECT_EQ(file->size, total);
    EXPECT_EQ(file->extentRoom, 30) << "two enlargements of 10 pairs";
    const ExtentPair* list = ItemExtentList(file);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list[0].start, 1000);
    EXPECT_EQ(list[0].length, 4000u);
    EXPECT_EQ(list[24].start, 1240);
    EXPECT_EQ(list[24].length, 3024u);
    EXPECT_EQ(root->count, 1u) << "extents are not entries of the directory";
}

TEST_F(FoundItemTest, ExtentListsHaveALimitAndNeedAStart) {
    FoundItem* file = NewFoundItem("F");
    EXPECT_FALSE(AppendItemExtent(file, 1, 1)) << "no list yet";
    ASSERT_TRUE(StartExtentList(file));
    for (std::uint32_t i = 1; i < kMaxItemExtents; ++i) ASSERT_TRUE(AppendItemExtent(file, i, 2048));
    std::uint32_t size = file->size;
    EXPECT_FALSE(AppendItemExtent(file, 1, 2048));
    EXPECT_EQ(file->count, kMaxItemExtents);
    EXPECT_EQ(file->size, size);
    DiscardFoundItem(file);
}

TEST_F(FoundItemTest, UdfBlockNumbersInExtentsAreNeverReleasedAsLists) {
    // A UDF reader abandons a partial tree on a bridge disc whose track
    // still says ISO: its fragmented files hold a File Entry block number.
    TrackNode* track = AddTrack(1, 0, 100000);
    track->flags |= TrackIso;
    FoundItem* root = AddRoot(track);
    FoundItem* file = Add(root, "UDF.BIN", 500, 100000, ItemFragmented);
    file->extents.block = 262;
    file->fsId = 262;
    FreeItemTree(root->firstChild);
    root->firstChild = nullptr;
    EXPECT_EQ(LiveBlocks(), 2u);  // the node and the root
}

TEST_F(FoundItemTest, RecountFollowsTheCountingRule) {
    TrackNode* track = AddTrack(1, 0, 1000);
    FoundItem* root = AddRoot(track);
    // A directory with only its self and parent entries counts 0.
    FoundItem* empty = Add(root, "EMPTY", 60, 2048, ItemDirectory);
    Add(empty, std::string_view("\0", 1), 60, 2048, ItemDirectory);
    Add(empty, "\x01", 20, 2048, ItemDirectory);
    FoundItem* docs = Add(root, "DOCS", 61, 2048, ItemDirectory);
    Add(docs, "A.TXT", 70, 1);
    FoundItem* inner = Add(docs, "INNER", 62, 2048, ItemDirectory);
    Add(inner, "B.TXT", 71, 1);
    Add(inner, "C.TXT", 72, 1);
    FoundItem* multi = Add(root, "MULTI.DAT", 80, 10);
    ASSERT_TRUE(StartExtentList(multi));
    ASSERT_TRUE(AppendItemExtent(multi, 90, 10));
    ASSERT_TRUE(AppendItemExtent(multi, 95, 10));

    // Spoil every count, then recount.
    for (FoundItem* d : {root, empty, docs, inner}) d->count = 999;
    RecountDirectories(root);
    EXPECT_EQ(empty->count, 0u);
    EXPECT_EQ(inner->count, 2u);
    EXPECT_EQ(docs->count, 2u + 2u);
    EXPECT_EQ(root->count, 3u + 0u + 4u);
    EXPECT_EQ(multi->count, 3u) << "a file's count is its extents";
}

TEST_F(FoundItemTest, ReplacedRootStaysUntilTheListIsCleared) {
    TrackNode* track = AddTrack(1, 0, 1000);
    FoundItem* joliet = AddRoot(track, "\\ JOLIET (Session 1)");
    Add(joliet, "SHOWN");
    FoundItem* iso = AddRoot(track, "\\ ISO (Session 1)");
    EXPECT_EQ(track->rootItem, iso);
    EXPECT_EQ(ReplacedRootItemCount(), 1u);
    EXPECT_STREQ(joliet->firstChild->Name(), "SHOWN") << "still alive for the views";
    ClearTrackList(true);
    EXPECT_EQ(ReplacedRootItemCount(), 0u);
    EXPECT_EQ(LiveBlocks(), 1u);
}

TEST_F(FoundItemTest, DisplayPathWalksTheItemsParents) {
    TrackNode* track = AddTrack(1, 0, 1000);
    FoundItem* root = AddRoot(track);
    FoundItem* file = Add(Add(Add(root, "PHOTOS", 30, 2048, ItemDirectory), "2004", 31, 2048, ItemDirectory),
                          "IMG_0001.JPG", 40, 1);
    EXPECT_EQ(messages::DisplayPathOf(file), "\\PHOTOS\\2004\\IMG_0001.JPG");
}

}  // namespace
}  // namespace dravik::test
