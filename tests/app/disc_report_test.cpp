// The disc information report over track lists built by hand: the medium
// worked out from the tracks, each track's row, and the text form.
#include <gtest/gtest.h>

#include <string>

#include "program/app/disc_report.h"
#include "program/scan/found_item.h"
#include "program/scan/scan_state.h"
#include "program/scan/track_list.h"

namespace dravik::app {
namespace {

TEST(DiscReportTest, FileSystemsAndModesInWords) {
    struct FsCase {
        std::uint32_t flags;
        const char* text;
    };
    const FsCase systems[] = {
        {0, ""},
        {scan::TrackIso, "ISO 9660"},
        {scan::TrackIso | scan::TrackJoliet, "ISO 9660, Joliet"},
        {scan::TrackHighSierra, "High Sierra"},
        {scan::TrackIso | scan::TrackUdf, "ISO 9660, UDF"},
        {scan::TrackIso | scan::TrackHfs | scan::TrackSecondFs, "ISO 9660, HFS"},
        {scan::TrackPacket | scan::TrackAppendable, ""},
    };
    for (const FsCase& c : systems) EXPECT_EQ(FileSystemText(c.flags), c.text) << std::hex << c.flags;

    struct ModeCase {
        int number;
        std::uint8_t control, dataMode;
        const char* text;
    };
    const ModeCase modes[] = {
        {1, 0x00, 0x01, "audio"},  {1, 0x04, 0x01, "mode 1"}, {2, 0x14, 0x02, "mode 2"},
        {3, 0x04, 0x0F, "data"},   {1, 0x05, 0x21, "mode 1"}, {scan::kLeadOutNumber, 0x14, 0x01, "lead-out"},
    };
    for (const ModeCase& c : modes) EXPECT_EQ(TrackModeText(c.number, c.control, c.dataMode), c.text) << c.number;
}

class DiscReportListTest : public ::testing::Test {
protected:
    void TearDown() override {
        scan::ClearTrackList(false);
        scan::VolumeName.clear();
    }
    static scan::TrackNode* Track(int number, int session, std::int32_t start, std::int32_t end, std::uint32_t flags) {
        scan::TrackNode* node = scan::NewTrackNode();
        node->number = static_cast<std::uint8_t>(number);
        node->session = static_cast<std::uint8_t>(session);
        node->start = start;
        node->end = end;
        node->control = 0x14;
        node->dataMode = 1;
        node->flags = flags;
        scan::AppendTrackNode(node);
        return node;
    }
    static scan::FoundItem* Add(scan::FoundItem* dir, const char* name, std::uint32_t size, std::uint16_t flags = 0) {
        scan::FoundItem* item = scan::NewFoundItem(name);
        item->size = size;
        item->flags = flags;
        scan::AppendItem(dir, item);
        return item;
    }
};

TEST_F(DiscReportListTest, TracksSessionsAndWhatEachHolds) {
    scan::VolumeName = "BACKUP";
    scan::TrackNode* first = Track(1, 1, 0, 300, scan::TrackIso | scan::TrackJoliet);
    scan::FoundItem* root = scan::NewFoundItem("\\ BACKUP (Session 1)", scan::kRootNameRoom);
    root->flags = scan::ItemDirectory;
    scan::AttachRootItem(first, root);
    Add(root, std::string(1, '\0').c_str(), 2048, scan::ItemDirectory);
    scan::FoundItem* docs = Add(root, "DOCS", 2048, scan::ItemDirectory);
    Add(docs, "A.TXT;1", 1000);
    Add(root, "B.BIN;1", 5000);
    scan::TrackNode* second = Track(2, 2, 11700, 12000, scan::TrackUdf | scan::TrackPacket | scan::TrackAppendable);
    second->nextWritable = 12016;
    second->vatBlock = 11990;
    second->vatFallbacks = 2;
    Track(scan::kLeadOutNumber, 2, 12000, 0, 0);

    const DiscReport report = BuildDiscReport(nullptr);
    EXPECT_FALSE(report.drive.present);
    EXPECT_EQ(report.volume, "BACKUP");
    EXPECT_EQ(report.medium.sessions, 2) << "the lead-out does not count";
    EXPECT_FALSE(report.medium.finalized);
    EXPECT_EQ(report.medium.nextWritable, 12016);
    ASSERT_EQ(report.tracks.size(), 3u);
    const TrackFacts& one = report.tracks[0];
    EXPECT_EQ(one.fileSystem, "ISO 9660, Joliet");
    EXPECT_EQ(one.volume, "BACKUP (Session 1)");
    EXPECT_EQ(one.files, 2) << "files below every folder, without the self entry";
    EXPECT_EQ(one.bytes, 6000u);
    EXPECT_EQ(one.mode, "mode 1");
    const TrackFacts& two = report.tracks[1];
    EXPECT_EQ(two.session, 2);
    EXPECT_EQ(two.vatBlock, 11990);
    EXPECT_EQ(two.vatFallbacks, 2);
    EXPECT_EQ(two.files, 0);
    EXPECT_EQ(report.tracks[2].mode, "lead-out");

    const std::string text = DiscReportText(report);
    for (const char* line : {"Drive: none selected\n", "Medium: unknown, 2 sessions, appendable, next writable address 12016\n",
                             "Volume: BACKUP\n", "Track 1  session 1  start 0  end 300  mode 1  control 0x14  [joliet, iso]\n",
                             "  ISO 9660, Joliet  \"BACKUP (Session 1)\"  2 files, 6000 bytes\n",
                             "  VAT at block 11990, 2 fallbacks\n", "Lead-out  session 2  start 12000\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "in:\n" << text;
}

TEST_F(DiscReportListTest, AnEmptyListIsAFinalizedDiscWithoutSessions) {
    const DiscReport report = BuildDiscReport(nullptr);
    EXPECT_TRUE(report.tracks.empty());
    EXPECT_EQ(report.medium.sessions, 0);
    EXPECT_TRUE(report.medium.finalized);
    EXPECT_EQ(report.medium.nextWritable, -1);
    EXPECT_NE(DiscReportText(report).find("0 sessions, finalized"), std::string::npos);
}

}  // namespace
}  // namespace dravik::app
