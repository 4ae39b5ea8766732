// DevCommand: the request it builds for the transport, what comes back
// into it, copies and reset.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cddevice_fakes.h"
#include "device/cddevice/cddevice.h"
#include "device/regstore/registry_store.h"
#include "device/request/dev_command.h"
#include "device/test_seams.h"
#include "platform/hive_locations.h"
#include "support/temp_dir.h"

using dravik::device::CDDevice;
using dravik::device::CommandFlags;
using dravik::device::DevCommand;
using dravik::device::test::FakeStarters;
using dravik::device::test::FakeTransport;
using dravik::device::test::LogRecorder;
using dravik::test::TempDir;

namespace {

class DevCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv(dravik::platform::kConfigDirVariable, dir.path().c_str(), 1);
        dravik::device::test_seams::ForgetRegistryNames();
        FakeTransport::ResetCounters();
        FakeStarters::Reset();
        FakeStarters::succeeds[1] = true;
        table = FakeStarters::Table();
        dravik::device::test_seams::SetTransportStarters(&table);
        ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
        device = std::make_unique<CDDevice>();
    }
    void TearDown() override {
        device.reset();
        CDDevice::Terminate();
        dravik::device::test_seams::SetTransportStarters(nullptr);
        unsetenv(dravik::platform::kConfigDirVariable);
        dravik::device::test_seams::ForgetRegistryNames();
    }

    TempDir dir;
    dravik::device::TransportStarters table;
    std::unique_ptr<CDDevice> device;
};

TEST_F(DevCommandTest, RequestCarriesTheCommandAndTheResultComesBack) {
    unsigned char data[64] = {};
    DevCommand command(device.get());
    command.SetBuffer(data);
    command.SetDataLength(sizeof data);
    command.SetCDBLength(0x10A);  // only the low byte is sent
    command.SetFlags(dravik::device::CommandDataIn);
    command[0] = 0x28;
    command[11] = 0x5A;
    FakeTransport::answer.ready = false;
    FakeTransport::answer.requestStatus = 4;
    FakeTransport::answer.senseKey = 3;
    FakeTransport::answer.asc = 0x11;
    FakeTransport::answer.ascq = 0x05;
    FakeTransport::answer.senseInfo = 1234;
    FakeTransport::answer.dataLength = 16;

    EXPECT_FALSE(command.IORequest(false));
    const auto& sent = FakeTransport::lastRequest;
    EXPECT_EQ(sent.direction, 1u);
    EXPECT_EQ(sent.cdbLength, 10);
    EXPECT_EQ(sent.cdb[0], 0x28);
    EXPECT_EQ(sent.cdb[11], 0x5A);
    EXPECT_EQ(sent.buffer, data);
    EXPECT_EQ(sent.dataLength, sizeof data);
    EXPECT_EQ(sent.owner, device.get());
    EXPECT_FALSE(FakeTransport::lastInterpret);

    EXPECT_EQ(command.GetRequestStatus(), 4);
    EXPECT_EQ(command.GetDataLength(), 16u);
    EXPECT_EQ(command.GetSenseKey(), 3);
    EXPECT_EQ(command.GetSenseCode(), 0x11);
    EXPECT_EQ(command.GetSenseAddCode(), 0x05);
    EXPECT_EQ(command.GetInfo(), 1234u);
}

TEST_F(DevCommandTest, FlagsOtherThanInOrOutSendNoData) {
    DevCommand command(device.get());
    for (unsigned flags : {0u, 2u, 3u, 7u}) {
        command.SetFlags(static_cast<CommandFlags>(flags));
        command.IORequest(true);
        EXPECT_EQ(FakeTransport::lastRequest.direction, flags == 2 ? 2u : 0u) << "flags " << flags;
        EXPECT_TRUE(FakeTransport::lastInterpret);
    }
}

TEST_F(DevCommandTest, TestUnitReadyLeavesRequestStatusZeroWhateverTheResult) {
    DevCommand command(device.get());
    FakeTransport::answer.ready = false;
    FakeTransport::answer.senseKey = 2;
    FakeTransport::answer.asc = 0x3A;
    FakeTransport::answer.requestStatus = 4;
    command.IORequest(true);
    ASSERT_EQ(command.GetRequestStatus(), 4);

    EXPECT_FALSE(command.TestUnitReady(false));
    EXPECT_EQ(command.GetRequestStatus(), 0);
    EXPECT_EQ(command.GetSenseKey(), 2);
    EXPECT_EQ(command.GetSenseCode(), 0x3A);
    FakeTransport::answer.ready = true;
    EXPECT_TRUE(command.TestUnitReady(true));
    EXPECT_EQ(command.GetRequestStatus(), 0);
}

TEST_F(DevCommandTest, CopyTakesAllButTheRequestStatusAndResetKeepsTheDevice) {
    DevCommand command(device.get());
    command.SetCDBLength(6);
    command[4] = 0x24;
    FakeTransport::answer.requestStatus = 4;
    FakeTransport::answer.senseKey = 5;
    command.IORequest(true);

    DevCommand copy(command);
    EXPECT_EQ(copy[4], 0x24);
    EXPECT_EQ(copy.GetSenseKey(), 5);
    EXPECT_EQ(copy.GetRequestStatus(), 0);
    EXPECT_EQ(copy.GetDevice(), device.get());

    copy.Reset();
    EXPECT_EQ(copy[4], 0);
    EXPECT_EQ(copy.GetSenseKey(), 0);
    EXPECT_EQ(copy.GetDevice(), device.get());
}

TEST_F(DevCommandTest, IndexOutsideTheCdbNeverReachesIt) {
    DevCommand command(device.get());
    command[12] = 0xEE;
    command[-1] = 0xEE;
    command.SetCDBLength(12);
    command.IORequest(true);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(FakeTransport::lastRequest.cdb[i], 0) << i;
}

TEST(DevCommandWithoutTransportTest, FailsWithoutSending) {
    DevCommand noDevice(nullptr);
    EXPECT_FALSE(noDevice.IORequest(true));
    EXPECT_FALSE(noDevice.TestUnitReady(true));
    noDevice.CloseDevice();
}

}  // namespace
