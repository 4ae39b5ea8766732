// CloneCD images with two sessions or two tracks in one, and an ISO made by
// a real tool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "mmc_client.h"
#include "support/temp_dir.h"
#include "vdrive/sector_codec.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

void AppendMode1(std::ofstream& out, int32_t lba, uint8_t fill) {
    uint8_t user[2048];
    std::memset(user, fill, sizeof user);
    user[0] = uint8_t(lba >> 8);
    user[1] = uint8_t(lba);
    uint8_t sector[2352];
    vdrive::BuildMode1Sector(sector, lba, user);
    out.write(reinterpret_cast<char*>(sector), 2352);
}

// Session 1: track 1 (0-299); session 2: track 2 from PLBA 11700 to the
// lead-out at 11900. The .img holds 300 + 200 sectors, nothing between.
TEST(CloneCd, TwoSessionsPlacedByPlba) {
    TempDir dir;
    {
        std::ofstream img(dir.File("disc.img"), std::ios::binary);
        for (int b = 0; b < 300; ++b) AppendMode1(img, b, 0x11);
        for (int b = 0; b < 200; ++b) AppendMode1(img, 11700 + b, 0x22);
    }
    const std::string ccd = dir.Write("disc.ccd",
                                      "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=9\nSessions=2\n"
                                      "[Entry 0]\nSession=1\nPoint=0xa0\nControl=0x04\nPMin=1\nPSec=0\nPFrame=0\n"
                                      "[Entry 1]\nSession=1\nPoint=0xa1\nControl=0x04\nPMin=1\n"
                                      "[Entry 2]\nSession=1\nPoint=0xa2\nControl=0x04\nPLBA=300\n"
                                      "[Entry 3]\nSession=1\nPoint=0x01\nControl=0x04\nPLBA=0\n"
                                      "[Entry 4]\nSession=1\nPoint=0xb0\nControl=0x05\n"
                                      "[Entry 5]\nSession=1\nPoint=0xc0\nControl=0x04\n"
                                      "[Entry 6]\nSession=2\nPoint=0xa0\nControl=0x04\nPMin=2\n"
                                      "[Entry 7]\nSession=2\nPoint=0xa2\nControl=0x04\nPLBA=11900\n"
                                      "[Entry 8]\nSession=2\nPoint=0x02\nControl=0x04\nPLBA=11700\n"
                                      "[TRACK 1]\nMODE=1\nINDEX 1=0\n[TRACK 2]\nMODE=1\nINDEX 1=0\n");
    vdrive::LoadError error;
    auto drive = vdrive::VirtualDrive::Open(ccd, error);
    ASSERT_TRUE(drive) << error.Text();
    MmcReply toc = SendCdb(*drive, Cdb10(0x43, 0, 2048), 2048);
    ASSERT_TRUE(toc.Good()) << toc.SenseText();
    EXPECT_EQ(Hex(toc.data), Hex({0x00, 0x1A, 0x01, 0x02,                          //
                                 0x00, 0x14, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  //
                                 0x00, 0x14, 0x02, 0x00, 0x00, 0x00, 0x2D, 0xB4,  // 11700
                                 0x00, 0x14, 0xAA, 0x00, 0x00, 0x00, 0x2E, 0x7C}));  // 11900
    // Block 11750 is the 351st sector of the .img: session 2 follows session 1 there.
    MmcReply r = SendCdb(*drive, Cdb10(0x28, 11750, 1), 2048);
    ASSERT_TRUE(r.Good()) << r.SenseText();
    EXPECT_EQ((r.data[0] << 8) | r.data[1], 11750 & 0xFFFF);
    EXPECT_EQ(r.data[2], 0x22);
    // The C0 point makes it a CD-R; B0 only in session 1 means finalized.
    MmcReply disc = SendCdb(*drive, Cdb10(0x51, 0, 34), 34);
    EXPECT_EQ(disc.data[2], 0x0E);
    EXPECT_EQ(disc.data[4], 2);
    MmcReply config = SendCdb(*drive, {0x46, 1, 0, 0, 0, 0, 0, 0, 8, 0}, 8);
    EXPECT_EQ(config.data[7], 0x09);
    // Raw reads return the .img's own sectors.
    MmcReply raw = SendCdb(*drive, {0xBE, 0, 0, 0, 0x2D, 0xB4, 0, 0, 1, 0xF8, 0, 0}, 2352);
    ASSERT_TRUE(raw.Good());
    EXPECT_EQ(raw.data[12], 0x02);  // 02:38:00 = block 11700 + 150
    EXPECT_EQ(raw.data[13], 0x38);
}

