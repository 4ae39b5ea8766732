// CDDevice::Initialize and Terminate: the order of the transport attempts
// under the ".DeviceIntf" values, the crash marker, the start-up log lines
// and the life of the transport prototype.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cddevice_fakes.h"
#include "device/cddevice/cddevice.h"
#include "device/cddevice/os_version.h"
#include "device/regstore/registry_store.h"
#include "device/test_seams.h"
#include "platform/hive_locations.h"
#include "support/temp_dir.h"

using dravik::device::CDDevice;
using dravik::device::OsVersion;
using dravik::device::test::FakeStarters;
using dravik::device::test::FakeTransport;
using dravik::device::test::LogRecorder;
using dravik::test::TempDir;

namespace {

enum { kDacc = 0, kSpti = 1, kVxd = 2, kAspi = 3 };

constexpr char kDaccLine[] = "!Device Interface initialization for ZOLTDACC";
constexpr char kSptiLine[] = "!Device Interface initialization for SPTIIntf";
constexpr char kVxdLine[] = "!Device Interface initialization for ZOLTVXD";
constexpr char kAspiLine[] = "!Device Interface initialization for ASPI";
constexpr char kAllFailed[] = "!All CD device interfaces failed to initialize";

class CDDeviceStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv(dravik::platform::kConfigDirVariable, dir.path().c_str(), 1);
        dravik::device::test_seams::ForgetRegistryNames();
        FakeTransport::ResetCounters();
        FakeStarters::Reset();
        LogRecorder::entries.clear();
        table = FakeStarters::Table();
        dravik::device::test_seams::SetTransportStarters(&table);
        OsVersion os;
        os.major = 6;
        os.minor = 1;
        os.build = 76;
        os.servicePack = "Linux";
        dravik::device::test_seams::SetOsVersion(&os);
    }
    void TearDown() override {
        CDDevice::Terminate();
        dravik::device::test_seams::SetTransportStarters(nullptr);
        dravik::device::test_seams::SetOsVersion(nullptr);
        unsetenv(dravik::platform::kConfigDirVariable);
        dravik::device::test_seams::ForgetRegistryNames();
    }

    void SetValue(const char* name, bool on) {
        RegistryStore store;
        ASSERT_TRUE(store.Open(".DeviceIntf"));
        store.WriteFlag(name, on);
    }
    uint32_t Value(const char* name) {
        RegistryStore store;
        store.Open(".DeviceIntf");
        return store.ReadNumber(name, 99);
    }

    TempDir dir;
    dravik::device::TransportStarters table;
};

TEST_F(CDDeviceStartupTest, FreshRegistryTriesTheKernelDriverFirstAndSettlesOnPassThrough) {
    FakeStarters::succeeds[kSpti] = true;
    ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    EXPECT_EQ(FakeStarters::started, (std::vector<int>{kDacc, kSpti}));
    EXPECT_EQ(LogRecorder::Lines(),
              (std::vector<std::string>{"!Device interface: OS=6.1.76 Linux (2)Chk:0,UseSPTI:0,UseASPIOnly:0",
                                        kDaccLine, kSptiLine}));
    EXPECT_EQ(Value("CrashDetect"), 1u) << "set until a drive has been probed";
    EXPECT_EQ(Value("UseSPTI"), 99u) << "not written without a crash";
    EXPECT_EQ(FakeTransport::live, 1) << "the prototype";
}

TEST_F(CDDeviceStartupTest, CrashMarkerMovesTheNextStartToPassThroughForGood) {
    SetValue("CrashDetect", true);
    FakeStarters::succeeds[kDacc] = true;
    FakeStarters::succeeds[kSpti] = true;
    ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    EXPECT_EQ(FakeStarters::started, (std::vector<int>{kSpti})) << "the kernel driver is not tried";
    ASSERT_FALSE(LogRecorder::Lines().empty());
    EXPECT_EQ(LogRecorder::Lines()[0], "!Device interface: OS=6.1.76 Linux (2)Chk:1,UseSPTI:1,UseASPIOnly:0");
    EXPECT_EQ(Value("UseSPTI"), 1u);

    // Terminate clears the marker; the next start still avoids the driver.
    CDDevice::Terminate();
    EXPECT_EQ(Value("CrashDetect"), 0u);
    FakeStarters::started.clear();
    LogRecorder::entries.clear();
    ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    EXPECT_EQ(FakeStarters::started, (std::vector<int>{kSpti}));
    EXPECT_EQ(LogRecorder::Lines()[0], "!Device interface: OS=6.1.76 Linux (2)Chk:0,UseSPTI:1,UseASPIOnly:0");
}

