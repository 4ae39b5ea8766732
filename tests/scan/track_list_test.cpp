#include <string>
#include <vector>

#include "catalogue_fixture.h"
#include "support/recording_shell_port.h"

namespace dravik::test {
namespace {

using namespace dravik::scan;

class TrackListTest : public CatalogueTest {};

std::vector<int> Numbers() {
    std::vector<int> numbers;
    const TrackNode* previous = nullptr;
    for (const TrackNode* node = TrackListHead; node; node = node->next) {
        EXPECT_EQ(node->prev, previous);
        numbers.push_back(node->number);
        previous = node;
    }
    EXPECT_EQ(TrackListTail, previous);
    return numbers;
}

TEST_F(TrackListTest, NodesAreZeroedAndLinkBothWays) {
    TrackNode* node = NewTrackNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->rootItem, nullptr);
    EXPECT_EQ(node->flags, 0u);
    EXPECT_EQ(node->end, 0);
    DiscardTrackNode(node);

    TrackNode* two = AddTrack(2, 1000, 2000);
    AddTrack(kLeadOutNumber, 2000, 0);
    TrackNode* one = NewTrackNode();
    one->number = 1;
    InsertTrackNodeBefore(TrackListHead, one);
    TrackNode* pregap = NewTrackNode();
    InsertTrackNodeAfter(nullptr, pregap);
    TrackNode* second = NewTrackNode();
    second->number = 2;
    InsertTrackNodeAfter(two, second);
    EXPECT_EQ(Numbers(), (std::vector<int>{0, 1, 2, 2, 170}));
    EXPECT_EQ(TrackCount(), 5);
    EXPECT_EQ(TrackCountWithoutLeadOut(), 4);

    TrackNode* leadOut = TrackListTail;
    UnlinkTrackNode(leadOut);
    UnlinkTrackNode(pregap);
    UnlinkTrackNode(second);
    EXPECT_EQ(Numbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(leadOut->prev, nullptr);
    for (TrackNode* loose : {pregap, second}) DiscardTrackNode(loose);
    ClearTrackList(false);
    EXPECT_EQ(LiveBlocks(), 1u) << "a node taken out of the list is the caller's";
    DiscardTrackNode(leadOut);
}

TEST_F(TrackListTest, ClearingReleasesItemsAndTablesAndClearsTheViewsFirst) {
    std::vector<std::string> events;
    // Records how many blocks are still live when the views are cleared.
    class ClearingPort : public RecordingShellPort {
    public:
        std::function<void()> onClear;
        void ClearCatalogueViews() override { onClear(); }
    } shell;
    shell.onClear = [&] { events.push_back("views cleared while " + std::to_string(LiveBlocks()) + " blocks live"); };
    port::InstallShellPort(&shell);
    TrackNode* one = AddTrack(1, 0, 1000);
    FoundItem* root = AddRoot(one);
    FoundItem* multi = Add(Add(root, "DIR", 20, 2048, ItemDirectory), "M", 30, 10);
    ASSERT_TRUE(StartExtentList(multi));
    one->extentTable = diag::TrackedAlloc(120, __FILE__, __LINE__);
    one->readerWord = 10;
    TrackNode* two = AddTrack(2, 1000, 2000);
    AddRoot(two, "Audio");
    AddTrack(kLeadOutNumber, 2000, 0);
    const std::size_t nodes = 3;
    const std::size_t all = LiveBlocks();

    ClearTrackList(true);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "views cleared while " + std::to_string(all) + " blocks live");
    EXPECT_EQ(LiveBlocks(), nodes);
    EXPECT_EQ(one->rootItem, nullptr);
    EXPECT_EQ(one->extentTable, nullptr);
    EXPECT_EQ(two->rootItem, nullptr);
    EXPECT_EQ(TrackCount(), 3);

    ClearTrackList(false);
    EXPECT_EQ(LiveBlocks(), 0u);
    EXPECT_EQ(TrackListHead, nullptr);
    EXPECT_EQ(TrackListTail, nullptr);
    ClearTrackList(false);  // an empty list clears too
}

TEST_F(TrackListTest, DumpWritesOneLinePerNodeInDebugMode) {
    TrackNode* one = AddTrack(1, 0, 12345, 0x4);
    one->flags = TrackPacket | TrackCompressed;
    one->freeBlocks = 300;
    one->nextWritable = 12347;
    TrackNode* two = AddTrack(2, 23745, 30000, 0x5);
    two->session = 2;
    two->flags = TrackContinued;
    TrackNode* audio = AddTrack(3, 30000, 40000, 0x0);
    audio->session = 2;
    audio->freeBlocks = -1;
    AddTrack(kLeadOutNumber, 340000, 0, 0x14)->session = 2;

    DumpTrackList();  // debug mode off: nothing
    const std::size_t before = LogMessages().size();
    diag::DebugMode = true;
    DumpTrackList();
    std::vector<std::string> lines = LogMessages();
    ASSERT_EQ(lines.size(), before + 4);
    EXPECT_EQ(lines[before + 0], " 1 TOC  1 start:     0 End: 12345 Ctl:4 Free:300 NWA:12347 Packet  Compr");
    EXPECT_EQ(lines[before + 1], " 2 TOC  2 start: 23745 End: 30000 Ctl:5 Free:0 NWA:0  Cont ");
    EXPECT_EQ(lines[before + 2], " 2 TOC  3 start: 30000 End: 40000 Ctl:0 Free:-1 NWA:0   ");
    EXPECT_EQ(lines[before + 3], " 2 TOC aa start:340000 End:     0 Ctl:14 Free:0 NWA:0   ");
}

TEST_F(TrackListTest, UnnamedItemsAreNumberedFromOneOnTheFirstNode) {
    EXPECT_EQ(NextUnnamedItemName(), "Unnamed_0001") << "no list";
    TrackNode* first = AddTrack(1, 0, 1000);
    AddTrack(2, 1000, 2000);
    EXPECT_EQ(NextUnnamedItemName(), "Unnamed_0001");
    EXPECT_EQ(NextUnnamedItemName(), "Unnamed_0002");
    EXPECT_EQ(first->unnamedCounter, 3);
    EXPECT_EQ(first->next->unnamedCounter, 0);
    first->unnamedCounter = 12345;
    EXPECT_EQ(NextUnnamedItemName(), "Unnamed_12345");
}

}  // namespace
}  // namespace dravik::test
