// Drives that answer nonsense: absurd starts, negative sizes, track
// information that never ends or keeps naming the same track. Every scan
// must end, with a track list whose tracks do not end before they start.
#include "scan_drive_fixture.h"

namespace dravik::test {
namespace {

using scan::ScanOutcome;

std::vector<std::uint8_t> DiscInfo(std::uint8_t status, std::uint8_t firstTrack, std::uint8_t sessions,
                                   std::uint8_t lastTrack) {
    std::vector<std::uint8_t> bytes(34, 0);
    bytes[1] = 32;
    bytes[2] = status;
    bytes[3] = firstTrack;
    bytes[4] = sessions;
    bytes[6] = lastTrack;
    return bytes;
}

class HostileLayoutTest : public ScanDriveTest {
protected:
    void SetUp() override {
        ScanDriveTest::SetUp();
        DiscBuilder b(dir_);
        b.Track(TrackKind::kMode1, 300);
        Insert(b);
    }
    // Answers every command `matches` picks with `reply(request)`.
    void Answer(std::function<bool(const platform::ScsiRequest&)> matches,
                std::function<std::vector<std::uint8_t>(const platform::ScsiRequest&)> reply) {
        drive_->Patch({[matches, reply](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                           if (!matches(r)) return false;
                           result = GoodReply(r, reply(r));
                           return true;
                       },
                       nullptr});
    }
    void Refuse(std::function<bool(const platform::ScsiRequest&)> matches) {
        drive_->Patch({[matches](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                           if (!matches(r)) return false;
                           result = CheckCondition(5, 0x24);
                           return true;
                       },
                       nullptr});
    }
    void ScanAndExpectSaneEnd() {
        Scan();
        EXPECT_EQ(scan::LastScanOutcome(), ScanOutcome::Completed);
        ExpectSaneList();
    }
};

TEST_F(HostileLayoutTest, AbsurdTocStartsAndARepeatedTrack) {
    Answer([](auto& r) { return IsReadToc(r, 0); },
           [](auto&) {
               return Mode0Toc({{0x14, 1, 0},
                                {0x14, 2, 500000},
                                {0x14, 2, 100},  // the same track again, earlier
                                {0x10, 3, -4000},
                                {0x14, scan::kLeadOutNumber, 2000000000}});
           });
    ScanAndExpectSaneEnd();
    EXPECT_EQ(Nodes().size(), 5u);
}

TEST_F(HostileLayoutTest, NegativeAndHugeTrackSizes) {
    Answer([](auto& r) { return IsReadToc(r, 0); },
           [](auto&) { return Mode0Toc({{0x14, 1, 0}, {0x14, 2, 1000}, {0x14, scan::kLeadOutNumber, 2000}}); });
    Answer(IsTrackInfo, [](const platform::ScsiRequest& r) {
        TrackInfoReply t;
        t.number = static_cast<std::uint8_t>(TrackInfoNumber(r));
        t.start = t.number == 1 ? 0 : 1000;
        t.size = t.number == 1 ? -5000 : 0x7FFFFFF0;  // before its start; beyond any block
        t.freeBlocks = -7;
        return TrackInfo(t);
    });
    ScanAndExpectSaneEnd();
    auto nodes = Nodes();
    ASSERT_GE(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->end, nodes[0]->start) << "a negative size leaves an empty track";
    EXPECT_EQ(nodes[1]->end, INT32_MAX) << "the sum is held at the largest block";
}

TEST_F(HostileLayoutTest, TrackInformationThatNeverEndsIsWalkedABoundedWay) {
    Answer([](auto& r) { return IsReadToc(r, 0); },
           [](auto&) { return Mode0Toc({{0x14, 1, 0}, {0x14, scan::kLeadOutNumber, 300}}); });
    Answer(IsDiscInfo, [](auto&) { return DiscInfo(0x01, 1, 1, 99); });
    // Every track number is answered with a new packet-written track.
    Answer(IsTrackInfo, [](const platform::ScsiRequest& r) {
        TrackInfoReply t;
        t.number = static_cast<std::uint8_t>(TrackInfoNumber(r));
        t.start = 400000 + 1000 * t.number;
        t.size = 500;
        t.dataMode = 0x21;
        return TrackInfo(t);
    });
    ScanAndExpectSaneEnd();
    const std::size_t nodes = Nodes().size();
    EXPECT_GE(nodes, 99u) << "the tracks up to the disc's last one";
    EXPECT_LE(nodes, 102u);
}

TEST_F(HostileLayoutTest, TrackInformationThatRepeatsOneTrackEndsTheWalk) {
    Answer([](auto& r) { return IsReadToc(r, 0); },
           [](auto&) { return Mode0Toc({{0x14, 1, 0}, {0x14, scan::kLeadOutNumber, 300}}); });
    Answer(IsDiscInfo, [](auto&) { return DiscInfo(0x01, 1, 1, 99); });
    Answer(IsTrackInfo, [](auto&) {
        TrackInfoReply t;
        t.size = 300;
        t.dataMode = 0x21;
        return TrackInfo(t);
    });
    ScanAndExpectSaneEnd();
    EXPECT_EQ(Nodes().size(), 2u);
}

TEST_F(HostileLayoutTest, DiscInformationWalkOverEveryTrackNumberEnds) {
    Refuse([](auto& r) { return r.cdb[0] == 0x43; });
    Answer(IsDiscInfo, [](auto&) { return DiscInfo(0x01, 1, 1, 1); });
    Answer(IsTrackInfo, [](const platform::ScsiRequest& r) {
        TrackInfoReply t;
        t.number = static_cast<std::uint8_t>(TrackInfoNumber(r));
        t.start = 350000 + 10 * t.number;
        t.size = 5;
        return TrackInfo(t);
    });
    ScanAndExpectSaneEnd();
    EXPECT_EQ(Nodes().size(), 255u) << "tracks 1 to 255, each once";
}

TEST_F(HostileLayoutTest, DiscInformationWalkStopsAtATrackThatRepeats) {
    Refuse([](auto& r) { return r.cdb[0] == 0x43; });
    Answer(IsDiscInfo, [](auto&) { return DiscInfo(0x11, 1, 1, 1); });
    Answer(IsTrackInfo, [](auto&) {
        TrackInfoReply t;  // always track 1
        t.size = 300;
        return TrackInfo(t);
    });
    ScanAndExpectSaneEnd();
    auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0]->flags & (scan::TrackErasable | scan::TrackAdded), scan::TrackErasable | scan::TrackAdded);
}

