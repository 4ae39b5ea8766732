// Recording through the device library onto a recording virtual drive:
// what a write leaves on the disc (tracks, sessions, the data read back),
// test writes, blanking, the busy waits and their limits, and a failed
// cache flush. The commands are judged by what the drive made of them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "cddevice_drive_fixture.h"
#include "device/cddevice/write_parameters.h"
#include "platform/scsi_opcodes.h"
#include "support/session_recorder.h"

using namespace dravik;
using namespace dravik::test;

namespace {

constexpr int kBlock = 2048;

// Blocks whose first four bytes are their index, the rest a pattern.
std::vector<uint8_t> Stamped(int blocks, uint8_t pattern) {
    std::vector<uint8_t> data(size_t(blocks) * kBlock, pattern);
    for (int b = 0; b < blocks; ++b) bytes::PutBe32(&data[size_t(b) * kBlock], uint32_t(b));
    return data;
}

class RecordingTest : public DriveDeviceTest {
protected:
    // A recorder holding a blank disc of `medium`, with further description lines.
    void Recorder(const std::string& medium, const std::vector<std::string>& directives = {},
                  const std::string& databaseTokens = "WCmd=0x2A,WFmt=1") {
        DiscBuilder b(dir, "recordable");
        b.Medium(medium).Blank();
        for (const std::string& line : directives) b.Directive(line);
        StandOnVirtual(b);
        ApplyDatabaseEntry(databaseTokens);
        dev->DeviceRecord()->SetSpeedCode(0);
        dev->DeviceRecord()->SetMMC(true);
        dev->DeviceRecord()->SetTrackInfoCmd(0x52);
    }
    // The same with a disc that already has an open track of `blocks` from a file.
    void RecorderWithOpenTrack(int32_t blocks) {
        DiscBuilder b(dir, "appendable");
        b.Medium("cd-r").Session(-1, true);
        TrackOptions open;
        open.open = true;
        b.Track(TrackKind::kMode1, blocks, open);
        StandOnVirtual(b);
        ApplyDatabaseEntry("WCmd=0x2A,WFmt=1");
        dev->DeviceRecord()->SetSpeedCode(0);
        dev->DeviceRecord()->SetMMC(true);
        dev->DeviceRecord()->SetTrackInfoCmd(0x52);
    }
    // Every file of the test's folder with its bytes.
    std::map<std::string, std::string> Files() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            files[entry.path().filename().string()] = dir.Read(entry.path().filename().string());
        return files;
    }
    std::shared_ptr<const vdrive::Disc> Disc() const { return drive->CurrentDisc(); }

    // Reads `blocks` blocks at `lba` and compares them with `expected`.
    void ExpectReadBack(int32_t lba, const std::vector<uint8_t>& expected) {
        std::vector<uint8_t> read(expected.size());
        ASSERT_TRUE(dev->ReadCD(lba, read.data(), int(expected.size() / kBlock)));
        EXPECT_EQ(read, expected) << "at block " << lba;
    }
};

TEST_F(RecordingTest, DataTrackInOneSessionIsClosedAndReadsBack) {
    struct Row {
        const char* tokens;
        uint8_t opcode;
    } rows[] = {{"WCmd=0x2A,WFmt=1", scsi::kWrite10}, {"WCmd=0xAA,WFmt=2", scsi::kWrite12}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tokens);
        Recorder("cd-r", {}, row.tokens);
        const std::vector<uint8_t> data = Stamped(40, 0x5A);
        RecordOptions once;
        once.multiSession = false;
        RecordResult r = RecordTrack(*dev, data, once);
        ASSERT_TRUE(r.ok) << r.failedStep;
        EXPECT_GT(Sent(row.opcode), 0u);
        EXPECT_EQ(r.start, 0);
        EXPECT_EQ(r.end, 40);
        auto disc = Disc();
        ASSERT_EQ(disc->tracks.size(), 1u);
        EXPECT_EQ(disc->tracks[0].Length(), 40);
        EXPECT_FALSE(disc->tracks[0].incomplete);
        EXPECT_TRUE(disc->finalized);
        ASSERT_EQ(disc->sessions.size(), 1u);
        EXPECT_TRUE(disc->sessions[0].closed);
        ExpectReadBack(0, data);
        dev.reset();
    }
}

