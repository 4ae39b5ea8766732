// Discs made with the test disc builder: an open disc with a packet-written
// track, an appendable disc, a blank disc, unreadable blocks, a whole-disc
// image with two sessions, and an older drive.
#include <gtest/gtest.h>

#include <fstream>

#include "mmc_client.h"
#include "support/disc_builder.h"
#include "support/temp_dir.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

std::unique_ptr<vdrive::VirtualDrive> OpenDrive(const std::string& path) {
    vdrive::LoadError error;
    auto drive = vdrive::VirtualDrive::Open(path, error);
    EXPECT_TRUE(drive) << error.Text();
    return drive;
}

TEST(DescribedDisc, OpenDiscHasNoTocAndAnIncompletePacketTrack) {
    TempDir dir;
    DiscBuilder b(dir);
    b.Medium("cd-rw").Session(-1, true);
    TrackOptions packet;
    packet.packetSize = 32;
    packet.open = true;
    b.Track(TrackKind::kMode1, 500, packet);
    auto drive = OpenDrive(b.Write());
    ASSERT_TRUE(drive);

    EXPECT_EQ(SendCdb(*drive, Cdb10(0x43, 0, 2048), 2048).SenseText(), "5/24/00");
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x43, 0, 2048, 0, 0, 0x80), 2048).SenseText(), "5/24/00");

    MmcReply disc = SendCdb(*drive, Cdb10(0x51, 0, 34), 34);
    ASSERT_TRUE(disc.Good());
    std::vector<uint8_t> expected(34, 0);
    expected[1] = 0x20;
    expected[2] = 0x15;  // erasable, last session incomplete, disc incomplete
    expected[3] = expected[4] = expected[5] = expected[6] = 1;
    expected[7] = 0x20;
    expected[17] = 97, expected[18] = 27, expected[19] = 0;     // lead-in from the ATIP
    expected[21] = 79, expected[22] = 59, expected[23] = 74;    // last possible lead-out
    EXPECT_EQ(Hex(disc.data), Hex(expected));

    // Track 255 is the incomplete track: packet written, fixed packets of
    // 32, next writable address 500, the rest of the disc free.
    MmcReply track = SendCdb(*drive, Cdb10(0x52, 255, 36, 0x01), 36);
    ASSERT_TRUE(track.Good()) << track.SenseText();
    EXPECT_EQ(Hex(track.data), Hex({0x00, 0x22, 0x01, 0x01, 0x00, 0x05, 0x31, 0x03,  //
                                   0x00, 0x00, 0x00, 0x00,                          // start
                                   0x00, 0x00, 0x01, 0xF4,                          // next writable 500
                                   0x00, 0x05, 0x7B, 0xB5,                          // free 359349
                                   0x00, 0x00, 0x00, 0x20,                          // packet size
                                   0x00, 0x05, 0x7D, 0xA9,                          // size 359849
                                   0x00, 0x00, 0x01, 0xF3,                          // last recorded 499
                                   0, 0, 0, 0}));
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x52, 1, 36, 0x01), 36).data, track.data);
    EXPECT_TRUE(SendCdb(*drive, Cdb10(0x28, 499, 1), 2048).Good());
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x28, 500, 1), 2048).SenseText(), "5/21/00");
    // The ATIP says CD-RW.
    MmcReply atip = SendCdb(*drive, {0x43, 0, 4, 0, 0, 0, 0, 0, 28, 0}, 28);
    ASSERT_EQ(atip.data.size(), 28u);
    EXPECT_EQ(atip.data[6] & 0x40, 0x40);
    EXPECT_EQ(atip.data[12], 79);
}

TEST(DescribedDisc, ClosedSessionOfAnAppendableDiscShowsTheInvisibleTrack) {
    TempDir dir;
    DiscBuilder b(dir);
    b.Medium("cd-r").Finalized(false);
    b.Track(TrackKind::kMode1, 300);
    auto drive = OpenDrive(b.Write());
    ASSERT_TRUE(drive);
    MmcReply disc = SendCdb(*drive, Cdb10(0x51, 0, 34), 34);
    EXPECT_EQ(disc.data[2], 0x01);  // last session empty, disc incomplete
    EXPECT_EQ(disc.data[4], 2);     // the empty session counts
    EXPECT_EQ(disc.data[5], 2);
    EXPECT_EQ(disc.data[6], 2);
    MmcReply invisible = SendCdb(*drive, Cdb10(0x52, 255, 28, 0x01), 28);
    ASSERT_TRUE(invisible.Good());
    EXPECT_EQ(invisible.data[2], 2);
    EXPECT_EQ(invisible.data[3], 2);
    EXPECT_EQ(invisible.data[6], 0x4F);  // blank, data mode unknown
    EXPECT_EQ(BE32(invisible.data, 12), 300u + 6750 + 4500);  // the next program area
    // The TOC of the closed session shows B0 (where the next session goes) and C0.
    MmcReply full = SendCdb(*drive, Cdb10(0x43, 0, 2048, 0, 0, 0x80), 2048);
    ASSERT_TRUE(full.Good());
    std::vector<uint8_t> points;
    for (size_t at = 4; at + 11 <= full.data.size(); at += 11) points.push_back(full.data[at + 3]);
    EXPECT_EQ(points, (std::vector<uint8_t>{0xA0, 0xA1, 0xA2, 0x01, 0xB0, 0xC0}));
}

