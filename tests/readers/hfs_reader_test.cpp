// The HFS reader on volumes that hfsutils and genisoimage make at test
// time, as they are and reshaped (a partition map around them, a zeroed
// master directory block, a wrong allocation start, an unreadable catalog
// node), and on mutated structures. Every file put in must be found by
// path and size, and its data fork read through the sectors the reader
// gives must be its bytes.
#include <filesystem>
#include <fstream>
#include <random>

#include "iso_reader_fixture.h"
#include "program/readers/hfs/hfs_reader.h"
#include "program/scan/driver/program_file_systems.h"
#include "program/scan/driver/track_probes.h"
#include "program/scan/mac_file_info.h"
#include "support/hfs_images.h"

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kHfsTools = {"hformat", "hmount", "hcopy", "hmkdir", "humount", "hrename", "hdel", "hvol"};

// The files of the standard test volume: Mac path, catalogue path, size.
struct VolumeFile {
    std::string macPath;
    std::string path;
    std::size_t size;
};
const std::vector<VolumeFile> kFiles = {
    {":Readme", "Readme", 3000},
    {":Docs:Notes.txt", "Docs/Notes.txt", 10000},
    {":Docs:Sub:Deep", "Docs/Sub/Deep", 1},
    {":Empty", "Empty", 0},
    {":Trail  ", "Trail", 700},                 // trailing blanks go
    {":Caf\x8e", "Caf\xc3\xa9", 600},           // Mac Roman e acute, as UTF-8
    {":A/B", "A/B", 5},                         // a slash is only a character in HFS
};

class HfsReaderTest : public IsoReaderTest {
protected:
    void SetUp() override {
        IsoReaderTest::SetUp();
        scan::InstallProgramFileSystems();
    }

    static bool Missing(const std::vector<std::string>& tools) { return !HaveTools(tools); }

    // The standard volume as hformat and hcopy leave it.
    std::string MakeStandardVolume() {
        HfsVolumeMaker maker(dir_, "standard.hfs", 1600, "Mac Volume");
        maker.Folder(":Docs");
        maker.Folder(":Docs:Sub");
        for (const VolumeFile& file : kFiles) maker.File(file.macPath, PatternContent(file.path, file.size));
        maker.Finish();
        EXPECT_TRUE(maker.ok()) << maker.error();
        return maker.path();
    }

    // An image file served as one data track, read as the scan reads it.
    scan::TrackNode* ScanImage(const std::vector<std::uint8_t>& image, const std::string& name = "disc.iso") {
        const std::string path = dir_.File(name);
        WriteWholeFile(path, image);
        return ScanPath(path);
    }
    scan::TrackNode* ScanPath(const std::string& path) {
        Insert(path);
        scan::TrackNode* track = AddTrack(0, static_cast<std::int32_t>(fs::file_size(path) / 2048));
        AddLeadOut(track->end);
        Read(track);
        return track;
    }

    // The data fork through the sectors the reader recorded.
    std::string DataFork(const scan::FoundItem* item) {
        const scan::MacFileInfo* mac = scan::ItemMacFileInfo(item);
        if (!mac) return "<no Mac details>";
        std::string bytes;
        std::vector<std::uint8_t> block(2048);
        for (const scan::SectorRun& run : mac->data.runs) {
            for (std::uint32_t i = 0; i < run.sectors && bytes.size() < mac->data.size; ++i) {
                const std::int64_t sector = run.firstSector + i;
                if (!device_->ReadCD(static_cast<int>(sector / 4), block.data(), 1)) return "<unreadable>";
                bytes.append(reinterpret_cast<const char*>(block.data()) + (sector % 4) * 512, 512);
            }
        }
        bytes.resize(std::min<std::size_t>(bytes.size(), mac->data.size));
        return bytes;
    }

    // Every standard file is there with its size and bytes.
    void ExpectStandardFiles(const scan::TrackNode* track) {
        ASSERT_NE(track->rootItem, nullptr);
        EXPECT_TRUE(track->flags & scan::TrackHfs);
        EXPECT_EQ(std::string(track->rootItem->Name()), scan::RootItemName("Mac Volume", track->session));
        const auto paths = Paths(track);
        for (const VolumeFile& file : kFiles) {
            SCOPED_TRACE(file.path);
            const auto found = paths.find(file.path);
            ASSERT_NE(found, paths.end());
            EXPECT_EQ(found->second->size, file.size);
            EXPECT_FALSE(found->second->flags & scan::ItemMissing);
            EXPECT_EQ(DataFork(found->second), PatternContent(file.path, file.size));
        }
        ASSERT_TRUE(paths.count("Docs/Sub"));
        EXPECT_TRUE(paths.at("Docs/Sub")->flags & scan::ItemDirectory);
        EXPECT_EQ(paths.at("Docs")->count, 3u);  // Notes.txt, Sub, and Sub's Deep
    }
};

