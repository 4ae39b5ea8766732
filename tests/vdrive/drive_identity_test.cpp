// What a described drive says about itself: the peripheral type and
// removable bit of INQUIRY, a drive that refuses MODE SENSE with an empty
// tray, and the buffer size of the capabilities page and READ BUFFER.
#include <gtest/gtest.h>

#include "mmc_client.h"
#include "support/disc_builder.h"
#include "support/temp_dir.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::test;

namespace {

std::unique_ptr<vdrive::VirtualDrive> Described(TempDir& dir, const std::vector<std::string>& directives,
                                                const std::string& medium = "cd-rom") {
    DiscBuilder b(dir);
    for (const std::string& line : directives) b.Directive(line);
    b.Medium(medium);
    if (medium != "none") b.Track(TrackKind::kMode1, 100);
    vdrive::LoadError error;
    auto drive = vdrive::VirtualDrive::Open(b.Write(), error);
    EXPECT_TRUE(drive) << error.Text();
    return drive;
}

std::vector<uint8_t> Cdb6(uint8_t opcode, uint8_t byte2, uint8_t length) { return {opcode, 0, byte2, 0, length, 0}; }

TEST(DriveIdentity, InquiryNamesThePeripheralTypeAndRemovableBit) {
    struct Row {
        std::vector<std::string> directives;
        uint8_t byte0, byte1;
    } rows[] = {
        {{}, 0x05, 0x80},
        {{"device-type 0", "removable no"}, 0x00, 0x00},
        {{"device-type 0"}, 0x00, 0x80},
        {{"device-type 0x1f", "removable yes"}, 0x1F, 0x80},
    };
    for (const Row& row : rows) {
        TempDir dir;
        auto drive = Described(dir, row.directives);
        ASSERT_TRUE(drive);
        MmcReply inquiry = SendCdb(*drive, Cdb6(0x12, 0, 36), 36);
        ASSERT_TRUE(inquiry.Good());
        EXPECT_EQ(inquiry.data[0], row.byte0);
        EXPECT_EQ(inquiry.data[1], row.byte1);
    }
}

TEST(DriveIdentity, ModeSenseWithAnEmptyTrayAsTheDescriptionSays) {
    TempDir dir;
    auto strict = Described(dir, {"mode-sense needs-medium"}, "none");
    ASSERT_TRUE(strict);
    EXPECT_EQ(SendCdb(*strict, {0x5A, 0, 0x3F, 0, 0, 0, 0, 0, 255, 0}, 255).SenseText(), "2/3A/00");
    EXPECT_EQ(SendCdb(*strict, Cdb6(0x1A, 0x3F, 255), 255).SenseText(), "2/3A/00");
    // INQUIRY still answers.
    EXPECT_TRUE(SendCdb(*strict, Cdb6(0x12, 0, 36), 36).Good());

    TempDir other;
    auto lenient = Described(other, {}, "none");
    ASSERT_TRUE(lenient);
    EXPECT_TRUE(SendCdb(*lenient, Cdb6(0x1A, 0x3F, 255), 255).Good());

    // With a disc the strict drive answers its pages.
    TempDir third;
    auto loaded = Described(third, {"mode-sense needs-medium"});
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(SendCdb(*loaded, Cdb6(0x1A, 0x3F, 255), 255).Good());
}

TEST(DriveIdentity, BufferSizeInTheCapabilitiesPageAndReadBuffer) {
    TempDir dir;
    auto drive = Described(dir, {"buffer 512"});
    ASSERT_TRUE(drive);
    MmcReply page = SendCdb(*drive, {0x5A, 0x08, 0x2A, 0, 0, 0, 0, 0, 64, 0}, 64);
    ASSERT_TRUE(page.Good()) << page.SenseText();
    ASSERT_GE(page.data.size(), 8u + 14u);
    EXPECT_EQ(page.data[8], 0x2A);
    EXPECT_EQ(page.data[8 + 12] * 256 + page.data[8 + 13], 512);

    // READ BUFFER, combined header and data: the capacity in bytes 1-3.
    MmcReply header = SendCdb(*drive, {0x3C, 0x00, 0, 0, 0, 0, 0, 0, 0x20, 0}, 256);
    ASSERT_TRUE(header.Good()) << header.SenseText();
    ASSERT_EQ(header.data.size(), 4u);
    EXPECT_EQ(Hex(header.data), Hex({0x00, 0x08, 0x00, 0x00}));  // 512 KB
    // Other modes, another buffer or an offset are refused.
    EXPECT_EQ(SendCdb(*drive, {0x3C, 0x02, 0, 0, 0, 0, 0, 0, 0x20, 0}, 256).SenseText(), "5/24/00");
    EXPECT_EQ(SendCdb(*drive, {0x3C, 0x00, 1, 0, 0, 0, 0, 0, 0x20, 0}, 256).SenseText(), "5/24/00");
    EXPECT_EQ(SendCdb(*drive, {0x3C, 0x00, 0, 0, 0, 8, 0, 0, 0x20, 0}, 256).SenseText(), "5/24/00");
}

TEST(DriveIdentity, BadIdentityDirectivesNameTheirLine) {
    for (const char* line : {"device-type 32", "removable maybe", "mode-sense sometimes", "buffer 70000", "buffer"}) {
        TempDir dir;
        DiscBuilder b(dir);
        b.Directive(line).Track(TrackKind::kMode1, 10);
        vdrive::LoadError error;
        EXPECT_FALSE(vdrive::VirtualDrive::Open(b.Write(), error)) << line;
        EXPECT_NE(error.line, 0) << line;
    }
}

}  // namespace
