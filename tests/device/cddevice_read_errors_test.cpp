// Failed reads: the retry loop and which codes it retries, the read error
// prompt and what silences it, error-scan classification and the error
// counters, and the fake mode 3 remapping of Mount Rainier discs.
#include <gtest/gtest.h>

#include <vector>

#include "cddevice_drive_fixture.h"
#include "device/request/dev_command.h"

using namespace dravik;
using namespace dravik::test;

namespace {

class ReadErrorsTest : public DriveDeviceTest {
protected:
    void Build() {
        DiscBuilder builder(dir);
        data = builder.Track(TrackKind::kMode1, 400);
        bad = builder.TrackStart(data) + 100;
        builder.Unreadable(bad, bad);
        StandOnVirtual(builder);
    }
    bool Read(int block) { return dev->ReadCD(block, buf.data(), 1); }

    int data = 0;
    int32_t bad = 0;
    std::vector<uint8_t> buf = std::vector<uint8_t>(2352);
};

TEST_F(ReadErrorsTest, MediumErrorIsRetriedByTheReadRetryCountThenPrompted) {
    Build();
    EXPECT_FALSE(Read(bad));
    EXPECT_EQ(Sent(0x28), 6u) << "the first attempt and 5 retries";
    EXPECT_EQ(dev->GetSenseKey(), 3);
    EXPECT_EQ(dev->GetSenseCode(), 0x11);
    auto prompts = MessagesWithId(3007);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].number, bad);
    EXPECT_EQ(prompts[0].device, "D:");
    EXPECT_NE(prompts[0].sense.find("Sense=11 00"), std::string::npos) << prompts[0].sense;

    drive->ResetCounters();
    dev->SetReadRetry(2);
    EXPECT_FALSE(Read(bad));
    EXPECT_EQ(Sent(0x28), 3u);

    drive->ResetCounters();
    dev->SetAbortFlag();
    EXPECT_FALSE(Read(bad));
    EXPECT_EQ(Sent(0x28), 1u) << "a cancelled scan does not retry";
    dev->ClearAbortFlag();
    // No failure is counted outside error-scan mode.
    EXPECT_EQ(dev->GetMediaErrors(), 0);
}

TEST_F(ReadErrorsTest, CodesThatDoNotHealAreReportedAfterTheFirstAttempt) {
    Build();
    // Past the end of the recorded track: 5/21/00.
    EXPECT_FALSE(Read(bad + 5000));
    EXPECT_EQ(Sent(0x28), 1u);
    EXPECT_EQ(dev->GetSenseCode(), 0x21);
    EXPECT_EQ(MessagesWithId(3007).size(), 1u);
}

TEST_F(ReadErrorsTest, PromptSuppressionAndErrorModeSilenceThePrompt) {
    Build();
    dev->SetPromptSuppress(true);
    dev->SetDebugLevel(1);
    EXPECT_FALSE(Read(bad));
    EXPECT_TRUE(MessagesWithId(3007).empty());
    EXPECT_FALSE(LineStartsWith("Error reading (28)")) << "written from debug level 2 on";

    dev->SetDebugLevel(2);
    EXPECT_FALSE(Read(bad));
    char expected[64];
    std::snprintf(expected, sizeof expected, "Error reading (28) %d: 11 00", bad);
    EXPECT_TRUE(Logged(expected)) << expected;
    EXPECT_TRUE(MessagesWithId(3007).empty());

    dev->SetPromptSuppress(false);
    dev->SetErrorMode(true);
    EXPECT_FALSE(Read(bad));
    EXPECT_TRUE(MessagesWithId(3007).empty());
}

