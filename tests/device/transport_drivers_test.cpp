// The kernel-driver and VxD transports against the platform's driver
// stand-ins over virtual drives: enumeration, reads, sense, not-ready
// drives, clones sharing the driver's open device, and the starts when a
// driver is missing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "device/cddevice/os_version.h"
#include "device/regstore/registry_store.h"
#include "device/transport/dacc_intf.h"
#include "device/transport/vxd_intf.h"
#include "platform/byte_order.h"
#include "platform/test_seams.h"
#include "support/disc_builder.h"
#include "transport_fakes.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::device;
using namespace dravik::test;

namespace {

enum class Driver { kKernel, kVxd };

DevRequest Read10(uint8_t* buffer, uint32_t block, uint16_t blocks) {
    DevRequest request;
    request.direction = kRequestDataIn;
    request.cdbLength = 10;
    request.cdb[0] = 0x28;
    bytes::PutBe32(request.cdb + 2, block);
    request.cdb[7] = static_cast<uint8_t>(blocks >> 8);
    request.cdb[8] = static_cast<uint8_t>(blocks);
    request.buffer = buffer;
    request.dataLength = blocks * 2048u;
    return request;
}

class DriverTransportTest : public TransportTest, public ::testing::WithParamInterface<Driver> {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        unsetenv("DRAVIK_KERNEL_DRIVER");
        unsetenv("DRAVIK_VXD");
        // Drive D: holds a 100-block data disc with two unreadable blocks,
        // E: is empty, F: is a SyQuest removable that the VxD passes over.
        DiscBuilder builder(settings, "drivers");
        builder.Track(TrackKind::kMode1, 100);
        builder.Unreadable(40, 41);
        vdrive::LoadError error;
        disc_ = vdrive::VirtualDrive::Open(builder.Write(), error);
        ASSERT_TRUE(disc_);
        DiscBuilder none(settings, "empty");
        none.Medium("none");
        empty_ = vdrive::VirtualDrive::Open(none.Write(), error);
        ASSERT_TRUE(empty_);
        auto syquest = std::make_shared<FakeDrive>(0, [](const platform::ScsiRequest& request, int) {
            if (request.cdb[0] == 0x12 && request.data) {
                uint8_t answer[36] = {0, 0x80, 5, 0x32, 31};
                std::memcpy(answer + 8, "SyQuest EZ135           1.00", 28);
                std::memcpy(request.data, answer, std::min<size_t>(request.dataLength, sizeof answer));
            }
            return platform::ScsiResult{};
        });
        syquest->ScriptInquiry();
        SetDrives({disc_, empty_, syquest});
        if (GetParam() == Driver::kVxd) {
            OsVersion nine;
            nine.platformId = kPlatformWin9x;
            test_seams::SetOsVersion(&nine);
            std::ofstream(vxdFolder_.File("ZOLTVXD.VXD")) << "stand-in";
            RegistryStore store;
            ASSERT_TRUE(store.Open(".DeviceIntf"));
            store.WriteString("Shared", vxdFolder_.path().c_str());
            store.Close();
            ASSERT_TRUE(StartVXDIntf(nullptr, RecordMessage));
            transport_.reset(CreateVXDIntf());
        } else {
            ASSERT_TRUE(StartDACCIntf(nullptr, RecordMessage));
            transport_.reset(CreateDACCIntf());
        }
        transport_->debugCallback = RecordDebugLine;
        transport_->messageCallback = RecordMessage;
    }
    void TearDown() override {
        if (transport_) transport_->Shutdown();
        transport_.reset();
        test_seams::SetOsVersion(nullptr);
        TransportTest::TearDown();
    }

    std::shared_ptr<vdrive::VirtualDrive> disc_, empty_;
    TempDir vxdFolder_;
    std::unique_ptr<DeviceIntf> transport_;
};

