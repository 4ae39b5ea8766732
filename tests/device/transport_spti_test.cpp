// The pass-through transport over fake drives and a virtual drive:
// enumeration by letter, opening with its fallbacks and messages, the
// record it builds, the system time-out retries, the shared recovery rules
// and the log lines at each debug level.
#include <gtest/gtest.h>

#include "device/cddevice/cddevice.h"
#include "device/cddevice/os_version.h"
#include "device/test_seams.h"
#include "device/transport/dacc_intf.h"
#include "device/transport/vxd_intf.h"
#include "device/transport/recovery_policy.h"
#include "device/transport/spti_intf.h"
#include "platform/byte_order.h"
#include "platform/scsi_pass_through.h"
#include "platform/test_seams.h"
#include "platform/win_errors.h"
#include "support/disc_builder.h"
#include "transport_fakes.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::device;
using namespace dravik::test;

namespace {

class SptiTest : public TransportTest {
protected:
    // A transport opened on the first drive.
    void OpenFirst(SPTIIntf& spti, int level = 0) {
        spti.debugCallback = RecordDebugLine;
        spti.messageCallback = RecordMessage;
        spti.debugLevel = level;
        ASSERT_TRUE(spti.FirstDevice());
    }
};

DevRequest Read10(uint8_t* buffer, uint32_t block, uint32_t length) {
    DevRequest request;
    request.direction = kRequestDataIn;
    request.cdbLength = 10;
    request.cdb[0] = 0x28;
    request.cdb[2] = static_cast<uint8_t>(block >> 24);
    request.cdb[3] = static_cast<uint8_t>(block >> 16);
    request.cdb[4] = static_cast<uint8_t>(block >> 8);
    request.cdb[5] = static_cast<uint8_t>(block);
    request.cdb[8] = 1;
    request.buffer = buffer;
    request.dataLength = length;
    return request;
}

DevRequest Inquiry(uint8_t* buffer, uint32_t length) {
    DevRequest request;
    request.direction = kRequestDataIn;
    request.cdbLength = 6;
    request.cdb[0] = 0x12;
    request.cdb[4] = static_cast<uint8_t>(length);
    request.buffer = buffer;
    request.dataLength = length;
    return request;
}

}  // namespace

TEST_F(SptiTest, EnumeratesOpticalLettersAndSkipsSubstitutedOnes) {
    SetDrives({std::make_shared<FakeDrive>(), std::make_shared<FakeDrive>(), std::make_shared<FakeDrive>()});
    platform::test_seams::SetSubstitutedDrive('E', "\\??\\D:\\folder");
    SPTIIntf spti;
    spti.debugCallback = RecordDebugLine;
    spti.debugLevel = 1;
    EXPECT_EQ(spti.driveLetter, 255);
    ASSERT_TRUE(spti.FirstDevice());
    EXPECT_STREQ(spti.GetDeviceId(), "D:");
    EXPECT_EQ(spti.deviceType, 5);
    EXPECT_TRUE(spti.FoundByScan());
    ASSERT_TRUE(spti.NextDevice());
    EXPECT_STREQ(spti.GetDeviceId(), "F:") << "E: is substituted onto a folder";
    EXPECT_FALSE(spti.NextDevice());
    EXPECT_EQ(platform::test_seams::OpenHandleCount(), 0u) << "the walk closes what it opened";
    EXPECT_TRUE(Logged("Opening access to type 5 device at \\\\.\\D:"));
    EXPECT_FALSE(Logged("Opening access to type 5 device at \\\\.\\E:"));
}

TEST_F(SptiTest, NoOpticalDriveTriesEveryLetterAndFails) {
    SPTIIntf spti;
    EXPECT_FALSE(spti.FirstDevice());
    EXPECT_EQ(spti.driveLetter, 'Z');
    EXPECT_EQ(spti.GetVersion(), "SPT 1.1");
    EXPECT_FALSE(spti.ResetDevice());
    EXPECT_FALSE(spti.WinVolume(1));
}

