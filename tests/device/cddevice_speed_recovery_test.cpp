// The error-recovery page: the recovery state as parameter and retry
// count, the default retry count of the record, error-scan mode, the two
// page lengths, refusals, the changeable values, the hardware retry count,
// automatic reallocation and the buffer size from READ BUFFER.
#include <gtest/gtest.h>

#include <fstream>

#include "cddevice_check_fakes.h"
#include "device/ddb/ddb_info.h"

using namespace dravik::device;
using namespace dravik::device::test;

namespace {

using Scripted = ScriptedTransport;

const std::vector<uint8_t> kLongPage{0x01, 0x0A, 0x00, 0x05, 0, 0, 0, 0, 0x05, 0, 0, 0};
const std::vector<uint8_t> kShortPage{0x01, 0x06, 0x00, 0x05, 0, 0, 0, 0};

class RecoveryTest : public CheckFixture<ScriptedTransport> {
protected:
    void SetUp() override {
        CheckFixture::SetUp();
        device = std::make_unique<CheckedDevice>();
        ASSERT_TRUE(device->FirstDevice());
        device->DeviceRecord()->SetMode10(true);
        device->DeviceRecord()->SetModeLenReq(true);
    }
    void TearDown() override {
        device.reset();
        CheckFixture::TearDown();
    }
    // A drive whose page 0x01 reads as `page` (current values) and
    // `changeable`, and that answers mode selects with `selectAnswer`.
    void Drive(std::vector<uint8_t> page, std::vector<uint8_t> changeable = {},
               ScriptedTransport::Reply selectAnswer = ScriptedTransport::Good()) {
        Scripted::answer = [page, changeable, selectAnswer](const SentCommand& c, uint8_t* buffer) {
            if (c.cdb[0] == 0x1A || c.cdb[0] == 0x5A) {
                const bool mode10 = c.cdb[0] == 0x5A;
                const bool wantsChangeable = (c.cdb[2] & 0xC0) == 0x40;
                return Scripted::Data(ModeAnswer(mode10, wantsChangeable && !changeable.empty() ? changeable : page),
                                      buffer, c.dataLength);
            }
            if (c.cdb[0] == 0x15 || c.cdb[0] == 0x55) return selectAnswer;
            return Scripted::Fail(5, 0x20);
        };
    }
    // The parameter list of the last mode select.
    static std::vector<uint8_t> LastSelect() {
        std::vector<SentCommand> selects = Scripted::With(0x55);
        std::vector<SentCommand> six = Scripted::With(0x15);
        selects.insert(selects.end(), six.begin(), six.end());
        return selects.empty() ? std::vector<uint8_t>{} : selects.back().dataOut;
    }
    // Gives the record a default retry count from a database entry.
    void DefaultRetries(int count) {
        std::string path = files.File("retry.ddb");
        std::ofstream(path, std::ios::binary) << "[ACME]\r\n\tCDR-1:Mode10,Rtry=" << count << "\r\n";
        DDBInfo* record = device->DeviceRecord();
        record->SetFileName(path.c_str());
        record->SetDeviceName("ACME CDR-1");
        ASSERT_TRUE(record->GetDeviceInfo());
        record->SetModeLenReq(true);
        ASSERT_EQ(record->GetRetryCount(), static_cast<unsigned>(count));
    }

    std::unique_ptr<CheckedDevice> device;
    dravik::test::TempDir files;
};

TEST_F(RecoveryTest, StateBecomesPageBytesTwoAndThreeAndSetsErrorScanMode) {
    DefaultRetries(3);
    struct Row {
        int state;
        uint8_t parameter, retries;
        bool errorScan;
    } rows[] = {
        {0x01FF, 0x01, 3, true},    // the record's default retry count
        {0x0005, 0x00, 5, false},   // retries, no recovery bits: reads are retried
        {0x0000, 0x00, 0, true},    // no retries: failures are classified
        {0x2503, 0x25, 3, true},
    };
    Drive(kLongPage);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.state);
        int current = -1;
        ASSERT_TRUE(device->SetRecoveryState(row.state, &current));
        EXPECT_EQ(current, 0x0005) << "what the drive held before";
        std::vector<uint8_t> list = LastSelect();
        ASSERT_EQ(list.size(), 8u + 12u);
        EXPECT_EQ(list[8], 0x01);
        EXPECT_EQ(list[10], row.parameter);
        EXPECT_EQ(list[11], row.retries);
        EXPECT_EQ(device->InErrorScanMode(), row.errorScan);
    }
    // The saved state is the one passed: 0xFF asks again for the default.
    Drive(kLongPage);
    ASSERT_TRUE(device->SetRecoveryState(0x01FF, nullptr));
    Scripted::sent.clear();
    device->ResetDeviceParameters();
    std::vector<uint8_t> list = LastSelect();
    ASSERT_EQ(list.size(), 20u);
    EXPECT_EQ(list[10], 0x01);
    EXPECT_EQ(list[11], 3);
    EXPECT_TRUE(Scripted::With(0xBB).empty()) << "no speed was saved";
}

