// The medium classification of the device check on virtual drives: pressed
// data and audio discs, recordable, rewritable and blank discs, a disc with
// a second session, a recordable disc without ATIP, and an empty drive.
#include <gtest/gtest.h>

#include "cddevice_check_fakes.h"

using namespace dravik;
using namespace dravik::device;
using namespace dravik::device::test;
using dravik::test::DiscBuilder;
using dravik::test::TempDir;
using dravik::test::TrackKind;

namespace {

class VerifyMediaTest : public CheckFixture<VirtualDriveTransport> {
protected:
    void Insert(DiscBuilder& b) {
        vdrive::LoadError error;
        std::shared_ptr<vdrive::VirtualDrive> drive = vdrive::VirtualDrive::Open(b.Write(), error);
        ASSERT_TRUE(drive) << error.Text();
        VirtualDriveTransport::drives = {drive};
    }
    int Classify(bool checkMedia = true) {
        CDDevice device;
        EXPECT_TRUE(device.FirstDevice());
        EXPECT_TRUE(device.VerifyDevice(checkMedia));
        return device.GetMediaType();
    }
};

TEST_F(VerifyMediaTest, EachKindOfDiscGetsItsBits) {
    struct Row {
        const char* name;
        std::function<void(DiscBuilder&)> make;
        int mediaType;
    } rows[] = {
        {"pressed data disc: no ATIP", [](DiscBuilder& b) { b.Track(TrackKind::kMode1, 300); }, 0x01},
        {"pressed audio disc", [](DiscBuilder& b) { b.Track(TrackKind::kAudio, 300); }, 0x01 | 0x02},
        {"closed CD-R: the ATIP says recordable",
         [](DiscBuilder& b) {
             b.Medium("cd-r");
             b.Track(TrackKind::kMode1, 300);
         },
         0x10},
        {"CD-RW: erasable",
         [](DiscBuilder& b) {
             b.Medium("cd-rw");
             b.Track(TrackKind::kMode1, 300);
         },
         0x20},
        {"blank CD-R: not complete", [](DiscBuilder& b) { b.Medium("cd-r").Blank(); }, 0x10},
        {"second session: B0 in the full TOC",
         [](DiscBuilder& b) {
             b.Session();
             b.Track(TrackKind::kMode1, 300);
             b.Session();
             b.Track(TrackKind::kMode1, 300);
         },
         0x11},
        {"closed CD-R without ATIP",
         [](DiscBuilder& b) {
             b.Medium("cd-r").Directive("atip no");
             b.Track(TrackKind::kMode1, 300);
         },
         0x01},
        {"pressed data disc in a drive that reads the TOC format from byte 9 only: its TOC is no ATIP",
         [](DiscBuilder& b) {
             b.Directive("toc-format byte9");
             b.Track(TrackKind::kMode1, 300);
         },
         0x00},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        DiscBuilder b(dir);
        row.make(b);
        Insert(b);
        EXPECT_EQ(Classify(), row.mediaType);
    }
}

TEST_F(VerifyMediaTest, WithoutTheRequestOrWithoutADiscNothingIsClassified) {
    TempDir dir;
    DiscBuilder b(dir);
    b.Medium("cd-rw");
    b.Track(TrackKind::kMode1, 300);
    Insert(b);
    EXPECT_EQ(Classify(false), 0x00) << "the MMC medium type byte only";
    auto drive = VirtualDriveTransport::drives[0];
    const uint64_t tocReads = drive->Counters().byOpcode[0x43];
    EXPECT_EQ(tocReads, 0u);

    TempDir empty;
    DiscBuilder none(empty);
    none.Medium("none");
    Insert(none);
    EXPECT_EQ(Classify(true), 0x00);
    EXPECT_EQ(VirtualDriveTransport::drives[0]->Counters().byOpcode[0x51], 0u) << "not ready: nothing asked";
}

}  // namespace