TEST_F(SptiTest, OpenFallsBackToReadOnlyAndReportsRefusals) {
    SetDrives({std::make_shared<FakeDrive>()});
    struct Row {
        uint32_t readWrite, readOnly;
        bool opens;
        int message;
    } rows[] = {
        {platform::kErrorAccessDenied, 0, true, 0},
        {platform::kErrorAccessDenied, platform::kErrorAccessDenied, false, 3012},
        {platform::kErrorAccessDenied, platform::kErrorGenFailure, false, 0},
        {platform::kErrorDeviceNotConnected, 0, false, 0},
        {platform::kErrorGenFailure, 0, false, 3011},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.readWrite * 1000 + row.readOnly);
        Recorded().messages.clear();
        platform::test_seams::SetOpenFault('D', row.readWrite, row.readOnly);
        SPTIIntf spti;
        spti.messageCallback = RecordMessage;
        EXPECT_EQ(spti.FirstDevice(), row.opens);
        auto messages = Messages();
        if (row.message == 0) {
            EXPECT_TRUE(messages.empty());
        } else {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].first, row.message);
            EXPECT_EQ(messages[0].second, "\\\\.\\D:");
        }
    }
}

TEST_F(SptiTest, RecordCarriesTheRequestAsTabled) {
    uint8_t record[platform::sptd::kTotalLength];
    uint8_t buffer[2048];
    DevRequest read = Read10(buffer, 0x01020304, sizeof buffer);
    BuildPassThroughRecord(read, 77, record);
    using namespace platform::sptd;
    EXPECT_EQ(bytes::GetLe16(record + 0), 44);
    EXPECT_EQ(record[3], 0);
    EXPECT_EQ(record[4], 1) << "TargetId";
    EXPECT_EQ(record[6], 10);
    EXPECT_EQ(record[7], 32);
    EXPECT_EQ(record[8], 1) << "data in";
    EXPECT_EQ(bytes::GetLe32(record + 12), 2048u);
    EXPECT_EQ(bytes::GetLe32(record + 16), 30u);
    EXPECT_EQ(bytes::GetLe32(record + 20), 77u) << "buffer token";
    EXPECT_EQ(bytes::GetLe32(record + 24), 48u);
    EXPECT_EQ(0, std::memcmp(record + 28, read.cdb, 16));
    for (size_t i = 44; i < 80; ++i) EXPECT_EQ(record[i], 0) << i;

    read.direction = kRequestDataOut | kRequestLongTimeout;
    BuildPassThroughRecord(read, 0, record);
    EXPECT_EQ(record[8], 0) << "data out";
    EXPECT_EQ(bytes::GetLe32(record + 16), 180u);
    read.direction = kRequestNoData;
    BuildPassThroughRecord(read, 0, record);
    EXPECT_EQ(record[8], 2);

    BuildTestUnitReadyRecord(record);
    EXPECT_EQ(bytes::GetLe16(record + 0), 44);
    EXPECT_EQ(record[4], 0);
    EXPECT_EQ(record[6], 6);
    EXPECT_EQ(record[8], 2);
    EXPECT_EQ(bytes::GetLe32(record + 12), 0u);
    EXPECT_EQ(bytes::GetLe32(record + 16), 30u);
    EXPECT_EQ(bytes::GetLe32(record + 24), 48u);
    for (size_t i = 28; i < 44; ++i) EXPECT_EQ(record[i], 0);
}