TEST_F(HostileLayoutTest, FullTocWithGarbageKeepsTheTracks) {
    Answer([](auto& r) { return IsReadToc(r, 2); },
           [](auto&) {
               std::vector<std::uint8_t> bytes(4 + 11 * 30, 0xFF);
               bytes[0] = 0x01, bytes[1] = 0x4C;
               return bytes;
           });
    ScanAndExpectSaneEnd();
    EXPECT_EQ(Nodes().size(), 2u);
}

TEST_F(HostileLayoutTest, CdTextWithPacksBeyondTheReplyIsCut) {
    Answer([](auto& r) { return IsReadToc(r, 0); },
           [](auto&) { return Mode0Toc({{0x10, 1, 0}, {0x14, scan::kLeadOutNumber, 300}}); });
    Answer([](auto& r) { return IsReadToc(r, 5); },
           [](auto&) {
               std::vector<std::uint8_t> bytes(2048, 'A');
               bytes[0] = 0xFF, bytes[1] = 0xFF, bytes[2] = 0, bytes[3] = 0;
               for (std::size_t at = 4; at + 18 <= bytes.size(); at += 18) bytes[at] = 0x80, bytes[at + 3] = 0;
               return bytes;
           });
    ScanAndExpectSaneEnd();
    EXPECT_LE(scan::VolumeName.size(), scan::kMaxVolumeName);
    ASSERT_NE(scan::TrackListHead->rootItem, nullptr);
}

}  // namespace
}  // namespace dravik::test