TEST_P(DriverTransportTest, FindsTheDrivesAndReadsThem) {
    DeviceIntf& intf = *transport_;
    ASSERT_TRUE(intf.FirstDevice());
    EXPECT_EQ(intf.driveLetter, 'D');
    EXPECT_EQ(intf.deviceType, 5);
    EXPECT_FALSE(intf.GetVersion().empty());
    if (GetParam() == Driver::kVxd) EXPECT_STREQ(intf.GetDeviceId(), "(0:0)");
    else EXPECT_STREQ(intf.GetDeviceId(), "D:");

    // One block passes through a kernel-driver object's transfer buffer;
    // two go straight into the caller's buffer. Both arrive whole.
    for (uint16_t blocks : {1, 2}) {
        std::vector<uint8_t> buffer(blocks * 2048u, 0xEE);
        DevRequest read = Read10(buffer.data(), 20, blocks);
        ASSERT_TRUE(intf.Execute(&read, true)) << blocks << " blocks";
        EXPECT_EQ(read.dataLength, blocks * 2048u) << "the bytes the drive moved";
        for (uint16_t i = 0; i < blocks; ++i) EXPECT_EQ(bytes::GetBe32(buffer.data() + i * 2048u), 20u + i);
    }
    uint8_t block[2048];
    DevRequest bad = Read10(block, 40, 1);
    EXPECT_FALSE(intf.Execute(&bad, true));
    EXPECT_EQ(bad.senseKey & 0x0F, 3) << "MEDIUM ERROR";
    EXPECT_NE(bad.asc, 0);

    DevRequest ready;
    EXPECT_TRUE(intf.TestUnitReady(&ready, false));
    ASSERT_TRUE(intf.NextDevice());
    EXPECT_EQ(intf.driveLetter, 'E');
    DevRequest empty;
    EXPECT_FALSE(intf.TestUnitReady(&empty, false));
    EXPECT_EQ(empty.senseKey & 0x0F, 2) << "NOT READY";
    EXPECT_EQ(empty.asc, 0x3A) << "no medium";

    // The kernel driver takes the SyQuest drive as a drive letter like any
    // other; the VxD skips it.
    if (GetParam() == Driver::kVxd) EXPECT_FALSE(intf.NextDevice());
    else EXPECT_TRUE(intf.NextDevice());
}

TEST_P(DriverTransportTest, CloneReadsOnItsOwnAndTheDeviceClosesOnce) {
    const auto before = platform::test_seams::KernelDriverCounters();
    const size_t processHandles = platform::test_seams::OpenHandleCount();
    ASSERT_TRUE(transport_->FirstDevice());
    std::unique_ptr<DeviceIntf> clone(transport_->Clone());
    ASSERT_TRUE(clone);
    EXPECT_EQ(clone->driveLetter, 'D');
    transport_->CloseDevice();
    transport_.reset();
    uint8_t block[2048];
    DevRequest read = Read10(block, 7, 1);
    ASSERT_TRUE(clone->Execute(&read, true)) << "the copy outlives its original";
    EXPECT_EQ(bytes::GetBe32(block), 7u);
    clone.reset();
    const auto after = platform::test_seams::KernelDriverCounters();
    if (GetParam() == Driver::kKernel) {
        EXPECT_EQ(after.opens - before.opens, 1u) << "the clone shares the driver's open device";
        EXPECT_EQ(after.closes - before.closes, 1u) << "only the last owner closes it";
        EXPECT_EQ(after.open, before.open);
    }
    EXPECT_EQ(platform::test_seams::OpenHandleCount(), processHandles)
        << "the driver's values are never closed as process handles";
}

INSTANTIATE_TEST_SUITE_P(Drivers, DriverTransportTest, ::testing::Values(Driver::kKernel, Driver::kVxd),
                         [](const auto& info) { return info.param == Driver::kKernel ? "Kernel" : "Vxd"; });