TEST(DescribedDisc, BlankDisc) {
    TempDir dir;
    DiscBuilder b(dir);
    b.Medium("cd-r").Blank().Capacity(333000);
    auto drive = OpenDrive(b.Write());
    ASSERT_TRUE(drive);
    EXPECT_TRUE(SendCdb(*drive, {0, 0, 0, 0, 0, 0}, 0).Good());
    MmcReply disc = SendCdb(*drive, Cdb10(0x51, 0, 34), 34);
    EXPECT_EQ(disc.data[2], 0x00);
    EXPECT_EQ(disc.data[4], 1);
    MmcReply track = SendCdb(*drive, Cdb10(0x52, 1, 28, 0x01), 28);
    ASSERT_TRUE(track.Good());
    EXPECT_EQ(track.data[6], 0x4F);
    EXPECT_EQ(BE32(track.data, 16), 333000u);
    EXPECT_FALSE(SendCdb(*drive, Cdb10(0x43, 0, 2048), 2048).Good());
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x28, 0, 1), 2048).SenseText(), "5/21/00");
}

TEST(DescribedDisc, UnreadableBlocksFailWithMediumError) {
    TempDir dir;
    DiscBuilder b(dir);
    b.Track(TrackKind::kMode1, 100);
    b.Unreadable(20, 29);
    auto drive = OpenDrive(b.Write());
    ASSERT_TRUE(drive);
    MmcReply r = SendCdb(*drive, Cdb10(0x28, 15, 10), 10 * 2048);
    EXPECT_EQ(r.SenseText(), "3/11/00");
    // The blocks before the bad one arrive; the sense names the bad block.
    EXPECT_EQ(r.data.size(), 5u * 2048);
    EXPECT_EQ(r.result.sense[0], 0xF0);  // valid information field
    EXPECT_EQ(r.result.sense[6], 20);
    EXPECT_EQ(BE32(r.data, 4 * 2048), 19u);  // block 19's own address, written by the builder
    EXPECT_EQ(SendCdb(*drive, {0xBE, 0, 0, 0, 0, 29, 0, 0, 1, 0xF8, 0, 0}, 2352).SenseText(), "3/11/00");
    EXPECT_TRUE(SendCdb(*drive, Cdb10(0x28, 30, 1), 2048).Good());
    // A fault added at run time behaves the same.
    drive->FailBlocks(50, 50);
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x28, 50, 1), 2048).SenseText(), "3/11/00");
}

TEST(DescribedDisc, BlockContentsWrittenByTheTest) {
    TempDir dir;
    DiscBuilder b(dir);
    b.Session();
    int first = b.Track(TrackKind::kMode1, 40);
    b.Session();
    int second = b.Track(TrackKind::kMode2, 40);
    std::vector<uint8_t> marker{'C', 'D', '0', '0', '1'};
    b.WriteBlock(first, 16, marker);
    b.WriteBlockAt(b.TrackStart(second) + 16, marker);
    EXPECT_EQ(b.TrackStart(second), 40 + 11400);
    auto drive = OpenDrive(b.Write());
    ASSERT_TRUE(drive);
    for (int32_t lba : {16, 40 + 11400 + 16}) {
        MmcReply r = SendCdb(*drive, Cdb10(0x28, uint32_t(lba), 1), 2048);
        ASSERT_TRUE(r.Good()) << r.SenseText();
        EXPECT_EQ(std::string(r.data.begin(), r.data.begin() + 5), "CD001");
    }
    // The Mode 2 track's raw sectors are Form 1 with the user data at 24.
    MmcReply raw = SendCdb(*drive, {0xBE, 0x10, 0, 0, 0x2C, 0xC0, 0, 0, 1, 0xF8, 0, 0}, 2352);  // 11456
    ASSERT_TRUE(raw.Good()) << raw.SenseText();
    EXPECT_EQ(raw.data[15], 2);
    EXPECT_EQ(std::string(raw.data.begin() + 24, raw.data.begin() + 29), "CD001");
}

