// A one-track ISO image through the drive table: every reply compared byte
// for byte with the layout MMC prescribes, and the strictness of the drive
// towards malformed commands.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "mmc_client.h"
#include "platform/drives/drive_table.h"
#include "sector_check.h"
#include "support/temp_dir.h"

using namespace dravik;
using namespace dravik::test;
using platform::DataDirection;

namespace {

constexpr int kBlocks = 300;

class IsoDriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        iso_ = dir_.File("one.iso");
        std::ofstream f(iso_, std::ios::binary);
        for (int b = 0; b < kBlocks; ++b) {
            std::vector<char> block(2048, char(b & 0xFF));
            std::snprintf(block.data(), 16, "block %d", b);
            f.write(block.data(), 2048);
        }
        f.close();
        platform::DriveTableSources sources;
        sources.realDrives = false;
        sources.imagePaths = {iso_};
        table_ = platform::DriveTable::Build(sources);
        ASSERT_EQ(table_.Drives().size(), 1u);
        drive_ = table_.Drives()[0].drive.get();
    }
    std::vector<uint8_t> FileBlock(int b) {
        std::vector<uint8_t> block(2048, uint8_t(b & 0xFF));
        std::snprintf(reinterpret_cast<char*>(block.data()), 16, "block %d", b);
        return block;
    }

    TempDir dir_;
    std::string iso_;
    platform::DriveTable table_;
    platform::ScsiDrive* drive_ = nullptr;
};

TEST_F(IsoDriveTest, TableEntryNamesTheImage) {
    const platform::DriveEntry& e = table_.Drives()[0];
    EXPECT_EQ(e.letter, 'D');
    EXPECT_EQ(e.kind, platform::DriveKind::kVirtual);
    EXPECT_EQ(e.location, iso_);
    EXPECT_EQ(table_.Find('d'), &e);
    EXPECT_TRUE(table_.Problems().empty());
}

TEST_F(IsoDriveTest, InquiryIsStandardDataOfACdDrive) {
    MmcReply r = SendCdb(*drive_, {0x12, 0, 0, 0, 128, 0}, 128);
    ASSERT_TRUE(r.Good()) << r.SenseText();
    ASSERT_EQ(r.data.size(), 36u);
    EXPECT_EQ(r.result.residual, 92u);
    const std::vector<uint8_t> head{0x05, 0x80, 0x00, 0x02, 0x1F, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(r.data.begin(), r.data.begin() + 8), head);
    EXPECT_EQ(std::string(r.data.begin() + 8, r.data.end()), "DRAVIK  VIRTUAL CD-ROM  1.00");
}

TEST_F(IsoDriveTest, TocInEveryFormat) {
    MmcReply toc = SendCdb(*drive_, Cdb10(0x43, 0, 2048), 2048);
    ASSERT_TRUE(toc.Good()) << toc.SenseText();
    EXPECT_EQ(toc.data, (std::vector<uint8_t>{0x00, 0x12, 0x01, 0x01,                          //
                                              0x00, 0x14, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  //
                                              0x00, 0x14, 0xAA, 0x00, 0x00, 0x00, 0x01, 0x2C}));
    MmcReply msf = SendCdb(*drive_, Cdb10(0x43, 0, 2048, 0x02), 2048);
    EXPECT_EQ(msf.data, (std::vector<uint8_t>{0x00, 0x12, 0x01, 0x01,                          //
                                              0x00, 0x14, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,  //
                                              0x00, 0x14, 0xAA, 0x00, 0x00, 0x00, 0x06, 0x00}));
    // Format 1 asked the older way, in the control byte.
    MmcReply sessions = SendCdb(*drive_, Cdb10(0x43, 0, 12, 0, 0, 0x40), 12);
    EXPECT_EQ(sessions.data, (std::vector<uint8_t>{0x00, 0x0A, 0x01, 0x01, 0x00, 0x14, 0x01, 0x00, 0, 0, 0, 0}));
    MmcReply full = SendCdb(*drive_, Cdb10(0x43, 0, 2048, 0, 0, 0x80), 2048);
    EXPECT_EQ(full.data, (std::vector<uint8_t>{
                             0x00, 0x2E, 0x01, 0x01,                                      //
                             0x01, 0x14, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,  //
                             0x01, 0x14, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,  //
                             0x01, 0x14, 0x00, 0xA2, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00,  //
                             0x01, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00}));
    // A pressed disc has no ATIP and no CD-TEXT: both answer the empty reply.
    MmcReply atip = SendCdb(*drive_, {0x43, 0, 4, 0, 0, 0, 0, 1, 0, 0}, 256);
    EXPECT_EQ(atip.data, (std::vector<uint8_t>{0x00, 0x02, 0x00, 0x00}));
    MmcReply text = SendCdb(*drive_, {0x43, 0, 5, 0, 0, 0, 0, 8, 0, 0}, 2048);
    EXPECT_EQ(text.data, (std::vector<uint8_t>{0x00, 0x02, 0x00, 0x00}));
}

