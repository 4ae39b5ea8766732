// The ISO reader on directories made to hurt it: records that run past the
// sector, identifiers that run past the record, System Use areas that
// would loop, directories that contain themselves or fan out without end,
// locations past the disc, and randomly mutated directory and path table
// sectors. The reader must end the directory cleanly, never read outside
// its buffers (the sanitizers watch) and never ask for blocks past the
// volume.
#include <algorithm>
#include <cstdio>
#include <random>

#include "iso_layout.h"
#include "iso_reader_fixture.h"

namespace dravik::test {
namespace {

using namespace iso;

constexpr std::int32_t kTrackBlocks = 300;

class IsoHostileTest : public IsoReaderTest {
protected:
    // A 300-block track whose descriptor names a root at block 20 and a
    // path table at 28; the test puts what it likes into those blocks.
    void InsertVolume() {
        DiscBuilder b(dir_);
        const int t = b.Track(TrackKind::kMode1, kTrackBlocks);
        VolumeFields fields;
        fields.volumeSpace = kTrackBlocks;
        fields.rootExtent = 20;
        const Bytes table = PathTable({{20, 1, std::string(1, '\0')}, {21, 1, "DIRA"}, {22, 2, "SUBB"}});
        fields.pathTableSize = static_cast<std::uint32_t>(table.size());
        fields.pathTableL = 28;
        fields.pathTableM = 29;
        b.WriteBlock(t, 16, PrimaryDescriptor(fields));
        b.WriteBlock(t, 17, Terminator());
        b.WriteBlock(t, 28, table);
        Insert(b);
    }
    scan::TrackNode* NewTrack() {
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, kTrackBlocks);
        AddLeadOut(kTrackBlocks);
        return track;
    }
    void Put(std::int32_t block, Bytes bytes) { served_->Override(block, std::move(bytes)); }