TEST_F(HfsReaderTest, VolumesFromHformatAreReadWithAndWithoutAPartitionMap) {
    if (Missing(kHfsTools)) GTEST_SKIP() << "hfsutils (hformat, hcopy, hmount...) is not installed";
    const std::vector<std::uint8_t> volume = ReadWholeFile(MakeStandardVolume());
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
    };
    const Case cases[] = {
        {"unpartitioned", volume},
        {"in a partition map", WrapInPartitionMap(volume, 64)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scan::ClearTrackList(false);
        scan::TrackNode* track = ScanImage(c.image, std::string(c.what[0] == 'u' ? "plain" : "mapped") + ".iso");
        ExpectStandardFiles(track);
        EXPECT_FALSE(shell_.StatusTexts().empty());
    }
}

TEST_F(HfsReaderTest, DamagedVolumesAreReadThroughTheirFallbacks) {
    if (Missing(kHfsTools)) GTEST_SKIP() << "hfsutils (hformat, hcopy, hmount...) is not installed";
    const std::vector<std::uint8_t> volume = ReadWholeFile(MakeStandardVolume());
    const std::uint16_t bitmapStart = GetSectorBe16(volume, 2, 14);
    const std::uint16_t allocationStart = GetSectorBe16(volume, 2, 28);
    ASSERT_GT(allocationStart, bitmapStart);  // hformat puts the blocks right after the bitmap

    std::vector<std::uint8_t> zeroed = volume;
    ZeroSector(zeroed, 2);
    std::vector<std::uint8_t> wrongStart = volume;
    PutSectorBe16(wrongStart, 2, 28, static_cast<std::uint16_t>(allocationStart + 40));
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
        std::string logged;
    };
    const Case cases[] = {
        {"zeroed MDB, unpartitioned", zeroed, "alternate copy"},
        {"zeroed MDB, in a partition map", WrapInPartitionMap(zeroed, 64), "alternate copy"},
        {"node 0 not at drAlBlSt", wrongStart, "AlBegin=" + std::to_string(allocationStart) + ","},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scan::ClearTrackList(false);
        scan::TrackNode* track = ScanImage(c.image, "damaged" + std::to_string(index++) + ".iso");
        ExpectStandardFiles(track);
        EXPECT_TRUE(LogHas(c.logged));
    }
    // The volume read with a wrong start keeps the base after the bitmap.
    EXPECT_EQ(scan::TrackListHead->readerWord, allocationStart);
}

TEST_F(HfsReaderTest, ImpossibleBlockAndNodeSizesEndTheVolumeCleanly) {
    if (Missing(kHfsTools)) GTEST_SKIP() << "hfsutils (hformat, hcopy, hmount...) is not installed";
    const std::vector<std::uint8_t> volume = ReadWholeFile(MakeStandardVolume());
    const std::uint64_t header = CatalogPlace(volume, 0).NodeSector(0);
    struct Case {
        const char* what;
        std::uint64_t sector;
        std::size_t offset;
        std::uint16_t value;
    };
    // drAlBlkSiz is 32 bits at MDB byte 20; its low half is at 22.
    const Case cases[] = {
        {"allocation block size 0", 2, 22, 0},
        {"allocation block size not a multiple of 512", 2, 22, 1000},
        {"node size 0", header, 32, 0},
        {"node size not a multiple of 512", header, 32, 768},
        {"node larger than an allocation block", header, 32, 4096},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> image = volume;
        PutSectorBe16(image, c.sector, c.offset, c.value);
        const std::string path = dir_.File("sizes" + std::to_string(index++) + ".iso");
        WriteWholeFile(path, image);
        scan::ClearTrackList(false);
        Insert(path);
        // As a second file system, so that the alternate copy at the
        // track's end (intact) is not asked for.
        scan::TrackNode* track = AddTrack(0, static_cast<std::int32_t>(image.size() / 2048));
        EXPECT_FALSE(readers::ReadHfsTrack(track, 1));
        EXPECT_EQ(track->rootItem, nullptr);
    }
}

