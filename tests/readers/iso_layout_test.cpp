// The ISO reader on volumes laid out block by block: the plain walk and
// what it reads, unreadable descriptors (root found by searching), a
// displaced volume, an empty Joliet tree, unreadable directory sectors,
// files past the end of a truncated track, multi-extent files across a
// sector boundary, Rock Ridge names, track continuation, the depth limit
// and High Sierra.
#include <algorithm>
#include <cstdio>

#include "iso_layout.h"
#include "iso_reader_fixture.h"
#include "sample_volume.h"

namespace dravik::test {
namespace {

using namespace iso;

class IsoLayoutTest : public IsoReaderTest {
protected:
    // One 300-block data track with the sample volume, and the lead-out.
    scan::TrackNode* InsertSample(SampleVolume volume = {}, const std::string& unreadable = {}) {
        DiscBuilder b(dir_);
        const int t = b.Track(TrackKind::kMode1, 300);
        volume.start = b.TrackStart(t);
        volume.Write(b, t);
        if (!unreadable.empty()) b.Directive("unreadable " + unreadable);
        Insert(b);
        scan::TrackNode* track = AddTrack(volume.start, volume.start + 300);
        AddLeadOut(volume.start + 300);
        return track;
    }
};

TEST_F(IsoLayoutTest, PlainVolumeGivesEveryItemWithItsPlaceAndReadsOnlyWhatItNeeds) {
    scan::TrackNode* track = InsertSample();
    ASSERT_TRUE(Read(track));
    ASSERT_NE(track->rootItem, nullptr);
    EXPECT_STREQ(track->rootItem->Name(), "\\ TESTVOL (Session 1)");
    EXPECT_EQ(track->rootItem->start, 20);
    EXPECT_TRUE(track->flags & scan::TrackIso);
    EXPECT_FALSE(track->flags & (scan::TrackJoliet | scan::TrackFilesMissing | scan::TrackRockRidge));

    auto paths = Paths(track);
    ASSERT_EQ(paths.size(), 5u);
    EXPECT_EQ(paths["FILE1.TXT;1"]->start, 30);
    EXPECT_EQ(paths["FILE1.TXT;1"]->size, 5000u);
    EXPECT_EQ(paths["DIRA/FILE2.TXT;1"]->start, 33);
    EXPECT_EQ(paths["DIRA/SUBB/FILE3.TXT;1"]->size, 10u);
    EXPECT_TRUE(paths["DIRA/SUBB"]->flags & scan::ItemDirectory);
    EXPECT_EQ(paths["FILE1.TXT;1"]->date.year, 121);
    EXPECT_EQ(paths["FILE1.TXT;1"]->date.zone, 4);
    // Counts include the subdirectories' entries; self and parent are not counted.
    EXPECT_EQ(track->rootItem->count, 5u);
    EXPECT_EQ(paths["DIRA"]->count, 3u);
    // The self and parent entries are kept as hidden items.
    ASSERT_NE(track->rootItem->firstChild, nullptr);
    EXPECT_EQ(track->rootItem->firstChild->Name()[0], '\0');
    EXPECT_EQ(track->rootItem->firstChild->next->Name()[0], '\1');

    // Descriptor, the supplementary search, the displacement check, then
    // each directory once.
    std::vector<std::int32_t> expected{16};
    for (int b = 17; b <= 31; ++b) expected.push_back(b);
    expected.insert(expected.end(), {20, 20, 21, 22});
    EXPECT_EQ(BlocksRead(), expected);
    EXPECT_TRUE(DialogTexts().empty());
    EXPECT_EQ(TreeNames(), (std::vector<std::string>{"\\ TESTVOL (Session 1)", "DIRA", "SUBB"}));
    EXPECT_EQ(shell_.StatusTexts().back(), "Reading track 1: ISO 9660 volume TESTVOL");
}

TEST_F(IsoLayoutTest, UnreadableDescriptorWithRootCloseByIsReadThroughABuiltDescriptor) {
    scan::TrackNode* track = InsertSample({}, "16");
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(Shown(MessageText(156, 1, 20)));
    EXPECT_EQ(CountLike(155), 0);
    ASSERT_NE(track->rootItem, nullptr);
    EXPECT_STREQ(track->rootItem->Name(), "\\  (Session 1)");
    const auto sizes = FileSizes(track);
    EXPECT_EQ(sizes, (std::map<std::string, std::uint32_t>{
                         {"FILE1.TXT", 5000}, {"DIRA/FILE2.TXT", 100}, {"DIRA/SUBB/FILE3.TXT", 10}}));
    EXPECT_TRUE(LogHas("Sector 20: Directory located by scanning"));
    // The search stopped at the root.
    const auto reads = BlocksRead();
    EXPECT_EQ(std::count(reads.begin(), reads.end(), 21), 1);
}

TEST_F(IsoLayoutTest, RootFoundTooFarFromTheDescriptorsIsNotUsed) {
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    b.WriteBlock(t, 45, Sector({SelfAndParent(45, 2048, 45, 2048), DirectoryRecord({60, 10, 0, "A.TXT;1", {}})}));
    b.Directive("unreadable 16");
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    EXPECT_FALSE(Read(track));
    EXPECT_TRUE(Shown(MessageText(155, 1)));
    EXPECT_EQ(CountLike(156), 0);
    EXPECT_EQ(track->rootItem, nullptr);
    // The search read through to the block it found and no farther.
    EXPECT_EQ(BlocksRead().back(), 45);
}

TEST_F(IsoLayoutTest, DisplacedVolumeIsFoundThroughItsPathTable) {
    SampleVolume volume;
    volume.shift = 3;
    scan::TrackNode* track = InsertSample(volume);
    ASSERT_TRUE(Read(track));
    auto paths = Paths(track);
    ASSERT_EQ(paths.size(), 5u);
    EXPECT_EQ(track->rootItem->start, 23);
    EXPECT_EQ(paths["FILE1.TXT;1"]->start, 33);
    EXPECT_EQ(paths["DIRA/SUBB/FILE3.TXT;1"]->start, 37);
    EXPECT_TRUE(LogHas("image offset 3"));
}

TEST_F(IsoLayoutTest, EmptyJolietTreeStaysShownAndThePrimaryTreeIsRead) {
    SampleVolume volume;
    volume.joliet = true;
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    volume.Write(b, t);
    b.WriteBlock(t, 25, Bytes(2048, 0));  // the Joliet root holds nothing
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(LogHas("No directory information collected."));
    EXPECT_STREQ(track->rootItem->Name(), "\\ TESTVOL (Session 1)");
    EXPECT_EQ(Paths(track).count("DIRA/SUBB/FILE3.TXT;1"), 1u);
    EXPECT_FALSE(track->flags & scan::TrackJoliet);
    // Both roots were shown: the empty Joliet one first.
    const auto tree = TreeNames();
    ASSERT_GE(tree.size(), 2u);
    EXPECT_EQ(std::count(tree.begin(), tree.end(), "\\ TESTVOL (Session 1)"), 2);
}

TEST_F(IsoLayoutTest, JolietVolumeIsPreferredWithItsUnicodeNames) {
    SampleVolume volume;
    volume.joliet = true;
    scan::TrackNode* track = InsertSample(volume);
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(track->flags & scan::TrackJoliet);
    EXPECT_EQ(FileSizes(track), (std::map<std::string, std::uint32_t>{
                                    {"file1.txt", 5000}, {"dira/file2.txt", 100}, {"dira/subb/file3.txt", 10}}));
    EXPECT_TRUE(LogHas("Joliet format SVD encountered with code \"%/E\""));
    EXPECT_EQ(shell_.StatusTexts().back(), "Reading track 1: Joliet volume TESTVOL");
}

TEST_F(IsoLayoutTest, UnreadableDirectorySectorsAreSkippedAndTheRestIsKept) {
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    SampleVolume volume;
    volume.Write(b, t);
    // A root of three sectors whose middle one cannot be read.
    VolumeFields fields;
    fields.volumeSpace = 300;
    fields.rootExtent = 40;
    fields.rootLength = 3 * 2048;
    b.WriteBlock(t, 16, PrimaryDescriptor(fields));
    b.WriteBlock(t, 40, Sector({SelfAndParent(40, 6144, 40, 6144), DirectoryRecord({30, 1, 0, "A.TXT;1", {}})}));
    b.WriteBlock(t, 41, Sector({DirectoryRecord({30, 2, 0, "B.TXT;1", {}})}));
    b.WriteBlock(t, 42, Sector({DirectoryRecord({30, 3, 0, "C.TXT;1", {}}), DirectoryRecord({21, 2048, kDirectory, "DIRA", {}})}));
    b.Directive("unreadable 41");
    b.Directive("unreadable 22");
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    ASSERT_TRUE(Read(track));
    auto paths = Paths(track);
    EXPECT_EQ(paths.count("A.TXT;1"), 1u);
    EXPECT_EQ(paths.count("B.TXT;1"), 0u);
    EXPECT_EQ(paths.count("C.TXT;1"), 1u);
    EXPECT_EQ(paths.count("DIRA/FILE2.TXT;1"), 1u);
    EXPECT_EQ(paths.count("DIRA/SUBB"), 1u);
    EXPECT_TRUE(Shown(MessageText(241, 2)));
    // The device did not report the expected read errors to the user.
    EXPECT_EQ(DialogTexts().size(), 1u);
    EXPECT_TRUE(LogHas("Error reading sector 41, skipping directory block."));
}

TEST_F(IsoLayoutTest, FilesPastTheEndOfATruncatedTrackAreMarkedMissing) {
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 100);
    VolumeFields fields;
    fields.volumeSpace = 100;
    fields.rootExtent = 20;
    b.WriteBlock(t, 16, PrimaryDescriptor(fields));
    b.WriteBlock(t, 17, Terminator());
    b.WriteBlock(t, 20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({30, 10, 0, "HERE.TXT;1", {}}),
                                DirectoryRecord({150, 4096, 0, "GONE.TXT;1", {}}),
                                DirectoryRecord({160, 2048, kDirectory, "GONEDIR", {}}),
                                DirectoryRecord({100, 0, 0, "EMPTY.TXT;1", {}})}));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 100);
    AddLeadOut(100);
    ASSERT_TRUE(Read(track));
    auto paths = Paths(track);
    EXPECT_EQ(paths["HERE.TXT;1"]->start, 30);
    EXPECT_FALSE(paths["HERE.TXT;1"]->flags & scan::ItemMissing);
    EXPECT_TRUE(paths["GONE.TXT;1"]->flags & scan::ItemMissing);
    EXPECT_EQ(paths["GONE.TXT;1"]->start, scan::StartNotAvailable);
    EXPECT_EQ(paths["GONE.TXT;1"]->size, 4096u);
    EXPECT_TRUE(paths["GONEDIR"]->flags & scan::ItemMissing);
    EXPECT_FALSE(paths["EMPTY.TXT;1"]->flags & scan::ItemMissing);
    EXPECT_TRUE(track->flags & scan::TrackFilesMissing);
    EXPECT_TRUE(Shown(MessageText(216, 1)));
    EXPECT_TRUE(LogHas("File missing from disc: GONE.TXT;1 150 end:100"));
    // The missing directory was not read.
    const auto reads = BlocksRead();
    EXPECT_EQ(std::count(reads.begin(), reads.end(), 160), 0);
}

