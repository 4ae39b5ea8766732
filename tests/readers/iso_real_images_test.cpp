// The ISO reader on images that real mastering tools make at test time
// (genisoimage, xorriso): the catalogue must hold every file that was put
// in, path by path and size by size, and each file's first block must hold
// that file's bytes. Each test names the exact command that made its image.
#include "iso_real_image_fixture.h"
#include "program/scan/driver/scan_thread.h"

namespace dravik::test {
namespace {

TEST_F(RealImageTest, PlainIsoFromGenisoimage) {
    REQUIRE_TOOL("genisoimage");
    AddFile("README.TXT", 1234);
    AddFile("EMPTY.DAT", 0);
    AddFile("DOCS/GUIDE.TXT", 70000);
    AddFile("DOCS/DEEP/NOTE.TXT", 2048);
    Run("genisoimage -quiet -V PLAINVOL -o plain.iso src");
    const std::string image = dir_.File("plain.iso");
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    EXPECT_STREQ(track->rootItem->Name(), "\\ PLAINVOL (Session 1)");
    ExpectFiles(track);
    ExpectContents(track);
    EXPECT_TRUE(DialogTexts().empty());
    EXPECT_EQ(track->rootItem->count, 6u);
}

TEST_F(RealImageTest, JolietAndRockRidgeFromGenisoimage) {
    REQUIRE_TOOL("genisoimage");
    AddFile("Read Me First.txt", 100);
    AddFile("Ünïcode ñame.txt", 3000);
    AddFile("Projects/a rather long file name that plain ISO cannot hold.dat", 5000);
    AddFile("Projects/Sub Folder/notes.md", 10);
    Run("genisoimage -quiet -R -J -joliet-long -input-charset utf-8 -V MIXED -o mixed.iso src");
    const std::string image = dir_.File("mixed.iso");
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(track->flags & scan::TrackJoliet);
    ExpectFiles(track);
    ExpectContents(track);

    // The primary descriptor's tree gives the same files by their Rock Ridge names.
    scan::ClearTrackList(false);
    settings::ProgramSettings.IgnoreJoliet = 1;
    track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    EXPECT_FALSE(track->flags & scan::TrackJoliet);
    EXPECT_TRUE(track->flags & scan::TrackRockRidge);
    ExpectFiles(track);
}

TEST_F(RealImageTest, MultiExtentFileFromXorriso) {
    REQUIRE_TOOL("xorriso");
    AddFile("small.txt", 5);
    // A sparse file just over 4 GiB needs two extents. Only the image's
    // first 4 MiB (descriptors and directories) are kept; the file's data
    // then lies beyond the track, which the reader must say.
    const std::uint64_t hugeSize = 4295000000ull;
    std::ofstream(fs::path(source_) / "huge.bin").close();
    fs::resize_file(fs::path(source_) / "huge.bin", hugeSize);
    Run("xorriso -as mkisofs -iso-level 3 -R -J -V HUGE -o - src 2>/dev/null | head -c 4194304 > huge.iso");
    const std::string image = dir_.File("huge.iso");
    ASSERT_EQ(fs::file_size(image), 4194304u);
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    auto paths = Paths(track);
    ASSERT_EQ(paths.count("huge.bin"), 1u);
    const scan::FoundItem* huge = paths["huge.bin"];
    EXPECT_TRUE(huge->flags & scan::ItemFragmented);
    ASSERT_EQ(huge->count, 2u);
    const scan::ExtentPair* extents = scan::ItemExtentList(huge);
    ASSERT_NE(extents, nullptr);
    EXPECT_EQ(std::uint64_t{extents[0].length} + extents[1].length, hugeSize);
    EXPECT_EQ(extents[0].length, 0xFFFFF800u);
    EXPECT_EQ(extents[1].start, extents[0].start + 0xFFFFF800 / 2048);
    EXPECT_EQ(huge->size, static_cast<std::uint32_t>(hugeSize));
    EXPECT_TRUE(huge->flags & scan::ItemMissing);
    EXPECT_EQ(paths["small.txt"]->size, 5u);
}

TEST_F(RealImageTest, OffsetImageBehindAnAudioTrack) {
    REQUIRE_TOOL("genisoimage");
    AddFile("TRACK2.TXT", 4000);
    AddFile("SUB/INNER.TXT", 300);
    // Mastered for block 0 but written as the second track.
    Run("genisoimage -quiet -J -V OFFSET -o offset.iso src");
    const std::int32_t start = 1200;
    const std::string description = dir_.Write("offset.vdisc",
                                               "session\n"
                                               "track audio zero length 1000\n"
                                               "track mode1 file offset.iso start 1200\n");
    Insert(description);
    const std::int32_t end = start + Blocks(dir_.File("offset.iso"));
    AddTrack(0, 1000, 1, 1, 0x00);
    scan::TrackNode* track = AddTrack(start, end, 2);
    AddLeadOut(end);
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(LogHas("Image offset detected, processing offset image"));
    ExpectFiles(track);
    for (const auto& [path, item] : Paths(track)) EXPECT_GE(item->start, start) << path;
    ExpectContents(track);
    EXPECT_TRUE(DialogTexts().empty());
}

TEST_F(RealImageTest, MultiSessionImageFromGenisoimage) {
    REQUIRE_TOOL("genisoimage");
    AddFile("FIRST.TXT", 3000);
    AddFile("OLD/KEEP.TXT", 100);
    Run("genisoimage -quiet -R -J -V MULTI -o s1.iso src");
    const std::int32_t length1 = Blocks(dir_.File("s1.iso"));
    const std::int32_t start2 = length1 + 11400;
    const auto firstFiles = files_;
    AddFile("SECOND.TXT", 5000);
    AddFile("NEW/ADDED.TXT", 42);
    fs::remove_all(fs::path(source_) / "FIRST.TXT");
    fs::remove_all(fs::path(source_) / "OLD");
    Run("genisoimage -quiet -R -J -V MULTI -C 0," + std::to_string(start2) + " -M s1.iso -o s2.iso src");
    const std::int32_t length2 = Blocks(dir_.File("s2.iso"));
    Insert(dir_.Write("multi.vdisc", "medium cd-r\n"
                                     "session\n"
                                     "track mode1 file s1.iso\n"
                                     "session start " + std::to_string(start2) + "\n"
                                     "track mode1 file s2.iso\n"));
    scan::TrackNode* first = AddTrack(0, length1, 1, 1);
    scan::TrackNode* second = AddTrack(start2, start2 + length2, 2, 2);
    AddLeadOut(start2 + length2, 2);

    ASSERT_TRUE(Read(first));
    EXPECT_EQ(FileSizes(first), firstFiles);
    ExpectContents(first);
    ASSERT_TRUE(Read(second));
    EXPECT_STREQ(second->rootItem->Name(), "\\ MULTI (Session 2)");
    ExpectFiles(second);  // both sessions' files
    ExpectContents(second);
    const auto paths = Paths(second);
    const auto startOf = [&](const std::string& name) {
        auto found = paths.find(name);
        if (found == paths.end()) found = paths.find(name + ";1");
        return found == paths.end() ? -1 : found->second->start;
    };
    EXPECT_GE(startOf("FIRST.TXT"), 0);
    EXPECT_LT(startOf("FIRST.TXT"), length1);
    EXPECT_GE(startOf("SECOND.TXT"), start2);
}

// The same two sessions through the whole scan: the scan driver builds the
// track list from the drive's TOC and hands each track to the reader.
TEST_F(RealImageTest, WholeScanReadsBothSessionsOfATwoSessionDisc) {
    REQUIRE_TOOL("genisoimage");
    AddFile("FIRST.TXT", 3000);
    Run("genisoimage -quiet -R -J -V SCANNED -o s1.iso src");
    const std::int32_t start2 = Blocks(dir_.File("s1.iso")) + 11400;
    AddFile("SECOND.TXT", 5000);
    Run("genisoimage -quiet -R -J -V SCANNED -C 0," + std::to_string(start2) + " -M s1.iso -o s2.iso src");
    Insert(dir_.Write("multi.vdisc", "medium cd-r\n"
                                     "session\n"
                                     "track mode1 file s1.iso\n"
                                     "session start " + std::to_string(start2) + "\n"
                                     "track mode1 file s2.iso\n"));
    device_->SetTrackInfoCmd(0x52);
    scan::ScanThread();
    std::vector<scan::TrackNode*> data;
    for (scan::TrackNode* node = scan::TrackListHead; node; node = node->next)
        if (node->number != scan::kLeadOutNumber) data.push_back(node);
    ASSERT_EQ(data.size(), 2u);
    ASSERT_NE(data[0]->rootItem, nullptr);
    ASSERT_NE(data[1]->rootItem, nullptr);
    EXPECT_STREQ(data[0]->rootItem->Name(), "\\ SCANNED (Session 1)");
    EXPECT_STREQ(data[1]->rootItem->Name(), "\\ SCANNED (Session 2)");
    EXPECT_EQ(FileSizes(data[0]), (std::map<std::string, std::uint32_t>{{"FIRST.TXT", 3000}}));
    ExpectFiles(data[1]);
    ExpectContents(data[1]);
    EXPECT_EQ(scan::VolumeName, "SCANNED");
}

// Recovery: a block 16 that reads as zeros, as many drives return a damaged
// sector, with and without a Joliet descriptor after it.
TEST_F(RealImageTest, ZeroedPrimaryDescriptorIsReadThroughTheJolietDescriptor) {
    REQUIRE_TOOL("genisoimage");
    AddFile("Alpha.txt", 700);
    AddFile("Dir/Beta.txt", 9000);
    Run("genisoimage -quiet -J -V ZEROED -o zeroed.iso src");
    const std::string image = dir_.File("zeroed.iso");
    ZeroBlock(image, 16);
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(track->flags & scan::TrackJoliet);
    EXPECT_STREQ(track->rootItem->Name(), "\\ ZEROED (Session 1)");
    ExpectFiles(track);
    ExpectContents(track);
    EXPECT_TRUE(LogHas("block 16 holds no volume descriptor"));
    EXPECT_TRUE(DialogTexts().empty());
}

TEST_F(RealImageTest, ZeroedPrimaryDescriptorWithoutJolietIsReadThroughTheDirectorySearch) {
    REQUIRE_TOOL("genisoimage");
    AddFile("ALPHA.TXT", 700);
    AddFile("DIR/BETA.TXT", 9000);
    Run("genisoimage -quiet -V ZEROED -o zeroed.iso src");
    const std::string image = dir_.File("zeroed.iso");
    const std::int32_t root = PathTableExtent(image, std::string(1, '\0'));
    ASSERT_GT(root, 17);
    ZeroBlock(image, 16);
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    EXPECT_TRUE(Shown(MessageText(156, 1, root)));
    ExpectFiles(track);
    ExpectContents(track);
}

TEST_F(RealImageTest, ZeroedDataTrackWithoutAnyVolumeGivesNothingAndNoMessage) {
    const std::string image = dir_.File("zeros.iso");
    std::ofstream(image, std::ios::binary) << std::string(300 * 2048, '\0');
    Insert(image);
    scan::TrackNode* track = AddTrack(0, 300);
    AddLeadOut(300);
    EXPECT_FALSE(Read(track));
    EXPECT_EQ(track->rootItem, nullptr);
    EXPECT_TRUE(DialogTexts().empty());
}

// Recovery: a zeroed directory sector hides a subdirectory that the path
// table still lists.
TEST_F(RealImageTest, SubdirectoryOfAZeroedDirectoryIsRecoveredThroughThePathTable) {
    REQUIRE_TOOL("genisoimage");
    AddFile("top.txt", 10);
    AddFile("AAA/lost.txt", 20);
    AddFile("AAA/BBB/kept.txt", 3000);
    AddFile("AAA/BBB/CCC/deep.txt", 40);
    Run("genisoimage -quiet -R -V PATHS -o paths.iso src");
    const std::string image = dir_.File("paths.iso");
    const std::int32_t aaa = PathTableExtent(image, "AAA");
    ASSERT_GT(aaa, 0);
    ZeroBlock(image, aaa);
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    files_.erase("AAA/lost.txt");  // its directory record is gone
    ExpectFiles(track);
    ExpectContents(track);
    const auto paths = Paths(track);
    EXPECT_TRUE(paths.at("AAA/BBB")->flags & scan::ItemDirectory);
    EXPECT_EQ(paths.at("AAA")->count, 4u);  // BBB, kept.txt, CCC, deep.txt
    EXPECT_EQ(track->rootItem->count, 6u);
    EXPECT_TRUE(LogHas("recovered through the path table under AAA"));
    // The tree shows the recovered directories.
    const auto tree = TreeNames();
    EXPECT_NE(std::find(tree.begin(), tree.end(), "CCC"), tree.end());
}

}  // namespace
}  // namespace dravik::test
