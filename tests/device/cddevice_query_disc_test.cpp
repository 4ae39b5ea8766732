// Disc queries through virtual drives: every TOC format on a two-session
// disc, disc and track information of an open disc (track 255 included),
// the older drive's track information reply, the configuration, tray and
// position commands; and drives whose replies lie about their length.
#include <gtest/gtest.h>

#include <vector>

#include "cddevice_drive_fixture.h"

using namespace dravik;
using namespace dravik::test;

namespace {

uint32_t BE16(const uint8_t* p) { return bytes::GetBe16(p); }
uint32_t BE32(const uint8_t* p) { return bytes::GetBe32(p); }
int MsfBlocks(const uint8_t* msf) { return msf[0] * 4500 + msf[1] * 75 + msf[2] - 150; }

class QueryDiscTest : public DriveDeviceTest {
protected:
    // Session 1: audio track 1, data track 2; session 2: data track 3.
    void BuildTwoSessions(DriveKindUnderTest kind = DriveKindUnderTest::kMmc) {
        DiscBuilder builder(dir);
        if (kind == DriveKindUnderTest::kOlder) builder.OlderDrive();
        builder.Medium("cd-r").Finalized(false);
        starts[0] = builder.TrackStart(builder.Track(TrackKind::kAudio, 200));
        starts[1] = builder.TrackStart(builder.Track(TrackKind::kMode1, 300));
        builder.Session();
        starts[2] = builder.TrackStart(builder.Track(TrackKind::kMode1, 300));
        StandOnVirtual(builder, kind);
    }
    int32_t starts[3] = {};
    uint8_t buf[2048] = {};
};

TEST_F(QueryDiscTest, TrackFormatListsEveryTrackAndTheLeadOut) {
    BuildTwoSessions();
    ASSERT_TRUE(dev->ReadCDToc(0, buf, sizeof buf));
    EXPECT_EQ(BE16(buf), 2u + 4 * 8);
    EXPECT_EQ(buf[2], 1);
    EXPECT_EQ(buf[3], 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buf[4 + 8 * i + 2], i + 1);
        EXPECT_EQ(BE32(buf + 4 + 8 * i + 4), uint32_t(starts[i]));
    }
    EXPECT_EQ(buf[4 + 8 * 3 + 2], 0xAA);
    EXPECT_EQ(BE32(buf + 4 + 8 * 3 + 4), uint32_t(starts[2] + 300));
    EXPECT_EQ(buf[4 + 1] & 0x04, 0) << "track 1 is audio";
    EXPECT_NE(buf[4 + 8 + 1] & 0x04, 0) << "track 2 is data";

    // From track 3 on.
    ASSERT_TRUE(dev->ReadCDToc(3, buf, sizeof buf));
    EXPECT_EQ(BE16(buf), 2u + 2 * 8);
    EXPECT_EQ(buf[6], 3);
}

TEST_F(QueryDiscTest, SessionFormatNamesTheLastSessionsFirstTrack) {
    BuildTwoSessions();
    ASSERT_TRUE(dev->ReadCDToc(0x100, buf, 12));
    EXPECT_EQ(buf[2], 1);
    EXPECT_EQ(buf[3], 2);
    EXPECT_EQ(buf[6], 3);
    EXPECT_EQ(BE32(buf + 8), uint32_t(starts[2]));
}

TEST_F(QueryDiscTest, FullTocGivesEachSessionAndWhereTheNextBegins) {
    BuildTwoSessions();
    ASSERT_TRUE(dev->ReadCDToc(0x200, buf, sizeof buf));
    const int count = int(BE16(buf) - 2) / 11;
    EXPECT_EQ(buf[3], 2) << "last session";
    int b0 = 0, trackPoints = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t* d = buf + 4 + 11 * i;
        if (d[3] >= 1 && d[3] <= 3) {
            ++trackPoints;
            EXPECT_EQ(d[0], d[3] == 3 ? 2 : 1) << "session of track " << int(d[3]);
            EXPECT_EQ(MsfBlocks(d + 8), starts[d[3] - 1]);
        }
        if (d[3] == 0xB0 && d[0] == 1) {
            ++b0;
            // The next program area begins with the pre-gap of its first track.
            EXPECT_EQ(MsfBlocks(d + 4), starts[2] - 150) << "session 2 begins where B0 of session 1 says";
        }
    }
    EXPECT_EQ(trackPoints, 3);
    EXPECT_EQ(b0, 1);

    // Only the second session.
    ASSERT_TRUE(dev->ReadCDToc(0x202, buf, sizeof buf));
    const int second = int(BE16(buf) - 2) / 11;
    for (int i = 0; i < second; ++i) EXPECT_EQ(buf[4 + 11 * i], 2);
}