// One session of two tracks: track 1 (0-199), track 2 (200-299), lead-out at 300.
TEST(CloneCd, TracksOfOneSessionEndWhereTheNextBegins) {
    TempDir dir;
    {
        std::ofstream img(dir.File("disc.img"), std::ios::binary);
        for (int b = 0; b < 300; ++b) AppendMode1(img, b, b < 200 ? 0x11 : 0x22);
    }
    const std::string ccd = dir.Write("disc.ccd",
                                      "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=5\nSessions=1\n"
                                      "[Entry 0]\nSession=1\nPoint=0xa0\nControl=0x04\nPMin=1\n"
                                      "[Entry 1]\nSession=1\nPoint=0xa1\nControl=0x04\nPMin=2\n"
                                      "[Entry 2]\nSession=1\nPoint=0xa2\nControl=0x04\nPLBA=300\n"
                                      "[Entry 3]\nSession=1\nPoint=0x01\nControl=0x04\nPLBA=0\n"
                                      "[Entry 4]\nSession=1\nPoint=0x02\nControl=0x04\nPLBA=200\n"
                                      "[TRACK 1]\nMODE=1\nINDEX 1=0\n[TRACK 2]\nMODE=1\nINDEX 1=0\n");
    vdrive::LoadError error;
    auto drive = vdrive::VirtualDrive::Open(ccd, error);
    ASSERT_TRUE(drive) << error.Text();
    const struct {
        uint8_t track;
        uint32_t start, length;
    } rows[] = {{1, 0, 200}, {2, 200, 100}};
    for (const auto& row : rows) {
        MmcReply info = SendCdb(*drive, Cdb10(0x52, row.track, 36, 0x01), 36);
        ASSERT_TRUE(info.Good()) << info.SenseText();
        EXPECT_EQ(BE32(info.data, 8), row.start) << "track " << int(row.track);
        EXPECT_EQ(BE32(info.data, 24), row.length) << "track " << int(row.track);
    }
    MmcReply toc = SendCdb(*drive, Cdb10(0x43, 0, 2048), 2048);
    ASSERT_TRUE(toc.Good()) << toc.SenseText();
    EXPECT_EQ(BE32(toc.data, 4 + 2 * 8 + 4), 300u) << "the lead-out";
}

TEST(RealTool, IsoFromGenisoimage) {
    if (std::system("command -v genisoimage >/dev/null 2>&1") != 0) GTEST_SKIP() << "genisoimage is not installed";
    TempDir dir;
    std::filesystem::create_directories(dir.File("content"));
    dir.Write("content/hello.txt", "hello from a real tool\n");
    const std::string iso = dir.File("real.iso");
    // The exact command that made the image:
    const std::string command = "genisoimage -quiet -V REALTOOL -J -R -o '" + iso + "' '" + dir.File("content") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    vdrive::LoadError error;
    auto drive = vdrive::VirtualDrive::Open(iso, error);
    ASSERT_TRUE(drive) << error.Text();
    MmcReply pvd = SendCdb(*drive, Cdb10(0x28, 16, 1), 2048);
    ASSERT_TRUE(pvd.Good());
    EXPECT_EQ(pvd.data[0], 1);
    EXPECT_EQ(std::string(pvd.data.begin() + 1, pvd.data.begin() + 6), "CD001");
    EXPECT_EQ(std::string(pvd.data.begin() + 40, pvd.data.begin() + 48), "REALTOOL");
    // The volume space size of the descriptor is the capacity the drive reports.
    const uint32_t volumeBlocks = BE32(pvd.data, 84);
    MmcReply cap = SendCdb(*drive, Cdb10(0x25, 0, 0), 8);
    EXPECT_EQ(BE32(cap.data, 0) + 1, volumeBlocks);
}

}  // namespace
