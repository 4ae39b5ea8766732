// The command forms the device object builds, seen by a scripted drive:
// TOC formats in the control byte, track information by number or block,
// the all-tracks command, the switch of MODE SELECT to 10 bytes with a
// list rebuilt for it, and ATIP that the drive refuses for good.
#include <gtest/gtest.h>

#include <vector>

#include "cddevice_drive_fixture.h"

using namespace dravik;
using namespace dravik::test;

namespace {

class QueryCommandsTest : public DriveDeviceTest {
protected:
    using Answer = std::function<platform::ScsiResult(const platform::ScsiRequest&)>;
    void Script(DriveKindUnderTest kind, Answer answer = {}) {
        auto fake = std::make_shared<FakeDrive>(5, [this, answer](const platform::ScsiRequest& r, int) {
            cdbs.emplace_back(r.cdb, r.cdb + r.cdbLength);
            if (r.direction == platform::DataDirection::kOut && r.data) lists.emplace_back(r.data, r.data + r.dataLength);
            if (answer) return answer(r);
            platform::ScsiResult result;
            if (r.data && r.direction == platform::DataDirection::kIn && r.dataLength >= 4) {
                std::memset(r.data, 0, r.dataLength);
                r.data[1] = uint8_t(r.dataLength - 2);  // a full answer of the asked length
            }
            return result;
        });
        StandOn({fake}, kind, false);
        cdbs.clear();
        lists.clear();
    }
    std::vector<std::vector<uint8_t>> cdbs, lists;
};

TEST_F(QueryCommandsTest, TocFormatsTravelInTheControlByteExceptAtipAndCdText) {
    Script(DriveKindUnderTest::kOlder);
    uint8_t buf[256];
    ASSERT_TRUE(dev->ReadCDToc(0x100, buf, 12));
    ASSERT_EQ(cdbs.size(), 1u);
    EXPECT_EQ(cdbs[0], (std::vector<uint8_t>{0x43, 0, 0, 0, 0, 0, 0, 0, 12, 0x40}));
    ASSERT_TRUE(dev->ReadCDToc(0x201, buf, 256));
    EXPECT_EQ(cdbs[1][6], 1);
    EXPECT_EQ(cdbs[1][9], 0x80);
    EXPECT_EQ(cdbs[1][7], 1);
    EXPECT_EQ(cdbs[1][8], 0);
    ASSERT_TRUE(dev->ReadCDToc(0x500, buf, 256));
    EXPECT_EQ(cdbs[2][2], 5);
    EXPECT_EQ(cdbs[2][9], 0);
}

TEST_F(QueryCommandsTest, TrackInformationByNumberByBlockAndForAllTracks) {
    Script(DriveKindUnderTest::kMmc);
    uint8_t buf[255];
    ASSERT_TRUE(dev->ReadCDRWInfo(buf, 7));
    EXPECT_EQ(cdbs[0], (std::vector<uint8_t>{0x52, 1, 0, 0, 0, 7, 0, 0, 28, 0}));
    ASSERT_TRUE(dev->ReadCDRWInfo(buf, 300));
    EXPECT_EQ(cdbs[1], (std::vector<uint8_t>{0x52, 0, 0, 0, 0x01, 0x2C, 0, 0, 28, 0}));
    ASSERT_TRUE(dev->ReadCDRWInfo(buf, 0));
    EXPECT_EQ(cdbs[2], (std::vector<uint8_t>{0x51, 0, 0, 0, 0, 0, 0, 0, 32, 0}));
    dev->SetTrackInfoCmd(0xE6);
    ASSERT_TRUE(dev->ReadCDRWInfo(buf, 3));
    EXPECT_EQ(cdbs[3], (std::vector<uint8_t>{0xE6, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));
}

TEST_F(QueryCommandsTest, AtipRefusedWithInvalidFieldIsNotAskedAgain) {
    Script(DriveKindUnderTest::kOlder, [](const platform::ScsiRequest& r) {
        return r.cdb[0] == 0x43 ? CheckCondition(5, 0x24, 0) : platform::ScsiResult{};
    });
    uint8_t buf[256];
    EXPECT_TRUE(dev->CanReadATIP());
    EXPECT_FALSE(dev->ReadCDToc(0x400, buf, 256));
    EXPECT_FALSE(dev->CanReadATIP());
    EXPECT_FALSE(dev->ReadCDToc(0x400, buf, 256));
    EXPECT_EQ(cdbs.size(), 1u);
    EXPECT_TRUE(DeviceMessages().empty());
}

TEST_F(QueryCommandsTest, TocFailuresTheUserShouldSeeAreReported) {
    Script(DriveKindUnderTest::kOlder, [](const platform::ScsiRequest&) { return CheckCondition(3, 0x11, 0); });
    uint8_t buf[256];
    EXPECT_FALSE(dev->ReadCDToc(0x200, buf, 256));
    ASSERT_EQ(MessagesWithId(3009).size(), 1u);
    EXPECT_EQ(MessagesWithId(3009)[0].number, 0x200);
    dev->SetErrorMode(true);
    EXPECT_FALSE(dev->ReadCDToc(0x200, buf, 256));
    EXPECT_EQ(MessagesWithId(3009).size(), 1u) << "error mode at debug level 0 is silent";
}

TEST_F(QueryCommandsTest, ModeSelectSixRefusedSwitchesToTenWithTheListRebuilt) {
    Script(DriveKindUnderTest::kOlder, [](const platform::ScsiRequest& r) {
        return r.cdb[0] == 0x15 ? CheckCondition(5, 0x20, 0) : platform::ScsiResult{};
    });
    dev->DeviceRecord()->SetMode10(false);
    ASSERT_TRUE(dev->SetRawSectorMode(true));
    ASSERT_EQ(cdbs.size(), 2u);
    EXPECT_EQ(cdbs[0][0], 0x15);
    EXPECT_EQ(cdbs[1][0], 0x55);
    EXPECT_TRUE(dev->IsMode10()) << "the record keeps 10-byte commands";
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0].size(), 12u);
    ASSERT_EQ(lists[1].size(), 16u) << "an 8-byte header before the block descriptor";
    EXPECT_EQ(lists[1][7], 8);
    EXPECT_EQ(lists[1][13], 0x00);
    EXPECT_EQ(lists[1][14], 0x09);
    EXPECT_EQ(lists[1][15], 0x30) << "2352-byte blocks";
}