TEST_F(RecoveryTest, PageLengthOfTheDriveDecidesTheLengthOfTheSelect) {
    struct Row {
        std::vector<uint8_t> page;
        bool mode10;
        size_t listBytes;
        uint8_t lengthByte;  // mode data length of the header
    } rows[] = {
        {kLongPage, true, 8 + 12, 18},
        {kShortPage, true, 8 + 8, 14},
        {kLongPage, false, 4 + 12, 15},
        {kShortPage, false, 4 + 8, 11},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.listBytes * 10 + row.mode10);
        device->DeviceRecord()->SetMode10(row.mode10);
        Drive(row.page);
        Scripted::sent.clear();
        ASSERT_TRUE(device->SetRecoveryState(0x0004, nullptr));
        std::vector<uint8_t> list = LastSelect();
        ASSERT_EQ(list.size(), row.listBytes);
        EXPECT_EQ(list[row.mode10 ? 1 : 0], row.lengthByte);
        const size_t page = row.mode10 ? 8 : 4;
        EXPECT_EQ(list[page + 1], row.page[1]);
        EXPECT_EQ(list[page + 3], 4);
    }
}

TEST_F(RecoveryTest, ChangeableValuesTellWhetherTheRetryCountCanChange) {
    std::vector<uint8_t> changeable(12, 0);
    changeable[0] = 0x01;
    changeable[1] = 0x0A;
    changeable[2] = 0xC0;
    Drive(kLongPage, changeable);
    int current = -1;
    EXPECT_TRUE(device->SetRecoveryState(-1, &current));
    EXPECT_EQ(Scripted::sent.back().cdb[2], 0x41);
    EXPECT_EQ(current, 0xC000);
    EXPECT_FALSE(device->CanChangeRetry());
    EXPECT_TRUE(LastSelect().empty()) << "only read";

    changeable[3] = 0xFF;
    Drive(kLongPage, changeable);
    EXPECT_TRUE(device->SetRecoveryState(-1, nullptr));
    EXPECT_TRUE(device->CanChangeRetry());
}

TEST_F(RecoveryTest, SixByteSenseRefusedMovesTheRecordToTenByteCommands) {
    device->DeviceRecord()->SetMode10(false);
    Scripted::answer = [](const SentCommand& c, uint8_t* buffer) {
        if (c.cdb[0] == 0x1A) return Scripted::Fail(5, 0x20);
        if (c.cdb[0] == 0x5A) return Scripted::Data(ModeAnswer(true, kShortPage), buffer, c.dataLength);
        return Scripted::Good();
    };
    EXPECT_TRUE(device->SetRecoveryState(0x0002, nullptr));
    EXPECT_TRUE(device->IsMode10());
    ASSERT_EQ(Scripted::With(0x55).size(), 1u);
}

TEST_F(RecoveryTest, RefusalIsRememberedAndTheStateIsNotSaved) {
    device->SetErrorMode(true);
    Drive(kLongPage, {}, Scripted::Fail(5, 0x20));
    EXPECT_FALSE(device->SetRecoveryState(0x0100, nullptr));
    EXPECT_TRUE(device->IsRecoveryPageRefused());
    // Nothing was accepted, so the reset has nothing to apply.
    Scripted::sent.clear();
    device->ResetDeviceParameters();
    EXPECT_TRUE(Scripted::sent.empty());

    // Another refusal reason is not the page being refused.
    CheckedDevice other;
    other.SetErrorMode(true);
    other.DeviceRecord()->SetMode10(true);
    Drive(kLongPage, {}, Scripted::Fail(5, 0x26));
    EXPECT_FALSE(other.SetRecoveryState(0x0100, nullptr));
    EXPECT_FALSE(other.IsRecoveryPageRefused());
}

