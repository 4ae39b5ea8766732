// The device check against drives that answer badly: INQUIRY data too
// short or missing, mode sense answers whose lengths run past what the
// drive returned, the two header forms and the short-length quirk, a drive
// that keeps failing, TOC replies with no descriptors or too many, and the
// page walk over exactly sized buffers and random bytes (sanitizers on).
#include <gtest/gtest.h>

#include <iterator>
#include <random>

#include "cddevice_check_fakes.h"
#include "device/cddevice/mode_page_walk.h"
#include "device/ddb/ddb_info.h"

using namespace dravik::device;
using namespace dravik::device::test;

namespace {

using Scripted = ScriptedTransport;

std::vector<uint8_t> InquiryData(const char* vendor, const char* product, uint8_t additionalLength = 31) {
    std::vector<uint8_t> data(36, ' ');
    data[0] = 0x05;
    data[1] = 0x80;
    data[2] = 0x02;
    data[3] = 0x02;
    data[4] = additionalLength;
    for (int i = 0; i < 8 && vendor[i]; ++i) data[8 + i] = static_cast<uint8_t>(vendor[i]);
    for (int i = 0; i < 16 && product[i]; ++i) data[16 + i] = static_cast<uint8_t>(product[i]);
    return data;
}

std::vector<uint8_t> CapabilitiesPage(uint16_t kbps, uint16_t bufferKB) {
    std::vector<uint8_t> page(0x1C, 0);
    page[0] = 0x2A;
    page[1] = 0x1A;
    page[5] = 0x01;  // MMC
    page[6] = 0x29;  // tray
    page[12] = static_cast<uint8_t>(bufferKB >> 8);
    page[13] = static_cast<uint8_t>(bufferKB);
    page[14] = static_cast<uint8_t>(kbps >> 8);
    page[15] = static_cast<uint8_t>(kbps);
    return page;
}

class VerifyBadInputTest : public CheckFixture<ScriptedTransport> {
protected:
    // A drive that answers INQUIRY with `inquiry`, the all-pages mode sense
    // with `modeSense` of which it moves `moved` bytes (-1: all), and
    // everything else with `other`.
    void Drive(std::vector<uint8_t> inquiry, std::vector<uint8_t> modeSense, int moved = -1,
               std::function<ScriptedTransport::Reply(const SentCommand&, uint8_t*)> other = nullptr) {
        Scripted::answer = [=](const SentCommand& c, uint8_t* buffer) {
            if (c.cdb[0] == 0x12) return Scripted::Data(inquiry, buffer, c.dataLength);
            if ((c.cdb[0] == 0x5A || c.cdb[0] == 0x1A) && c.cdb[2] == 0x3F) {
                ScriptedTransport::Reply r = Scripted::Data(modeSense, buffer, c.dataLength);
                if (moved >= 0) r.moved = std::min(r.moved, moved);
                return r;
            }
            if (other) return other(c, buffer);
            return Scripted::Fail(5, 0x20);
        };
    }
    std::unique_ptr<CDDevice> Verified(bool expected = true, bool checkMedia = false) {
        auto device = std::make_unique<CDDevice>();
        EXPECT_TRUE(device->FirstDevice());
        EXPECT_EQ(device->VerifyDevice(checkMedia), expected);
        return device;
    }
};

TEST_F(VerifyBadInputTest, InquiryShortOrMissingIsRefusedBeforeAnythingElse) {
    Drive(InquiryData("ACME", "CDR-1", 26), ModeAnswer(true, CapabilitiesPage(1764, 512)));
    auto shortOne = Verified(false);
    EXPECT_EQ(shortOne->GetVerifyRefusal(), CDDevice::VerifyShortInquiry);
    EXPECT_EQ(Scripted::sent.size(), 1u) << "only the INQUIRY";
    EXPECT_STREQ(shortOne->GetDeviceName(), "") << "not named";

    Scripted::sent.clear();
    Scripted::answer = [](const SentCommand&, uint8_t*) { return Scripted::Fail(2, 0x04, 0x01); };
    auto silent = Verified(false);
    EXPECT_EQ(silent->GetVerifyRefusal(), CDDevice::VerifyNoInquiry);
    EXPECT_EQ(Scripted::With(0x12).size(), 100u);
    EXPECT_EQ(Scripted::sent.size(), 100u);
    EXPECT_TRUE(CrashMarker());
}

TEST_F(VerifyBadInputTest, ControlBytesInTheNameBecomeBlanks) {
    std::vector<uint8_t> inquiry = InquiryData("ACME", "CDR-X1");
    inquiry[12] = 0;       // a vendor padded with a zero byte
    inquiry[20] = '\n';    // a line end that would break the database line
    Drive(inquiry, ModeAnswer(true, CapabilitiesPage(1764, 512)));
    auto device = Verified();
    EXPECT_STREQ(device->GetDeviceName(), "ACME CDR- 1") << "the zero byte no longer cuts the name";
}

TEST_F(VerifyBadInputTest, PagesAreReadOnlyWithinWhatTheDriveMoved) {
    // The answer in the buffer is whole, but the drive says it moved only
    // the first 30 bytes: the page 0x01 and ten bytes of page 0x2A.
    std::vector<uint8_t> pages{0x01, 0x0A, 0x00, 0x07, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> capabilities = CapabilitiesPage(7056, 4096);
    pages.insert(pages.end(), capabilities.begin(), capabilities.end());
    Drive(InquiryData("ACME", "CDR-1"), ModeAnswer(true, pages), 30);
    auto device = Verified();
    EXPECT_EQ(device->GetHardwareRetry(), 7);
    EXPECT_TRUE(device->IsMMC()) << "byte 5 of page 0x2A was moved";
    EXPECT_EQ(device->GetDriveSpeedValue(), 0) << "bytes 14-15 were not";
    EXPECT_EQ(device->GetBufferSize(), -1) << "bytes 12-13 were not; READ BUFFER failed";
    EXPECT_EQ(Scripted::With(0x3C).size(), 1u);
    unsigned char kept[21];
    ASSERT_TRUE(device->GetCapabilities(kept, 21));
    EXPECT_EQ(kept[5], 0x01);
    EXPECT_EQ(kept[13], 0) << "only the ten moved bytes are kept";
}

TEST_F(VerifyBadInputTest, ShortLengthQuirkOfModeSenseTenAndTheFourByteHeader) {
    // Length bytes 00 10 count as 01 10: the page beyond byte 18 is walked.
    std::vector<uint8_t> answer = ModeAnswer(true, CapabilitiesPage(1412, 512));
    answer[0] = 0x00;
    answer[1] = 0x10;
    Drive(InquiryData("ACME", "CDR-1"), answer);
    auto device = Verified();
    EXPECT_EQ(device->GetDriveSpeedValue(), 8);
    EXPECT_EQ(device->GetBufferSize(), 512);

    // First bytes that make a total of 512 or more: the 4-byte header.
    const uint8_t sixByte[] = {0x01, 0xFE, 0x00, 0x08, 0, 0, 0, 0, 0, 0, 0x09, 0x30};
    verify::ModeHeader h = verify::ReadModeHeader(sixByte, sizeof sixByte);
    EXPECT_EQ(h.total, 2);
    EXPECT_EQ(h.firstPage, 12);
    EXPECT_EQ(h.sectorSize, 2352);
    EXPECT_EQ(h.mediumType, 0xFE);
    const uint8_t tenByte[] = {0x01, 0xFD, 0x70, 0x00, 0, 0, 0, 0x00};
    h = verify::ReadModeHeader(tenByte, sizeof tenByte);
    EXPECT_EQ(h.total, 511);
    EXPECT_EQ(h.firstPage, 8);
    EXPECT_EQ(h.sectorSize, -1);
    EXPECT_EQ(h.mediumType, 0x70);
    // Too short for either header.
    EXPECT_EQ(verify::ReadModeHeader(tenByte, 3).total, 0);
    EXPECT_EQ(verify::ReadModeHeader(tenByte, 6).total, 0);
}

TEST_F(VerifyBadInputTest, ASixByteAnswerToTheTenByteCommandSwitchesTheRecord) {
    std::vector<uint8_t> six = ModeAnswer(false, CapabilitiesPage(1764, 1024), true);
    Scripted::answer = [six](const SentCommand& c, uint8_t* buffer) {
        if (c.cdb[0] == 0x12) return Scripted::Data(InquiryData("ACME", "CDR-1"), buffer, c.dataLength);
        if (c.cdb[0] == 0x5A || c.cdb[0] == 0x1A) return Scripted::Data(six, buffer, c.dataLength);
        return Scripted::Fail(5, 0x20);
    };
    auto device = Verified();
    EXPECT_FALSE(device->IsMode10());
    EXPECT_EQ(device->GetDriveSpeedValue(), 9);
    EXPECT_EQ(device->GetBufferSize(), 1024);
    EXPECT_EQ(Scripted::With(0x1A)[0].cdb[4], 255);
}

TEST_F(VerifyBadInputTest, ModeSenseFailuresRetryOrGiveUpWithTheDatabaseRecord) {
    struct Row {
        uint8_t asc;
        size_t attempts;
    } rows[] = {{0x29, 6}, {0x04, 6}, {0x00, 6}, {0x20, 6}, {0x3A, 1},
                // All pages refused as an invalid field: the pages the check
                // needs are asked for one by one.
                {0x24, 1 + std::size(verify::kSinglePages)}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.asc);
        Scripted::sent.clear();
        Scripted::answer = [&row](const SentCommand& c, uint8_t* buffer) {
            if (c.cdb[0] == 0x12) return Scripted::Data(InquiryData("ACME", "CDR-1"), buffer, c.dataLength);
            return Scripted::Fail(row.asc == 0x3A ? 2 : 5, row.asc);
        };
        auto device = Verified(true);
        EXPECT_EQ(Scripted::With(0x5A).size() + Scripted::With(0x1A).size(), row.attempts);
        EXPECT_EQ(Scripted::sent.size(), 1 + row.attempts) << "nothing after the mode sense";
        EXPECT_EQ(device->GetTrackInfoCmd(), 0xFF) << "no defaults without the pages";
        EXPECT_TRUE(CrashMarker());
    }
}

TEST_F(VerifyBadInputTest, TocRepliesWithoutDescriptorsOrWithTooManyStayInBounds) {
    struct Row {
        std::vector<uint8_t> toc;
        int mediaType;
    } rows[] = {
        // No descriptor at all, or a length far beyond the reply: not a TOC.
        {{0x00, 0x02, 0x01, 0x01}, 0x01 | 0x10},
        {{0xFF, 0xFF, 0x01, 0x01, 0, 0x14, 1, 0}, 0x01 | 0x10},
        // A data track and the lead-out; an audio track and the lead-out.
        {{0x00, 0x12, 0x01, 0x01, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0, 0, 0, 0, 0}, 0x01},
        {{0x00, 0x12, 0x01, 0x01, 0, 0x10, 1, 0, 0, 0, 0, 0, 0, 0x10, 0xAA, 0, 0, 0, 0, 0}, 0x01 | 0x02},
        // The last descriptor is not the lead-out: an unfinished disc.
        {{0x00, 0x12, 0x01, 0x02, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0x02, 0, 0, 0, 0, 0}, 0x10},
    };
    for (const Row& row : rows) {
        Drive(InquiryData("ACME", "CDR-1"), ModeAnswer(true, CapabilitiesPage(1764, 512)), -1,
              [&row](const SentCommand& c, uint8_t* buffer) {
                  if (c.cdb[0] == 0x00) return Scripted::Good();
                  if (c.cdb[0] == 0x43 && (c.cdb[2] & 0x0F) == 4)
                      return Scripted::Data({0x00, 0x02, 0x00, 0x00}, buffer, c.dataLength);
                  if (c.cdb[0] == 0x43 && c.cdb[9] == 0) return Scripted::Data(row.toc, buffer, c.dataLength);
                  return Scripted::Fail(5, 0x24);
              });
        auto device = Verified(true, true);
        EXPECT_EQ(device->GetMediaType(), row.mediaType);
    }
}

TEST(ModePageWalk, PagesRunningPastTheEndAreReadOnlyUpToIt) {
    DDBInfo record;
    record.SetBufferSize(0xFFFF);
    // Page 0x2A whose length says 26 bytes follow, cut after byte 13: the
    // buffer size is there, the speed is not.
    std::vector<uint8_t> page = CapabilitiesPage(7056, 300);
    std::vector<uint8_t> cut(page.begin(), page.begin() + 14);
    verify::PageFindings found = verify::WalkModePages(cut.data(), 0, static_cast<int>(cut.size()),
                                                       verify::kNoSpeedMethod, "ACME", record);
    EXPECT_TRUE(found.capabilitiesKnown);
    EXPECT_EQ(found.capabilityBytes, 14);
    EXPECT_EQ(found.driveSpeed, -1);
    EXPECT_EQ(found.method, 0);
    EXPECT_EQ(record.GetBufferSize(), 300u);

    // A page whose length byte is all that is left; a speed page without
    // its speed byte; a first page past the end.
    const std::vector<uint8_t> tails[] = {{0x01}, {0x31, 0x06}, {0x0F, 0x04}, {0x20, 0x02}, {0x23, 0x06, 0, 0}};
    for (const std::vector<uint8_t>& tail : tails) {
        std::vector<uint8_t> exact(tail);
        found = verify::WalkModePages(exact.data(), 0, static_cast<int>(exact.size()), verify::kNoSpeedMethod,
                                      "PLEXTOR", record);
        EXPECT_EQ(found.method, verify::kNoSpeedMethod);
        EXPECT_EQ(found.driveSpeed, -1);
    }
    std::vector<uint8_t> one{0x05, 0x00};
    found = verify::WalkModePages(one.data(), 40, 2, verify::kNoSpeedMethod, "ACME", record);
    EXPECT_FALSE(found.recorder);
    found = verify::WalkModePages(one.data(), 0, 2, verify::kNoSpeedMethod, "ACME", record);
    EXPECT_TRUE(found.recorder) << "a page of length 0 is still a page";
}

TEST(ModePageWalk, SpeedPagesAndTheMethodTheyGive) {
    struct Row {
        std::vector<uint8_t> pages;
        uint8_t startMethod;
        const char* name;
        uint8_t method;
        int speed;
    } rows[] = {
        {{0x0F, 0x02, 0x11, 0}, 255, "ACME", 4, 0x11},
        {{0x20, 0x02, 0x12, 0}, 255, "ACME", 2, 0x12},
        {{0x23, 0x06, 0, 0, 0x13, 0, 0, 0}, 255, "ACME", 5, 0x13},
        {{0x23, 0x06, 0, 0, 0x13, 0, 0, 0}, 4, "ACME", 4, -1},  // another method's page changes nothing
        {{0x31, 0x02, 0x14, 0}, 255, "PLEXTOR CD-R", 6, 0x14},
        {{0x31, 0x02, 0x14, 0}, 255, "YAMAHA CRW", 1, 0x14},
        {{0x31, 0x02, 0x14, 0}, 255, "SONY CRX", 3, 0x14},
        {{0x31, 0x02, 0x14, 0}, 1, "SONY CRX", 1, 0x14},  // the database's method stays
        {{0x31, 0x02, 0x14, 0}, 0, "SONY CRX", 0, -1},
    };
    for (const Row& row : rows) {
        DDBInfo record;
        std::vector<uint8_t> exact = row.pages;
        verify::PageFindings found = verify::WalkModePages(exact.data(), 0, static_cast<int>(exact.size()),
                                                           row.startMethod, row.name, record);
        EXPECT_EQ(found.method, row.method) << row.name << " page " << int(row.pages[0]);
        EXPECT_EQ(found.driveSpeed, row.speed) << row.name << " page " << int(row.pages[0]);
    }
}

TEST(ModePageWalk, RandomAnswersNeverReadOutsideTheirBuffer) {
    std::mt19937 random(12345);
    for (int round = 0; round < 4000; ++round) {
        const int size = static_cast<int>(random() % 80);
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
        // Page codes the walk acts on, now and then, with any length.
        if (size > 0 && random() % 2) bytes[0] = static_cast<uint8_t>(std::vector<int>{1, 5, 0xD, 0xF, 0x20, 0x23, 0x2A, 0x31}[random() % 8]);
        DDBInfo record;
        record.SetBufferSize(0xFFFF);
        const verify::ModeHeader header = verify::ReadModeHeader(bytes.data(), size);
        const int end = std::min(header.total, size);
        verify::PageFindings found = verify::WalkModePages(bytes.data(), static_cast<int>(random() % 16), end,
                                                           static_cast<uint8_t>(random() % 2 ? 255 : random() % 8),
                                                           "PLEXTOR", record);
        EXPECT_LE(found.capabilityBytes, verify::kCapabilityBytes);
        found = verify::WalkModePages(bytes.data(), 0, size, verify::kNoSpeedMethod, "ACME", record);
        EXPECT_LE(found.capabilityBytes, size);
    }
}

}  // namespace