TEST_F(IsoLayoutTest, ShowAllKeepsTheLocationOfMissingFiles) {
    settings::ProgramSettings.ShowAll = 1;
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 100);
    VolumeFields fields;
    fields.volumeSpace = 100;
    fields.rootExtent = 20;
    b.WriteBlock(t, 16, PrimaryDescriptor(fields));
    b.WriteBlock(t, 20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({150, 4096, 0, "GONE.TXT;1", {}})}));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 100);
    AddLeadOut(100);
    ASSERT_TRUE(Read(track));
    auto paths = Paths(track);
    EXPECT_TRUE(paths["GONE.TXT;1"]->flags & scan::ItemMissing);
    EXPECT_EQ(paths["GONE.TXT;1"]->start, 150);
}

TEST_F(IsoLayoutTest, FileOfTwentyFiveExtentsAcrossASectorBoundaryKeepsThemAll) {
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    VolumeFields fields;
    fields.volumeSpace = 300;
    fields.rootExtent = 20;
    fields.rootLength = 2 * 2048;
    b.WriteBlock(t, 16, PrimaryDescriptor(fields));
    // Fill the first sector so that the chain starts near its end.
    std::vector<Bytes> first{SelfAndParent(20, 4096, 20, 4096)};
    std::size_t used = first[0].size();
    for (int i = 0; used + 42 * 6 < 2048; ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "F%06d.TXT;1", i);
        first.push_back(DirectoryRecord({40, 1, 0, name, {}}));
        used += first.back().size();
    }
    std::vector<Bytes> second;
    for (int i = 0; i < 25; ++i) {
        Bytes r = DirectoryRecord({uint32_t(100 + 4 * i), uint32_t(4096 + i), uint8_t(i < 24 ? kMultiExtent : 0), "BIG.BIN;1", {}});
        (used + r.size() <= 2048 ? first : second).push_back(r);
        if (used + r.size() <= 2048) used += r.size();
    }
    second.push_back(DirectoryRecord({40, 7, 0, "AFTER.TXT;1", {}}));
    ASSERT_GE(second.size(), 2u);  // the chain does cross the boundary
    b.WriteBlock(t, 20, Sector(first));
    b.WriteBlock(t, 21, Sector(second));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    ASSERT_TRUE(Read(track));
    auto paths = Paths(track);
    const scan::FoundItem* big = paths["BIG.BIN;1"];
    ASSERT_NE(big, nullptr);
    EXPECT_TRUE(big->flags & scan::ItemFragmented);
    ASSERT_EQ(big->count, 25u);
    const scan::ExtentPair* extents = scan::ItemExtentList(big);
    ASSERT_NE(extents, nullptr);
    std::uint32_t total = 0;
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(extents[i].start, 100 + 4 * i);
        EXPECT_EQ(extents[i].length, 4096u + i);
        total += 4096 + i;
    }
    EXPECT_EQ(big->size, total);
    EXPECT_EQ(big->start, 100);
    EXPECT_EQ(paths["AFTER.TXT;1"]->size, 7u);
}