TEST_F(RecordingTest, SecondSessionFollowsTheGapAndClosingItClosesTheDisc) {
    Recorder("cd-r");
    const std::vector<uint8_t> first = Stamped(30, 0x11), second = Stamped(20, 0x22);
    ASSERT_TRUE(RecordTrack(*dev, first).ok);
    EXPECT_FALSE(Disc()->finalized) << "a multi-session close leaves room";
    EXPECT_EQ(NextWritableAddress(*dev), 30 + vdrive::kFirstLeadOutBlocks + vdrive::kLeadInBlocks);

    RecordOptions last;
    last.multiSession = false;
    RecordResult r = RecordTrack(*dev, second, last);
    ASSERT_TRUE(r.ok) << r.failedStep;
    auto disc = Disc();
    ASSERT_EQ(disc->sessions.size(), 2u);
    EXPECT_TRUE(disc->finalized);
    EXPECT_EQ(disc->tracks[1].number, 2);
    EXPECT_EQ(disc->tracks[1].start, r.start);
    ExpectReadBack(0, first);
    ExpectReadBack(r.start, second);
}

TEST_F(RecordingTest, FixedPacketTrackTakesWholePacketsAndStaysOpenUntilClosed) {
    Recorder("cd-rw");
    RecordOptions packets;
    packets.packetWriting = true;
    packets.packetSize = 16;
    packets.closeSession = false;
    const std::vector<uint8_t> data = Stamped(40, 0x33);
    RecordResult r = RecordTrack(*dev, data, packets);
    ASSERT_TRUE(r.ok) << r.failedStep;
    EXPECT_EQ(r.end, 48) << "padded to three packets; the flush gives the next address";
    auto disc = Disc();
    ASSERT_EQ(disc->tracks.size(), 1u);
    EXPECT_TRUE(disc->tracks[0].packet);
    EXPECT_EQ(disc->tracks[0].fixedPacketSize, 16u);
    EXPECT_EQ(disc->tracks[0].Length(), 48);
    EXPECT_TRUE(disc->lastSessionOpen);
    ExpectReadBack(0, data);
}

TEST_F(RecordingTest, TestWriteLeavesTheDiscBlank) {
    Recorder("cd-r");
    RecordOptions simulation;
    simulation.testWrite = true;
    RecordResult r = RecordTrack(*dev, Stamped(20, 0x44), simulation);
    ASSERT_TRUE(r.ok) << r.failedStep;
    EXPECT_GT(Sent(scsi::kWrite10), 0u);
    EXPECT_TRUE(Disc()->tracks.empty());
    EXPECT_FALSE(Disc()->finalized);
    EXPECT_EQ(NextWritableAddress(*dev), 0);
}

TEST_F(RecordingTest, BlankingACdRwEmptiesItForTheNextRecording) {
    for (bool quick : {true, false}) {
        SCOPED_TRACE(quick ? "minimal" : "whole disc");
        Recorder("cd-rw", {"busy 3"});
        ASSERT_TRUE(RecordTrack(*dev, Stamped(25, 0x55)).ok);
        ASSERT_FALSE(Disc()->tracks.empty());
        ASSERT_TRUE(dev->BlankDisc(quick));
        EXPECT_TRUE(Disc()->tracks.empty());
        // The drive blanks in the background: busy for three polls.
        int busy = 0;
        while (!dev->PollWriter() && busy < 10) ++busy;
        EXPECT_EQ(busy, 3);
        EXPECT_EQ(dev->GetSenseCode(), 0);
        const std::vector<uint8_t> again = Stamped(10, 0x66);
        RecordResult r = RecordTrack(*dev, again);
        ASSERT_TRUE(r.ok) << r.failedStep << " after the drive's busy polls";
        EXPECT_EQ(r.start, 0);
        ExpectReadBack(0, again);
        dev.reset();
    }
}

TEST_F(RecordingTest, BlankingACdRIsRefused) {
    Recorder("cd-r");
    ASSERT_TRUE(RecordTrack(*dev, Stamped(10, 0x77)).ok);
    EXPECT_FALSE(dev->BlankDisc(true));
    EXPECT_EQ(Disc()->tracks.size(), 1u);
}

