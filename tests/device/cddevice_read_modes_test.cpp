// Reads through a virtual drive in every mode: cooked, raw (checked against
// the cooked data and an EDC computed apart from the drive), CD-DA with and
// without sub-Q, sub-channel, R-W and caller-chosen READ CD fields, on MMC
// and on older drives.
#include <gtest/gtest.h>

#include <vector>

#include "../vdrive/sector_check.h"
#include "cddevice_drive_fixture.h"

using namespace dravik;
using namespace dravik::test;

namespace {

constexpr uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

class ReadModesTest : public DriveDeviceTest {
protected:
    // Track 1 audio (200 blocks), track 2 Mode 1 data (300 blocks).
    void Build(DriveKindUnderTest kind) {
        DiscBuilder builder(dir);
        if (kind == DriveKindUnderTest::kOlder) builder.OlderDrive();
        audio = builder.Track(TrackKind::kAudio, 200);
        data = builder.Track(TrackKind::kMode1, 300);
        audioStart = builder.TrackStart(audio);
        dataStart = builder.TrackStart(data);
        StandOnVirtual(builder, kind);
    }
    std::vector<uint8_t> Cooked(int block, int count) {
        std::vector<uint8_t> buf(size_t(count) * 2048);
        EXPECT_TRUE(dev->ReadCD(block, buf.data(), count));
        return buf;
    }
    // A raw Mode 1 sector: sync, the header of its address, the cooked
    // bytes, and an EDC and parity that hold.
    void ExpectRawSectorOf(const uint8_t* raw, int block, const uint8_t* cooked) {
        SCOPED_TRACE(block);
        EXPECT_EQ(std::memcmp(raw, kSync, 12), 0);
        const int address = block + 150;
        auto bcd = [](int v) { return uint8_t((v / 10) << 4 | v % 10); };
        EXPECT_EQ(raw[12], bcd(address / 4500));
        EXPECT_EQ(raw[13], bcd(address / 75 % 60));
        EXPECT_EQ(raw[14], bcd(address % 75));
        EXPECT_EQ(raw[15], 1);
        EXPECT_EQ(std::memcmp(raw + 16, cooked, 2048), 0);
        const uint32_t edc = ReferenceEdc(raw, 2064);
        EXPECT_EQ(raw[2064] | raw[2065] << 8 | raw[2066] << 16 | uint32_t(raw[2067]) << 24, edc);
        EXPECT_TRUE(EccConsistent(raw));
    }