    std::int32_t HighestBlockRead() const {
        const auto reads = BlocksRead();
        return reads.empty() ? -1 : *std::max_element(reads.begin(), reads.end());
    }
    static std::size_t CountItems(const scan::FoundItem* dir, int depth = 0) {
        std::size_t count = 0;
        for (const scan::FoundItem* item = dir->firstChild; item; item = item->next)
            count += 1 + (depth < 64 ? CountItems(item, depth + 1) : 0);
        return count;
    }
    // True when every item not marked missing starts inside the track, and
    // so does every extent of its extent list.
    static bool InsideTheVolume(const scan::FoundItem* dir, int depth = 0) {
        auto inside = [](std::int32_t start) { return start >= 0 && start < kTrackBlocks; };
        for (const scan::FoundItem* item = dir->firstChild; item; item = item->next) {
            if (!(item->flags & scan::ItemMissing)) {
                if (!inside(item->start) && !(item->start == kTrackBlocks && item->size == 0)) return false;
                if (const scan::ExtentPair* list = scan::ItemExtentList(item))
                    for (std::uint32_t i = 0; i < item->count; ++i)
                        if (!inside(list[i].start)) return false;
            }
            if (depth < 64 && !InsideTheVolume(item, depth + 1)) return false;
        }
        return true;
    }
    // Records F000000.TXT;1 ... until fewer than `leave` bytes are free.
    static std::vector<Bytes> Filled(std::vector<Bytes> records, std::size_t leave) {
        std::size_t used = 0;
        for (const Bytes& r : records) used += r.size();
        for (int i = 0; used + 46 + leave <= 2048; ++i) {
            char name[24];
            std::snprintf(name, sizeof name, "F%06d.TXT;1", i);
            records.push_back(DirectoryRecord({40, 1, 0, name, {}}));
            used += records.back().size();
        }
        return records;
    }
    static std::size_t Used(const std::vector<Bytes>& records) {
        std::size_t used = 0;
        for (const Bytes& r : records) used += r.size();
        return used;
    }
};

TEST_F(IsoHostileTest, RecordRunningPastTheSectorEndsTheDirectory) {
    InsertVolume();
    std::vector<Bytes> records = Filled({SelfAndParent(20, 4096, 20, 4096)}, 34);
    Bytes sector = Sector(records);
    const std::size_t at = Used(records);
    ASSERT_LE(at + 34, 2048u);
    sector[at] = 250;  // claims 250 bytes where fewer than 80 are left
    sector[at + 32] = 1;
    Put(20, sector);
    Put(21, Sector({DirectoryRecord({40, 1, 0, "NEXT.TXT;1", {}})}));
    scan::TrackNode* track = NewTrack();
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    // Every filler before the bad record; nothing after it. (The cut sends
    // the reader to the path table, which adds DIRA and DIRA/SUBB.)
    const auto fillers = std::count_if(paths.begin(), paths.end(), [](const auto& p) { return p.first[0] == 'F'; });
    EXPECT_EQ(static_cast<std::size_t>(fillers), records.size() - 1);
    EXPECT_EQ(paths.count("NEXT.TXT;1"), 0u);
    EXPECT_EQ(paths.count("DIRA/SUBB"), 1u);
}

TEST_F(IsoHostileTest, RecordEndingExactlyAtTheSectorEndIsRead) {
    InsertVolume();
    std::vector<Bytes> records = Filled({SelfAndParent(20, 2048, 20, 2048)}, 50);
    // The last record, with a Rock Ridge name, takes every byte left.
    const std::string name(2048 - Used(records) - 44 - 5, 'z');
    records.push_back(DirectoryRecord({40, 1, 0, "LAST.TXT;1", NameEntry(name)}));
    ASSERT_EQ(Used(records), 2048u);
    Put(20, Sector(records));
    scan::TrackNode* track = NewTrack();
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    EXPECT_EQ(paths.count(name), 1u);
    EXPECT_EQ(paths.count("DIRA/SUBB"), 0u) << "the root was read whole, not cut";
}

TEST_F(IsoHostileTest, IdentifierRunningPastItsRecordEndsTheDirectory) {
    InsertVolume();
    Bytes bad = DirectoryRecord({40, 1, 0, "BAD.TXT;1", {}});
    bad[32] = 200;
    Put(20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({40, 1, 0, "GOOD.TXT;1", {}}), bad,
                    DirectoryRecord({40, 1, 0, "LATER.TXT;1", {}})}));
    scan::TrackNode* track = NewTrack();
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    EXPECT_EQ(paths.count("GOOD.TXT;1"), 1u);
    EXPECT_EQ(paths.count("LATER.TXT;1"), 0u);
    EXPECT_EQ(paths.count("BAD.TXT;1"), 0u);
}

TEST_F(IsoHostileTest, SystemUseAreasThatWouldLoopOrOverrunKeepTheIsoName) {
    InsertVolume();
    // A continuation entry pointing back at this very block, entries too
    // short to move on, a name entry shorter than its header, and one whose
    // length runs past the record.
    const Bytes continuation{'C', 'E', 28, 1, 20, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 0,
                             0, 0, 0, 0, 0, 0, 0, 200};
    Bytes shortEntries{'X', 'X', 2, 1, 'Y', 'Y', 3, 1};
    Bytes tinyName{'N', 'M', 3, 1, 0};
    Bytes overrun{'N', 'M', 250, 1, 0, 'a', 'b'};
    Put(20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({40, 1, 0, "LOOP.TXT;1", continuation}),
                    DirectoryRecord({40, 1, 0, "SHORT.TXT;1", shortEntries}),
                    DirectoryRecord({40, 1, 0, "TINY.TXT;1", tinyName}),
                    DirectoryRecord({40, 1, 0, "OVER.TXT;1", overrun})}));
    scan::TrackNode* track = NewTrack();
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    for (const char* name : {"LOOP.TXT;1", "SHORT.TXT;1", "TINY.TXT;1", "OVER.TXT;1"})
        EXPECT_EQ(paths.count(name), 1u) << name;
    EXPECT_FALSE(track->flags & scan::TrackRockRidge);
}

