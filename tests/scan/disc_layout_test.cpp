// The disc layout read through the virtual drive: the TOC with its sessions
// and gaps, the track information of MMC and older drives, open and blank
// discs without a TOC, and CD-TEXT.
#include "scan_drive_fixture.h"

namespace dravik::test {
namespace {

using scan::TrackNode;

class DiscLayoutTest : public ScanDriveTest {
protected:
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(scan::kLayoutBufferBytes);
};

TEST_F(DiscLayoutTest, AudioThenDataSessionCostsTheSessionGapOnTheLastAudioTrack) {
    DiscBuilder b(dir_);
    b.Medium("cd-r");
    b.Track(TrackKind::kAudio, 3000);
    b.Track(TrackKind::kAudio, 20000);
    b.Session();
    b.Track(TrackKind::kMode1, 500);
    Insert(b);
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 4u);
    const std::int32_t data = b.TrackStart(2);
    EXPECT_EQ(data, b.TrackStart(1) + 20000 + scan::kSessionGapBlocks) << "the builder leaves a CD-R's gap";
    EXPECT_EQ(nodes[0]->end, b.TrackStart(1));
    // Data start minus the gap, and once more because that still leaves
    // the track longer than a gap.
    EXPECT_EQ(nodes[1]->end, data - 2 * scan::kSessionGapBlocks);
    EXPECT_EQ(nodes[2]->start, data);
    EXPECT_EQ(nodes[3]->number, scan::kLeadOutNumber);
    EXPECT_EQ(nodes[0]->session, 1);
    EXPECT_EQ(nodes[1]->session, 1);
    EXPECT_EQ(nodes[2]->session, 2);
    EXPECT_EQ(nodes[3]->session, 2);
    ExpectSaneList();
}

TEST_F(DiscLayoutTest, ShortAudioTrackBeforeADataSessionLosesTheGapOnce) {
    DiscBuilder b(dir_);
    b.Medium("cd-r");
    b.Track(TrackKind::kAudio, 2000);
    b.Session();
    b.Track(TrackKind::kMode1, 500);
    Insert(b);
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->end, b.TrackStart(1) - scan::kSessionGapBlocks);
    EXPECT_EQ(nodes[0]->end, b.TrackStart(0) + 2000);
}

TEST_F(DiscLayoutTest, WithoutAFullTocADataTrackOpensTheNextSession) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    b.Track(TrackKind::kAudio, 1000);
    b.Track(TrackKind::kAudio, 1000);
    Insert(b);
    drive_->Patch({[](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                       if (!IsReadToc(r, 2)) return false;
                       result = CheckCondition(5, 0x24);
                       return true;
                   },
                   nullptr});
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0]->session, 1);
    EXPECT_EQ(nodes[1]->session, 2);
    EXPECT_EQ(nodes[2]->session, 2);
    EXPECT_TRUE(LogHas("Unable to read mode 2 TOC"));
}

TEST_F(DiscLayoutTest, FullTocWithBcdPointsGivesTracksFromTenOnTheirSessions) {
    DiscBuilder b(dir_);
    b.Medium("cd-r");
    for (int i = 0; i < 10; ++i) b.Track(TrackKind::kAudio, 300, {.zeroFilled = true});
    b.Session();
    b.Track(TrackKind::kMode1, 300, {.zeroFilled = true});
    b.Track(TrackKind::kMode1, 300, {.zeroFilled = true});
    Insert(b);
    // Some drives number the full TOC's track points in BCD: 0x10 for track 10.
    drive_->Patch({nullptr, [](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                       if (!IsReadToc(r, 2) || !result.Good()) return;
                       const std::size_t length = (std::size_t(r.data[0]) << 8 | r.data[1]) + 2;
                       for (std::size_t at = 4; at + 11 <= length && at + 11 <= r.dataLength; at += 11) {
                           std::uint8_t& point = r.data[at + 3];
                           if (point >= 1 && point <= 99) point = std::uint8_t((point / 10) << 4 | point % 10);
                       }
                   }});
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 13u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(nodes[i]->session, i < 10 ? 1 : 2) << "track " << i + 1;
}