TEST_F(HfsReaderTest, AnUnreadableCatalogNodeLosesOnlyItsOwnRecords) {
    if (Missing(kHfsTools)) GTEST_SKIP() << "hfsutils (hformat, hcopy, hmount...) is not installed";
    HfsVolumeMaker maker(dir_, "many.hfs", 1600, "Many");
    const int kCount = 90;
    auto name = [](int i) {
        char text[40];
        std::snprintf(text, sizeof text, "File number %03d, long name", i);
        return std::string(text);
    };
    for (int i = 0; i < kCount; ++i) maker.File(":" + name(i), PatternContent(name(i), 100));
    maker.Finish();
    ASSERT_TRUE(maker.ok()) << maker.error();
    const std::vector<std::uint8_t> image = ReadWholeFile(maker.path());

    // Follow the leaf chain in the image to a node in its middle.
    const HfsCatalogPlace place = CatalogPlace(image, 0);
    std::vector<std::uint32_t> chain;
    for (std::uint32_t n = GetSectorBe32(image, place.NodeSector(0), 24); n != 0 && chain.size() < 100;
         n = GetSectorBe32(image, place.NodeSector(n), 0)) {
        ASSERT_NE(place.NodeSector(n), 0u);
        chain.push_back(n);
    }
    ASSERT_GE(chain.size(), 5u);
    const std::int64_t badBlock = static_cast<std::int64_t>(place.NodeSector(chain[chain.size() / 2]) / 4);
    const auto blockOf = [&](std::uint32_t node) { return static_cast<std::int64_t>(place.NodeSector(node) / 4); };
    ASSERT_NE(blockOf(chain.front()), badBlock);
    ASSERT_NE(blockOf(chain.back()), badBlock);

    const std::string path = dir_.File("many.iso");
    WriteWholeFile(path, image);
    const std::string description = dir_.Write(
        "many.vdisc", "track mode1 file many.iso\nunreadable " + std::to_string(badBlock) + "\n");
    scan::TrackNode* track = ScanPath(description);
    ASSERT_NE(track->rootItem, nullptr);
    const auto paths = Paths(track);
    EXPECT_LT(paths.size(), std::size_t(kCount));
    EXPECT_GT(paths.size(), std::size_t(kCount) / 2);
    // Records on both sides of the lost node are kept.
    EXPECT_TRUE(paths.count(name(0)));
    EXPECT_TRUE(paths.count(name(kCount - 1)));
}

TEST_F(HfsReaderTest, FolderBeforeItsParentAndFragmentedFilesAreFoundWhole) {
    if (Missing(kHfsTools)) GTEST_SKIP() << "hfsutils (hformat, hcopy, hmount...) is not installed";
    HfsVolumeMaker maker(dir_, "moved.hfs", 800, "Moved");
    // P (made first, lower ID) moved into Q: P's child C, keyed by P's ID,
    // comes before P's own record, keyed by Q's ID.
    maker.Folder(":P");
    maker.Folder(":P:C");
    maker.File(":P:C:Inner", PatternContent("Inner", 300));
    maker.Folder(":Q");
    maker.Rename(":P", ":Q:P");
    // Small files with every second one deleted leave holes that a file
    // as big as the free space has to fill: many extents, most of them in
    // the extents overflow file.
    for (int i = 0; i < 40; ++i) maker.File(":s" + std::to_string(i), PatternContent("small", 1500));
    for (int i = 0; i < 40; i += 2) maker.Delete(":s" + std::to_string(i));
    const std::uint64_t free = maker.FreeBytes();
    ASSERT_GT(free, 20000u);
    const std::size_t bigSize = static_cast<std::size_t>(free - 4096);
    maker.File(":Big", PatternContent("Big", bigSize));
    maker.Finish();
    ASSERT_TRUE(maker.ok()) << maker.error();

    scan::TrackNode* track = ScanImage(ReadWholeFile(maker.path()));
    const auto paths = Paths(track);
    ASSERT_TRUE(paths.count("Q/P/C/Inner"));
    EXPECT_EQ(DataFork(paths.at("Q/P/C/Inner")), PatternContent("Inner", 300));
    ASSERT_TRUE(paths.count("Big"));
    const scan::FoundItem* big = paths.at("Big");
    EXPECT_EQ(big->size, bigSize);
    EXPECT_FALSE(big->flags & scan::ItemMissing);
    EXPECT_TRUE(big->flags & scan::ItemFragmented);
    EXPECT_GT(scan::ItemMacFileInfo(big)->data.runs.size(), 3u);
    EXPECT_EQ(DataFork(big), PatternContent("Big", bigSize));
}