TEST_F(IsoHostileTest, DirectoryThatContainsItselfIsReadOnce) {
    InsertVolume();
    Put(20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({20, 2048, kDirectory, "LOOP", {}}),
                    DirectoryRecord({21, 2048, kDirectory, "DIRA", {}})}));
    Put(21, Sector({SelfAndParent(21, 2048, 20, 2048), DirectoryRecord({20, 2048, kDirectory, "UP", {}}),
                    DirectoryRecord({21, 2048, kDirectory, "SELF", {}}), DirectoryRecord({40, 3, 0, "F.TXT;1", {}})}));
    scan::TrackNode* track = NewTrack();
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    EXPECT_EQ(paths.size(), 5u);  // LOOP, DIRA, DIRA/UP, DIRA/SELF, DIRA/F.TXT;1
    EXPECT_EQ(paths.at("LOOP")->firstChild, nullptr);
    EXPECT_EQ(paths.at("DIRA/SELF")->firstChild, nullptr);
    const auto reads = BlocksRead();
    // The supplementary search, the displacement check and the walk: once each.
    EXPECT_EQ(std::count(reads.begin(), reads.end(), 20), 3);
    EXPECT_EQ(std::count(reads.begin(), reads.end(), 21), 2);
}

TEST_F(IsoHostileTest, DirectoriesThatFanOutOverTheSameExtentsStayBounded) {
    InsertVolume();
    // Each level's 40 entries all name the next level: 40^8 paths without
    // a guard.
    for (std::int32_t level = 0; level < 8; ++level) {
        std::vector<Bytes> records{SelfAndParent(20 + level, 2048, 20, 2048)};
        for (int i = 0; i < 40; ++i)
            records.push_back(DirectoryRecord({std::uint32_t(21 + level), 2048, kDirectory, "D" + std::to_string(i), {}}));
        Put(20 + level, Sector(records));
    }
    scan::TrackNode* track = NewTrack();
    ASSERT_TRUE(Read(track));
    EXPECT_LE(CountItems(track->rootItem), 8u * 42u);
}

TEST_F(IsoHostileTest, LocationsPastTheDiscAreNeverRead) {
    InsertVolume();
    Put(20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({0xFFFFFFF0u, 100, 0, "FAR.TXT;1", {}}),
                    DirectoryRecord({0x7FFFFFFFu, 2048, kDirectory, "FARDIR", {}}),
                    DirectoryRecord({290, 0x7FFFFFFF, kDirectory, "HUGEDIR", {}}),
                    DirectoryRecord({50, 4096, kMultiExtent, "SPLIT.BIN;1", {}}),
                    DirectoryRecord({0xFFFFFF00u, 4096, 0, "SPLIT.BIN;1", {}})}));
    Put(290, Sector({SelfAndParent(290, 2048, 20, 2048), DirectoryRecord({40, 3, 0, "IN.TXT;1", {}})}));
    scan::TrackNode* track = NewTrack();
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    EXPECT_TRUE(paths.at("FAR.TXT;1")->flags & scan::ItemMissing);
    EXPECT_EQ(paths.at("FAR.TXT;1")->start, scan::StartNotAvailable);
    EXPECT_TRUE(paths.at("FARDIR")->flags & scan::ItemMissing);
    EXPECT_EQ(paths.count("HUGEDIR/IN.TXT;1"), 1u);
    const scan::FoundItem* split = paths.at("SPLIT.BIN;1");
    EXPECT_EQ(split->count, 2u);
    EXPECT_TRUE(split->flags & scan::ItemMissing);
    EXPECT_LT(HighestBlockRead(), kTrackBlocks);
}

TEST_F(IsoHostileTest, ImplausibleSelfEntryEndsTheDirectory) {
    InsertVolume();
    Bytes sector = Sector({SelfAndParent(0x80000000u, 2048, 20, 2048), DirectoryRecord({40, 1, 0, "A.TXT;1", {}})});
    Put(20, sector);
    scan::TrackNode* track = NewTrack();
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    EXPECT_EQ(paths.count("A.TXT;1"), 0u);
    // The cut root sends the reader to the path table, which still lists DIRA and SUBB.
    EXPECT_EQ(paths.count("DIRA/SUBB"), 1u);
}

