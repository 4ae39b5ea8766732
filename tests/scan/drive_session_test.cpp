// Session numbers on drives that answer the layout commands their own way:
// a drive that reads the TOC format only from byte 2 or only from byte 9,
// one that refuses READ TRACK INFORMATION, one that leaves its session
// field 0. A single-session disc is session 1 on every one of them, and a
// reply that is not a full TOC is never read as one.
#include "scan_drive_fixture.h"

namespace dravik::test {
namespace {

class DriveSessionTest : public ScanDriveTest {
protected:
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(scan::kLayoutBufferBytes);

    // Takes the disc out as the fixture's end does, so that the next row
    // starts with an empty track list.
    void Eject() {
        scan::SetSelectedDevice(nullptr);
        scan::ClearTrackList(false);
        device_.reset();
        if (initialized_) device::CDDevice::Terminate();
        initialized_ = false;
    }
};

enum class TrackInfo { kAnswered, kRefused, kSessionZero };

struct DriveKind {
    const char* name;
    const char* tocFormat;
    TrackInfo trackInfo;
};

TEST_F(DriveSessionTest, SingleSessionDiscIsSessionOneOnEveryDrive) {
    const DriveKind kinds[] = {
        {"reads the format from either place", "either", TrackInfo::kAnswered},
        {"SCSI CD reading byte 2 only, no track information", "byte2", TrackInfo::kRefused},
        {"ATAPI reading byte 9 only, no track information", "byte9", TrackInfo::kRefused},
        {"byte 2 only, track information with session 0", "byte2", TrackInfo::kSessionZero},
    };
    for (const DriveKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        DiscBuilder b(dir_);
        b.Directive(std::string("toc-format ") + kind.tocFormat);
        b.Track(TrackKind::kMode1, 400);
        Insert(b);
        if (kind.trackInfo == TrackInfo::kRefused)
            drive_->Patch({[](const platform::ScsiRequest& r, platform::ScsiResult& result) {
                               if (!IsTrackInfo(r)) return false;
                               result = CheckCondition(5, 0x20);
                               return true;
                           },
                           nullptr});
        if (kind.trackInfo == TrackInfo::kSessionZero)
            drive_->Patch({nullptr, [](const platform::ScsiRequest& r, platform::ScsiResult&) {
                               if (IsTrackInfo(r)) r.data[3] = 0;
                           }});
        ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
        if (!scan::ReadMmcTrackInfo(buffer_.data())) scan::ReadNonMmcTrackInfo(buffer_.data());
        const auto nodes = Nodes();
        ASSERT_EQ(nodes.size(), 2u);
        EXPECT_EQ(nodes[0]->session, 1);
        EXPECT_EQ(nodes[1]->number, scan::kLeadOutNumber);
        EXPECT_EQ(nodes[1]->session, 1);
        ExpectSaneList();
        Eject();
    }
}

TEST_F(DriveSessionTest, TwoSessionsKeepTheirNumbersWhenTheFullTocIsAnswered) {
    DiscBuilder b(dir_);
    b.Directive("toc-format byte9");
    b.Medium("cd-r");
    b.Track(TrackKind::kMode1, 400);
    b.Session();
    b.Track(TrackKind::kMode1, 400);
    Insert(b);
    ASSERT_EQ(scan::ReadTocLayout(buffer_.data()), 1);
    const auto nodes = Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->session, 1);
    EXPECT_EQ(nodes[1]->session, 2);
    EXPECT_EQ(nodes[2]->session, 2);
    EXPECT_FALSE(LogHas("not a full TOC"));
}

TEST(FullTocShape, OnlyWholeDescriptorsWithAFirstTrackPointOfASessionCount) {
    // Header, then 11-byte descriptors: session, ADR/control, TNO, point, ...
    const std::vector<std::uint8_t> full = {0, 35, 1, 1,                              //
                                            1, 0x14, 0, 0xA0, 0, 0, 0, 0, 1, 0, 0,    //
                                            1, 0x14, 0, 0xA1, 0, 0, 0, 0, 1, 0, 0,    //
                                            1, 0x14, 0, 0x01, 0, 0, 0, 0, 0, 2, 0};
    // The same request answered in format 0 (one track and the lead-out).
    const std::vector<std::uint8_t> formatZero = {0, 18, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0,
                                                  0, 0x16, 0xAA, 0, 0, 0, 0x01, 0x48};
    std::vector<std::uint8_t> sessionZero = full;
    sessionZero[4] = sessionZero[15] = sessionZero[26] = 0;
    std::vector<std::uint8_t> oddLength = full;
    oddLength[1] = 34;
    const struct {
        const char* name;
        std::vector<std::uint8_t> reply;
        int replyBytes;
        bool expected;
    } cases[] = {
        {"full TOC", full, static_cast<int>(full.size()), true},
        {"format 0 reply", formatZero, static_cast<int>(formatZero.size()), false},
        {"session numbers 0", sessionZero, static_cast<int>(sessionZero.size()), false},
        {"length not whole descriptors", oddLength, static_cast<int>(oddLength.size()), false},
        {"header only", {0, 2, 1, 1}, 4, false},
        {"shorter than a header", {0, 35}, 2, false},
        {"A0 beyond what was read", full, 14, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scan::LooksLikeFullToc(c.reply.data(), c.replyBytes), c.expected) << c.name;
}

}  // namespace
}  // namespace dravik::test
