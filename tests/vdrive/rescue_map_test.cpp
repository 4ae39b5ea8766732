// ddrescue mapfiles: which blocks of a rescued image count as read, and
// what a plain image with a map beside it serves.
#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"
#include "vdrive/disc.h"
#include "vdrive/image_loader.h"
#include "vdrive/rescue_map.h"

using namespace dravik;
using dravik::test::TempDir;

namespace {

struct MapCase {
    const char* name;
    const char* text;
    std::vector<std::pair<int32_t, int32_t>> unread;  // inclusive block ranges
    int32_t end;
};

const MapCase kMaps[] = {
    {"AsDdrescueWritesIt",
     "# Mapfile. Created by GNU ddrescue\n# current_pos  current_status  current_pass\n0x00001000     +   1\n"
     "#      pos        size  status\n0x00000000  0x00001000  +\n0x00001000  0x00001000  -\n"
     "0x00002000  0x7FFFFFFFFFFFDFFF  +\n",
     {{2, 3}}, 4},
    // Every status but "+" is not read; an area that ends or starts inside
    // a block leaves that whole block unread.
    {"EveryUnfinishedKindAndPartialBlocks",
     "0 ?\n0 4096 +\n4096 100 *\n4196 3996 +\n8192 2048 /\n10240 2048 ?\n12288 1 -\n12289 8191 +\n",
     {{2, 2}, {4, 6}}, 10},
    {"GapsBetweenAreasWereNeverRead", "0x0 +\n0x0 0x800 +\n0x1000 0x1000 +\n", {{1, 1}}, 4},
    {"AreasInAnyOrder", "0 +\n8192 2048 +\n0 8192 +\n2048 2048 -\n", {{1, 1}}, 5},
    {"EmptyAreasAreIgnored", "0 +\n0 0 -\n0 4096 +\n", {}, 2},
};

class RescueMapTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(RescueMapTest, UnreadBlocksAndEnd) {
    const MapCase& c = GetParam();
    vdrive::RescueMap map;
    vdrive::LoadError error;
    ASSERT_TRUE(vdrive::ParseRescueMap("disc.map", c.text, 2048, map, error)) << error.Text();
    std::vector<std::pair<int32_t, int32_t>> unread;
    for (const vdrive::BlockRange& r : map.unread) unread.emplace_back(r.first, r.last);
    EXPECT_EQ(unread, c.unread);
    EXPECT_EQ(map.end, c.end);
}

INSTANTIATE_TEST_SUITE_P(Maps, RescueMapTest, ::testing::ValuesIn(kMaps),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RescueMapErrors, NotAMapfileIsNamedWithItsLine) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"", 0},                              // no position line
        {"# only comments\n", 0},
        {"hello world again and again\n", 1},  // not a position line
        {"0 +\n0 4096 x\n", 2},              // unknown status
        {"0 +\n0 4096\n", 2},                // no status
        {"0 +\n-5 4096 +\n", 2},             // negative position
        {"0 +\n0 ten +\n", 2},
    };
    for (const auto& c : cases) {
        vdrive::RescueMap map;
        vdrive::LoadError error;
        EXPECT_FALSE(vdrive::ParseRescueMap("disc.map", c.text, 2048, map, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text << " " << error.Text();
        EXPECT_EQ(error.file, "disc.map");
    }
}

// A plain image with a map beside it, under either name: blocks the map
// does not mark read are unreadable, and an image that stops short of the
// map's end (ddrescue writes only what it read) still serves the whole disc.
TEST(RescueMapImage, MapBesideAPlainImageMakesItsBlocksUnreadable) {
    for (const char* mapName : {"disc.iso.map", "disc.map"}) {
        TempDir dir;
        {
            std::ofstream image(dir.File("disc.iso"), std::ios::binary);
            const std::vector<char> block(2048, 'x');
            for (int b = 0; b < 10; ++b) image.write(block.data(), 2048);
            image.write(block.data(), 100);  // a partly written eleventh block
        }
        dir.Write(mapName, "0 +\n0 8192 +\n8192 2048 -\n10240 30720 +\n");
        vdrive::LoadedImage loaded;
        vdrive::LoadError error;
        ASSERT_TRUE(vdrive::LoadImage(dir.File("disc.iso"), loaded, error)) << mapName << ": " << error.Text();
        const vdrive::DiscView view(*loaded.disc);
        ASSERT_EQ(loaded.disc->tracks.size(), 1u);
        EXPECT_EQ(loaded.disc->tracks[0].end, 20) << mapName;
        for (int32_t b = 0; b < 20; ++b) EXPECT_EQ(view.Unreadable(b), b == 4 || b >= 10) << mapName << " block " << b;
    }
}

TEST(RescueMapImage, DescriptionNamesAMapForTheWholeDisc) {
    TempDir dir;
    dir.Write("data.iso", std::string(20 * 2048, 'x'));
    dir.Write("rescue.log", "0 +\n0 10240 +\n10240 4096 -\n14336 12288 +\n");
    const std::string path = dir.Write("disc.vdisc", "track mode1 file data.iso\nmap rescue.log\n");
    vdrive::LoadedImage loaded;
    vdrive::LoadError error;
    ASSERT_TRUE(vdrive::LoadImage(path, loaded, error)) << error.Text();
    const vdrive::DiscView view(*loaded.disc);
    for (int32_t b = 0; b < 20; ++b) EXPECT_EQ(view.Unreadable(b), b == 5 || b == 6 || b >= 13) << b;
}

TEST(RescueMapImage, BrokenMapBesideAnImageIsReported) {
    TempDir dir;
    dir.Write("disc.iso", std::string(4096, 'x'));
    dir.Write("disc.map", "not a map\n");
    vdrive::LoadedImage loaded;
    vdrive::LoadError error;
    EXPECT_FALSE(vdrive::LoadImage(dir.File("disc.iso"), loaded, error));
    EXPECT_EQ(error.file, dir.File("disc.map"));
}

}  // namespace