TEST_F(IsoDriveTest, TocStartingPastTheLastTrackIsRefused) {
    MmcReply r = SendCdb(*drive_, Cdb10(0x43, 0, 2048, 0, 2), 2048);
    EXPECT_EQ(r.SenseText(), "5/24/00");
    MmcReply leadOutOnly = SendCdb(*drive_, Cdb10(0x43, 0, 2048, 0, 0xAA), 2048);
    EXPECT_EQ(leadOutOnly.data.size(), 12u);
    EXPECT_EQ(leadOutOnly.data[6], 0xAA);
}

TEST_F(IsoDriveTest, DiscAndTrackInformation) {
    MmcReply disc = SendCdb(*drive_, Cdb10(0x51, 0, 34), 34);
    ASSERT_TRUE(disc.Good()) << disc.SenseText();
    std::vector<uint8_t> expected(34, 0);
    expected[1] = 0x20;
    expected[2] = 0x0E;  // last session complete, disc complete
    expected[3] = expected[4] = expected[5] = expected[6] = 1;
    for (int i = 16; i < 24; ++i) expected[i] = 0xFF;
    EXPECT_EQ(disc.data, expected);

    // The device library asks for 28 bytes: the reply is cut there.
    MmcReply track = SendCdb(*drive_, Cdb10(0x52, 1, 28, 0x01), 28);
    ASSERT_TRUE(track.Good()) << track.SenseText();
    EXPECT_EQ(track.data, (std::vector<uint8_t>{0x00, 0x22, 0x01, 0x01, 0x00, 0x04, 0x01, 0x00,  //
                                                0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    //
                                                0x00, 0x00, 0x01, 0x2C}));
    // By block address (byte 1 = 0) the same track; track 255 does not exist on a finalized disc.
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0x52, 100, 28), 28).data, track.data);
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0x52, 255, 28, 0x01), 28).SenseText(), "5/24/00");
}

TEST_F(IsoDriveTest, CapacityConfigurationAndReads) {
    MmcReply cap = SendCdb(*drive_, Cdb10(0x25, 0, 0), 8);
    EXPECT_EQ(cap.data, (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x2B, 0x00, 0x00, 0x08, 0x00}));

    MmcReply config = SendCdb(*drive_, {0x46, 0x01, 0, 0, 0, 0, 0, 0x08, 0x00, 0}, 2048);
    ASSERT_TRUE(config.Good());
    EXPECT_EQ(config.data[6], 0x00);
    EXPECT_EQ(config.data[7], 0x08);  // CD-ROM profile
    EXPECT_EQ(BE32(config.data, 0) + 4, config.data.size());

    MmcReply two = SendCdb(*drive_, Cdb10(0x28, 16, 2), 4096);
    ASSERT_TRUE(two.Good());
    auto b16 = FileBlock(16), b17 = FileBlock(17);
    EXPECT_TRUE(std::equal(b16.begin(), b16.end(), two.data.begin()));
    EXPECT_TRUE(std::equal(b17.begin(), b17.end(), two.data.begin() + 2048));

    // READ CD 2048 cooked gives the same bytes.
    MmcReply cooked = SendCdb(*drive_, {0xBE, 0, 0, 0, 0, 16, 0, 0, 1, 0x10, 0, 0}, 2048);
    EXPECT_TRUE(std::equal(b16.begin(), b16.end(), cooked.data.begin()));
}