TEST_F(DiscLayoutTest, TocLengthThatLeavesOutTheLeadOutStillGivesTheLeadOut) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    b.Track(TrackKind::kAudio, 1000);
    b.Track(TrackKind::kAudio, 1000);
    Insert(b);
    drive_->Patch({nullptr, [](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                       if (!IsReadToc(r, 0) || !result.Good()) return;
                       ASSERT_EQ(r.data[1], 34) << "three tracks and the lead-out";
                       r.data[1] = 26;  // counts three descriptors
                   }});
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[3]->number, scan::kLeadOutNumber);
    EXPECT_EQ(nodes[3]->start, b.TrackStart(2) + 1000);
    EXPECT_EQ(nodes[2]->end, nodes[3]->start);
}

TEST_F(DiscLayoutTest, TocOfALeadOutAloneIsABlankDisc) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    drive_->Patch({[](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                       if (!IsReadToc(r, 0)) return false;
                       result = GoodReply(r, Mode0Toc({{0x14, scan::kLeadOutNumber, 4321}}));
                       return true;
                   },
                   nullptr});
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0]->start, 0);
    EXPECT_EQ(nodes[0]->end, 4321);
    EXPECT_EQ(nodes[0]->flags, scan::TrackBlank | scan::TrackAdded);
    EXPECT_EQ(RootName(nodes[0]), scan::TrackLabel(scan::kBlankDiscLabel, 4321));
    EXPECT_EQ(RootName(nodes[0]), "Blank disc (4321 blocks free)") << "string 227 of the language module";
    EXPECT_EQ(shell_.TreeTexts(), std::vector<std::string>{RootName(nodes[0])});
}

TEST_F(DiscLayoutTest, InvalidAndEmptyTocsGiveNoLayout) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    std::vector<std::uint8_t> reply = Mode0Toc({{0, 0, 0}});
    drive_->Patch({[&reply](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                       if (!IsReadToc(r, 0)) return false;
                       result = GoodReply(r, reply);
                       return true;
                   },
                   nullptr});
    EXPECT_EQ(scan::ReadTocLayout(buffer_.data()), 0);
    EXPECT_TRUE(LogHas("TOC information appears invalid, ignoring"));
    // A header whose length holds no whole descriptor (the drive sends more).
    reply = Mode0Toc({{0x14, 1, 0}});
    reply[1] = 6;
    EXPECT_EQ(scan::ReadTocLayout(buffer_.data()), 0);

    EXPECT_EQ(scan::TrackListHead, nullptr);
}