TEST_F(IsoLayoutTest, RockRidgeNamesAreUsedUnlessTheSystemUseAreaIsOfAnotherVersion) {
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    VolumeFields fields;
    fields.volumeSpace = 300;
    fields.rootExtent = 20;
    b.WriteBlock(t, 16, PrimaryDescriptor(fields));
    Bytes px{'P', 'X', 12, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes rrUse = px;
    const Bytes nm = NameEntry("Long Name.txt");
    rrUse.insert(rrUse.end(), nm.begin(), nm.end());
    b.WriteBlock(t, 20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({30, 5, 0, "LONGNAME.TXT;1", rrUse}),
                                DirectoryRecord({31, 6, 0, "OTHER.TXT;1", NameEntry("other-name", 2)})}));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    ASSERT_TRUE(Read(track));
    auto paths = Paths(track);
    EXPECT_EQ(paths.count("Long Name.txt"), 1u);
    EXPECT_EQ(paths.count("OTHER.TXT;1"), 1u);
    EXPECT_TRUE(track->flags & scan::TrackRockRidge);
}

TEST_F(IsoLayoutTest, VolumeSpanningTheNextTrackTakesItOver) {
    DiscBuilder b(dir_);
    const int t1 = b.Track(TrackKind::kMode1, 300);
    const int t2 = b.Track(TrackKind::kMode1, 300);
    const int32_t start2 = b.TrackStart(t2);
    VolumeFields fields;
    fields.volumeSpace = static_cast<uint32_t>(start2 + 300);
    fields.rootExtent = 20;
    b.WriteBlock(t1, 16, PrimaryDescriptor(fields));
    b.WriteBlock(t1, 20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({uint32_t(start2 + 50), 10, 0, "LATE.TXT;1", {}})}));
    b.Directive("unreadable " + std::to_string(start2 + 16));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, start2);
    scan::TrackNode* second = AddTrack(start2, start2 + 300, 2);
    AddLeadOut(start2 + 300);

    shell_.ScriptAnswers({DialogAnswer::PressButton(1)});  // Yes
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(Shown(MessageText(218, 2, 1)));
    EXPECT_TRUE(LogHas("Error reading track 2 sector " + std::to_string(start2 + 16) + " for continuation check."));
    EXPECT_EQ(track->end, start2 + 300);
    EXPECT_TRUE(second->flags & scan::TrackContinued);
    auto paths = Paths(track);
    EXPECT_FALSE(paths["LATE.TXT;1"]->flags & scan::ItemMissing);
}

