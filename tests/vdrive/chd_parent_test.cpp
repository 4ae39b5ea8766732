// CHD images that chdman made as the difference to a parent image (-op):
// each reads like its own cue sheet once the parent lies in its folder,
// and without the parent it is refused with the parent's SHA-1 named.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "raw_sectors.h"
#include "same_disc.h"
#include "support/temp_dir.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

TEST(ChdParent, ChildReadsThroughItsParentAndIsRefusedWithoutIt) {
    if (std::system("command -v chdman >/dev/null 2>&1") != 0) GTEST_SKIP() << "chdman is not installed";
    // The parent: a data track and an audio track; the child changes a few
    // sectors of each, so that most of its hunks come from the parent.
    const std::string data = RawSectors(1, 0, 300, 1), audio = RawSectors(0, 0, 150, 2);
    std::string changed = data + audio;
    for (size_t at : {size_t(40), size_t(380)}) changed.replace(at * 2352 + 100, 500, std::string(500, 'x'));
    const std::string cue = "FILE \"%s\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                            "    INDEX 01 00:04:00\n";
    for (const char* codecs : {"cdzl,cdfl", "cdlz"}) {
        SCOPED_TRACE(codecs);
        TempDir dir;
        dir.Write("parent.bin", data + audio);
        dir.Write("child.bin", changed);
        for (const char* name : {"parent", "child"}) {
            std::string text = cue;
            text.replace(text.find("%s"), 2, std::string(name) + ".bin");
            dir.Write(std::string(name) + ".cue", text);
        }
        std::filesystem::create_directories(dir.File("images"));
        const std::string make = "cd '" + dir.path() + "' && chdman createcd -f -c " + codecs +
                                 " -i parent.cue -o images/parent.chd >/dev/null 2>&1 && chdman createcd -f -c " + codecs +
                                 " -i child.cue -o images/child.chd -op images/parent.chd >/dev/null 2>&1";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        ASSERT_LT(std::filesystem::file_size(dir.File("images/child.chd")),
                  std::filesystem::file_size(dir.File("images/parent.chd")) / 2)
            << "the child should hold only what differs";
        vdrive::LoadError error;
        auto fromCue = vdrive::VirtualDrive::Open(dir.File("child.cue"), error);
        ASSERT_TRUE(fromCue) << error.Text();
        auto fromChd = vdrive::VirtualDrive::Open(dir.File("images/child.chd"), error);
        ASSERT_TRUE(fromChd) << error.Text();
        ExpectSameDisc(*fromCue, *fromChd);

        std::filesystem::rename(dir.File("images/parent.chd"), dir.File("parent.chd"));
        EXPECT_FALSE(vdrive::VirtualDrive::Open(dir.File("images/child.chd"), error));
        EXPECT_NE(error.Text().find("parent image (SHA-1 "), std::string::npos) << error.Text();
    }
}

}  // namespace
