// Read speed by speed method: SET CD SPEED for MMC drives, the vendor
// speed pages in both mode-select forms, the speed read back in each
// method's unit, and answers too short to hold the speed.
#include <gtest/gtest.h>

#include "cddevice_check_fakes.h"
#include "device/ddb/ddb_info.h"

using namespace dravik::device;
using namespace dravik::device::test;

namespace {

using Scripted = ScriptedTransport;

class SpeedMethodTest : public CheckFixture<ScriptedTransport> {
protected:
    void SetUp() override {
        CheckFixture::SetUp();
        device = std::make_unique<CheckedDevice>();
        ASSERT_TRUE(device->FirstDevice());
    }
    void TearDown() override {
        device.reset();
        CheckFixture::TearDown();
    }
    void UseMethod(int method, bool mode10) {
        device->DeviceRecord()->SetSpeedCode(method);
        device->DeviceRecord()->SetMode10(mode10);
        device->DeviceRecord()->SetModeLenReq(true);  // as the device check leaves it
    }
    // A drive whose speed page holds `page` (as its mode sense answers it)
    // and takes every mode select, keeping the page it is sent when
    // `keepsSelected`.
    void DriveWithPage(std::vector<uint8_t> page, bool keepsSelected = true) {
        current = std::move(page);
        Scripted::answer = [this, keepsSelected](const SentCommand& c, uint8_t* buffer) {
            const bool mode10 = c.cdb[0] == 0x5A || c.cdb[0] == 0x55;
            if (c.cdb[0] == 0x1A || c.cdb[0] == 0x5A)
                return Scripted::Data(ModeAnswer(mode10, current, !mode10), buffer, c.dataLength);
            if ((c.cdb[0] == 0x15 || c.cdb[0] == 0x55) && keepsSelected) {
                const size_t at = mode10 ? 8 : 12;
                if (c.dataOut.size() > at) current.assign(c.dataOut.begin() + at, c.dataOut.end());
            }
            return Scripted::Good();
        };
    }