TEST_F(IsoLayoutTest, ContinuationAnsweredNoLeavesTheNextTrackAlone) {
    DiscBuilder b(dir_);
    const int t1 = b.Track(TrackKind::kMode1, 300);
    const int t2 = b.Track(TrackKind::kMode1, 300);
    const int32_t start2 = b.TrackStart(t2);
    VolumeFields fields;
    fields.volumeSpace = static_cast<uint32_t>(start2 + 300);
    fields.rootExtent = 20;
    b.WriteBlock(t1, 16, PrimaryDescriptor(fields));
    b.WriteBlock(t1, 20, Sector({SelfAndParent(20, 2048, 20, 2048), DirectoryRecord({uint32_t(start2 + 50), 10, 0, "LATE.TXT;1", {}})}));
    b.Directive("unreadable " + std::to_string(start2 + 16));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, start2);
    scan::TrackNode* second = AddTrack(start2, start2 + 300, 2);
    AddLeadOut(start2 + 300);
    shell_.ScriptAnswers({DialogAnswer::PressButton(2)});  // No
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(Shown(MessageText(218, 2, 1)));
    EXPECT_EQ(track->end, start2);
    EXPECT_FALSE(second->flags & scan::TrackContinued);
    EXPECT_TRUE(Paths(track)["LATE.TXT;1"]->flags & scan::ItemMissing);
}