TEST_F(ReadErrorsTest, ErrorScanModeClassifiesAndCountsWithoutRetry) {
    Build();
    dev->SetErrorScanMode(true);
    dev->SetDebugLevel(1);
    EXPECT_FALSE(Read(bad));
    EXPECT_EQ(Sent(0x28), 1u);
    EXPECT_EQ(dev->GetLastErrorClass(), 2);
    EXPECT_EQ(dev->GetMediaErrors(), 1);
    EXPECT_FALSE(Read(bad));
    EXPECT_EQ(dev->GetMediaErrors(), 2);
    EXPECT_TRUE(Read(bad + 1));
    EXPECT_EQ(dev->GetLastErrorClass(), 0) << "each read starts a new class";

    EXPECT_FALSE(Read(bad + 5000));
    EXPECT_EQ(dev->GetLastErrorClass(), 3);
    EXPECT_EQ(dev->GetOtherErrors(), 1);
    char expected[96];
    std::snprintf(expected, sizeof expected, "Unexpected error from cmd 0x28, block %d on device D: ", bad + 5000);
    EXPECT_TRUE(LineStartsWith(expected)) << expected;
    EXPECT_EQ(dev->GetRecoveredErrors(), 0);
    EXPECT_TRUE(MessagesWithId(3007).empty());

    dev->ZeroErrorCounts();
    EXPECT_EQ(dev->GetMediaErrors() + dev->GetOtherErrors(), 0);
}

TEST_F(ReadErrorsTest, AudioReadsInErrorModeAreClassifiedAsWell) {
    DiscBuilder builder(dir);
    int audio = builder.Track(TrackKind::kAudio, 100);
    const int32_t start = builder.TrackStart(audio);
    builder.Unreadable(start + 50, start + 50);
    StandOnVirtual(builder);
    std::vector<uint8_t> sectors(2352);
    EXPECT_FALSE(dev->ReadCDDA(start + 50, sectors.data(), 1, false));
    EXPECT_EQ(Sent(0xBE), 1u) << "CD-DA reads are not retried";
    EXPECT_EQ(MessagesWithId(3007).size(), 1u);
    dev->SetErrorMode(true);
    EXPECT_FALSE(dev->ReadCDDA(start + 50, sectors.data(), 1, false));
    EXPECT_EQ(dev->GetLastErrorClass(), 2);
    EXPECT_EQ(dev->GetMediaErrors(), 1);
    EXPECT_EQ(MessagesWithId(3007).size(), 1u);
}

// Answers no virtual disc gives: RECOVERED ERROR and BLANK CHECK.
class ScriptedReadTest : public DriveDeviceTest {
protected:
    void Answer(uint8_t key, uint8_t asc) {
        auto fake = std::make_shared<FakeDrive>(5, [key, asc](const platform::ScsiRequest& r, int) {
            if (r.cdb[0] == 0x28) return CheckCondition(key, asc, 0);
            return platform::ScsiResult{};
        });
        fakeDrive = fake;
        StandOn({fake}, DriveKindUnderTest::kMmc);
    }
    int Reads() const { return fakeDrive->Commands() - commandsBefore; }
    std::shared_ptr<FakeDrive> fakeDrive;
    int commandsBefore = 0;
    std::vector<uint8_t> buf = std::vector<uint8_t>(2048);
};

TEST_F(ScriptedReadTest, RecoveredErrorsCountUnlessRecoveredModeTakesThemAsData) {
    Answer(1, 0x17);
    dev->SetErrorScanMode(true);
    EXPECT_FALSE(dev->ReadCD(10, buf.data(), 1));
    EXPECT_EQ(dev->GetLastErrorClass(), 1);
    EXPECT_EQ(dev->GetRecoveredErrors(), 1);
    dev->SetRecoveredMode(true);
    EXPECT_TRUE(dev->ReadCD(10, buf.data(), 1));
    EXPECT_EQ(dev->GetRecoveredErrors(), 1);
    EXPECT_EQ(dev->GetLastErrorClass(), 0);
}

TEST_F(ScriptedReadTest, BlankCheckIsNeitherRetriedNorReported) {
    Answer(8, 0);
    commandsBefore = fakeDrive->Commands();
    EXPECT_FALSE(dev->ReadCD(10, buf.data(), 1));
    EXPECT_EQ(Reads(), 1);
    EXPECT_TRUE(DeviceMessages().empty());
    EXPECT_EQ(dev->GetSenseKey(), 8);
}