    int audio = 0, data = 0;
    int32_t audioStart = 0, dataStart = 0;
};

TEST_F(ReadModesTest, CookedReadsOfDataTrackSendOneRead10PerCall) {
    Build(DriveKindUnderTest::kMmc);
    std::vector<uint8_t> buf = Cooked(dataStart + 16, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(StampedBlock(&buf[size_t(i) * 2048]), uint32_t(dataStart + 16 + i));
    EXPECT_EQ(Sent(0x28), 1u);
    EXPECT_EQ(drive->Counters().commands, 1u);
    EXPECT_EQ(dev->GetLastErrorClass(), 0);
}

TEST_F(ReadModesTest, RawReadsMatchTheCookedDataOnMmcAndOlderDrives) {
    for (DriveKindUnderTest kind : {DriveKindUnderTest::kMmc, DriveKindUnderTest::kOlder}) {
        SCOPED_TRACE(kind == DriveKindUnderTest::kMmc ? "MMC" : "older");
        Build(kind);
        const int first = dataStart + 40;
        std::vector<uint8_t> cooked = Cooked(first, 3);
        drive->ResetCounters();
        ASSERT_TRUE(dev->SetRawSectorMode(true));
        EXPECT_TRUE(dev->InRawMode());
        // Only the older drive needs its block length set to 2352.
        EXPECT_EQ(Sent(0x55), kind == DriveKindUnderTest::kMmc ? 0u : 1u);
        std::vector<uint8_t> raw(3 * 2352);
        ASSERT_TRUE(dev->ReadCD(first, raw.data(), 3));
        EXPECT_EQ(Sent(kind == DriveKindUnderTest::kMmc ? 0xBE : 0x28), 1u);
        for (int i = 0; i < 3; ++i) ExpectRawSectorOf(&raw[size_t(i) * 2352], first + i, &cooked[size_t(i) * 2048]);

        ASSERT_TRUE(dev->SetRawSectorMode(false));
        std::vector<uint8_t> again = Cooked(first, 3);
        EXPECT_EQ(again, cooked) << "back to 2048-byte blocks";
        dev.reset();
    }
}

TEST_F(ReadModesTest, CDDAModeReadsAudioSectorsThroughTheRecordsCommand) {
    for (DriveKindUnderTest kind : {DriveKindUnderTest::kMmc, DriveKindUnderTest::kOlder}) {
        SCOPED_TRACE(kind == DriveKindUnderTest::kMmc ? "MMC" : "older");
        Build(kind);
        ASSERT_TRUE(dev->SetCDDAMode(true));
        EXPECT_TRUE(dev->InCDDAMode());
        // An older drive gets its CD-DA density by a mode select.
        EXPECT_EQ(Sent(0x55), kind == DriveKindUnderTest::kMmc ? 0u : 1u);
        std::vector<uint8_t> buf(2 * 2352);
        ASSERT_TRUE(dev->ReadCD(audioStart + 10, buf.data(), 2));
        EXPECT_EQ(StampedBlock(buf.data()), uint32_t(audioStart + 10));
        EXPECT_EQ(StampedBlock(buf.data() + 2352), uint32_t(audioStart + 11));
        EXPECT_EQ(Sent(kind == DriveKindUnderTest::kMmc ? 0xBE : 0xD9), 1u);
        EXPECT_EQ(Sent(0x28), 0u);
        ASSERT_TRUE(dev->SetCDDAMode(false));
        EXPECT_FALSE(dev->InCDDAMode());
        std::vector<uint8_t> cooked = Cooked(dataStart, 1);
        EXPECT_EQ(StampedBlock(cooked.data()), uint32_t(dataStart));
        dev.reset();
    }
}

TEST_F(ReadModesTest, SubQOfAnAudioSectorAgreesWithTheSectorReadWithIt) {
    for (DriveKindUnderTest kind : {DriveKindUnderTest::kMmc, DriveKindUnderTest::kOlder}) {
        SCOPED_TRACE(kind == DriveKindUnderTest::kMmc ? "MMC" : "older");
        Build(kind);
        const int block = audioStart + 80;
        std::vector<uint8_t> withQ(2 * 2368);
        ASSERT_TRUE(dev->ReadCDDA(block, withQ.data(), 2, true));
        EXPECT_EQ(StampedBlock(withQ.data()), uint32_t(block));
        EXPECT_EQ(StampedBlock(withQ.data() + 2368), uint32_t(block + 1));
        const uint8_t* q = withQ.data() + 2352;
        EXPECT_EQ(q[0], 0x01) << "ADR 1, audio control";
        EXPECT_EQ(q[1], 0x01) << "track 1 in BCD";
        const int address = block + 150;
        EXPECT_EQ(q[7], (address / 4500) / 10 << 4 | (address / 4500) % 10);
        EXPECT_EQ(q[9], (address % 75) / 10 << 4 | (address % 75) % 10);

        uint8_t alone[16] = {};
        ASSERT_TRUE(dev->ReadSubQ(block, alone));
        EXPECT_EQ(std::memcmp(alone, q, 12), 0);
        dev.reset();
    }
}

TEST_F(ReadModesTest, SubQWithTheSectorTakesTheQFromTheEndOfWhatMoved) {
    Build(DriveKindUnderTest::kMmc);
    dev->SetSubQVal(0x12);  // the sector together with its Q
    uint8_t q[16] = {};
    ASSERT_TRUE(dev->ReadSubQ(dataStart + 5, q));
    // A data sector read for its user data moves 2048 + 16 bytes.
    EXPECT_EQ(q[0], 0x41) << "ADR 1, data control";
    EXPECT_EQ(q[1], 0x02) << "track 2";
    ASSERT_TRUE(dev->ReadSubQ(audioStart + 5, q));
    EXPECT_EQ(q[0], 0x01);
    EXPECT_EQ(q[1], 0x01);
}

TEST_F(ReadModesTest, AudioWithSubQOnATenByteCommandIsRefusedUnsent) {
    Build(DriveKindUnderTest::kOlder);
    dev->DeviceRecord()->SetCDDALen(10);
    dev->DeviceRecord()->SetCDDACmd(0xD8);
    std::vector<uint8_t> buf(2368);
    EXPECT_FALSE(dev->ReadCDDA(audioStart, buf.data(), 1, true));
    EXPECT_EQ(dev->GetSenseCode(), 0x20);
    EXPECT_EQ(dev->GetSenseAddCode(), 0);
    uint8_t q[16];
    EXPECT_FALSE(dev->ReadSubQ(audioStart, q));
    EXPECT_EQ(drive->Counters().commands, 0u);
}

TEST_F(ReadModesTest, RWSubChannelReadsFollowTheRecord) {
    Build(DriveKindUnderTest::kMmc);
    std::vector<uint8_t> buf(2 * 2448, 0xAA);
    ASSERT_TRUE(dev->ReadCDSubRW(audioStart + 3, buf.data(), 2));
    EXPECT_EQ(StampedBlock(buf.data()), uint32_t(audioStart + 3));
    EXPECT_EQ(StampedBlock(buf.data() + 2448), uint32_t(audioStart + 4));

    ApplyDatabaseEntry("SubRW=255");
    ASSERT_EQ(dev->DeviceRecord()->GetSubRW(), 255u);
    drive->ResetCounters();
    EXPECT_FALSE(dev->ReadCDSubRW(audioStart, buf.data(), 1));
    EXPECT_EQ(drive->Counters().commands, 0u) << "255: R-W reads are not offered";
}

TEST_F(ReadModesTest, ReadCDAnySizesSectorsByTheChosenFields) {
    Build(DriveKindUnderTest::kMmc);
    const int block = dataStart + 7;
    std::vector<uint8_t> cooked = Cooked(block, 2);
    drive->ResetCounters();

    std::vector<uint8_t> raw(2 * 2352);
    ASSERT_TRUE(dev->ReadCDAny(block, raw.data(), 2, 0xF8));
    EXPECT_EQ(Sent(0xBE), 1u);
    for (int i = 0; i < 2; ++i) ExpectRawSectorOf(&raw[size_t(i) * 2352], block + i, &cooked[size_t(i) * 2048]);

    std::vector<uint8_t> user(2 * 2048);
    ASSERT_TRUE(dev->ReadCDAny(block, user.data(), 2, 0x10));
    EXPECT_EQ(Sent(0x28), 1u) << "user data alone is READ(10)";
    EXPECT_EQ(user, cooked);

    // Header and user data: 4 + 2048 bytes a sector.
    std::vector<uint8_t> headed(2 * 2052);
    ASSERT_TRUE(dev->ReadCDAny(block, headed.data(), 2, 0x30));
    EXPECT_EQ(headed[3], 1);
    EXPECT_EQ(std::memcmp(headed.data() + 4, cooked.data(), 2048), 0);
    EXPECT_EQ(std::memcmp(headed.data() + 2052 + 4, cooked.data() + 2048, 2048), 0);
}

TEST_F(ReadModesTest, ReadCDAnyIsForMmcDrivesOnly) {
    Build(DriveKindUnderTest::kOlder);
    std::vector<uint8_t> buf(2352);
    EXPECT_FALSE(dev->ReadCDAny(dataStart, buf.data(), 1, 0xF8));
    EXPECT_EQ(dev->GetSenseKey(), 5);
    EXPECT_EQ(dev->GetSenseCode(), 0x14);
    EXPECT_EQ(dev->GetSenseAddCode(), 0xF8);
    EXPECT_EQ(drive->Counters().commands, 0u);
}

TEST_F(ReadModesTest, CountsOneCdbCannotCarryAreRefusedUnsent) {
    Build(DriveKindUnderTest::kMmc);
    std::vector<uint8_t> buf(256 * 2048);
    EXPECT_FALSE(dev->ReadCD(dataStart, buf.data(), 256));
    EXPECT_FALSE(dev->ReadCD(dataStart, buf.data(), 0));
    EXPECT_FALSE(dev->ReadCD(dataStart, nullptr, 1));
    EXPECT_EQ(dev->GetSenseCode(), 0x24);
    EXPECT_EQ(drive->Counters().commands, 0u);
    EXPECT_TRUE(DeviceMessages().empty());
}

TEST_F(ReadModesTest, ChangeSectorSizeRecordsTheSizeAndSelectsCookedBlocksOnOlderDrives) {
    Build(DriveKindUnderTest::kOlder);
    ASSERT_TRUE(dev->ChangeSectorSize(2336));
    EXPECT_EQ(dev->GetSectorSize(), 2336);
    EXPECT_EQ(Sent(0x55), 1u);
    EXPECT_FALSE(dev->InRawMode());
    drive->ResetCounters();
    EXPECT_TRUE(dev->ChangeSectorSize(2336));
    EXPECT_EQ(drive->Counters().commands, 0u) << "the same size sends nothing";
}

}  // namespace