class DriverStartTest : public TransportTest {
protected:
    void TearDown() override {
        unsetenv("DRAVIK_KERNEL_DRIVER");
        test_seams::SetOsVersion(nullptr);
        TransportTest::TearDown();
    }
};

TEST_F(DriverStartTest, MissingDriversFailAsOnAMachineWithoutThem) {
    // The kernel driver: only on the NT family; a missing one says so.
    setenv("DRAVIK_KERNEL_DRIVER", "off", 1);
    EXPECT_FALSE(StartDACCIntf(nullptr, RecordMessage));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], (std::pair<int, std::string>{3015, "ZOLTDACC"}));
    unsetenv("DRAVIK_KERNEL_DRIVER");
    EXPECT_TRUE(StartDACCIntf(nullptr, RecordMessage));
    // The VxD: never on the NT family; on 9x without its file, quietly not.
    EXPECT_FALSE(StartVXDIntf(nullptr, RecordMessage));
    OsVersion nine;
    nine.platformId = kPlatformWin9x;
    test_seams::SetOsVersion(&nine);
    EXPECT_FALSE(StartDACCIntf(nullptr, RecordMessage));
    EXPECT_FALSE(StartVXDIntf(nullptr, RecordMessage));
    EXPECT_EQ(Messages().size(), 1u) << "a missing VxD is not worth a message";
}

TEST_F(DriverStartTest, NewVolumeIsAnnouncedOnlyForItsAction) {
    SetDrives({std::make_shared<FakeDrive>()});
    ASSERT_TRUE(StartDACCIntf(nullptr, RecordMessage));
    DACCIntf dacc;
    dacc.debugCallback = RecordDebugLine;
    dacc.debugLevel = 1;
    ASSERT_TRUE(dacc.FirstDevice());
    EXPECT_EQ(dacc.NtDeviceName(), "\\Device\\CdRom0");
    EXPECT_TRUE(dacc.WinVolume(1));
    SetDrives({});
    EXPECT_TRUE(dacc.WinVolume(0)) << "any other action asks nothing of the driver";
    EXPECT_FALSE(dacc.WinVolume(1)) << "the drive is gone";
    EXPECT_FALSE(Lines().empty());
}

}  // namespace

namespace {

// The VxD's own retry rule: a reset reported by the drive is retried at
// once while four or more retries are left, and only then waited for.
TEST_F(DriverStartTest, VxdRetriesAResetAtOnceWhileItHasRetriesToSpare) {
    OsVersion nine;
    nine.platformId = kPlatformWin9x;
    test_seams::SetOsVersion(&nine);
    TempDir folder;
    std::ofstream(folder.File("ZOLTVXD.VXD")) << "stand-in";
    {
        RegistryStore store;
        ASSERT_TRUE(store.Open(".DeviceIntf"));
        store.WriteString("Shared", folder.path().c_str());
    }
    for (int resets : {1, 2, 3}) {
        auto count = std::make_shared<int>(0);
        auto drive = std::make_shared<FakeDrive>(5, [resets, count](const platform::ScsiRequest&, int) {
            return ++*count <= resets ? CheckCondition(6, 0x29, 0) : platform::ScsiResult{};
        });
        SetDrives({drive});
        ASSERT_TRUE(StartVXDIntf(nullptr, RecordMessage));
        VXDIntf vxd;
        ASSERT_TRUE(vxd.FirstDevice());
        const int before = drive->Commands();
        const size_t sleepsBefore = Sleeps().size();
        DevRequest request;
        request.cdbLength = 6;
        EXPECT_TRUE(vxd.Execute(&request, true)) << resets << " resets";
        EXPECT_EQ(drive->Commands() - before, resets + 1);
        // Two retries at once leave three; the next one waits for the drive.
        EXPECT_EQ(Sleeps().size() - sleepsBefore, resets > 2 ? size_t(resets - 2) : 0u) << resets << " resets";
        vxd.Shutdown();
    }
}

}  // namespace