TEST(DescribedDisc, WholeDiscImageWithSessionStarts) {
    TempDir dir;
    // One file holds the disc at its absolute block addresses, as xorriso
    // writes multi-session images: session 2 starts at block 20000.
    {
        std::ofstream image(dir.File("whole.iso"), std::ios::binary);
        std::vector<char> block(2048);
        for (int b = 0; b < 20100; ++b) {
            block[0] = char(b >> 8);
            block[1] = char(b);
            image.write(block.data(), 2048);
        }
    }
    std::string description = dir.Write("whole.vdisc",
                                        "image whole.iso\n"
                                        "medium cd-r\n"
                                        "session start 0\n"
                                        "track mode1\n"
                                        "session start 20000\n"
                                        "track mode1\n");
    auto drive = OpenDrive(description);
    ASSERT_TRUE(drive);
    MmcReply toc = SendCdb(*drive, Cdb10(0x43, 0, 2048), 2048);
    ASSERT_TRUE(toc.Good());
    EXPECT_EQ(BE32(toc.data, 4 + 8 + 4), 20000u);
    EXPECT_EQ(BE32(toc.data, 4 + 16 + 4), 20100u);  // lead-out at the end of the image
    // Track 1 ends where the gap before session 2 begins.
    MmcReply track1 = SendCdb(*drive, Cdb10(0x52, 1, 28, 0x01), 28);
    EXPECT_EQ(BE32(track1.data, 24), 20000u - 11400);
    MmcReply r = SendCdb(*drive, Cdb10(0x28, 20050, 1), 2048);
    ASSERT_TRUE(r.Good());
    EXPECT_EQ((r.data[0] << 8) | r.data[1], 20050);
}

TEST(DescribedDisc, OlderDriveAnswersVendorCommandsOnly) {
    TempDir dir;
    DiscBuilder b(dir);
    b.OlderDrive().Identity("OLDCO", "CDROM 4X", "0.9");
    b.Track(TrackKind::kAudio, 200);
    b.Track(TrackKind::kMode1, 100);
    auto drive = OpenDrive(b.Write());
    ASSERT_TRUE(drive);
    MmcReply inquiry = SendCdb(*drive, {0x12, 0, 0, 0, 36, 0}, 36);
    EXPECT_EQ(inquiry.data[2], 2);
    EXPECT_EQ(std::string(inquiry.data.begin() + 8, inquiry.data.begin() + 16), "OLDCO   ");
    // No MMC commands.
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x52, 1, 28, 1), 28).SenseText(), "5/20/00");
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x51, 0, 32), 32).SenseText(), "5/20/00");
    EXPECT_EQ(SendCdb(*drive, {0xBE, 0, 0, 0, 0, 0, 0, 0, 1, 0x10, 0, 0}, 2352).SenseText(), "5/20/00");
    EXPECT_EQ(SendCdb(*drive, {0x46, 0, 0, 0, 0, 0, 0, 0, 8, 0}, 8).SenseText(), "5/20/00");
    // No page 2A: the device check takes it for an older drive.
    EXPECT_EQ(SendCdb(*drive, {0x1A, 0, 0x2A, 0, 255, 0}, 255).SenseText(), "5/24/00");
    // The older track information: length byte, start, size, track mode.
    MmcReply track = SendCdb(*drive, Cdb10(0xE5, 2, 28), 28);
    ASSERT_TRUE(track.Good()) << track.SenseText();
    EXPECT_EQ(Hex(track.data), Hex({27, 0x02, 0x00, 0x00, 0x00, 0xC8, 0x00, 0x00, 0x00, 0x64, 0x04, 0x01,  //
                                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0}));
    // CD-DA by MSF (0xD9): blocks 10-11 of the audio track, with Q sub-channel.
    MmcReply cdda = SendCdb(*drive, {0xD9, 0, 0, 0, 2, 10, 0, 0, 2, 12, 2, 0}, 2 * 2368);
    ASSERT_TRUE(cdda.Good()) << cdda.SenseText();
    EXPECT_EQ(BE32(cdda.data, 0), 10u);
    EXPECT_EQ(BE32(cdda.data, 2368), 11u);
    EXPECT_EQ(cdda.data[2352], 0x01);  // audio control, ADR 1
    // The same by block address (0xD8).
    MmcReply byLba = SendCdb(*drive, {0xD8, 0, 0, 0, 0, 10, 0, 0, 0, 2, 2, 0}, 2 * 2368);
    EXPECT_EQ(byLba.data, cdda.data);
    // Format 2 of READ TOC is newer than such a drive.
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x43, 0, 2048, 0, 0, 0x80), 2048).SenseText(), "5/24/00");
}

// Mode pages given shorter than the fields a drive lets MODE SELECT
// change (an empty CD page, an error page of one byte):
// served as given, their missing bytes never touched.
TEST(DescribedDisc, ModePagesShorterThanTheirChangeableFields) {
    TempDir dir;
    const std::string path = dir.Write("short.vdisc", "track mode1 zero length 100\npage 0d 0\npage 01 1 80\n");
    auto drive = OpenDrive(path);
    ASSERT_TRUE(drive);
    for (const uint8_t page : {0x0D, 0x01}) {
        for (const uint8_t control : {0x00, 0x40}) {  // current and changeable values
            // MODE SENSE(10) without block descriptors.
            const MmcReply reply = SendCdb(*drive, {0x5A, 0x08, uint8_t(control | page), 0, 0, 0, 0, 0, 64, 0}, 64);
            ASSERT_TRUE(reply.Good()) << reply.SenseText();
            ASSERT_GE(reply.data.size(), 10u) << Hex(reply.data);
            EXPECT_EQ(reply.data[8] & 0x3F, page);
            EXPECT_EQ(reply.data[9], page == 0x0D ? 0 : 1);
        }
    }
}

}  // namespace