    std::unique_ptr<CheckedDevice> device;
    std::vector<uint8_t> current;
};

TEST_F(SpeedMethodTest, MmcSpeedIsSetWithSetCdSpeedInKilobytesPerSecond) {
    UseMethod(0, true);
    struct Row {
        int speed;
        uint8_t high, low;
    } rows[] = {{4, 0x02, 0xC2}, {0, 0xFF, 0xFF}, {1, 0x00, 0xB0}, {48, 0x21, 0x18}};
    for (const Row& row : rows) {
        Scripted::sent.clear();
        EXPECT_TRUE(device->SetDriveReadSpeed(row.speed));
        ASSERT_EQ(Scripted::sent.size(), 1u) << "sent once, not verified by a mode sense";
        const std::vector<uint8_t>& cdb = Scripted::sent[0].cdb;
        ASSERT_EQ(cdb.size(), 12u);
        EXPECT_EQ(cdb[0], 0xBB);
        EXPECT_EQ(cdb[2], row.high) << row.speed;
        EXPECT_EQ(cdb[3], row.low) << row.speed;
        EXPECT_EQ(cdb[4], 0xFF);
        EXPECT_EQ(cdb[5], 0xFF);
    }
    // A refusal is the result, with its sense kept.
    Scripted::answer = [](const SentCommand&, uint8_t*) { return Scripted::Fail(5, 0x24); };
    EXPECT_FALSE(device->SetDriveReadSpeed(8));
    EXPECT_EQ(device->GetSenseKey(), 5);
    EXPECT_EQ(device->GetSenseCode(), 0x24);
}

TEST_F(SpeedMethodTest, MmcSpeedReadBackRoundsToTheNearestMultiple) {
    UseMethod(0, true);
    struct Row {
        uint16_t kbps;
        unsigned speed;
    } rows[] = {{1412, 8}, {1500, 8}, {1588, 9}, {176, 1}, {7056, 40}, {0, 0}};
    for (const Row& row : rows) {
        std::vector<uint8_t> page(0x1C, 0);
        page[0] = 0x2A;
        page[1] = 0x1A;
        page[14] = static_cast<uint8_t>(row.kbps >> 8);
        page[15] = static_cast<uint8_t>(row.kbps);
        DriveWithPage(page);
        EXPECT_EQ(device->GetReadSpeed(), row.speed) << row.kbps;
    }
    // A long capabilities page (write speed descriptors) makes a 10-byte
    // answer of more than 64 bytes; its header is still the 8-byte one.
    std::vector<uint8_t> longPage(0x5C, 0);
    longPage[0] = 0x2A;
    longPage[1] = 0x5A;
    longPage[14] = 0x05;
    longPage[15] = 0x84;  // 1412 KB/s
    DriveWithPage(longPage);
    EXPECT_EQ(device->GetReadSpeed(), 8u);
    // A drive that answers the 10-byte command in the 6-byte form.
    std::vector<uint8_t> page(0x1C, 0);
    page[0] = 0x2A;
    page[1] = 0x1A;
    page[14] = 0x06;
    page[15] = 0x2C;  // 1580 KB/s
    Scripted::answer = [page](const SentCommand& c, uint8_t* buffer) {
        return Scripted::Data(ModeAnswer(false, page, true), buffer, c.dataLength);
    };
    EXPECT_EQ(device->GetReadSpeed(), 9u);
    // The request: page 0x2A, 128 bytes in the 10-byte form.
    const SentCommand& last = Scripted::sent.back();
    EXPECT_EQ(last.cdb[0], 0x5A);
    EXPECT_EQ(last.cdb[2], 0x2A);
    EXPECT_EQ(last.cdb[8], 128);
}

TEST_F(SpeedMethodTest, VendorPagesAreWrittenInTheRecordsModeSelectForm) {
    struct Row {
        int method;
        bool mode10;
        int speed;
        std::vector<uint8_t> page;  // what the select carries after the header
    } rows[] = {
        {1, true, 0x10, {0x31, 0x02, 0x00, 0x10}},
        {3, true, 0x0C, {0x31, 0x02, 0x0C, 0x00}},
        {6, true, 0x24, {0x31, 0x02, 0x04, 0x02}},
        {5, true, 0x08, {0x23, 0x06, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00}},
        {3, false, 0x0A, {0x31, 0x02, 0x0A, 0x00}},
        {5, false, 0x06, {0x23, 0x06, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.method * 100 + row.mode10);
        UseMethod(row.method, row.mode10);
        std::vector<uint8_t> page = row.page;
        std::fill(page.begin() + 2, page.end(), 0);
        DriveWithPage(page);
        Scripted::sent.clear();
        EXPECT_TRUE(device->SetDriveReadSpeed(row.speed));
        std::vector<SentCommand> selects = Scripted::With(row.mode10 ? 0x55 : 0x15);
        ASSERT_EQ(selects.size(), 1u);
        const std::vector<uint8_t>& list = selects[0].dataOut;
        if (row.mode10) {
            // Header without block descriptor; the length covers exactly the page.
            ASSERT_EQ(list.size(), 8 + row.page.size());
            EXPECT_EQ(list[0] * 256 + list[1], static_cast<int>(list.size() - 2));
            EXPECT_EQ(std::vector<uint8_t>(list.begin() + 2, list.begin() + 8), std::vector<uint8_t>(6, 0));
            EXPECT_EQ(std::vector<uint8_t>(list.begin() + 8, list.end()), row.page);
        } else {
            // Header, then a block descriptor of 2048-byte blocks.
            ASSERT_EQ(list.size(), 12 + row.page.size());
            EXPECT_EQ(list[0], list.size() - 1);
            EXPECT_EQ(list[3], 8);
            EXPECT_EQ(list[10], 0x08);
            EXPECT_EQ(list[11], 0x00);
            EXPECT_EQ(std::vector<uint8_t>(list.begin() + 12, list.end()), row.page);
        }
        EXPECT_EQ(selects[0].cdb[1], 0x10);  // page format
    }
}

TEST_F(SpeedMethodTest, VendorSpeedReadFromTheMethodsByte) {
    struct Row {
        int method;
        std::vector<uint8_t> page;
        unsigned speed;
    } rows[] = {
        {1, {0x31, 0x02, 0x11, 0x22}, 0x22}, {3, {0x31, 0x02, 0x11, 0x22}, 0x11},
        {6, {0x31, 0x02, 0x11, 0x22}, 0x11}, {2, {0x20, 0x02, 0x33, 0x44}, 0x33},
        {4, {0x0F, 0x02, 0x55, 0x66}, 0x55}, {5, {0x23, 0x06, 0, 0, 0x77, 0, 0, 0}, 0x77},
        {7, {0x00, 0x02, 0x19, 0x00}, 0x19},
    };
    for (const Row& row : rows) {
        for (bool mode10 : {true, false}) {
            UseMethod(row.method, mode10);
            DriveWithPage(row.page);
            Scripted::sent.clear();
            EXPECT_EQ(device->GetReadSpeed(), row.speed) << row.method << " " << mode10;
            ASSERT_EQ(Scripted::sent.size(), 1u);
            EXPECT_EQ(Scripted::sent[0].cdb[2], row.page[0]);
        }
    }
}

TEST_F(SpeedMethodTest, MethodsWithoutASettingAndNoMethod) {
    for (int method : {2, 4, 7}) {
        UseMethod(method, true);
        Scripted::sent.clear();
        EXPECT_FALSE(device->SetDriveReadSpeed(4)) << method;
        EXPECT_TRUE(Scripted::sent.empty()) << method;
    }
    UseMethod(255, true);
    EXPECT_TRUE(device->SetDriveReadSpeed(4));
    EXPECT_EQ(device->GetReadSpeed(), 0u);
    EXPECT_TRUE(Scripted::sent.empty());
}

TEST_F(SpeedMethodTest, ADriveThatKeepsAnotherSpeedIsAskedFiveTimes) {
    UseMethod(3, true);
    DriveWithPage({0x31, 0x02, 0x28, 0x00}, false);
    EXPECT_FALSE(device->SetDriveReadSpeed(0x08));
    EXPECT_EQ(Scripted::With(0x55).size(), 5u);
    EXPECT_EQ(Scripted::With(0x5A).size(), 5u);
}

TEST_F(SpeedMethodTest, AFailedSenseOrAnAnswerTooShortGivesTheFailureValue) {
    UseMethod(3, true);
    Scripted::answer = [](const SentCommand&, uint8_t*) { return Scripted::Fail(2, 0x3A); };
    EXPECT_EQ(device->GetReadSpeed(), 0xFFFFFFFFu);
    EXPECT_EQ(device->GetSenseCode(), 0x3A);

    // The header puts the page beyond what the drive returned.
    Scripted::answer = [](const SentCommand& c, uint8_t* buffer) {
        std::vector<uint8_t> reply = ModeAnswer(true, {0x31, 0x02, 0x10, 0x00});
        reply[7] = 100;  // a block descriptor of 100 bytes that is not there
        return Scripted::Data(reply, buffer, c.dataLength);
    };
    EXPECT_EQ(device->GetReadSpeed(), 0xFFFFFFFFu);
    EXPECT_EQ(device->GetSenseKey(), CDDevice::kSenseMalformedReply);

    // The drive moved fewer bytes than its header claims.
    Scripted::answer = [](const SentCommand& c, uint8_t* buffer) {
        if (c.cdb[0] != 0x5A) return Scripted::Good();
        std::vector<uint8_t> reply = ModeAnswer(true, {0x31, 0x02, 0x10, 0x00});
        std::memcpy(buffer, reply.data(), 9);
        return ScriptedTransport::Reply{9, {}};
    };
    EXPECT_EQ(device->GetReadSpeed(), 0xFFFFFFFFu);
    // And a failed read-back makes the setting fail after its attempts.
    EXPECT_FALSE(device->SetDriveReadSpeed(0x10));
}

TEST_F(SpeedMethodTest, SavedSpeedIsSetAgainByTheReset) {
    UseMethod(3, true);
    DriveWithPage({0x31, 0x02, 0x00, 0x00});
    EXPECT_TRUE(device->SetDriveReadSpeed(0x12));
    current[2] = 0;
    Scripted::sent.clear();
    device->ResetDeviceParameters();
    ASSERT_EQ(Scripted::With(0x55).size(), 1u) << "no recovery state saved: only the speed";
    EXPECT_EQ(Scripted::With(0x55)[0].dataOut[10], 0x12);
    EXPECT_EQ(device->GetReadSpeed(), 0x12u);
}

}  // namespace