TEST_F(SptiTest, SuccessReportsTheBytesTheDriveReturned) {
    auto drive = std::make_shared<FakeDrive>();
    SetDrives({drive});
    SPTIIntf spti;
    OpenFirst(spti, 2);
    uint8_t buffer[96] = {};
    DevRequest request = Inquiry(buffer, sizeof buffer);
    request.senseKey = 9;
    ASSERT_TRUE(spti.Execute(&request, true));
    EXPECT_EQ(request.dataLength, 36u) << "the drive returned 36 of 96 bytes";
    EXPECT_EQ(request.senseKey, 0);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(drive->LastTimeoutMs(), 30000u);
    EXPECT_TRUE(Logged("SCSI Cmd: 12 00 00 00 60 00 , buffer=" +
                       [&] { char t[16]; std::snprintf(t, sizeof t, "%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(buffer))); return std::string(t); }() +
                       ", buflen=60"));
}

TEST_F(SptiTest, MediumErrorFailsAtOnceWithTheSense) {
    auto drive = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int) { return CheckCondition(3, 0x11, 0, 16); });
    SetDrives({drive});
    for (int level : {0, 1, 2}) {
        SCOPED_TRACE(level);
        Recorded().lines.clear();
        SPTIIntf spti;
        OpenFirst(spti, level);
        const int before = drive->Commands();
        uint8_t buffer[2048];
        DevRequest request = Read10(buffer, 16, sizeof buffer);
        EXPECT_FALSE(spti.Execute(&request, true));
        EXPECT_EQ(drive->Commands() - before, 1);
        EXPECT_EQ(request.senseKey, 3);
        EXPECT_EQ(request.asc, 0x11);
        EXPECT_EQ(request.senseInfo, 16u);
        EXPECT_EQ(request.requestStatus, 2);
        EXPECT_EQ(request.dataLength, 2048u) << "unchanged after a failure";
        const bool line = Logged("Command error: cmd=28, block=16, DataLen:800, Status=2, Sense=11 0, Dir:01, Error=0");
        EXPECT_EQ(line, level > 1);
    }
}

TEST_F(SptiTest, NotReadyIsWaitedForThenTheCommandRetried) {
    auto drive = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int call) {
        return call <= 3 ? CheckCondition(2, 4, 1) : ScsiResult{};
    });
    SetDrives({drive});
    SPTIIntf spti;
    OpenFirst(spti);
    uint8_t buffer[2048];
    DevRequest request = Read10(buffer, 0, sizeof buffer);
    const int before = drive->Commands();
    ASSERT_TRUE(spti.Execute(&request, true));
    // read (not ready); wait 250, then TUR with retries: not ready, 100,
    // not ready, 100, ready; read again
    EXPECT_EQ(drive->Commands() - before, 5);
    EXPECT_EQ(Sleeps(), (std::vector<uint32_t>{250, 100, 100}));
}

TEST_F(SptiTest, HopelessFailuresAreAskedOnceMoreThanTheRetryBudget) {
    // A drive that never becomes ready, and an unreadable block whose
    // failure reaches the transport without sense data.
    const struct {
        const char* name;
        int notReadyCommands;
        bool dropSense;
    } rows[] = {{"never-ready", 100000, false}, {"no-sense", 0, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DiscBuilder builder(settings, row.name);
        builder.Medium("cd-rom");
        if (row.notReadyCommands) builder.NotReady(row.notReadyCommands);
        builder.Track(TrackKind::kMode1, 100);
        builder.Unreadable(40, 40);
        vdrive::LoadError error;
        std::shared_ptr<vdrive::VirtualDrive> disc = vdrive::VirtualDrive::Open(builder.Write(), error);
        ASSERT_TRUE(disc) << error.Text();
        std::shared_ptr<platform::ScsiDrive> served = disc;
        if (row.dropSense)
            served = std::make_shared<FakeDrive>(5, [disc](const ScsiRequest& request, int) {
                ScsiResult result = disc->Execute(request);
                std::memset(result.sense, 0, sizeof result.sense);
                result.senseLength = 0;
                return result;
            });
        SetDrives({served});
        SPTIIntf spti;
        OpenFirst(spti);
        uint8_t buffer[2048];
        DevRequest read = Read10(buffer, 40, sizeof buffer);
        EXPECT_FALSE(spti.Execute(&read, true));
        EXPECT_EQ(disc->Counters().byOpcode[0x28], uint64_t(kRetryBudget) + 1);
    }
}

TEST_F(SptiTest, QuickUnitAttentionIsRetriedOnceSlowOneFails) {
    auto quick = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int call) {
        return call == 1 ? CheckCondition(6, 0x28, 0) : ScsiResult{};
    });
    SetDrives({quick});
    SPTIIntf spti;
    OpenFirst(spti);
    uint8_t buffer[2048];
    DevRequest request = Read10(buffer, 0, sizeof buffer);
    ASSERT_TRUE(spti.Execute(&request, true));
    EXPECT_EQ(Sleeps(), std::vector<uint32_t>{500});

    auto slow = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return CheckCondition(6, 0x29, 0);
    });
    SetDrives({slow});
    SPTIIntf second;
    OpenFirst(second);
    const int before = slow->Commands();
    DevRequest again = Read10(buffer, 0, sizeof buffer);
    EXPECT_FALSE(second.Execute(&again, true));
    EXPECT_EQ(slow->Commands() - before, 1);
    EXPECT_EQ(again.asc, 0x29);
}

