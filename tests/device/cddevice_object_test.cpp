// CDDevice objects: construction from the prototype, copies standing on the
// same drive, what a copy takes and what it starts afresh, assignment and
// destruction releasing what the object owns, the forwarders and the
// accessors that derive or cut values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "cddevice_fakes.h"
#include "device/cddevice/cddevice.h"
#include "device/ddb/ddb_info.h"
#include "device/regstore/registry_store.h"
#include "device/test_seams.h"
#include "platform/hive_locations.h"
#include "support/temp_dir.h"

using dravik::device::CDDevice;
using dravik::device::test::FakeStarters;
using dravik::device::test::FakeTransport;
using dravik::device::test::LogRecorder;
using dravik::test::TempDir;

namespace {

int CountingMessage(int, ...) { return 0; }
void CountingDebug(char*, ...) {}
void CountingDump(void*, int, const char*) {}

class CDDeviceObjectTest : public ::testing::Test {
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
    }
    void TearDown() override {
        CDDevice::Terminate();
        dravik::device::test_seams::SetTransportStarters(nullptr);
        unsetenv(dravik::platform::kConfigDirVariable);
        dravik::device::test_seams::ForgetRegistryNames();
    }

    TempDir dir;
    dravik::device::TransportStarters table;
};

TEST_F(CDDeviceObjectTest, DefaultsOfANewObject) {
    CDDevice device;
    EXPECT_EQ(device.GetReadRetry(), 5);
    EXPECT_EQ(device.GetHardwareRetry(), 0);
    EXPECT_EQ(device.GetDebugLevel(), 0);
    EXPECT_FALSE(device.IsAbortSet());
    EXPECT_EQ(device.GetErrorBlock(), 0);
    EXPECT_EQ(device.GetDiskIdent()[0], 0);
    ASSERT_NE(device.Transport(), nullptr);
    ASSERT_NE(device.WorkBuffer(), nullptr);
    ASSERT_NE(device.DeviceRecord(), nullptr);
    // Callbacks that do nothing, never null: the transport may call them.
    ASSERT_NE(device.GetMessageCallback(), nullptr);
    EXPECT_EQ(device.GetMessageCallback()(3007, 1, "x", "y"), 0);
    EXPECT_NE(device.Transport()->messageCallback, nullptr);
    EXPECT_NE(device.Transport()->debugCallback, nullptr);
    EXPECT_EQ(FakeTransport::live, 2);
}

TEST_F(CDDeviceObjectTest, CopyMadeDuringEnumerationContinuesFromTheSameDrive) {
    CDDevice walker;
    ASSERT_TRUE(walker.FirstDevice());
    EXPECT_STREQ(walker.GetDeviceId(), "D:");
    ASSERT_TRUE(walker.NextDevice());

    CDDevice kept(walker);  // the program keeps a verified drive and walks on with a copy
    EXPECT_STREQ(kept.GetDeviceId(), "E:");
    EXPECT_EQ(kept.GetDriveLetter(), 'E');
    EXPECT_EQ(kept.GetDeviceTypeCode(), 5);

    ASSERT_TRUE(kept.NextDevice());
    EXPECT_STREQ(kept.GetDeviceId(), "F:") << "the drive after the one the source stands on";
    EXPECT_STREQ(walker.GetDeviceId(), "E:") << "the source does not move";
    EXPECT_FALSE(kept.NextDevice());
    EXPECT_EQ(kept.GetDriveLetter(), 255);
}

TEST_F(CDDeviceObjectTest, CopyTakesSettingsButNotSenseCountersOrDiscState) {
    CDDevice source;
    source.SetMessageCallback(CountingMessage);
    source.SetDebugCallback(CountingDebug);
    source.SetDebugDump(CountingDump);
    source.SetDebugLevel(0x102);
    source.SetAbortFlag();
    source.SetReadRetry(9);
    source.SetFakeMode3(true);
    source.SetRecoveredErrors(4);
    source.DeviceRecord()->SetDeviceName("VENDOR  PRODUCT");
    source.SetRawAvail(true);
    FakeTransport::answer.ready = false;
    FakeTransport::answer.senseKey = 2;
    FakeTransport::answer.asc = 0x3A;
    FakeTransport::answer.senseInfo = 77;
    ASSERT_FALSE(source.CheckDevice(false));
    ASSERT_EQ(source.GetSenseKey(), 2);

    CDDevice copy(source);
    EXPECT_EQ(copy.GetMessageCallback(), CountingMessage);
    EXPECT_EQ(copy.GetDebugCallback(), CountingDebug);
    EXPECT_EQ(copy.GetDebugDump(), CountingDump);
    EXPECT_EQ(copy.GetDebugLevel(), 2) << "the low 8 bits";
    EXPECT_TRUE(copy.IsAbortSet());
    EXPECT_EQ(copy.GetReadRetry(), 9);
    EXPECT_TRUE(copy.IsFakeMode3());
    EXPECT_STREQ(copy.GetDeviceName(), "VENDOR  PRODUCT");
    EXPECT_TRUE(copy.IsRawAvail());

    EXPECT_EQ(copy.GetRecoveredErrors(), 0);
    EXPECT_EQ(copy.GetSenseKey(), 0);
    EXPECT_EQ(copy.GetSenseCode(), 0);
    EXPECT_EQ(copy.GetSenseInfo(), 0u);
    EXPECT_EQ(copy.GetSectorSize(), 0);

    // Its own record, buffer and transport.
    EXPECT_NE(copy.DeviceRecord(), source.DeviceRecord());
    EXPECT_NE(copy.WorkBuffer(), source.WorkBuffer());
    EXPECT_NE(copy.Transport(), source.Transport());
    EXPECT_EQ(copy.Transport()->messageCallback, CountingMessage);
    EXPECT_EQ(copy.Transport()->debugLevel, 0x102);
    copy.SetRawAvail(false);
    EXPECT_TRUE(source.IsRawAvail());
}

