// A two-session cue sheet (audio in session 1, data in session 2, in the
// style of archival rippers): its TOC in formats 0 and 2, disc and track
// information, and reads across the gap between the sessions.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "mmc_client.h"
#include "platform/drives/drive_table.h"
#include "support/temp_dir.h"
#include "vdrive/sector_codec.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

constexpr int kAudioBlocks = 1000;
constexpr int kDataBlocks = 500;
// Session 2's track begins after the lead-out (6750), lead-in (4500) and
// pre-gap (150) that the cue sheet names but the files do not hold.
constexpr int kDataStart = kAudioBlocks + 11400;

class TwoSessionCueTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream audio(dir_.File("track1.bin"), std::ios::binary);
        for (int b = 0; b < kAudioBlocks; ++b) {
            std::vector<char> sector(2352, char(b * 7));
            audio.write(sector.data(), 2352);
        }
        audio.close();
        std::ofstream data(dir_.File("track2.bin"), std::ios::binary);
        for (int b = 0; b < kDataBlocks; ++b) {
            uint8_t user[2048];
            std::memset(user, b & 0xFF, sizeof user);
            uint8_t sector[2352];
            vdrive::BuildMode1Sector(sector, kDataStart + b, user);
            data.write(reinterpret_cast<char*>(sector), 2352);
        }
        data.close();
        cue_ = dir_.Write("disc.cue",
                          "REM SESSION 01\n"
                          "FILE \"track1.bin\" BINARY\n"
                          "  TRACK 01 AUDIO\n"
                          "    TITLE \"Song\"\n"
                          "    INDEX 01 00:00:00\n"
                          "REM LEAD-OUT 01:30:00\n"
                          "REM SESSION 02\n"
                          "REM LEAD-IN 01:00:00\n"
                          "REM PREGAP 00:02:00\n"
                          "FILE \"track2.bin\" BINARY\n"
                          "  TRACK 02 MODE1/2352\n"
                          "    INDEX 01 00:00:00\n");
        platform::DriveTableSources sources;
        sources.realDrives = false;
        sources.imagePaths = {cue_};
        table_ = platform::DriveTable::Build(sources);
        ASSERT_EQ(table_.Drives().size(), 1u) << (table_.Problems().empty() ? "" : table_.Problems()[0]);
        drive_ = table_.Drives()[0].drive.get();
    }

    TempDir dir_;
    std::string cue_;
    platform::DriveTable table_;
    platform::ScsiDrive* drive_ = nullptr;
};

TEST_F(TwoSessionCueTest, Mode0TocListsBothSessionsTracks) {
    MmcReply toc = SendCdb(*drive_, Cdb10(0x43, 0, 2048), 2048);
    ASSERT_TRUE(toc.Good()) << toc.SenseText();
    EXPECT_EQ(toc.data, (std::vector<uint8_t>{0x00, 0x1A, 0x01, 0x02,                          //
                                              0x00, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  //
                                              0x00, 0x14, 0x02, 0x00, 0x00, 0x00, 0x30, 0x70,  // 12400
                                              0x00, 0x14, 0xAA, 0x00, 0x00, 0x00, 0x32, 0x64}));  // 12900
    MmcReply sessions = SendCdb(*drive_, Cdb10(0x43, 0, 12, 0, 0, 0x40), 12);
    EXPECT_EQ(sessions.data, (std::vector<uint8_t>{0x00, 0x0A, 0x01, 0x02, 0x00, 0x14, 0x02, 0x00, 0x00, 0x00, 0x30, 0x70}));
}

TEST_F(TwoSessionCueTest, FullTocHasPointsOfEachSessionAndB0) {
    MmcReply full = SendCdb(*drive_, Cdb10(0x43, 0, 2048, 0, 0, 0x80), 2048);
    ASSERT_TRUE(full.Good()) << full.SenseText();
    const std::vector<uint8_t> expected{
        0x00, 0x65, 0x01, 0x02,  // 9 descriptors of 11 bytes
        // session 1: first track 1 (disc type 0), last track 1, lead-out 00:15:25, track 1 at 00:02:00
        0x01, 0x10, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x01, 0x10, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x01, 0x10, 0x00, 0xA2, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0F, 0x19,
        0x01, 0x10, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00,
        // B0: the next program area at 02:45:25, outermost lead-out 79:59:74
        0x01, 0x50, 0x00, 0xB0, 0x02, 0x2D, 0x19, 0x01, 0x4F, 0x3B, 0x4A,
        // session 2: track 2 at 02:47:25, lead-out 02:54:00
        0x02, 0x14, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
        0x02, 0x14, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
        0x02, 0x14, 0x00, 0xA2, 0x00, 0x00, 0x00, 0x00, 0x02, 0x36, 0x00,
        0x02, 0x14, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x02, 0x2F, 0x19};
    EXPECT_EQ(Hex(full.data), Hex(expected));
    // Starting at session 2 leaves session 1 out.
    MmcReply second = SendCdb(*drive_, Cdb10(0x43, 0, 2048, 0, 2, 0x80), 2048);
    EXPECT_EQ(second.data.size(), 4u + 4 * 11);
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0x43, 0, 2048, 0, 3, 0x80), 2048).SenseText(), "5/24/00");
}