TEST_F(IsoDriveTest, RawReadsCarryHeaderEdcAndParity) {
    MmcReply raw = SendCdb(*drive_, {0xBE, 0, 0, 0, 0, 5, 0, 0, 2, 0xF8, 0, 0}, 2 * 2352);
    ASSERT_TRUE(raw.Good()) << raw.SenseText();
    ASSERT_EQ(raw.data.size(), 2u * 2352);
    for (int i = 0; i < 2; ++i) {
        const uint8_t* s = raw.data.data() + i * 2352;
        EXPECT_EQ(s[0], 0x00);
        EXPECT_EQ(s[1], 0xFF);
        EXPECT_EQ(s[12], 0x00);
        EXPECT_EQ(s[13], 0x02);
        EXPECT_EQ(s[14], 0x05 + i);  // BCD frames of block 5 + 150
        EXPECT_EQ(s[15], 0x01);
        auto user = FileBlock(5 + i);
        EXPECT_EQ(0, memcmp(s + 16, user.data(), 2048));
        EXPECT_EQ(LittleEndian32(s + 2064), ReferenceEdc(s, 2064));
        EXPECT_TRUE(EccConsistent(s));
    }
    // Header and user data only: 2052 bytes.
    MmcReply some = SendCdb(*drive_, {0xBE, 0, 0, 0, 0, 5, 0, 0, 1, 0x30, 0, 0}, 2052);
    ASSERT_TRUE(some.Good());
    EXPECT_EQ(0, memcmp(some.data.data(), raw.data.data() + 12, 2052));
    // After a mode select of 2352-byte blocks READ(10) returns raw sectors.
    std::vector<uint8_t> select{0, 0, 0, 8, 0, 0, 0, 0, 0, 0x00, 0x09, 0x30};
    ASSERT_TRUE(SendCdb(*drive_, {0x15, 0x10, 0, 0, 12, 0}, 12, DataDirection::kOut, select).Good());
    MmcReply raw10 = SendCdb(*drive_, Cdb10(0x28, 5, 1), 2352);
    ASSERT_TRUE(raw10.Good()) << raw10.SenseText();
    EXPECT_EQ(0, memcmp(raw10.data.data(), raw.data.data(), 2352));
}

