// Whole scans through the virtual drive: the steps of the scan thread
// around the layout (drive wait, media check, pre-gap, blank disc, CD-TEXT,
// the per-track dispatch, cancelling, the end) and what the front end is
// asked to show.
#include <stdexcept>

#include "program/app/scan_launch.h"
#include "scan_drive_fixture.h"

namespace dravik::test {
namespace {

using scan::ScanOutcome;

class ScanThreadTest : public ScanDriveTest {
protected:
    bool AnyDataRead() const {
        for (const auto& cdb : drive_->Cdbs())
            if (cdb[0] == 0x28 || cdb[0] == 0xBE) return true;
        return false;
    }
    void PatchLeadOutOnlyToc(std::int32_t leadOut) {
        drive_->Patch({[leadOut](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                           if (!IsReadToc(r, 0)) return false;
                           result = GoodReply(r, Mode0Toc({{0x14, scan::kLeadOutNumber, leadOut}}));
                           return true;
                       },
                       nullptr});
    }
};

TEST_F(ScanThreadTest, DataTrackWithoutAReaderIsLabelledAndTheScanEnds) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 500);
    Insert(b);
    Scan();
    EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::Completed);
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(RootName(nodes[0]), scan::TrackLabel(scan::kUnrecognisedTrackLabel, 500));
    EXPECT_EQ(RootName(nodes[1]), scan::TrackLabel(scan::kLeadOutLabel, 500));
    EXPECT_EQ(nodes[0]->layoutEnd, 500u);
    EXPECT_EQ(nodes[0]->unnamedCounter, 1);
    EXPECT_EQ(scan::VolumeName, "Unrecognised track");
    EXPECT_EQ(shell_.Captions(), std::vector<std::string>{"Unrecognised track - " + scan::ProgramTitle});
    EXPECT_EQ(shell_.Results(), 1);
    EXPECT_FALSE(scan::ScanRunning);
    EXPECT_EQ(shell_.Enabled(), (std::vector<int>{40020, 40049, 40019}));
    ASSERT_FALSE(shell_.StatusTexts().empty());
    EXPECT_EQ(shell_.StatusTexts().back(), "1 track in 1 session.");
    EXPECT_EQ(shell_.ProgressCreated(), 1);
    EXPECT_EQ(shell_.ProgressDestroyed(), 1);
    EXPECT_TRUE(LogHas("Processing track 1, starting at 0, IgnJoliet=0"));
    EXPECT_TRUE(LogHas("Final TOC information..."));
    EXPECT_TRUE(LogHas(" 1 TOC aa start:   500 End:     0"));
}

TEST_F(ScanThreadTest, FirstTrackAt150WithShowAllAddsThePregap) {
    settings::ProgramSettings.ShowAll = 1;
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300, {.start = 150});
    Insert(b);
    Scan();
    ASSERT_GE(shell_.Dialogs().size(), 1u);
    EXPECT_NE(shell_.Dialogs()[0].text.find("block 149"), std::string::npos) << shell_.Dialogs()[0].text;
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->number, 0);
    EXPECT_EQ(nodes[0]->start, 0);
    EXPECT_EQ(nodes[0]->end, 150);
    EXPECT_EQ(nodes[0]->control, 0x14);
    EXPECT_EQ(nodes[0]->session, 1);
    EXPECT_EQ(nodes[0]->flags, scan::TrackPregap);
    EXPECT_EQ(nodes[1]->number, 1);
    EXPECT_EQ(nodes[1]->start, 150);
}

TEST_F(ScanThreadTest, FirstTrackAt150WithoutShowAllHasNoPregap) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300, {.start = 150});
    Insert(b);
    Scan();
    for (const RecordedDialog& dialog : shell_.Dialogs()) EXPECT_EQ(dialog.text.find("block 149"), std::string::npos);
    EXPECT_EQ(Nodes().size(), 2u);
}

TEST_F(ScanThreadTest, BlankDiscIsNotScannedWithoutShowAll) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    PatchLeadOutOnlyToc(7000);
    Scan();
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_TRUE(nodes[0]->flags & scan::TrackBlank);
    EXPECT_EQ(RootName(nodes[0]), scan::TrackLabel(scan::kBlankDiscLabel, 7000));
    EXPECT_FALSE(AnyDataRead()) << "nothing of the disc is read";
    EXPECT_FALSE(LogHas("Processing track"));
    EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::Completed);
}

TEST_F(ScanThreadTest, BlankDiscIsScannedAsDataWithShowAll) {
    settings::ProgramSettings.ShowAll = 1;
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    PatchLeadOutOnlyToc(7000);
    Scan();
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_FALSE(nodes[0]->flags & scan::TrackBlank);
    EXPECT_EQ(nodes[0]->control, scan::kControlData);
    EXPECT_TRUE(LogHas("Processing track 1, starting at 0"));
    // The drive's track information has the last word on where the area ends.
    EXPECT_EQ(RootName(nodes[0]), scan::TrackLabel(scan::kUnrecognisedTrackLabel, nodes[0]->end));
    EXPECT_NE(RootName(nodes[0]), scan::TrackLabel(scan::kBlankDiscLabel, 7000)) << "the blank label was replaced";
}

TEST_F(ScanThreadTest, CancellingStopsBeforeTheNextTrack) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    // The user cancels while the first track is being looked at.
    device::CDDevice* device = device_.get();
    drive_->Patch({[device](const platform::ScsiRequest& r, platform::ScsiResult&) {
                       if (r.cdb[0] == 0x28) device->SetAbortFlag();
                       return false;
                   },
                   nullptr});
    Scan();
    EXPECT_TRUE(LogHas("Aborting track scan on request before track 2"));
    EXPECT_FALSE(LogHas("Processing track 2"));
    EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::Cancelled);
    EXPECT_EQ(shell_.Results(), 0) << "no results window after a cancel";
    ASSERT_EQ(shell_.Captions().size(), 1u);
    EXPECT_EQ(shell_.Captions()[0], "Unrecognised track - " + scan::ProgramTitle);
    EXPECT_EQ(Nodes()[1]->rootItem, nullptr);
    EXPECT_TRUE(device_->IsAbortSet()) << "stays set until the next scan";
}

