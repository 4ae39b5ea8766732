// Rock Ridge on images genisoimage and xorriso make at test time: names of
// 200 and 255 bytes, a tree 12 levels deep (which genisoimage relocates
// into ".rr_moved"), a symbolic link, modification times and zisofs files.
#include <zlib.h>

#include "iso_real_image_fixture.h"
#include "program/readers/file_system_entries.h"
#include "program/scan/posix_file_info.h"

namespace dravik::test {
namespace {

class RockRidgeImageTest : public RealImageTest {
protected:
    // Twelve nested folders with a file at every level, two long names, a
    // link and a file with a known time.
    void AddTree() {
        std::string folder;
        for (int level = 1; level <= 12; ++level) {
            folder += "level" + std::to_string(level) + "/";
            AddFile(folder + "file" + std::to_string(level) + ".txt", 100 + level);
        }
        AddFile(std::string(196, 'n') + ".txt", 200);
        AddFile(std::string(251, 'm') + ".dat", 255);
        AddFile("dated.txt", 10);
        Run("TZ=UTC touch -d '2011-03-04 05:06:07' src/dated.txt");
        Run("ln -s level1/level2/file2.txt src/shortcut");
        files_["shortcut"] = 0;
    }

    void ExpectTree(const scan::TrackNode* track) {
        EXPECT_TRUE(track->flags & scan::TrackRockRidge);
        ExpectFiles(track);
        ExpectContents(track);
        const auto paths = Paths(track);
        for (const auto& [path, item] : paths) EXPECT_EQ(path.find("rr_moved"), std::string::npos) << path;
        ASSERT_EQ(paths.count("shortcut"), 1u);
        const std::string* target = scan::ItemLinkTarget(paths.at("shortcut"));
        ASSERT_NE(target, nullptr);
        EXPECT_EQ(*target, "level1/level2/file2.txt");
        const scan::ItemDate date = paths.at("dated.txt")->date;
        EXPECT_EQ(std::vector<int>({date.year, date.month, date.day, date.hour, date.minute, date.second}),
                  std::vector<int>({111, 3, 4, 5, 6, 7}));
        // Every folder counts what lies below it.
        EXPECT_EQ(paths.at("level1/level2/level3/level4/level5/level6/level7/level8/level9/level10")->count, 5u);
    }
};

TEST_F(RockRidgeImageTest, LongNamesDeepTreeLinkAndTimes) {
    struct Tool {
        const char* name;
        const char* command;
    };
    const Tool tools[] = {
        {"genisoimage", "rm -f rr.iso; TZ=UTC genisoimage -quiet -R -V RR -o rr.iso src"},
        {"xorriso", "rm -f rr.iso; TZ=UTC xorriso -as mkisofs -quiet -R -V RR -o rr.iso src"},
    };
    AddTree();
    for (const Tool& tool : tools) {
        SCOPED_TRACE(tool.name);
        if (!HaveTool(tool.name)) continue;
        Run(tool.command);
        const std::string image = dir_.File("rr.iso");
        Insert(image);
        scan::ClearTrackList(false);
        scan::TrackNode* track = AddTrack(0, Blocks(image));
        AddLeadOut(Blocks(image));
        ASSERT_TRUE(Read(track));
        ExpectTree(track);
    }
}

// A moved folder whose placeholder lost its "CL" entry is not lost with
// it: it is shown in the folder it was moved to, with everything below it.
TEST_F(RockRidgeImageTest, MovedFolderWithoutItsPlaceholderStaysInTheRelocationFolder) {
    REQUIRE_TOOL("genisoimage");
    AddTree();
    Run("genisoimage -quiet -R -V RR -o rr.iso src");
    const std::string image = dir_.File("rr.iso");
    std::string bytes = dir_.Read("rr.iso");
    const size_t link = bytes.find(std::string("CL\x0c\x01", 4));
    ASSERT_NE(link, std::string::npos);
    bytes.replace(link, 2, "XX");
    dir_.Write("rr.iso", bytes);
    Insert(image);
    scan::ClearTrackList(false);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    EXPECT_EQ(paths.count("rr_moved/level8/level9/level10/level11/level12/file12.txt"), 1u);
    EXPECT_EQ(paths.count("rr_moved/level8/file8.txt"), 1u);
    EXPECT_EQ(paths.count("level1/level2/level3/level4/level5/level6/level7/file7.txt"), 1u);
}

TEST_F(RockRidgeImageTest, ZisofsFileIsShownWithItsSizeAndExpandsByteForByte) {
    REQUIRE_TOOL("xorriso");
    std::string text;
    for (int line = 0; text.size() < 150000; ++line) text += "line " + std::to_string(line * 7919 % 1000) + "\n";
    const fs::path path = fs::path(source_) / "packed.txt";
    std::ofstream(path, std::ios::binary) << text;
    Run("xorriso -outdev z.iso -map src / -set_filter_r --zisofs / -- -commit");
    const std::string image = dir_.File("z.iso");
    Insert(image);
    scan::TrackNode* track = AddTrack(0, Blocks(image));
    AddLeadOut(Blocks(image));
    ASSERT_TRUE(Read(track));
    const auto paths = Paths(track);
    ASSERT_EQ(paths.count("packed.txt"), 1u);
    const scan::FoundItem* item = paths.at("packed.txt");
    EXPECT_EQ(item->size, text.size());
    const scan::PosixFileInfo* posix = scan::ItemPosixFileInfo(item);
    ASSERT_NE(posix, nullptr);
    ASSERT_TRUE(posix->zisofs);
    EXPECT_LT(posix->compressed.storedSize, text.size() / 2);

    const scan::FileSystemReader iso = readers::IsoFileSystem();
    ASSERT_NE(iso.openFile, nullptr);
    const auto expand = [&](std::set<std::int64_t> bad, std::string& out, int& unreadable) {
        const scan::ReadOneBlock read = [&](std::int64_t block, std::uint8_t* data) {
            return !bad.count(block) && device_->ReadCD(static_cast<int>(block), data, 1);
        };
        std::string error;
        std::unique_ptr<scan::FileDataStream> stream = iso.openFile(track->rootItem, item, read, error);
        ASSERT_NE(stream, nullptr) << error;
        std::uint8_t buffer[2048];
        out.clear();
        unreadable = 0;
        for (;;) {
            std::size_t bytes = 0;
            std::int64_t block = -1;
            const auto result = stream->Next(buffer, bytes, block);
            if (result == scan::FileDataStream::Result::kEnded) break;
            if (result == scan::FileDataStream::Result::kUnreadable) ++unreadable;
            out.append(reinterpret_cast<const char*>(buffer), bytes);
        }
    };
    std::string out;
    int unreadable = 0;
    expand({}, out, unreadable);
    EXPECT_EQ(unreadable, 0);
    EXPECT_TRUE(out == text);
    // A block of compressed data that cannot be read damages its part only.
    expand({item->start + (posix->compressed.storedSize - 1) / 2048}, out, unreadable);
    EXPECT_GT(unreadable, 0);
    EXPECT_EQ(out.size(), text.size());
    EXPECT_EQ(out.substr(0, 100), text.substr(0, 100));
}

}  // namespace
}  // namespace dravik::test