TEST_F(SptiTest, AbortFlagCutsTheRetries) {
    auto drive = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int) { return CheckCondition(6, 0x28, 0); });
    SetDrives({drive});
    SPTIIntf spti;
    OpenFirst(spti);
    CDDevice owner;
    owner.SetAbortFlag();
    uint8_t buffer[2048];
    DevRequest request = Read10(buffer, 0, sizeof buffer);
    request.owner = &owner;
    const int before = drive->Commands();
    EXPECT_FALSE(spti.Execute(&request, true));
    EXPECT_EQ(drive->Commands() - before, 1);
    EXPECT_TRUE(Sleeps().empty());
}

TEST_F(SptiTest, SystemTimeOutIsTriedThreeTimes) {
    auto drive = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int) {
        ScsiResult result;
        result.transportErrno = ETIMEDOUT;
        return result;
    });
    SetDrives({drive});
    for (int level : {0, 1}) {
        Recorded().lines.clear();
        {
            std::lock_guard lock(sleepMutex);
            sleeps.clear();
        }
        SPTIIntf spti;
        OpenFirst(spti, level);
        uint8_t buffer[2048];
        DevRequest request = Read10(buffer, 0, sizeof buffer);
        request.direction |= kRequestLongTimeout;
        const int before = drive->Commands();
        EXPECT_FALSE(spti.Execute(&request, true));
        EXPECT_EQ(drive->Commands() - before, 3);
        EXPECT_EQ(drive->LastTimeoutMs(), 180000u);
        EXPECT_EQ(Sleeps(), (std::vector<uint32_t>{500, 500}));
        EXPECT_EQ(request.senseKey, 0xFE);
        EXPECT_EQ(request.asc, 121);
        EXPECT_EQ(request.ascq, 0);
        EXPECT_EQ(request.requestStatus, 121);
        char line[160];
        std::snprintf(line, sizeof line, "Error 121 returned: The semaphore timeout period has expired, handle=%x",
                      static_cast<unsigned>(spti.Handle()));
        EXPECT_EQ(Logged(line), level > 0) << line;
    }
}

TEST_F(SptiTest, BadRequestsFailWithClearCodes) {
    auto drive = std::make_shared<FakeDrive>();
    SetDrives({drive});
    SPTIIntf spti;
    OpenFirst(spti, 1);
    const int before = drive->Commands();
    uint8_t buffer[64];

    DevRequest tooLong = Inquiry(buffer, sizeof buffer);
    tooLong.cdbLength = 20;
    EXPECT_FALSE(spti.Execute(&tooLong, true));
    EXPECT_EQ(tooLong.senseKey, 0xFE);
    EXPECT_EQ(tooLong.asc, 87);
    char line[120];
    std::snprintf(line, sizeof line, "Parameter error: Cmd:0x12 Buffer:%08x Length:%08x",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(buffer)), 64u);
    EXPECT_TRUE(Logged(line));

    DevRequest noBuffer = Inquiry(nullptr, 64);
    EXPECT_FALSE(spti.Execute(&noBuffer, true));
    EXPECT_EQ(noBuffer.asc, 87);
    EXPECT_EQ(drive->Commands(), before) << "the drive saw neither";

    // A closed handle of a device found by a scan is reopened on its own.
    spti.CloseDevice();
    DevRequest reopened = Inquiry(buffer, 36);
    EXPECT_TRUE(spti.Execute(&reopened, true));
    spti.CloseDevice();
    platform::test_seams::SetOpenFault('D', platform::kErrorGenFailure, 0);
    DevRequest refused = Inquiry(buffer, 36);
    EXPECT_FALSE(spti.Execute(&refused, true));
    EXPECT_EQ(refused.senseKey, 0xFE);
    EXPECT_EQ(refused.asc, 5);
    EXPECT_EQ(refused.ascq, 0);

    // Without a scan there is nothing to reopen: the system refuses the handle.
    SPTIIntf unopened;
    DevRequest closed = Inquiry(buffer, 36);
    EXPECT_FALSE(unopened.Execute(&closed, true));
    EXPECT_EQ(closed.senseKey, 0xFE);
    EXPECT_EQ(closed.asc, platform::kErrorInvalidHandle);
}