TEST_F(CDDeviceObjectTest, AssignmentReleasesWhatTheTargetHeldAndTakesACopy) {
    CDDevice source;
    ASSERT_TRUE(source.FirstDevice());
    ASSERT_TRUE(source.NextDevice());
    source.SetReadRetry(2);
    CDDevice target;
    target.SetRecoveredErrors(8);
    EXPECT_EQ(FakeTransport::live, 3);

    target = source;
    EXPECT_EQ(FakeTransport::live, 3) << "the old transport went, the clone came";
    EXPECT_STREQ(target.GetDeviceId(), "E:");
    EXPECT_EQ(target.GetReadRetry(), 2);
    EXPECT_EQ(target.GetRecoveredErrors(), 0);

    target = target;  // NOLINT: self-assignment keeps the object whole
    EXPECT_STREQ(target.GetDeviceId(), "E:");
    EXPECT_EQ(FakeTransport::live, 3);
}

TEST_F(CDDeviceObjectTest, DestructionReleasesTheTransportAndTerminateOnlyThePrototype) {
    {
        CDDevice first;
        CDDevice second(first);
        CDDevice* third = new CDDevice(second);
        EXPECT_EQ(FakeTransport::live, 4);
        delete third;
        EXPECT_EQ(FakeTransport::live, 3);
    }
    EXPECT_EQ(FakeTransport::live, 1);
    CDDevice::Terminate();
    EXPECT_EQ(FakeTransport::live, 0);
    // The work buffers and records are checked by the leak sanitizer.
}

TEST_F(CDDeviceObjectTest, GetCapabilitiesCopiesAtMostThePage) {
    CDDevice device;
    unsigned char buffer[40];
    std::memset(buffer, 0xAA, sizeof buffer);
    EXPECT_FALSE(device.GetCapabilities(buffer, 40)) << "the page was not read";
    EXPECT_EQ(buffer[20], 0);
    EXPECT_EQ(buffer[21], 0xAA) << "21 bytes at most";

    std::memset(buffer, 0xAA, sizeof buffer);
    device.GetCapabilities(buffer, 5);
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(buffer[5], 0xAA);

    std::memset(buffer, 0xAA, sizeof buffer);
    device.GetCapabilities(buffer, -1);
    EXPECT_EQ(buffer[20], 0);
    EXPECT_EQ(buffer[21], 0xAA);

    std::memset(buffer, 0xAA, sizeof buffer);
    device.GetCapabilities(buffer, 0);
    EXPECT_EQ(buffer[0], 0xAA);
}

TEST_F(CDDeviceObjectTest, CheckDeviceKeepsTheSenseOfAFailureOnly) {
    CDDevice device;
    ASSERT_TRUE(device.FirstDevice());
    FakeTransport::answer.ready = false;
    FakeTransport::answer.senseKey = 2;
    FakeTransport::answer.asc = 4;
    FakeTransport::answer.ascq = 1;
    FakeTransport::answer.senseInfo = 0x1234;
    EXPECT_FALSE(device.CheckDevice(true));
    EXPECT_EQ(device.GetSenseKey(), 2);
    EXPECT_EQ(device.GetSenseCode(), 4);
    EXPECT_EQ(device.GetSenseAddCode(), 1);
    EXPECT_EQ(device.GetSenseInfo(), 0x1234u);

    FakeTransport::answer.ready = true;
    EXPECT_TRUE(device.CheckDevice(true));
    EXPECT_EQ(device.GetSenseCode(), 4) << "success leaves the last failure's sense";
}

TEST_F(CDDeviceObjectTest, ByteSwapsTurnBigEndianFieldsAround) {
    EXPECT_EQ(CDDevice::ShortSwap(0x1234), 0x3412);
    EXPECT_EQ(CDDevice::ShortSwap(static_cast<short>(0x80FF)), static_cast<short>(0xFF80));
    EXPECT_EQ(CDDevice::LongSwap(0x12345678u), 0x78563412u);
    EXPECT_EQ(CDDevice::LongSwap(0xFF000001u), 0x010000FFu);
}

TEST_F(CDDeviceObjectTest, RecordAccessorsReachTheDeviceRecord) {
    CDDevice device;
    device.SetBufferSize(1024);
    device.SetBufferMax(-2);
    device.SetTrackInfoCmd(0xE5);
    device.SetCDDAAvail(true);
    device.SetDeviceWriteSpeed(8, false);
    device.SetDeviceWriteSpeed(4, false);
    EXPECT_EQ(device.GetBufferSize(), 1024);
    EXPECT_EQ(device.GetBufferMax(), -2) << "16 bits signed";
    EXPECT_EQ(device.GetTrackInfoCmd(), 0xE5);
    EXPECT_TRUE(device.IsCDDAAvail());
    EXPECT_EQ(device.GetDeviceWriteSpeed(-1, false), 8);
    EXPECT_TRUE(device.CanReadATIP()) << "the inverse of NoATIP";
    EXPECT_TRUE(device.DeviceRecord()->IsModified());
}

TEST_F(CDDeviceObjectTest, InterfaceVersionNamesTheLibraryAndTheTransport) {
    CDDevice device;
    FakeTransport::version = "SPT 1.1";
    // The test program carries the project's version information.
    EXPECT_THAT(device.GetIntfVersion(), ::testing::MatchesRegex("ZOLTDEV [0-9]+\\.[0-9]+\\.[0-9]+, SPT 1\\.1"));
}

}  // namespace