TEST_F(QueryDiscTest, AtipAndCdTextFormats) {
    DiscBuilder builder(dir);
    builder.Medium("cd-rw").Title(0, "Disc").Title(1, "Song");
    builder.Track(TrackKind::kAudio, 300);
    StandOnVirtual(builder);
    ASSERT_TRUE(dev->ReadCDToc(0x400, buf, 256));
    EXPECT_GT(BE16(buf), 2u);
    EXPECT_NE(buf[6] & 0x40, 0) << "a rewritable disc";
    ASSERT_TRUE(dev->ReadCDToc(0x500, buf, sizeof buf));
    EXPECT_EQ((BE16(buf) - 2) % 18, 0u);
    EXPECT_EQ(buf[4], 0x80) << "a title pack";
}

TEST_F(QueryDiscTest, OlderDrivesAnswerTheTrackFormatAndRefuseTheFullToc) {
    BuildTwoSessions(DriveKindUnderTest::kOlder);
    ASSERT_TRUE(dev->ReadCDToc(0, buf, sizeof buf));
    EXPECT_EQ(buf[3], 3);
    dev->SetErrorMode(true);
    EXPECT_FALSE(dev->ReadCDToc(0x200, buf, sizeof buf));
    EXPECT_EQ(dev->GetSenseCode(), 0x24);
    EXPECT_TRUE(MessagesWithId(3009).empty()) << "an invalid field is not shown";
    EXPECT_EQ(Sent(0x46), 0u) << "no configuration is asked of an older drive";
}

TEST_F(QueryDiscTest, DiscAndTrackInformationOfAnOpenDisc) {
    DiscBuilder builder(dir);
    builder.Medium("cd-rw").Session(-1, true);
    TrackOptions open;
    open.packetSize = 32;
    open.open = true;
    builder.Track(TrackKind::kMode1, 600, open);
    StandOnVirtual(builder);

    uint8_t info[32];
    ASSERT_TRUE(dev->ReadCDRWInfo(info, 0));
    EXPECT_EQ(info[2] & 0x03, 1) << "incomplete";
    EXPECT_NE(info[2] & 0x10, 0) << "erasable";

    uint8_t track[28];
    ASSERT_TRUE(dev->ReadCDRWInfo(track, 1));
    EXPECT_EQ(track[2], 1);
    EXPECT_NE(track[6] & 0x20, 0) << "packet written";
    EXPECT_NE(track[7] & 0x01, 0) << "next writable address valid";

    // 255: the track being written.
    uint8_t current[28];
    ASSERT_TRUE(dev->ReadCDRWInfo(current, 255));
    EXPECT_EQ(current[2], 1);
    EXPECT_EQ(BE32(current + 12), BE32(track + 12));

    // Above 255 the number is a block address inside track 1.
    uint8_t byAddress[28];
    ASSERT_TRUE(dev->ReadCDRWInfo(byAddress, 300));
    EXPECT_EQ(byAddress[2], 1);

    // No TOC yet: quiet failure, the sense kept.
    EXPECT_FALSE(dev->ReadCDToc(0, buf, sizeof buf));
    EXPECT_EQ(dev->GetSenseKey(), 5);
    EXPECT_TRUE(MessagesWithId(3009).empty());
}