TEST_F(TwoSessionCueTest, DiscAndTrackInformation) {
    MmcReply disc = SendCdb(*drive_, Cdb10(0x51, 0, 32), 32);
    ASSERT_TRUE(disc.Good());
    std::vector<uint8_t> expected(32, 0);
    expected[1] = 0x20;
    expected[2] = 0x0E;
    expected[3] = 1;
    expected[4] = 2;  // sessions
    expected[5] = 2;  // first and last track of the last session
    expected[6] = 2;
    for (int i = 16; i < 24; ++i) expected[i] = 0xFF;
    EXPECT_EQ(disc.data, expected);

    MmcReply audio = SendCdb(*drive_, Cdb10(0x52, 1, 36, 0x01), 36);
    EXPECT_EQ(audio.data, (std::vector<uint8_t>{0x00, 0x22, 0x01, 0x01, 0x00, 0x00, 0x0F, 0x00,  //
                                                0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    //
                                                0x00, 0x00, 0x03, 0xE8, 0, 0, 0, 0, 0, 0, 0, 0}));
    MmcReply data = SendCdb(*drive_, Cdb10(0x52, 2, 36, 0x01), 36);
    EXPECT_EQ(data.data, (std::vector<uint8_t>{0x00, 0x22, 0x02, 0x02, 0x00, 0x04, 0x01, 0x00,  //
                                               0x00, 0x00, 0x30, 0x70, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                               0x00, 0x00, 0x01, 0xF4, 0, 0, 0, 0, 0, 0, 0, 0}));
    // By session number: the session's first track.
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0x52, 2, 36, 0x02), 36).data, data.data);
    // A block in the gap between the sessions belongs to no track.
    EXPECT_FALSE(SendCdb(*drive_, Cdb10(0x52, 5000, 36), 36).Good());
}

TEST_F(TwoSessionCueTest, ReadsOnEitherSideOfTheGap) {
    MmcReply data = SendCdb(*drive_, Cdb10(0x28, kDataStart + 3, 1), 2048);
    ASSERT_TRUE(data.Good()) << data.SenseText();
    EXPECT_EQ(data.data, std::vector<uint8_t>(2048, 3));
    // 2048-byte reads of audio are refused; READ CD gives the samples.
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0x28, 10, 1), 2048).SenseText(), "5/64/00");
    MmcReply audio = SendCdb(*drive_, {0xBE, 0x04, 0, 0, 0, 10, 0, 0, 1, 0x10, 0, 0}, 2352);
    ASSERT_TRUE(audio.Good()) << audio.SenseText();
    EXPECT_EQ(audio.data, std::vector<uint8_t>(2352, uint8_t(10 * 7)));
    // Asking for Mode 1 sectors on the audio track is refused.
    EXPECT_EQ(SendCdb(*drive_, {0xBE, 0x08, 0, 0, 0, 10, 0, 0, 1, 0x10, 0, 0}, 2048).SenseText(), "5/64/00");
    // With the 16-byte Q sub-channel: track 1, index 1, absolute time of block 10.
    MmcReply withQ = SendCdb(*drive_, {0xBE, 0, 0, 0, 0, 10, 0, 0, 1, 0x10, 2, 0}, 2368);
    ASSERT_TRUE(withQ.Good());
    EXPECT_EQ(withQ.data[2352], 0x01);
    EXPECT_EQ(withQ.data[2353], 0x01);
    EXPECT_EQ(withQ.data[2361], 0x10);  // 00:02:10 frames (BCD)
    // The lead-out and lead-in between the sessions cannot be read; past the end nothing was written.
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0x28, 5000, 1), 2048).SenseText(), "3/11/00");
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0x28, kDataStart + kDataBlocks, 1), 2048).SenseText(), "5/21/00");
}

TEST_F(TwoSessionCueTest, SessionGapsOtherThanACdRsComeFromTheRemarks) {
    // Lead-out 00:40:00 (3000 blocks), lead-in 00:20:00 (1500), pre-gap 00:03:00 (225).
    constexpr int kStart = kAudioBlocks + 3000 + 1500 + 225;
    const std::string cue = dir_.Write("short.cue",
                                       "REM SESSION 01\n"
                                       "FILE \"track1.bin\" BINARY\n"
                                       "  TRACK 01 AUDIO\n"
                                       "    INDEX 01 00:00:00\n"
                                       "REM LEAD-OUT 00:40:00\n"
                                       "REM SESSION 02\n"
                                       "REM LEAD-IN 00:20:00\n"
                                       "REM PREGAP 00:03:00\n"
                                       "FILE \"track2.bin\" BINARY\n"
                                       "  TRACK 02 MODE1/2352\n"
                                       "    INDEX 01 00:00:00\n");
    vdrive::LoadError error;
    auto drive = vdrive::VirtualDrive::Open(cue, error);
    ASSERT_TRUE(drive) << error.Text();
    MmcReply info = SendCdb(*drive, Cdb10(0x52, 2, 36, 0x01), 36);
    ASSERT_TRUE(info.Good()) << info.SenseText();
    EXPECT_EQ(BE32(info.data, 8), uint32_t(kStart));
    EXPECT_EQ(BE32(info.data, 24), uint32_t(kDataBlocks));
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x28, kStart + 3, 1), 2048).data, std::vector<uint8_t>(2048, 3));
}

TEST_F(TwoSessionCueTest, CdTextTitlesFromTheSheet) {
    MmcReply text = SendCdb(*drive_, {0x43, 0, 5, 0, 0, 0, 0, 8, 0, 0}, 2048);
    ASSERT_TRUE(text.Good());
    ASSERT_GE(text.data.size(), 4u + 18);
    EXPECT_EQ((text.data[0] << 8 | text.data[1]) + 2, int(text.data.size()));
    EXPECT_EQ(text.data[4], 0x80);
    // The disc has no title: an empty string, then "Song" for track 1.
    EXPECT_EQ(text.data[8], 0x00);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&text.data[9]), 4), "Song");
}

}  // namespace
