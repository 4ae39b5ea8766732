// Faults of a drive at insertion and disc change, tray handling, counters
// and the timing model.
#include <gtest/gtest.h>

#include "mmc_client.h"
#include "support/disc_builder.h"
#include "support/temp_dir.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

class FaultTest : public ::testing::Test {
protected:
    std::unique_ptr<vdrive::VirtualDrive> Make(DiscBuilder& b) {
        vdrive::LoadError error;
        auto drive = vdrive::VirtualDrive::Open(b.Write(), error);
        EXPECT_TRUE(drive) << error.Text();
        return drive;
    }
    MmcReply Tur(platform::ScsiDrive& d) { return SendCdb(d, {0, 0, 0, 0, 0, 0}, 0); }
    TempDir dir_;
};

TEST_F(FaultTest, NotReadyForTheGivenNumberOfCommandsThenReady) {
    DiscBuilder b(dir_);
    b.NotReady(3);
    b.Track(TrackKind::kMode1, 20);
    auto drive = Make(b);
    ASSERT_TRUE(drive);
    // INQUIRY is answered while the drive becomes ready and does not count.
    EXPECT_TRUE(SendCdb(*drive, {0x12, 0, 0, 0, 36, 0}, 36).Good());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Tur(*drive).SenseText(), "2/04/01") << i;
    EXPECT_TRUE(Tur(*drive).Good());
}

TEST_F(FaultTest, DiscChangeGivesOneUnitAttention) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 20);
    auto drive = Make(b);
    ASSERT_TRUE(drive);
    EXPECT_TRUE(Tur(*drive).Good());
    drive->SetNotReadyCommands(0);
    drive->Reinsert();
    // GET CONFIGURATION and INQUIRY pass a pending unit attention by.
    EXPECT_TRUE(SendCdb(*drive, {0x46, 1, 0, 0, 0, 0, 0, 0, 8, 0}, 8).Good());
    EXPECT_EQ(Tur(*drive).SenseText(), "6/28/00");
    EXPECT_TRUE(Tur(*drive).Good());
    // An empty drive: no medium.
    drive->ChangeDisc(nullptr);
    EXPECT_EQ(Tur(*drive).SenseText(), "6/28/00");
    EXPECT_EQ(Tur(*drive).SenseText(), "2/3A/00");
    EXPECT_EQ(SendCdb(*drive, Cdb10(0x28, 0, 1), 2048).SenseText(), "2/3A/00");
}

TEST_F(FaultTest, TrayEjectAndLoad) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 20);
    auto drive = Make(b);
    ASSERT_TRUE(drive);
    EXPECT_TRUE(SendCdb(*drive, {0x1B, 0, 0, 0, 0x02, 0}, 0).Good());  // eject
    EXPECT_EQ(Tur(*drive).SenseText(), "2/3A/02");                      // tray open
    EXPECT_TRUE(SendCdb(*drive, {0x1B, 0, 0, 0, 0x03, 0}, 0).Good());  // load
    EXPECT_EQ(Tur(*drive).SenseText(), "6/28/00");
    EXPECT_TRUE(Tur(*drive).Good());

    TempDir other;
    DiscBuilder manual(other);
    manual.ManualTray();
    manual.Track(TrackKind::kMode1, 20);
    auto laptop = Make(manual);
    ASSERT_TRUE(laptop);
    EXPECT_TRUE(SendCdb(*laptop, {0x1B, 0, 0, 0, 0x02, 0}, 0).Good());
    EXPECT_EQ(SendCdb(*laptop, {0x1B, 0, 0, 0, 0x03, 0}, 0).SenseText(), "4/53/00");
}

TEST_F(FaultTest, CountersAndReadObserver) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 50);
    auto drive = Make(b);
    ASSERT_TRUE(drive);
    std::vector<std::pair<int32_t, int32_t>> reads;
    drive->SetReadObserver([&](int32_t first, int32_t count) { reads.emplace_back(first, count); });
    SendCdb(*drive, Cdb10(0x28, 3, 4), 4 * 2048);
    SendCdb(*drive, {0xBE, 0, 0, 0, 0, 40, 0, 0, 2, 0xF8, 0, 0}, 2 * 2352);
    SendCdb(*drive, Cdb10(0x28, 60, 1), 2048);  // fails: counts as a command, serves nothing
    vdrive::DriveCounters c = drive->Counters();
    EXPECT_EQ(c.commands, 3u);
    EXPECT_EQ(c.blocksServed, 6u);
    EXPECT_EQ(c.byOpcode[0x28], 2u);
    EXPECT_EQ(c.byOpcode[0xBE], 1u);
    EXPECT_EQ(c.checkConditions, 1u);
    EXPECT_EQ(reads, (std::vector<std::pair<int32_t, int32_t>>{{3, 4}, {40, 2}}));
    drive->ResetCounters();
    EXPECT_EQ(drive->Counters().commands, 0u);
}

TEST_F(FaultTest, TimingModelAddsLatencyAndTransferTime) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 200);
    auto drive = Make(b);
    ASSERT_TRUE(drive);
    EXPECT_EQ(drive->Counters().simulatedMicroseconds, 0u);
    drive->SetTiming(vdrive::TimingModel{1000, 176});  // 1 ms per command, 1x
    // 1x: 75 blocks a second, 13.33 ms a block (2352 bytes at 176.4 KB/s).
    SendCdb(*drive, Cdb10(0x28, 0, 75), 75 * 2048);
    EXPECT_EQ(drive->Counters().simulatedMicroseconds, 1000u + 75u * 2352u * 1000u / 176u);
    // SET CD SPEED to 4x makes the same read four times faster (the model's speed is the ceiling).
    drive->ResetCounters();
    drive->SetTiming(vdrive::TimingModel{0, 7056});
    ASSERT_TRUE(SendCdb(*drive, {0xBB, 0, 0x02, 0xC0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, 0).Good());  // 704 KB/s
    SendCdb(*drive, Cdb10(0x28, 0, 75), 75 * 2048);
    EXPECT_EQ(drive->Counters().simulatedMicroseconds, 75u * 2352u * 1000u / 704u);
}

}  // namespace
