// The duplicate and overlap passes on catalogue trees built by hand, the
// overlap pass's record store (memory and work file), and the block scan's
// end and run listing.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "program/readers/udf/udf_block_scan.h"
#include "program/readers/udf/udf_cleanup.h"
#include "program/readers/udf/udf_overlaps.h"
#include "program/readers/udf/udf_tags.h"
#include "program/scan/driver/program_file_systems.h"
#include "program/scan/file_systems.h"
#include "program/scan/found_item.h"
#include "program/scan/track_list.h"
#include "program/settings/settings.h"
#include "support/temp_dir.h"

namespace dravik::test {
namespace {

using scan::FoundItem;

// An item of a hand-built tree: its path ("dir/name"), start, size and
// whether the scan found it without a name.
struct Node {
    std::string path;
    std::int32_t start;
    std::uint32_t size;
    bool unnamed = false;
    bool directory = false;
};

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings::ResetSettings();
        scan::ClearTrackList(false);
        track_ = scan::NewTrackNode();
        track_->number = 1;
        scan::AppendTrackNode(track_);
        FoundItem* root = scan::NewFoundItem("root");
        root->flags = scan::ItemDirectory;
        scan::AttachRootItem(track_, root);
    }
    void TearDown() override {
        scan::ClearTrackList(false);
        settings::ResetSettings();
    }

    void Build(const std::vector<Node>& nodes) {
        for (const Node& node : nodes) {
            const std::size_t slash = node.path.rfind('/');
            FoundItem* dir = slash == std::string::npos ? track_->rootItem : items_.at(node.path.substr(0, slash));
            FoundItem* item = scan::NewFoundItem(slash == std::string::npos ? node.path : node.path.substr(slash + 1));
            item->start = node.start;
            item->size = node.size;
            item->fsId = 1000 + static_cast<std::uint32_t>(items_.size());
            if (node.unnamed) item->flags |= scan::ItemUnnamed;
            if (node.directory) item->flags |= scan::ItemDirectory;
            scan::AppendItem(dir, item);
            items_[node.path] = item;
        }
    }

    std::set<std::string> Remaining() const {
        std::set<std::string> paths;
        Collect(track_->rootItem, "", paths);
        return paths;
    }

    static void Collect(const FoundItem* dir, const std::string& prefix, std::set<std::string>& paths) {
        for (const FoundItem* item = dir->firstChild; item; item = item->next) {
            paths.insert(prefix + item->Name());
            if (item->flags & scan::ItemDirectory) Collect(item, prefix + item->Name() + "/", paths);
        }
    }

    scan::TrackNode* track_ = nullptr;
    std::map<std::string, FoundItem*> items_;
};

struct DuplicateCase {
    const char* name;
    std::vector<Node> tree;
    std::set<std::string> remaining;
    bool keep = false;
};

const std::vector<Node> kFoundTwice = {
    {"a.txt", 50, 100}, {"lost", 10, 32767, true, true}, {"lost/Unnamed_0001", 50, 100, true}};

const DuplicateCase kDuplicateCases[] = {
    {"NamedAndUnnamedKeepsTheNamedOne", kFoundTwice, {"a.txt"}},
    {"KeptWhenAsked", kFoundTwice, {"a.txt", "lost", "lost/Unnamed_0001"}, true},
    {"TwoUnnamedCopiesBecomeOne",
     {{"lost", 10, 32767, true, true}, {"lost/Unnamed_0001", 60, 10, true}, {"lost/Unnamed_0002", 60, 10, true}},
     {"lost", "lost/Unnamed_0001"}},
    // Hard links and empty files: two names for one entry stay.
    {"TwoNamedFilesBothStay", {{"x", 70, 0}, {"y", 70, 0}}, {"x", "y"}},
    {"SameStartOtherSizeStays",
     {{"a.txt", 50, 100}, {"lost", 10, 32767, true, true}, {"lost/Unnamed_0001", 50, 4096, true}},
     {"a.txt", "lost", "lost/Unnamed_0001"}},
    // Named children of an unnamed folder count as unnamed.
    {"NamedBelowUnnamedFolderGoes",
     {{"a.txt", 50, 100}, {"lost", 10, 32767, true, true}, {"lost/Unnamed_0001", 20, 2048, true, true},
      {"lost/Unnamed_0001/a.txt", 50, 100}},
     {"a.txt"}},
    {"UnnamedFolderOfMissingEntriesGoes",
     {{"b", 80, 5}, {"lost", 10, 32767, true, true}, {"lost/Unnamed_0001", 20, 2048, true, true},
      {"lost/Unnamed_0001/ghost", -1, 0}, {"lost/Unnamed_0001/ghost2", -1, 7}},
     {"b"}},
    {"NamedFileWithoutStartStays", {{"gone", -1, 9}}, {"gone"}},
};