// Mutations of a realistic directory sector (Rock Ridge names, a
// multi-extent chain, a subdirectory) and of the path table.
TEST_F(IsoHostileTest, MutatedDirectoryAndPathTableSectorsAreSurvived) {
    InsertVolume();
    diag::DebugMode = false;  // thousands of lines otherwise; the formats are tested elsewhere
    const Bytes base = Sector({SelfAndParent(20, 2048, 20, 2048),
                               DirectoryRecord({40, 10, 0, "NAMED.TXT;1", NameEntry("a named file.txt")}),
                               DirectoryRecord({50, 4096, kMultiExtent, "SPLIT.BIN;1", {}}),
                               DirectoryRecord({52, 4096, kMultiExtent, "SPLIT.BIN;1", {}}),
                               DirectoryRecord({54, 100, 0, "SPLIT.BIN;1", {}}),
                               DirectoryRecord({21, 2048, kDirectory, "DIRA", {}}),
                               DirectoryRecord({60, 5, 0, "LAST.TXT;1", {}})});
    const Bytes sub = Sector({SelfAndParent(21, 2048, 20, 2048), DirectoryRecord({22, 2048, kDirectory, "SUBB", {}})});
    const Bytes table = PathTable({{20, 1, std::string(1, '\0')}, {21, 1, "DIRA"}, {22, 2, "SUBB"}});
    Put(21, sub);
    std::mt19937 random(20240607);
    for (int round = 0; round < 2000; ++round) {
        Bytes sector = base;
        Bytes path = table;
        path.resize(2048, 0);
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i) {
            Bytes& target = (round % 4 == 3) ? path : sector;
            const std::size_t at = random() % (round % 4 == 3 ? 64 : 400);
            target[at] = static_cast<std::uint8_t>(random());
        }
        if (round % 4 == 3) sector[0] = 0;  // cut the root to force the path table's use
        Put(20, sector);
        Put(28, path);
        scan::TrackNode* track = NewTrack();
        ClearReads();
        readers::ReadIsoTrack(track, 0);
        ASSERT_LT(HighestBlockRead(), kTrackBlocks) << "round " << round;
        if (track->rootItem) {
            ASSERT_LT(CountItems(track->rootItem), 2000u) << "round " << round;
            ASSERT_TRUE(InsideTheVolume(track->rootItem)) << "round " << round;
        }
    }
}

// Block 41 follows the last directory and belongs to none: whatever it
// holds (here mutated copies of a directory sector), the catalogue stays
// as it is without it, and the block is never read.
TEST_F(IsoHostileTest, MutatedSectorOutsideEveryDirectoryLeavesTheCatalogueAlone) {
    InsertVolume();
    diag::DebugMode = false;
    Put(20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({50, 10, 0, "A.TXT;1", {}}),
                    DirectoryRecord({21, 2048, kDirectory, "DIRA", {}})}));
    Put(21, Sector({SelfAndParent(21, 2048, 20, 2048), DirectoryRecord({40, 2048, kDirectory, "SUBB", {}})}));
    Put(40, Sector({SelfAndParent(40, 2048, 21, 2048), DirectoryRecord({51, 5, 0, "B.TXT;1", {}})}));
    auto catalogue = [this] {
        scan::TrackNode* track = NewTrack();
        ClearReads();
        readers::ReadIsoTrack(track, 0);
        std::string text;
        for (const auto& [path, item] : Paths(track))
            text += path + " " + std::to_string(item->start) + " " + std::to_string(item->size) + "\n";
        return text;
    };
    const std::string expected = catalogue();
    ASSERT_NE(expected.find("DIRA/SUBB/B.TXT;1"), std::string::npos) << expected;
    const Bytes stray = Sector({SelfAndParent(41, 2048, 40, 2048), DirectoryRecord({52, 7, 0, "STRAY.TXT;1", {}}),
                                DirectoryRecord({53, 2048, kDirectory, "STRAYDIR", {}})});
    std::mt19937 random(20240608);
    for (int round = 0; round < 200; ++round) {
        Bytes sector = stray;
        for (int i = 1 + static_cast<int>(random() % 8); i > 0; --i)
            sector[random() % 200] = static_cast<std::uint8_t>(random());
        Put(41, sector);
        ASSERT_EQ(catalogue(), expected) << "round " << round;
        const auto reads = BlocksRead();
        ASSERT_EQ(std::count(reads.begin(), reads.end(), 41), 0) << "round " << round;
    }
}

}  // namespace
}  // namespace dravik::test