TEST_F(RecoveryTest, APageOutsideTheAnswerIsNeitherReadNorSelected) {
    Scripted::answer = [](const SentCommand& c, uint8_t* buffer) {
        if (c.cdb[0] != 0x5A) return Scripted::Good();
        std::vector<uint8_t> reply = ModeAnswer(true, kLongPage);
        reply[7] = 120;  // a block descriptor that would put the page at 128
        return Scripted::Data(reply, buffer, c.dataLength);
    };
    int current = 1234;
    EXPECT_FALSE(device->SetRecoveryState(0x0003, &current));
    EXPECT_EQ(current, 1234);
    EXPECT_TRUE(LastSelect().empty());
    EXPECT_EQ(device->GetSenseKey(), CDDevice::kSenseMalformedReply);

    // The drive moved only the header.
    Scripted::answer = [](const SentCommand&, uint8_t* buffer) {
        std::vector<uint8_t> reply = ModeAnswer(true, kLongPage);
        std::memcpy(buffer, reply.data(), 8);
        return ScriptedTransport::Reply{8, {}};
    };
    EXPECT_FALSE(device->SetRecoveryState(0x0003, nullptr));
    EXPECT_FALSE(device->SetHardwareRetry(3));
    EXPECT_TRUE(LastSelect().empty());
}

TEST_F(RecoveryTest, HardwareRetryCopiesThePageAndChangesByteThree) {
    Drive(kLongPage);
    EXPECT_TRUE(device->SetHardwareRetry(9));
    std::vector<uint8_t> expected{0x00, 0x12, 0, 0, 0, 0, 0, 0};
    expected.insert(expected.end(), kLongPage.begin(), kLongPage.end());
    expected[8 + 3] = 9;
    EXPECT_EQ(LastSelect(), expected);
    EXPECT_EQ(device->GetHardwareRetry(), 9);

    device->DeviceRecord()->SetMode10(false);
    Drive(kShortPage);
    EXPECT_TRUE(device->SetHardwareRetry(2));
    expected = {0x0B, 0, 0, 0};
    expected.insert(expected.end(), kShortPage.begin(), kShortPage.end());
    expected[4 + 3] = 2;
    EXPECT_EQ(LastSelect(), expected);
    EXPECT_EQ(device->GetHardwareRetry(), 2);
}

TEST_F(RecoveryTest, AutomaticReallocationBitsFromTheChangeableValues) {
    struct Row {
        uint8_t byte2;
        bool awre, arre;
    } rows[] = {{0xC0, true, true}, {0x80, true, false}, {0x40, false, true}, {0x3F, false, false}};
    for (const Row& row : rows) {
        std::vector<uint8_t> changeable = kLongPage;
        changeable[2] = row.byte2;
        Drive(kLongPage, changeable);
        ASSERT_TRUE(device->CheckAutoRealloc());
        EXPECT_EQ(Scripted::sent.back().cdb[2], 0x41);
        EXPECT_EQ(device->IsAWRE(), row.awre);
        EXPECT_EQ(device->IsARRE(), row.arre);
    }
}

TEST_F(RecoveryTest, BufferSizeFromTheReadBufferHeader) {
    uint8_t capacity[4] = {0x5A, 0x10, 0x00, 0x00};  // byte 0 is not part of the capacity
    Scripted::answer = [&capacity](const SentCommand& c, uint8_t* buffer) {
        EXPECT_EQ(c.cdb[0], 0x3C);
        EXPECT_EQ(c.cdb[1], 0x00);
        EXPECT_EQ(c.cdb[8], 0x20);
        EXPECT_EQ(c.dataLength, 256u);
        return Scripted::Data(std::vector<uint8_t>(capacity, capacity + 4), buffer, c.dataLength);
    };
    EXPECT_TRUE(device->ReadDeviceBufferSize());
    EXPECT_EQ(device->GetBufferSize(), 1024);

    // A capacity under 1 KB leaves the record as it was.
    capacity[1] = 0;
    capacity[2] = 0x03;
    EXPECT_TRUE(device->ReadDeviceBufferSize());
    EXPECT_EQ(device->GetBufferSize(), 1024);

    // Fewer than the four header bytes: nothing is read from them.
    Scripted::answer = [](const SentCommand&, uint8_t* buffer) {
        buffer[0] = buffer[1] = 0x7F;
        return ScriptedTransport::Reply{2, {}};
    };
    EXPECT_FALSE(device->ReadDeviceBufferSize());
    EXPECT_EQ(device->GetBufferSize(), 1024);

    Scripted::answer = [](const SentCommand&, uint8_t*) { return Scripted::Fail(5, 0x20); };
    EXPECT_FALSE(device->ReadDeviceBufferSize());
    EXPECT_EQ(device->GetSenseCode(), 0x20);
}

}  // namespace