// A Mount Rainier disc as such drives show it: 4352 user blocks, then 256
// spare blocks, after 1280 blocks at the start. Every user block carries
// its logical number; spare blocks carry 0xFFFFFFFF.
TEST_F(ReadErrorsTest, FakeMode3RemapsLogicalBlocksOntoAMountRainierLayout) {
    DiscBuilder builder(dir);
    builder.Medium("cd-rw").Directive("mrw yes");
    constexpr int kLogicalBlocks = 4700;
    const int physicalBlocks = kLogicalBlocks + (kLogicalBlocks / 4352 + 5) * 256;
    int track = builder.Track(TrackKind::kMode1, physicalBlocks);
    std::vector<uint8_t> stamp(8, 0xFF);
    for (int p = 0; p < physicalBlocks; ++p) builder.WriteBlock(track, p, stamp);
    for (int logical = 0; logical < kLogicalBlocks; ++logical) {
        const int physical = logical + (logical / 4352 + 5) * 256;
        const uint8_t bytes[4] = {uint8_t(logical >> 24), uint8_t(logical >> 16), uint8_t(logical >> 8), uint8_t(logical)};
        builder.WriteBlock(track, physical, bytes);
    }
    StandOnVirtual(builder);
    std::vector<int32_t> served;
    drive->SetReadObserver([&](int32_t first, int32_t) { served.push_back(first); });

    // The disc tells the drive it is Mount Rainier formatted.
    uint8_t toc[2048];
    ASSERT_TRUE(dev->ReadCDToc(0, toc, sizeof toc));
    EXPECT_TRUE(dev->IsMRW());

    dev->SetFakeMode3(true);
    EXPECT_TRUE(dev->IsFakeMode3());
    for (int logical : {0, 4351, 4352, 4600}) {
        SCOPED_TRACE(logical);
        ASSERT_TRUE(Read(logical));
        EXPECT_EQ(StampedBlock(buf.data()), uint32_t(logical));
    }
    EXPECT_EQ(served, (std::vector<int32_t>{1280, 4351 + 1280, 4352 + 1536, 4600 + 1536}));

    // CD-DA reads address the disc as it is.
    served.clear();
    ASSERT_TRUE(dev->SetCDDAMode(true));
    ASSERT_TRUE(dev->ReadCD(0, buf.data(), 1));
    EXPECT_EQ(served, std::vector<int32_t>{0});
}

TEST_F(ReadErrorsTest, AddressModeOfAMountRainierDiscIsChosenByPage3) {
    DiscBuilder builder(dir);
    builder.Medium("cd-rw").Directive("mrw yes");
    builder.Track(TrackKind::kMode1, 100);
    StandOnVirtual(builder);
    EXPECT_FALSE(dev->ChangeAddressMode(true)) << "not before the disc is known to be Mount Rainier";
    EXPECT_EQ(dev->GetSenseKey(), 255);
    EXPECT_EQ(dev->GetSenseCode(), 0x20);
    EXPECT_EQ(dev->GetSenseAddCode(), 0xFF);

    uint8_t toc[2048];
    ASSERT_TRUE(dev->ReadCDToc(0, toc, sizeof toc));
    dev->SetDebugLevel(1);
    ASSERT_TRUE(dev->ChangeAddressMode(true));
    EXPECT_TRUE(Logged("Drive addressing mode changed to 3"));
    // Page 3 as the drive now has it.
    device::DevCommand sense(dev.get());
    uint8_t page[64] = {};
    sense.SetBuffer(page);
    sense.SetDataLength(sizeof page);
    sense.SetCDBLength(10);
    sense.SetFlags(device::CommandFlags(1));
    sense[0] = 0x5A;
    sense[2] = 0x03;
    sense[8] = sizeof page;
    ASSERT_TRUE(sense.IORequest(true));
    const int at = 8 + (page[6] << 8 | page[7]);
    EXPECT_EQ(page[at] & 0x3F, 3);
    EXPECT_EQ(page[at + 3], 1);
    ASSERT_TRUE(dev->ChangeAddressMode(false));
    sense.SetDataLength(sizeof page);  // the transport left the count it moved
    ASSERT_TRUE(sense.IORequest(true));
    EXPECT_EQ(page[at + 3], 0);
}

}  // namespace