// Block 16 reads as zeros; the Joliet descriptor after it leads to an empty
// tree and the block after that cannot be read: the search goes on quietly
// and the directory search finds the primary root.
TEST_F(IsoLayoutTest, ZeroedDescriptorSearchStaysQuietPastAFailedJolietVolume) {
    SampleVolume volume;
    volume.joliet = true;
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    volume.Write(b, t);
    b.WriteBlock(t, 16, Bytes(2048, 0));
    b.WriteBlock(t, 25, Bytes(2048, 0));
    b.Directive("unreadable 18");
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(LogHas("No directory information collected."));
    EXPECT_EQ(DialogTexts(), std::vector<std::string>{MessageText(156, 1, 20)});
    EXPECT_EQ(Paths(track).count("DIRA/SUBB/FILE3.TXT;1"), 1u);
}

TEST_F(IsoLayoutTest, CloseRequestStopsTheReadBeforeTheTree) {
    scan::TrackNode* track = InsertSample();
    scan::CloseRequested = 1;
    EXPECT_FALSE(Read(track));
    EXPECT_TRUE(LogHas("Abort requested during directory scan, Abort=0, CloseReq=1"));
    EXPECT_EQ(track->rootItem, nullptr);
}

TEST_F(IsoLayoutTest, UnconvertibleJolietNamesAreReplacedAndReported) {
    SampleVolume volume;
    volume.joliet = true;
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    volume.Write(b, t);
    b.WriteBlock(t, 25, Sector({SelfAndParent(25, 2048, 25, 2048),
                                DirectoryRecord({30, 5000, 0, std::string("\xD8\x00\x00" "a", 4), {}})}));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    ASSERT_TRUE(Read(track));
    EXPECT_EQ(Paths(track).count("?a"), 1u);
    EXPECT_TRUE(Shown(MessageText(128)));
}

TEST_F(IsoLayoutTest, NextTrackWithItsOwnVolumeIsNotTakenOver) {
    DiscBuilder b(dir_);
    const int t1 = b.Track(TrackKind::kMode1, 300);
    const int t2 = b.Track(TrackKind::kMode1, 300);
    const int t3 = b.Track(TrackKind::kMode1, 300);
    const int32_t start2 = b.TrackStart(t2), start3 = b.TrackStart(t3);
    VolumeFields fields;
    fields.volumeSpace = static_cast<uint32_t>(start3 + 300);
    fields.rootExtent = 20;
    b.WriteBlock(t1, 16, PrimaryDescriptor(fields));
    b.WriteBlock(t1, 20, Sector({SelfAndParent(20, 2048, 20, 2048)}));
    VolumeFields own = fields;
    own.rootExtent = static_cast<uint32_t>(start2 + 20);
    b.WriteBlock(t2, 16, PrimaryDescriptor(own));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, start2);
    scan::TrackNode* second = AddTrack(start2, start3, 2);
    AddTrack(start3, start3 + 300, 3);
    AddLeadOut(start3 + 300);
    ASSERT_TRUE(Read(track));
    EXPECT_EQ(track->end, start2);
    EXPECT_FALSE(second->flags & scan::TrackContinued);
    // The descriptor block was read again after the check used its buffer.
    const auto reads = BlocksRead();
    EXPECT_EQ(std::count(reads.begin(), reads.end(), 16), 2);
}