TEST_F(QueryDiscTest, OlderDriveAnswersTrackInformationInItsOwnForm) {
    DiscBuilder builder(dir);
    builder.OlderDrive().Medium("cd-r").Session(-1, true);
    TrackOptions open;
    open.packetSize = 0;
    open.open = true;
    builder.Track(TrackKind::kMode1, 500, open);
    StandOnVirtual(builder, DriveKindUnderTest::kOlder);
    uint8_t track[28];
    ASSERT_TRUE(dev->ReadCDRWInfo(track, 1));
    EXPECT_EQ(Sent(0xE5), 1u);
    EXPECT_EQ(track[0], 27) << "the length of what follows";
    EXPECT_EQ(track[1], 1);
    EXPECT_NE(track[11] & 0x20, 0) << "packet written";
    ASSERT_TRUE(dev->ReadCDRWInfo(track, 255));
    EXPECT_EQ(track[1], 1);
    EXPECT_EQ(track[25] & 1, 1);
    // Disc information is an MMC command the older drive refuses.
    uint8_t info[32];
    EXPECT_FALSE(dev->ReadCDRWInfo(info, 0));
    EXPECT_EQ(dev->GetSenseCode(), 0x20);
    EXPECT_EQ(dev->GetCurrentConfiguration(), 0);
}

TEST_F(QueryDiscTest, ConfigurationGivesTheProfileAndTheSerialNumber) {
    DiscBuilder builder(dir);
    builder.Medium("cd-r").Directive("serial \"1234567890\"");
    builder.Track(TrackKind::kMode1, 100);
    StandOnVirtual(builder);
    EXPECT_EQ(dev->GetCurrentConfiguration(), 9);
    EXPECT_FALSE(dev->IsDVDDisc());
    ASSERT_TRUE(dev->ReadCDToc(0, buf, sizeof buf));  // walks the features
    char serial[40];
    ASSERT_TRUE(dev->GetSerialNumber(serial, sizeof serial));
    EXPECT_STREQ(serial, "1234567890") << "the blanks that pad the descriptor are dropped";
    ASSERT_TRUE(dev->GetSerialNumber(serial, 5));
    EXPECT_STREQ(serial, "1234");
    EXPECT_STREQ(dev->FormatDVDManufacturer(), "") << "no DVD";
}

TEST_F(QueryDiscTest, InquiryTrayLockSeekAndPosition) {
    BuildTwoSessions();
    uint8_t inquiry[128];
    dev->SetDebugLevel(1);
    ASSERT_TRUE(dev->Inquiry(inquiry));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry + 8), 6), "DRAVIK");
    EXPECT_EQ(DeviceDumps().back(), "Inquiry results from device");

    ASSERT_TRUE(dev->SeekDrive(starts[1] + 20));
    uint8_t position[256];
    ASSERT_TRUE(dev->ReadSubchannel(1, 0, position));
    EXPECT_EQ(position[4], 1);
    EXPECT_EQ(position[6], 2) << "track 2";
    EXPECT_EQ(BE32(position + 8), uint32_t(starts[1] + 20));

    uint8_t capacity[12];
    ASSERT_TRUE(dev->GetFormatCapacity(capacity, sizeof capacity));
    EXPECT_EQ(capacity[3], 8);

    ASSERT_TRUE(dev->LockTray(true));
    EXPECT_FALSE(dev->CDTrayControl(true));
    EXPECT_EQ(dev->GetSenseCode(), 0x53);
    ASSERT_TRUE(dev->LockTray(false));
    ASSERT_TRUE(dev->CDTrayControl(true));
    EXPECT_FALSE(dev->CheckDevice(false));
    EXPECT_EQ(dev->GetSenseCode(), 0x3A) << "the tray is open";
    ASSERT_TRUE(dev->CDTrayControl(false));
    dev->DeviceRecord()->SetLoadDisc(false);
    EXPECT_FALSE(dev->CDTrayControl(false)) << "a drive that cannot load is not asked to";
    EXPECT_FALSE(dev->MediaSlotControl(true, 2)) << "no changer";
}

// Drives whose answers do not keep to their own length fields.
class LyingDriveTest : public DriveDeviceTest {
protected:
    // `reply` is what the drive claims; it moves only `moved` bytes of it.
    void Drive(std::vector<uint8_t> reply, size_t moved) {
        auto fake = std::make_shared<FakeDrive>(5, [reply, moved](const platform::ScsiRequest& r, int) {
            platform::ScsiResult result;
            if (r.cdb[0] == 0x46 || !r.data) return CheckCondition(5, 0x20, 0);
            const size_t n = std::min({moved, reply.size(), r.dataLength});
            std::memcpy(r.data, reply.data(), n);
            result.residual = r.dataLength - n;
            return result;
        });
        StandOn({fake}, DriveKindUnderTest::kMmc);
    }
};

