// A disc recorded through the device library, session by session, the way
// a recorder writes it, and then scanned on the same drive: the scan finds
// each session's track and the files of its file system.
#include <gtest/gtest.h>

#include <fstream>

#include "device/ddb/ddb_info.h"
#include "program/scan/found_item.h"
#include "scan_drive_fixture.h"
#include "support/hfs_images.h"
#include "support/session_recorder.h"

namespace dravik::test {
namespace {

class RecordedDiscScanTest : public ScanDriveTest {
protected:
    // An ISO 9660 image holding one file, laid out for block `start`.
    std::vector<uint8_t> IsoWith(const std::string& fileName, int32_t start) {
        const std::string folder = dir_.File("content-" + fileName);
        std::system(("mkdir -p '" + folder + "'").c_str());
        std::ofstream(folder + "/" + fileName) << PatternContent(fileName, 5000);
        const std::string iso = dir_.File(fileName + ".iso");
        std::string command = "genisoimage -quiet -V REC -o '" + iso + "' ";
        if (start > 0) command += "-C 0," + std::to_string(start) + " ";
        command += "'" + folder + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return ReadWholeFile(iso);
    }
    static std::vector<std::string> FileNames(const scan::TrackNode* node) {
        std::vector<std::string> names;
        if (!node->rootItem) return names;
        for (const scan::FoundItem* item = node->rootItem->firstChild; item; item = item->next)
            if (!scan::IsHiddenEntry(item)) names.push_back(item->Name());
        return names;
    }
};

TEST_F(RecordedDiscScanTest, EachRecordedSessionShowsItsFiles) {
    if (!HaveTools({"genisoimage"})) GTEST_SKIP() << "genisoimage is not installed";
    DiscBuilder blank(dir_, "blank");
    blank.Medium("cd-r").Blank();
    Insert(blank);
    device::DDBInfo& record = *device_->DeviceRecord();
    record.SetMMC(true);
    record.SetMode10(true);
    record.SetWriteCmd(0x2A);
    record.SetSpeedCode(0);

    ASSERT_TRUE(RecordTrack(*device_, IsoWith("FIRST.TXT", 0)).ok);
    const int32_t second = NextWritableAddress(*device_);
    ASSERT_GT(second, 0);
    RecordOptions last;
    last.multiSession = false;
    RecordResult r = RecordTrack(*device_, IsoWith("SECOND.TXT", second), last);
    ASSERT_TRUE(r.ok) << r.failedStep;

    Scan();
    std::vector<std::vector<std::string>> found;
    for (scan::TrackNode* node : Nodes())
        if (node->rootItem && node->number != scan::kLeadOutNumber) found.push_back(FileNames(node));
    ASSERT_EQ(found.size(), 2u);
    ASSERT_EQ(found[0].size(), 1u);
    ASSERT_EQ(found[1].size(), 1u);
    EXPECT_EQ(found[0][0].rfind("FIRST.TXT", 0), 0u) << found[0][0];
    EXPECT_EQ(found[1][0].rfind("SECOND.TXT", 0), 0u) << found[1][0];
}

}  // namespace
}  // namespace dravik::test