TEST_F(CDDeviceStartupTest, CrashMarkerOutsideTheNTFamilyChangesNothing) {
    OsVersion os;
    os.major = 4;
    os.minor = 10;
    os.build = 2222;
    os.servicePack = "A";
    os.platformId = dravik::device::kPlatformWin9x;
    dravik::device::test_seams::SetOsVersion(&os);
    SetValue("CrashDetect", true);
    FakeStarters::succeeds[kVxd] = true;
    ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    EXPECT_EQ(Value("UseSPTI"), 99u);
    EXPECT_EQ(LogRecorder::Lines(),
              (std::vector<std::string>{"!Device interface: OS=4.10.2222 A (1)Chk:1,UseSPTI:0,UseASPIOnly:0", kDaccLine,
                                        kSptiLine, kVxdLine}));
}

TEST_F(CDDeviceStartupTest, AspiOnlyWinsOverUseSPTI) {
    SetValue("UseSPTI", true);
    SetValue("UseASPIOnly", true);
    FakeStarters::succeeds[kSpti] = true;
    FakeStarters::succeeds[kAspi] = true;
    ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    EXPECT_EQ(FakeStarters::started, (std::vector<int>{kAspi}));
    EXPECT_EQ(LogRecorder::Lines(),
              (std::vector<std::string>{"!Device interface: OS=6.1.76 Linux (2)Chk:0,UseSPTI:1,UseASPIOnly:1",
                                        kAspiLine}));
}

TEST_F(CDDeviceStartupTest, AllTransportsFailingLogsEveryAttemptAndFails) {
    EXPECT_FALSE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    EXPECT_EQ(FakeStarters::started, (std::vector<int>{kDacc, kSpti, kVxd, kAspi}));
    EXPECT_EQ(LogRecorder::Lines(),
              (std::vector<std::string>{"!Device interface: OS=6.1.76 Linux (2)Chk:0,UseSPTI:0,UseASPIOnly:0",
                                        kDaccLine, kSptiLine, kVxdLine, kAspiLine, kAllFailed}));
    EXPECT_EQ(FakeTransport::live, 0);

    // Without a prototype a device object has no transport and says so.
    CDDevice device;
    EXPECT_FALSE(device.FirstDevice());
    EXPECT_STREQ(device.GetDeviceId(), "");
    EXPECT_EQ(device.GetDeviceTypeCode(), 255);
    EXPECT_FALSE(device.CheckDevice(false));
}

TEST_F(CDDeviceStartupTest, TerminateShutsDownAndDeletesOnlyThePrototype) {
    FakeStarters::succeeds[kSpti] = true;
    ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    {
        CDDevice device;
        EXPECT_EQ(FakeTransport::live, 2);
        CDDevice::Terminate();
        EXPECT_EQ(FakeTransport::shutdowns, 1);
        EXPECT_EQ(FakeTransport::live, 1) << "the device keeps its own copy";
        EXPECT_EQ(Value("CrashDetect"), 0u);
    }
    EXPECT_EQ(FakeTransport::live, 0);
    CDDevice::Terminate();
    EXPECT_EQ(FakeTransport::shutdowns, 1) << "nothing left to stop";
}

TEST_F(CDDeviceStartupTest, SecondStartReplacesTheFirstPrototype) {
    FakeStarters::succeeds[kSpti] = true;
    ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    ASSERT_TRUE(CDDevice::Initialize(nullptr, LogRecorder::Record));
    EXPECT_EQ(FakeTransport::live, 1);
    EXPECT_EQ(FakeTransport::shutdowns, 1);
}

TEST_F(CDDeviceStartupTest, NoLogCallbackIsAccepted) {
    FakeStarters::succeeds[kAspi] = true;
    EXPECT_TRUE(CDDevice::Initialize(nullptr, nullptr));
}

}  // namespace