TEST_F(LyingDriveTest, TocShorterThanItsLengthFieldIsAFailureNotData) {
    std::vector<uint8_t> toc(4 + 3 * 8, 0);
    toc[1] = 0x32;  // 50 bytes follow, says the drive
    toc[2] = 1;
    toc[3] = 2;
    Drive(toc, toc.size());
    std::vector<uint8_t> buf(2048, 0xEE);
    EXPECT_FALSE(dev->ReadCDToc(0, buf.data(), int(buf.size())));
    EXPECT_EQ(dev->GetSenseKey(), device::CDDevice::kSenseMalformedReply);
    EXPECT_EQ(dev->GetSenseCode(), 0x26);
    ASSERT_EQ(MessagesWithId(3009).size(), 1u);
    EXPECT_EQ(MessagesWithId(3009)[0].number, 0);
}

TEST_F(LyingDriveTest, TocWithoutDescriptorsIsAFailure) {
    Drive({0x00, 0x02, 0x01, 0x01}, 4);
    uint8_t buf[2048];
    dev->SetErrorMode(true);
    EXPECT_FALSE(dev->ReadCDToc(0, buf, sizeof buf));
    EXPECT_EQ(dev->GetSenseKey(), device::CDDevice::kSenseMalformedReply);
    // An ATIP without descriptors is an answer: a disc without ATIP.
    EXPECT_TRUE(dev->ReadCDToc(0x400, buf, 256));
}

TEST_F(LyingDriveTest, LengthFieldLargerThanTheBufferStaysInsideIt) {
    std::vector<uint8_t> toc(2048, 0);
    toc[0] = 0x07;
    toc[1] = 0xFE;  // 2046 bytes follow
    toc[2] = 1;
    toc[3] = 1;
    Drive(toc, toc.size());
    // Twelve bytes asked for, with guards on both sides for the sanitizer
    // to see any stray write.
    std::vector<uint8_t> guarded(12);
    ASSERT_TRUE(dev->ReadCDToc(0, guarded.data(), 12)) << "a cut answer is what was asked for";
    EXPECT_EQ(guarded[3], 1);
}

TEST_F(LyingDriveTest, TrackInformationCutShortIsAFailure) {
    std::vector<uint8_t> info(36, 0);
    info[1] = 0x22;
    Drive(info, 6);
    uint8_t track[28];
    EXPECT_FALSE(dev->ReadCDRWInfo(track, 1));
    EXPECT_EQ(dev->GetSenseKey(), device::CDDevice::kSenseMalformedReply);
    uint8_t disc[32];
    EXPECT_FALSE(dev->ReadCDRWInfo(disc, 0));
}

TEST_F(LyingDriveTest, FeaturesAreReadOnlyAsFarAsTheReplyGoes) {
    // A serial number descriptor that claims 200 bytes in a reply of 20.
    std::vector<uint8_t> reply{0, 0, 0, 16, 0, 0, 0, 9, 0x01, 0x08, 0x03, 200, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
    auto fake = std::make_shared<FakeDrive>(5, [reply](const platform::ScsiRequest& r, int) {
        platform::ScsiResult result;
        if (!r.data) return result;
        const size_t n = std::min(reply.size(), r.dataLength);
        std::memcpy(r.data, reply.data(), n);
        result.residual = r.dataLength - n;
        return result;
    });
    StandOn({fake}, DriveKindUnderTest::kMmc);
    EXPECT_EQ(dev->GetCurrentConfiguration(), 9);
    char serial[40];
    uint8_t buf[2048];
    dev->ReadCDToc(0, buf, sizeof buf);  // walks the features first
    EXPECT_FALSE(dev->GetSerialNumber(serial, sizeof serial)) << "the cut descriptor gave no serial number";
}

}  // namespace