void PrintTo(const DuplicateCase& c, std::ostream* out) { *out << c.name; }

class DuplicatePassTest : public CatalogueTest, public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(DuplicatePassTest, RemovesWhatIsListedTwiceOrLeadsNowhere) {
    const DuplicateCase& c = GetParam();
    settings::ProgramSettings.KeepUDFDups = c.keep ? 1 : 0;
    Build(c.tree);
    readers::udf::RemoveDuplicates(nullptr);
    EXPECT_EQ(Remaining(), c.remaining);
    // Counts are redone after a pass: every remaining entry counted once.
    if (!c.keep) {
        EXPECT_EQ(track_->rootItem->count, c.remaining.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DuplicatePassTest, ::testing::ValuesIn(kDuplicateCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The scan driver runs the pass through the table of file systems over
// every track: a file the second session's scan found unnamed is the
// first session's named file.
TEST_F(CatalogueTest, TheDriversPassSpansEveryTrack) {
    scan::InstallProgramFileSystems();
    const scan::FileSystemReader* udf = scan::FindFileSystem(scan::FileSystemKind::kUdf);
    ASSERT_TRUE(udf && udf->removeDuplicates);
    Build({{"a.txt", 50, 100}, {"b.txt", 60, 10}});
    scan::TrackNode* second = scan::NewTrackNode();
    second->number = 2;
    scan::AppendTrackNode(second);
    FoundItem* root = scan::NewFoundItem("root 2");
    root->flags = scan::ItemDirectory;
    scan::AttachRootItem(second, root);
    FoundItem* lost = scan::NewFoundItem("lost");
    lost->flags = scan::ItemDirectory | scan::ItemUnnamed;
    lost->start = 10;
    scan::AppendItem(root, lost);
    for (const auto& [start, size] : {std::pair{50, 100u}, std::pair{60, 11u}}) {
        FoundItem* copy = scan::NewFoundItem("Unnamed_" + std::to_string(start));
        copy->flags = scan::ItemUnnamed;
        copy->start = start;
        copy->size = size;
        scan::AppendItem(lost, copy);
    }
    udf->removeDuplicates(nullptr);
    EXPECT_EQ(Remaining(), (std::set<std::string>{"a.txt", "b.txt"}));
    std::set<std::string> secondTree;
    Collect(root, "", secondTree);
    EXPECT_EQ(secondTree, (std::set<std::string>{"lost", "lost/Unnamed_60"}));
}

TEST_F(CatalogueTest, CountItemsCountsFoldersAndTheirContents) {
    Build({{"a", 1, 1}, {"d", 2, 1, false, true}, {"d/b", 3, 1}, {"d/e", 4, 1, false, true}, {"d/e/c", 5, 1}});
    EXPECT_EQ(readers::udf::CountItems(track_->rootItem), 5u);
    EXPECT_EQ(readers::udf::CountItems(items_.at("d")), 3u);
    EXPECT_EQ(readers::udf::CountItems(items_.at("a")), 0u);
}

TEST_F(CatalogueTest, EmptyUnnamedFoldersGoInnermostFirst) {
    Build({{"u", 1, 1, true, true}, {"u/v", 2, 1, true, true}, {"n", 3, 1, false, true}, {"w", 4, 1, true, true},
           {"w/f", 5, 1}});
    EXPECT_EQ(readers::udf::RemoveEmptyUnnamedDirs(track_->rootItem), 2);
    EXPECT_EQ(Remaining(), (std::set<std::string>{"n", "w", "w/f"}));
}

// The sorted walk over extent records: which items end up marked.
struct OverlapCase {
    const char* name;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  // start, count; item i owns extent i
    std::vector<int> owners;                                       // item of each extent (default: its index)
    std::set<int> marked;
    int pairs;
};

const OverlapCase kOverlapCases[] = {
    {"Apart", {{10, 2}, {12, 3}, {20, 1}}, {}, {}, 0},
    {"Neighbours", {{10, 3}, {12, 1}}, {}, {0, 1}, 1},
    // A long extent overlaps the last record three records on.
    {"LongExtentReachesTheLast", {{10, 100}, {20, 1}, {30, 1}, {109, 5}}, {}, {0, 1, 2, 3}, 3},
    {"EndIsExclusive", {{10, 5}, {15, 5}}, {}, {}, 0},
    // Extents of one file touching each other are not an overlap.
    {"SameItem", {{10, 4}, {12, 4}}, {0, 0}, {}, 0},
    {"MissingStartNotMarked", {{10, 4}, {12, 4}}, {0, 1}, {}, 0},
};

void PrintTo(const OverlapCase& c, std::ostream* out) { *out << c.name; }

class OverlapWalkTest : public CatalogueTest, public ::testing::WithParamInterface<OverlapCase> {};

TEST_P(OverlapWalkTest, MarksItemsSharingBlocks) {
    const OverlapCase& c = GetParam();
    std::vector<Node> nodes;
    for (std::size_t i = 0; i < c.extents.size(); ++i) nodes.push_back({"f" + std::to_string(i), 1, 1});
    Build(nodes);
    if (std::string(c.name) == "MissingStartNotMarked") items_.at("f1")->start = scan::StartNotAvailable;
    std::vector<readers::udf::ExtentRecord> records;
    for (std::size_t i = 0; i < c.extents.size(); ++i) {
        const int owner = c.owners.empty() ? static_cast<int>(i) : c.owners[i];
        records.push_back({c.extents[i].first, c.extents[i].second, items_.at("f" + std::to_string(owner))});
    }
    const int pairs = readers::udf::MarkOverlaps(records);
    if (std::string(c.name) != "MissingStartNotMarked") {
        EXPECT_EQ(pairs, c.pairs);
    }
    for (std::size_t i = 0; i < c.extents.size(); ++i)
        EXPECT_EQ((items_.at("f" + std::to_string(i))->flags & scan::ItemOverlap) != 0, c.marked.count(static_cast<int>(i)) != 0)
            << i;
}

INSTANTIATE_TEST_SUITE_P(Cases, OverlapWalkTest, ::testing::ValuesIn(kOverlapCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ExtentRecords, KeptInMemoryOrInAWorkFileThatIsRemoved) {
    for (const std::size_t memory : {std::size_t{1000}, std::size_t{3}}) {
        TempDir folder;
        std::string fileName;
        {
            readers::udf::ExtentRecords records(folder.path(), memory);
            for (std::uint32_t i = 0; i < 10; ++i) ASSERT_TRUE(records.Add({100 - i, i + 1, nullptr}));
            EXPECT_EQ(records.InFile(), memory < 10);
            std::vector<readers::udf::ExtentRecord> out;
            ASSERT_TRUE(records.Collect(out));
            ASSERT_EQ(out.size(), 10u);
            for (std::uint32_t i = 0; i < 10; ++i) {
                EXPECT_EQ(out[i].start, 100 - i);
                EXPECT_EQ(out[i].count, i + 1);
            }
            fileName = records.FileName();
            if (records.InFile()) {
                EXPECT_EQ(std::filesystem::path(fileName).parent_path(), std::filesystem::path(folder.path()));
                EXPECT_EQ(std::filesystem::path(fileName).filename().string().rfind("CDD", 0), 0u);
                EXPECT_TRUE(std::filesystem::exists(fileName));
            }
        }
        if (!fileName.empty()) {
            EXPECT_FALSE(std::filesystem::exists(fileName));
        }
    }
}

TEST(ExtentRecords, AFolderThatCannotTakeTheFileIsReported) {
    readers::udf::ExtentRecords records("/nonexistent-folder-for-dravik", 1);
    EXPECT_FALSE(records.Add({1, 1, nullptr}));
    EXPECT_FALSE(records.Error().empty());
    EXPECT_FALSE(records.Add({2, 1, nullptr}));
}

TEST(FileEntryTagCheck, VersionReservedLengthAndChecksum) {
    std::vector<std::uint8_t> entry(2048, 0);
    entry[0] = 0x05;  // tag 261
    entry[1] = 0x01;
    entry[2] = 2;
    entry[10] = 0x00;
    entry[11] = 0x08;  // CRC length 2048
    entry[4] = readers::udf::TagChecksum(entry.data());
    EXPECT_TRUE(readers::udf::CheckFeTag(entry.data(), true));
    struct Change {
        std::size_t at;
        std::uint8_t value;
        bool withChecksum;  // the checksum is made right again
    };
    for (const Change& change : {Change{2, 3, true}, Change{2, 0, true}, Change{5, 1, true}, Change{11, 0x09, true},
                                 Change{0, 0x02, true}}) {
        std::vector<std::uint8_t> bad = entry;
        bad[change.at] = change.value;
        if (change.withChecksum) bad[4] = readers::udf::TagChecksum(bad.data());
        EXPECT_FALSE(readers::udf::CheckFeTag(bad.data(), true)) << change.at;
    }
    std::vector<std::uint8_t> wrongSum = entry;
    wrongSum[4] ^= 1;
    EXPECT_FALSE(readers::udf::CheckFeTag(wrongSum.data(), true));
    EXPECT_TRUE(readers::udf::CheckFeTag(wrongSum.data(), false));
}

struct EndCase {
    const char* name;
    std::int32_t end;
    std::uint32_t nextWritable;
    bool continued;
    std::uint32_t nextNextWritable;
    std::int64_t from;
    std::int64_t expected;
};

const EndCase kEndCases[] = {
    {"TrackEnd", 1000, 0, false, 0, 100, 1000},
    {"NextWritable", 1000, 600, false, 0, 100, 600},
    {"ContinuedTrack", 1000, 0, true, 0, 100, 3000},
    {"ContinuedNextWritable", 1000, 600, true, 2500, 100, 2500},
    {"NextWritableBeforeFrom", 1000, 50, false, 0, 100, 1000},
};

TEST(BlockScanEnd, FromTheTracksAndTheirNextWritableAddresses) {
    for (const EndCase& c : kEndCases) {
        scan::TrackNode track{};
        scan::TrackNode next{};
        track.start = 0;
        track.end = c.end;
        track.nextWritable = c.nextWritable;
        next.start = 2000;
        next.end = 3000;
        next.number = 2;
        next.nextWritable = c.nextNextWritable;
        if (c.continued) next.flags = scan::TrackContinued;
        track.next = &next;
        EXPECT_EQ(readers::udf::BlockScanEnd(&track, c.from), c.expected) << c.name;
    }
}

TEST(UnusedRunLines, RunsSinglesAndLineBreaks) {
    std::vector<std::uint8_t> bits(64, 0);
    readers::udf::UdfState state;
    state.usedBlocks = bits.data();
    state.mediaBlocks = 512;
    for (const std::int64_t used : {12, 13, 15, 20}) readers::udf::MarkUsed(state, used);
    EXPECT_EQ(readers::udf::UnusedRunLines(state, 10, 22), (std::vector<std::string>{"10-11 14 16-19 21"}));
    readers::udf::MarkUsed(state, 10);
    readers::udf::MarkUsed(state, 11);
    EXPECT_EQ(readers::udf::UnusedRunLines(state, 10, 13), (std::vector<std::string>{}));
    // Every other block free: the lines break after a little over 80 characters.
    std::fill(bits.begin(), bits.end(), 0xAA);
    const auto lines = readers::udf::UnusedRunLines(state, 100, 400);
    ASSERT_GT(lines.size(), 1u);
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 90u);
        EXPECT_NE(line.back(), ' ');
    }
    EXPECT_EQ(lines.front().substr(0, 8), "101 103 ");
}

}  // namespace
}  // namespace dravik::test