TEST_F(DiscLayoutTest, MmcTrackInformationRefinesTheTocTracks) {
    DiscBuilder b(dir_);
    b.Medium("cd-rw");
    b.Track(TrackKind::kMode1, 300);
    b.Track(TrackKind::kMode1, 700, {.packetSize = 32});
    Insert(b);
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    ASSERT_EQ(scan::ReadMmcTrackInfo(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_TRUE(nodes[0]->flags & scan::TrackErasable) << "a CD-RW";
    EXPECT_EQ(nodes[0]->end, b.TrackStart(0) + 300);
    EXPECT_FALSE(nodes[0]->flags & scan::TrackPacket);
    EXPECT_TRUE(nodes[1]->flags & scan::TrackPacket);
    EXPECT_EQ(nodes[1]->end, b.TrackStart(1) + 700);
    EXPECT_EQ(nodes[1]->dataMode & 0x20, 0x20);
    EXPECT_EQ(nodes[1]->trackMode & 0x04, 0x04);
    ExpectSaneList();
}

TEST_F(DiscLayoutTest, OlderDriveGivesItsTracksThroughTheOlderForm) {
    DiscBuilder b(dir_);
    b.OlderDrive();
    b.Track(TrackKind::kMode1, 300);
    b.Track(TrackKind::kAudio, 900);
    Insert(b, 0xE5);
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    EXPECT_EQ(scan::ReadMmcTrackInfo(buffer_.data()), 0) << "no disc information on an older drive";
    ASSERT_EQ(scan::ReadNonMmcTrackInfo(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->start, b.TrackStart(0));
    EXPECT_EQ(nodes[0]->end, b.TrackStart(0) + 300);
    EXPECT_EQ(nodes[0]->control, 0x04) << "the track mode's low nibble";
    EXPECT_EQ(nodes[1]->start, b.TrackStart(1));
    EXPECT_EQ(nodes[1]->control & 0x04, 0);
    EXPECT_EQ(nodes[2]->number, scan::kLeadOutNumber);
    // The older command went out for every track, with the track number in bytes 2-5.
    int older = 0;
    for (const auto& cdb : drive_->Cdbs())
        if (cdb[0] == 0xE5) ++older;
    EXPECT_GE(older, 2);
}

TEST_F(DiscLayoutTest, OlderDriveThatRejectsTheCommandLosesIt) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    Insert(b, 0xE5);  // an MMC drive: 0xE5 is an invalid command there
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    EXPECT_EQ(scan::ReadNonMmcTrackInfo(buffer_.data()), 0);
    EXPECT_EQ(device_->GetTrackInfoCmd(), 0);
    EXPECT_TRUE(LogHas("Read Track Info failed (non-MMC)"));
}

TEST_F(DiscLayoutTest, OpenDiscWithoutTocIsWalkedThroughTheIncompleteTrack) {
    DiscBuilder b(dir_);
    b.Medium("cd-r").Finalized(false);
    b.Session(-1, true);
    b.Track(TrackKind::kMode1, 400);
    b.Track(TrackKind::kMode1, 600, {.packetSize = 0, .open = true});
    Insert(b);
    EXPECT_EQ(scan::ReadTocLayout(buffer_.data()), 0) << "an open session has no TOC";
    ASSERT_EQ(scan::ReadDiscInfoLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0]->number, 1);
    EXPECT_EQ(nodes[0]->start, b.TrackStart(0));
    EXPECT_EQ(nodes[0]->end, b.TrackStart(0) + 400);
    EXPECT_EQ(nodes[1]->number, 2);
    EXPECT_EQ(nodes[1]->start, b.TrackStart(1));
    EXPECT_TRUE(nodes[1]->flags & scan::TrackPacket);
    EXPECT_TRUE(nodes[1]->flags & scan::TrackAdded) << "the last node";
    EXPECT_FALSE(nodes[0]->flags & scan::TrackAdded);
    EXPECT_TRUE(nodes[0]->flags & scan::TrackAppendable);
    // The walk asked for the incomplete track 255, which repeats track 2.
    bool asked255 = false;
    for (const auto& cdb : drive_->Cdbs())
        if (cdb[0] == 0x52 && cdb[5] == 255) asked255 = true;
    EXPECT_TRUE(asked255);
    ExpectSaneList();
}

TEST_F(DiscLayoutTest, OpenLastSessionAddsItsTrackBeyondTheToc) {
    DiscBuilder b(dir_);
    b.Medium("cd-r").Finalized(false);
    b.Track(TrackKind::kMode1, 400);
    b.Session(-1, true);
    b.Track(TrackKind::kMode1, 600, {.packetSize = 0, .open = true});
    Insert(b);
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1) << "the closed session's TOC";
    ASSERT_EQ(scan::ReadMmcTrackInfo(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    // The readable area after the closed session becomes track 2; the
    // track information says where it starts (a session gap after the
    // closed session's lead-out) and where its written part ends.
    EXPECT_EQ(nodes[1]->number, 2);
    EXPECT_EQ(nodes[1]->start, b.TrackStart(1));
    EXPECT_GT(nodes[1]->end, b.TrackStart(1));
    EXPECT_LE(nodes[1]->end, b.TrackStart(1) + 600);
    EXPECT_EQ(nodes[1]->session, 2);
    EXPECT_EQ(nodes[1]->flags & (scan::TrackPacket | scan::TrackAdded), scan::TrackPacket | scan::TrackAdded);
    EXPECT_EQ(nodes[2]->number, scan::kLeadOutNumber);
    ExpectSaneList();
}

TEST_F(DiscLayoutTest, IncompleteTrackOnlyFoundThroughTrack255IsAdded) {
    DiscBuilder b(dir_);
    b.Medium("cd-r").Finalized(false);
    b.Session(-1, true);
    b.Track(TrackKind::kMode1, 400);
    b.Track(TrackKind::kMode1, 600, {.packetSize = 0, .open = true});
    Insert(b);
    // A drive that answers the open track only as the incomplete track.
    drive_->Patch({[](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                       if (!IsTrackInfo(r) || r.cdb[1] != 1 || TrackInfoNumber(r) != 2) return false;
                       result = CheckCondition(5, 0x24);
                       return true;
                   },
                   nullptr});
    ASSERT_EQ(scan::ReadDiscInfoLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[1]->number, 2) << "named by the reply to 255";
    EXPECT_EQ(nodes[1]->start, b.TrackStart(1));
    EXPECT_TRUE(LogHas("Error returned obtaining track 2 information"));
}

TEST_F(DiscLayoutTest, BlankDiscFromTheDiscInformation) {
    DiscBuilder b(dir_);
    b.Medium("cd-r").Blank().Capacity(300000);
    Insert(b);
    EXPECT_EQ(scan::ReadTocLayout(buffer_.data()), 0);
    ASSERT_EQ(scan::ReadDiscInfoLayout(buffer_.data()), 1);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0]->flags, scan::TrackBlank | scan::TrackAdded);
    EXPECT_GT(nodes[0]->end, 290000) << "the free blocks of the blank track";
    EXPECT_EQ(RootName(nodes[0]), scan::TrackLabel(scan::kBlankDiscLabel, nodes[0]->end));
    EXPECT_TRUE(nodes[0]->rootItem->flags & scan::ItemDirectory);
}