TEST_F(HfsReaderTest, HybridDiscsShowBothTrees) {
    if (Missing({"genisoimage"})) GTEST_SKIP() << "genisoimage is not installed";
    const std::string source = dir_.File("hybrid-src");
    fs::create_directories(source + "/FOLDER");
    std::ofstream(source + "/README.TXT", std::ios::binary) << PatternContent("README.TXT", 5000);
    std::ofstream(source + "/FOLDER/DATA.BIN", std::ios::binary) << PatternContent("FOLDER/DATA.BIN", 70000);
    for (const bool partitioned : {false, true}) {
        SCOPED_TRACE(partitioned ? "with -part" : "without -part");
        scan::ClearTrackList(false);
        const std::string image = dir_.File(partitioned ? "part.iso" : "plain.iso");
        const std::string command = "genisoimage -quiet -hfs " + std::string(partitioned ? "-part " : "") +
                                    "-V HYBRID -o '" + image + "' '" + source + "' 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        scan::TrackNode* iso = ScanPath(image);
        ASSERT_NE(iso->rootItem, nullptr);
        EXPECT_TRUE(iso->flags & scan::TrackIso);
        ASSERT_TRUE(scan::ProbeSecondFileSystem(iso));
        scan::TrackNode* hfs = iso->next;
        ASSERT_TRUE(hfs->flags & scan::TrackSecondFs);
        ASSERT_TRUE(hfs->flags & scan::TrackHfs);
        const auto paths = Paths(hfs);
        for (const std::string& name : {std::string("README.TXT"), std::string("FOLDER/DATA.BIN")}) {
            SCOPED_TRACE(name);
            ASSERT_TRUE(paths.count(name));
            EXPECT_EQ(DataFork(paths.at(name)), PatternContent(name, paths.at(name)->size));
            EXPECT_EQ(paths.at(name)->size, name == "README.TXT" ? 5000u : 70000u);
        }
        EXPECT_EQ(FileSizes(iso).count("README.TXT"), 1u);
    }
}

// Mutated partition map, master directory block and catalog node sectors:
// the reader may find anything or nothing, but must neither crash, read
// outside its buffers (the sanitizers watch) nor hang.
TEST_F(HfsReaderTest, MutatedStructuresNeverCrashOrHang) {
    if (Missing(kHfsTools)) GTEST_SKIP() << "hfsutils (hformat, hcopy, hmount...) is not installed";
    const std::vector<std::uint8_t> image = WrapInPartitionMap(ReadWholeFile(MakeStandardVolume()), 64);
    const std::string path = dir_.File("fuzz.iso");
    WriteWholeFile(path, image);
    Insert(path);
    const HfsCatalogPlace place = CatalogPlace(image, 64);
    // Block 0 (descriptor, map, master directory block when unpartitioned),
    // the block of the partition's master directory block, the catalog's
    // first blocks.
    std::vector<std::int32_t> targets = {0, static_cast<std::int32_t>((64 + 2) / 4)};
    for (std::uint32_t node = 0; node < 12; node += 4)
        targets.push_back(static_cast<std::int32_t>(place.NodeSector(node) / 4));
    std::mt19937 random(20);
    const auto blocks = static_cast<std::int32_t>(image.size() / 2048);
    for (int round = 0; round < 400; ++round) {
        const std::int32_t block = targets[random() % targets.size()];
        std::vector<std::uint8_t> bytes(image.begin() + block * 2048, image.begin() + (block + 1) * 2048);
        const int edits = 1 + static_cast<int>(random() % 12);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % bytes.size();
            switch (random() % 4) {
                case 0: bytes[at] = static_cast<std::uint8_t>(random()); break;
                case 1: bytes[at] = 0xFF; break;
                case 2: bytes[at] = 0; break;
                default: bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
            }
        }
        served_->Override(block, bytes);
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, blocks);
        readers::ReadHfsTrack(track, 0);
        served_->Override(block, std::vector<std::uint8_t>(image.begin() + block * 2048,
                                                           image.begin() + (block + 1) * 2048));
    }
    // The unmutated disc still reads.
    scan::ClearTrackList(false);
    scan::TrackNode* track = AddTrack(0, blocks);
    ASSERT_TRUE(readers::ReadHfsTrack(track, 0));
    ExpectStandardFiles(track);
}

}  // namespace
}  // namespace dravik::test