TEST_F(IsoLayoutTest, DirectoriesDeeperThanTwentyLevelsAppearWithoutContents) {
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    VolumeFields fields;
    fields.volumeSpace = 300;
    fields.rootExtent = 20;
    b.WriteBlock(t, 16, PrimaryDescriptor(fields));
    // Level n's directory is at block 20 + n and holds D<n+1> and a file.
    for (int level = 0; level < 25; ++level) {
        const uint32_t self = 20 + level;
        b.WriteBlock(t, self, Sector({SelfAndParent(self, 2048, level ? self - 1 : self, 2048),
                                      DirectoryRecord({self + 1, 2048, kDirectory, "D" + std::to_string(level + 1), {}}),
                                      DirectoryRecord({100, 1, 0, "F.TXT;1", {}})}));
    }
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    ASSERT_TRUE(Read(track));
    std::string path;
    const auto paths = Paths(track);
    for (int level = 1; level <= 19; ++level) {
        path += (level > 1 ? "/D" : "D") + std::to_string(level);
        ASSERT_EQ(paths.count(path + "/F.TXT;1"), 1u) << path;
    }
    path += "/D20";
    ASSERT_EQ(paths.count(path), 1u);
    EXPECT_EQ(paths.at(path)->firstChild, nullptr);
    const auto reads = BlocksRead();
    EXPECT_EQ(std::count(reads.begin(), reads.end(), 40), 0);
}

TEST_F(IsoLayoutTest, SecondSessionRootBeforeItsTrackGivesNoTree) {
    DiscBuilder b(dir_);
    const int t1 = b.Track(TrackKind::kMode1, 300);
    SampleVolume first;
    first.Write(b, t1);
    b.Session();
    const int t2 = b.Track(TrackKind::kMode1, 300);
    const int32_t start2 = b.TrackStart(t2);
    VolumeFields fields;
    fields.volumeSpace = static_cast<uint32_t>(start2 + 300);
    fields.rootExtent = 20;  // the first session's root
    b.WriteBlock(t2, 16, PrimaryDescriptor(fields));
    Insert(b);
    AddTrack(0, 300);
    scan::TrackNode* track = AddTrack(start2, start2 + 300, 2, 2);
    AddLeadOut(start2 + 300, 2);
    EXPECT_FALSE(Read(track));
    EXPECT_TRUE(Shown(MessageText(204, 2)));
    EXPECT_EQ(track->rootItem, nullptr);
    EXPECT_FALSE(track->flags & scan::TrackIso);
    EXPECT_TRUE(LogHas("Directory before track, trying offset: 20, " + std::to_string(start2)));
}

TEST_F(IsoLayoutTest, HighSierraVolumeIsReadWithItsOwnRecordLayout) {
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 300);
    VolumeFields fields;
    fields.volumeId = "OLDDISC";
    fields.volumeSpace = 300;
    fields.rootExtent = 20;
    b.WriteBlock(t, 16, HighSierraDescriptor(fields));
    b.WriteBlock(t, 20, Sector({HighSierraRecord({20, 2048, kDirectory, std::string(1, '\0'), {}}),
                                HighSierraRecord({20, 2048, kDirectory, std::string(1, '\1'), {}}),
                                HighSierraRecord({21, 2048, kDirectory, "SUB", {}}),
                                HighSierraRecord({30, 77, 0, "README.TXT;1", {}})}));
    b.WriteBlock(t, 21, Sector({HighSierraRecord({21, 2048, kDirectory, std::string(1, '\0'), {}}),
                                HighSierraRecord({20, 2048, kDirectory, std::string(1, '\1'), {}}),
                                HighSierraRecord({31, 5, 0, "INNER.DAT;1", {}})}));
    Insert(b);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(track->flags & scan::TrackHighSierra);
    EXPECT_STREQ(track->rootItem->Name(), "\\ OLDDISC (Session 1)");
    EXPECT_EQ(FileSizes(track), (std::map<std::string, std::uint32_t>{{"README.TXT", 77}, {"SUB/INNER.DAT", 5}}));
    EXPECT_EQ(shell_.StatusTexts().back(), "Reading track 1: High Sierra volume OLDDISC");
}

}  // namespace
}  // namespace dravik::test