TEST_F(IsoDriveTest, MalformedCommandsAreRefused) {
    // Wrong CDB length for READ(10).
    EXPECT_EQ(SendCdb(*drive_, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, 2048).SenseText(), "5/20/00");
    // A buffer too small for the blocks asked for: nothing is transferred.
    MmcReply small = SendCdb(*drive_, Cdb10(0x28, 0, 2), 2048);
    EXPECT_EQ(small.SenseText(), "5/24/00");
    EXPECT_EQ(small.result.residual, 2048u);
    // An allocation length beyond the buffer.
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0x43, 0, 2048), 100).SenseText(), "5/24/00");
    // A data-in command sent with the data-out direction.
    EXPECT_EQ(SendCdb(*drive_, {0x5A, 0, 0x3F, 0, 0, 0, 0, 0, 100, 0}, 100, DataDirection::kOut, std::vector<uint8_t>(100)).SenseText(),
              "5/24/00");
    // Unknown commands, and the older vendor commands on an MMC drive.
    EXPECT_EQ(SendCdb(*drive_, {0xA8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, 2048).SenseText(), "5/20/00");
    EXPECT_EQ(SendCdb(*drive_, {0xD8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, 2352).SenseText(), "5/20/00");
    EXPECT_EQ(SendCdb(*drive_, Cdb10(0xE5, 1, 28), 28).SenseText(), "5/20/00");
    // Past the end of the disc.
    MmcReply past = SendCdb(*drive_, Cdb10(0x28, kBlocks, 1), 2048);
    EXPECT_EQ(past.SenseText(), "5/21/00");
    // REQUEST SENSE reports the last failure once, then NO SENSE.
    MmcReply sense = SendCdb(*drive_, {0x03, 0, 0, 0, 18, 0}, 18);
    ASSERT_TRUE(sense.Good());
    EXPECT_EQ(sense.data[0], 0x70);
    EXPECT_EQ(sense.data[2], 0x05);
    EXPECT_EQ(sense.data[12], 0x21);
    EXPECT_EQ(SendCdb(*drive_, {0x03, 0, 0, 0, 18, 0}, 18).data[2], 0x00);
    // A null CDB never reaches the drive.
    platform::ScsiRequest nothing;
    EXPECT_NE(drive_->Execute(nothing).transportErrno, 0);
}

TEST_F(IsoDriveTest, ModePagesReadAndWritten) {
    MmcReply all = SendCdb(*drive_, {0x5A, 0, 0x3F, 0, 0, 0, 0, 0x08, 0x00, 0}, 2048);
    ASSERT_TRUE(all.Good());
    const size_t total = size_t(all.data[0] << 8 | all.data[1]) + 2;
    EXPECT_EQ(total, all.data.size());
    EXPECT_EQ(all.data[7], 8);  // one block descriptor
    EXPECT_EQ(all.data[14], 0x08);  // 2048-byte blocks
    // Pages 01, 0D, 2A in that order.
    size_t at = 16;
    std::vector<uint8_t> codes;
    while (at + 1 < total) {
        codes.push_back(all.data[at]);
        at += size_t(all.data[at + 1]) + 2;
    }
    EXPECT_EQ(codes, (std::vector<uint8_t>{0x01, 0x0D, 0x2A}));
    // Page 2A says MMC (byte 5 bit 0) and a tray (mechanism 1).
    MmcReply caps = SendCdb(*drive_, {0x1A, 0x08, 0x2A, 0, 255, 0}, 255);
    ASSERT_TRUE(caps.Good());
    EXPECT_EQ(caps.data[3], 0);  // no descriptor asked for
    EXPECT_EQ(caps.data[4], 0x2A);
    EXPECT_EQ(caps.data[4 + 5] & 1, 1);
    EXPECT_EQ(caps.data[4 + 6] >> 5, 1);
    // The retry count of page 01 can change; the page code of a missing page cannot be asked for.
    std::vector<uint8_t> page1{0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x0A, 0x00, 0x09, 0, 0, 0, 0, 0x05, 0, 0, 0};
    ASSERT_TRUE(SendCdb(*drive_, Cdb10(0x55, 0, 20, 0x10), 20, DataDirection::kOut, page1).Good());
    MmcReply back = SendCdb(*drive_, {0x1A, 0x08, 0x01, 0, 255, 0}, 255);
    EXPECT_EQ(back.data[4 + 3], 0x09);
    EXPECT_EQ(SendCdb(*drive_, {0x1A, 0x08, 0x31, 0, 255, 0}, 255).SenseText(), "5/24/00");
    // Changing a field that cannot change is refused.
    std::vector<uint8_t> caps2a(caps.data.begin(), caps.data.end());
    caps2a[0] = 0;
    caps2a[4 + 2] ^= 0x01;
    EXPECT_EQ(SendCdb(*drive_, {0x15, 0x10, 0, 0, uint8_t(caps2a.size()), 0}, caps2a.size(), DataDirection::kOut, caps2a)
                  .SenseText(),
              "5/26/00");
}

}  // namespace