TEST_F(QueryCommandsTest, ModeSelectFailureIsReportedWithTheOpcode) {
    Script(DriveKindUnderTest::kOlder, [](const platform::ScsiRequest& r) {
        return r.cdb[0] == 0x55 ? CheckCondition(5, 0x26, 0) : platform::ScsiResult{};
    });
    dev->SetDebugLevel(1);
    EXPECT_FALSE(dev->SetCDDAMode(true));
    EXPECT_TRUE(Logged("Received failure from mode select, turning length prefix off"));
    EXPECT_TRUE(dev->DeviceRecord()->IsModeLenReq()) << "turned back on when that did not help";
    ASSERT_EQ(MessagesWithId(3008).size(), 1u);
    EXPECT_EQ(MessagesWithId(3008)[0].number, 0x55);
    EXPECT_EQ(MessagesWithId(3008)[0].device, "D:");
    EXPECT_EQ(cdbs.size(), 2u);
    EXPECT_EQ(lists[1][0], 0) << "the second try without the length prefix";
    EXPECT_EQ(lists[1][1], 0);
}

TEST_F(QueryCommandsTest, CdTrayControlTakesTheLengthFromTheOpcodeGroup) {
    Script(DriveKindUnderTest::kMmc);
    ASSERT_TRUE(dev->CDTrayControl(true));
    EXPECT_EQ(cdbs[0], (std::vector<uint8_t>{0x1B, 0, 0, 0, 2, 0}));
    dev->DeviceRecord()->SetLoadCmd(0xA6);
    ASSERT_TRUE(dev->CDTrayControl(false));
    EXPECT_EQ(cdbs[1].size(), 12u);
    EXPECT_EQ(cdbs[1][4], 3);
}

}  // namespace