TEST_F(ScanThreadTest, RolandSamplerTrackIsLabelled) {
    DiscBuilder b(dir_);
    const int t = b.Track(TrackKind::kMode1, 800);
    std::vector<std::uint8_t> block(2048, 0);
    const std::string mark = "  Copyright   Roland Corporation";
    std::copy(mark.begin(), mark.end(), block.begin() + 64);
    b.WriteBlock(t, 0, block);
    Insert(b);
    Scan();
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(RootName(nodes[0]), scan::TrackLabel(scan::kSamplerTrackLabel, 800));
    EXPECT_EQ(RootName(nodes[0]), "Roland sampler track (800 blocks)");
    EXPECT_TRUE(LogHas("Track 1 identified as a Roland sampler track"));
}

TEST_F(ScanThreadTest, AudioTracksKeepTheirCdTextTitlesOthersGetTheirLength) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kAudio, 4500 + 150);
    b.Track(TrackKind::kAudio, 4500 * 2 + 75 * 30);
    b.Track(TrackKind::kAudio, 2 * 4500 + 75 * 5, {.control = 8});  // four-channel audio
    b.Title(0, "Album").Title(1, "Opening");
    Insert(b);
    Scan();
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(scan::VolumeName, "Album");
    EXPECT_EQ(RootName(nodes[0]), "Opening (1.02)");
    EXPECT_FALSE(nodes[0]->rootItem->flags & scan::ItemUnnamed);
    EXPECT_EQ(RootName(nodes[1]), "Audio track (2:30)");
    EXPECT_TRUE(nodes[1]->rootItem->flags & scan::ItemUnnamed);
    EXPECT_EQ(nodes[2]->rootItem, nullptr) << "four-channel audio gets no item";
    EXPECT_EQ(shell_.Captions().back(), "Album - " + scan::ProgramTitle);
}

TEST_F(ScanThreadTest, MediumThatIsNotACdStopsTheScan) {
    DiscBuilder b(dir_);
    b.Profile(0x10);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    Scan();
    EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::MediaRejected);
    ASSERT_EQ(shell_.Dialogs().size(), 1u);
    EXPECT_NE(shell_.Dialogs()[0].text.find("a DVD-ROM"), std::string::npos) << shell_.Dialogs()[0].text;
    EXPECT_TRUE(device_->IsAbortSet());
    EXPECT_EQ(shell_.Results(), 0);
    EXPECT_EQ(shell_.ProgressCreated(), 0);
    EXPECT_FALSE(scan::ScanRunning);
}

TEST_F(ScanThreadTest, ProfileWithoutANameIsShownByNumber) {
    DiscBuilder b(dir_);
    b.Profile(0x120);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    Scan();
    ASSERT_EQ(shell_.Dialogs().size(), 1u);
    EXPECT_NE(shell_.Dialogs()[0].text.find("(profile 288)"), std::string::npos) << shell_.Dialogs()[0].text;
}

TEST_F(ScanThreadTest, EmptyDriveIsNotReady) {
    DiscBuilder b(dir_);
    b.Medium("none");
    Insert(b);
    Scan();
    EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::DriveNotReady);
    ASSERT_EQ(shell_.Dialogs().size(), 1u);
    EXPECT_NE(shell_.Dialogs()[0].text.find("is not ready"), std::string::npos);
    EXPECT_EQ(shell_.Results(), 1) << "the abort flag is not set";
}

TEST_F(ScanThreadTest, DriveThatIsBecomingReadyIsWaitedFor) {
    DiscBuilder b(dir_);
    b.NotReady(3);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    Scan();
    EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::Completed);
    for (const RecordedDialog& dialog : shell_.Dialogs()) EXPECT_EQ(dialog.text.find("not ready"), std::string::npos);
    EXPECT_EQ(Nodes().size(), 2u);
}

TEST_F(ScanThreadTest, ExceptionInsideTheScanEmptiesTheListAndStillEndsTheScan) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    drive_->Patch({[](const platform::ScsiRequest& r, platform::ScsiResult&) -> bool {
                       if (r.cdb[0] == 0x28) throw std::runtime_error("drive fell over");
                       return false;
                   },
                   nullptr});
    Scan();
    EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::Failed);
    EXPECT_EQ(scan::TrackListHead, nullptr);
    EXPECT_EQ(scan::TrackListTail, nullptr);
    EXPECT_TRUE(LogHas("The scan ended with an exception: drive fell over"));
    EXPECT_EQ(shell_.ProgressDestroyed(), 1);
    EXPECT_EQ(shell_.Results(), 1);
    EXPECT_FALSE(scan::ScanRunning);
}

TEST_F(ScanThreadTest, StartScanRunsTheScanOnItsOwnThread) {
    DiscBuilder b(dir_);
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    ASSERT_TRUE(app::StartScan());
    EXPECT_FALSE(app::StartScan()) << "one scan at a time";
    app::WaitForScan();
    EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::Completed);
    EXPECT_EQ(shell_.MenuSwitches(), (std::vector<bool>{false, true}));
    EXPECT_FALSE(scan::ScanRunning);
    EXPECT_EQ(Nodes().size(), 2u);
}

}  // namespace
}  // namespace dravik::test