TEST_F(DiscLayoutTest, CdTextNamesTheVolumeAndTheAudioTracks) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kAudio, 4500 * 3 + 75 * 7);
    b.Track(TrackKind::kAudio, 1500);
    b.Title(0, "Greatest Album").Title(1, "First Song").Title(2, "Second Song");
    Insert(b);
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    ASSERT_EQ(scan::ReadCdText(), 1);
    EXPECT_EQ(scan::VolumeName, "Greatest Album");
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(RootName(nodes[0]), "First Song (3.07)");
    EXPECT_EQ(RootName(nodes[1]), "Second Song (0.20)");
    EXPECT_EQ(nodes[0]->rootItem->track, nodes[0]);
    EXPECT_EQ(RootName(nodes[2]), "") << "no title left for the lead-out";
}

TEST_F(DiscLayoutTest, DoubleByteCdTextNamesNothing) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kAudio, 1500);
    b.Title(0, "Album").Title(1, "Song");
    Insert(b);
    drive_->Patch({nullptr, [](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                       if (!IsReadToc(r, 5) || !result.Good()) return;
                       const std::size_t length = (std::size_t(r.data[0]) << 8 | r.data[1]) + 2;
                       for (std::size_t at = 4; at + 18 <= length && at + 18 <= r.dataLength; at += 18)
                           if (r.data[at] == 0x80) r.data[at + 3] |= 0x80;
                   }});
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    EXPECT_EQ(scan::ReadCdText(), 0);
    EXPECT_EQ(scan::VolumeName, "");
    EXPECT_EQ(scan::TrackListHead->rootItem, nullptr);
}

}  // namespace
}  // namespace dravik::test