TEST_F(RecordingTest, BusyDriveEndsEveryWaitAtTheTimeOutOrTheAbortFlag) {
    struct Row {
        const char* name;
        bool abort;
    } rows[] = {{"time-out", false}, {"abort flag", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Recorder("cd-r", {"busy 100000000"});
        dev->SetWriterTimeout(2000);
        device::WriteParameters wp;
        wp.dataBlockType = 8;
        wp.trackNumber = 255;
        ASSERT_TRUE(dev->InitWrite(wp));
        std::vector<uint8_t> data = Stamped(16, 0x12);
        ASSERT_TRUE(dev->WriteData(wp, data.data(), int(data.size())));
        if (row.abort) dev->SetAbortFlag();
        const uint64_t before = drive->Counters().commands;
        EXPECT_FALSE(dev->CloseTrack(wp, true));
        EXPECT_TRUE(wp.error);
        EXPECT_EQ(dev->GetSenseKey(), 2);
        EXPECT_EQ(dev->GetSenseCode(), 0x04);
        EXPECT_EQ(dev->GetSenseAddCode(), 0x08);
        EXPECT_EQ(Sent(scsi::kCloseTrackSession), 1u) << "the close is sent once";
        const uint64_t polls = drive->Counters().commands - before;
        EXPECT_LT(polls, row.abort ? 10u : 200u) << "polls 50 ms apart within two seconds";
        EXPECT_GT(polls, row.abort ? 0u : 30u);
        EXPECT_FALSE(dev->WriteData(wp, data.data(), int(data.size()))) << "refused after the failed close";
        dev.reset();
    }
}

TEST_F(RecordingTest, LongWriteInProgressIsWaitedOutWithoutLosingData) {
    Recorder("cd-r", {"write-busy 2"});
    const std::vector<uint8_t> data = Stamped(64, 0x21);
    RecordResult r = RecordTrack(*dev, data);
    ASSERT_TRUE(r.ok) << r.failedStep;
    EXPECT_EQ(r.end, 64);
    ExpectReadBack(0, data);
}

TEST_F(RecordingTest, FailedCacheFlushStopsTheWriteWithItsSense) {
    struct Row {
        const char* name;
        bool packets;
        const char* failedStep;
    } rows[] = {{"track at once: the close", false, "close"}, {"packets: the next packet", true, "write"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Recorder("cd-rw");
        drive->FailCommand(scsi::kSynchronizeCache, 0x03, 0x0C, 0x00);
        RecordOptions options;
        options.packetWriting = row.packets;
        options.packetSize = row.packets ? 16 : 0;
        RecordResult r = RecordTrack(*dev, Stamped(48, 0x31), options);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.failedStep, row.failedStep);
        EXPECT_EQ(dev->GetSenseKey(), 3);
        EXPECT_EQ(dev->GetSenseCode(), 0x0C);
        auto disc = Disc();
        ASSERT_EQ(disc->tracks.size(), 1u);
        EXPECT_TRUE(disc->tracks[0].incomplete) << "nothing was closed";
        EXPECT_EQ(Sent(scsi::kCloseTrackSession), 0u);
        if (row.packets) {
            EXPECT_EQ(disc->tracks[0].Length(), 16) << "no packet after the failed flush";
        }
        dev.reset();
    }
}

TEST_F(RecordingTest, ReservedTrackIsWrittenFromItsStartAndKeepsItsSize) {
    Recorder("cd-r");
    device::WriteParameters wp;
    wp.dataBlockType = 8;
    wp.trackNumber = 255;
    wp.reserveSize = 100;
    ASSERT_TRUE(dev->ReserveTrack(wp));
    EXPECT_TRUE(Disc()->tracks.at(0).incomplete);
    ASSERT_TRUE(dev->InitWrite(wp));
    EXPECT_EQ(wp.nextWritableAddress, 0);
    std::vector<uint8_t> data = Stamped(32, 0x41);
    ASSERT_TRUE(dev->WriteData(wp, data.data(), int(data.size())));
    ASSERT_TRUE(dev->CloseTrack(wp, false));
    auto disc = Disc();
    EXPECT_EQ(disc->tracks.at(0).Length(), 100);
    EXPECT_FALSE(disc->tracks.at(0).incomplete);
    ExpectReadBack(0, data);
}

TEST_F(RecordingTest, WithoutAWriteCommandFormNothingIsSent) {
    Recorder("cd-r", {}, "WCmd=0x2A,WFmt=0");
    device::WriteParameters wp;
    std::vector<uint8_t> data = Stamped(2, 0);
    EXPECT_FALSE(dev->WriteData(wp, data.data(), int(data.size())));
    EXPECT_FALSE(dev->CloseTrack(wp, true));
    EXPECT_FALSE(dev->CloseSession(wp));
    EXPECT_FALSE(dev->RepairTrack(wp));
    EXPECT_FALSE(dev->ReserveTrack(wp));
    EXPECT_EQ(drive->Counters().commands, 0u);
}

TEST_F(RecordingTest, QueriesOfABlankDisc) {
    Recorder("cd-r", {"capacity 300000"});
    unsigned freeBlocks = 0, usedBlocks = 1;
    ASSERT_TRUE(dev->GetCDCapacity(&freeBlocks, &usedBlocks, false));
    EXPECT_EQ(freeBlocks, 300000u);
    EXPECT_EQ(usedBlocks, 0u);
    dev->SetBufferSize(2048);
    EXPECT_EQ(dev->GetBufferSpace(), 100u);
    EXPECT_TRUE(dev->SendOPC(nullptr, 0));
    ASSERT_TRUE(dev->SetWriteSpeed(4));
    EXPECT_EQ(dev->GetWriteSpeed(), 4);
    ASSERT_TRUE(RecordTrack(*dev, Stamped(50, 1)).ok);
    ASSERT_TRUE(dev->GetCDCapacity(&freeBlocks, &usedBlocks, false));
    EXPECT_EQ(usedBlocks, 50u + vdrive::kFirstLeadOutBlocks + vdrive::kLeadInBlocks) << "the next session's start";
}

TEST_F(RecordingTest, CopiedParametersStartWithoutErrorOrAddresses) {
    device::WriteParameters wp;
    wp.error = true;
    wp.nextWritableAddress = 100;
    wp.currentWriteAddress = 120;
    wp.packetWriting = true;
    wp.packetSize = 32;
    device::WriteParameters copy(wp);
    EXPECT_FALSE(copy.error);
    EXPECT_EQ(copy.nextWritableAddress, -1);
    EXPECT_EQ(copy.currentWriteAddress, -1);
    EXPECT_TRUE(copy.packetWriting);
    EXPECT_EQ(copy.packetSize, 32u);
}

TEST_F(RecordingTest, AppendingToAnOpenTrackLeavesTheLoadedFilesAlone) {
    RecorderWithOpenTrack(20);
    const auto before = Files();
    std::vector<uint8_t> loaded(20 * kBlock);
    ASSERT_TRUE(dev->ReadCD(0, loaded.data(), 20));
    const std::vector<uint8_t> more = Stamped(12, 0x7E);
    RecordResult r = RecordTrack(*dev, more);
    ASSERT_TRUE(r.ok) << r.failedStep;
    EXPECT_EQ(r.start, 20) << "the open track's next writable address";
    EXPECT_EQ(Files(), before);
    auto disc = Disc();
    ASSERT_EQ(disc->tracks.size(), 1u);
    EXPECT_EQ(disc->tracks[0].Length(), 32);
    ExpectReadBack(0, loaded);
    ExpectReadBack(20, more);
}

TEST_F(RecordingTest, SavedRecordingLoadsAgainWithItsOpenSession) {
    Recorder("cd-r");
    const std::vector<uint8_t> data = Stamped(30, 0x71);
    RecordOptions open;
    open.closeSession = false;
    ASSERT_TRUE(RecordTrack(*dev, data, open).ok);
    const std::string saved = dir.File("saved.vdisc");
    ASSERT_EQ(drive->SaveDisc(saved), "");
    vdrive::LoadError error;
    auto again = vdrive::VirtualDrive::Open(saved, error);
    ASSERT_TRUE(again) << error.Text();
    auto disc = again->CurrentDisc();
    ASSERT_EQ(disc->tracks.size(), 1u);
    EXPECT_EQ(disc->tracks[0].Length(), 30);
    EXPECT_TRUE(disc->lastSessionOpen);
    EXPECT_FALSE(disc->finalized);
    auto other = std::shared_ptr<vdrive::VirtualDrive>(std::move(again));
    StandOn({other}, DriveKindUnderTest::kMmc);
    std::vector<uint8_t> read(data.size());
    ASSERT_TRUE(dev->ReadCD(0, read.data(), 30));
    EXPECT_EQ(read, data);
}

}  // namespace