TEST_F(SptiTest, TestUnitReadyAttemptsAndClones) {
    auto drive = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int) { return CheckCondition(2, 0x3A, 0); });
    SetDrives({drive});
    SPTIIntf spti;
    OpenFirst(spti, 2);
    DevRequest request;
    int before = drive->Commands();
    EXPECT_FALSE(spti.TestUnitReady(&request, false));
    EXPECT_EQ(drive->Commands() - before, 1);
    EXPECT_EQ(request.asc, 0x3A);
    EXPECT_TRUE(Logged("Test Unit Ready Good status=02, Sense=3a 00"));
    before = drive->Commands();
    EXPECT_FALSE(spti.TestUnitReady(&request, true));
    EXPECT_EQ(drive->Commands() - before, 3);

    std::unique_ptr<DeviceIntf> copy(spti.Clone());
    auto* clone = static_cast<SPTIIntf*>(copy.get());
    EXPECT_NE(clone->Handle(), spti.Handle());
    EXPECT_NE(clone->Handle(), platform::kInvalidHandle);
    EXPECT_EQ(clone->debugLevel, 2);
    EXPECT_EQ(clone->driveLetter, 'D');
    spti.CloseDevice();
    EXPECT_FALSE(clone->TestUnitReady(&request, false)) << "the copy's handle outlives the original's";
    EXPECT_EQ(request.asc, 0x3A);
}

TEST_F(SptiTest, StartsOnTheNtFamilyOnlyAndDriverStartsFail) {
    EXPECT_TRUE(StartSPTIIntf(nullptr, RecordMessage));
    EXPECT_FALSE(StartVXDIntf(nullptr, RecordMessage));
    EXPECT_TRUE(Messages().empty());
    setenv("DRAVIK_KERNEL_DRIVER", "off", 1);
    EXPECT_FALSE(StartDACCIntf(nullptr, RecordMessage));
    unsetenv("DRAVIK_KERNEL_DRIVER");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], (std::pair<int, std::string>{3015, "ZOLTDACC"}));

    OsVersion nine;
    nine.platformId = kPlatformWin9x;
    test_seams::SetOsVersion(&nine);
    EXPECT_FALSE(StartSPTIIntf(nullptr, RecordMessage));
    EXPECT_FALSE(StartDACCIntf(nullptr, RecordMessage));
    EXPECT_FALSE(StartVXDIntf(nullptr, RecordMessage));
    test_seams::SetOsVersion(nullptr);
    EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(SptiTest, ReadsThroughTheVirtualDrive) {
    DiscBuilder builder(settings, "spti");
    builder.Medium("cd-rom").NotReady(2);
    builder.Track(TrackKind::kMode1, 100);
    builder.Unreadable(40, 41);
    vdrive::LoadError error;
    std::shared_ptr<vdrive::VirtualDrive> drive = vdrive::VirtualDrive::Open(builder.Write(), error);
    ASSERT_TRUE(drive);
    SetDrives({drive, std::make_shared<FakeDrive>()});
    SPTIIntf spti;
    OpenFirst(spti);
    uint8_t buffer[2048] = {};
    DevRequest read = Read10(buffer, 20, sizeof buffer);
    ASSERT_TRUE(spti.Execute(&read, true)) << "the not-ready wait covers the drive's start; sense "
                                            << int(read.senseKey) << "/" << int(read.asc) << "/" << int(read.ascq);
    EXPECT_EQ(bytes::GetBe32(buffer), 20u) << "the block's own address";
    EXPECT_EQ(read.dataLength, 2048u);
    DevRequest bad = Read10(buffer, 40, sizeof buffer);
    EXPECT_FALSE(spti.Execute(&bad, true));
    EXPECT_EQ(bad.senseKey & 0x0F, 3);
    ASSERT_TRUE(spti.NextDevice());
    EXPECT_STREQ(spti.GetDeviceId(), "E:");
}
