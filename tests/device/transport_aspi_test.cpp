// The ASPI transport, through the ASPI manager module over fake and virtual
// drives, and against a scripted manager where a real one cannot be made to
// answer (aborted requests, adapters with odd target counts): start-up and
// its messages, enumeration with the adapter bypass and its crash guard,
// the request blocks it builds, the status handling, the shared recovery
// rules, the completion time-out and the log lines at each debug level.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "device/cddevice/cddevice.h"
#include "device/test_seams.h"
#include "device/transport/aspi_intf.h"
#include "device/transport/aspi_library.h"
#include "platform/aspi_srb.h"
#include "platform/byte_order.h"
#include "platform/win_event.h"
#include "support/disc_builder.h"
#include "support/test_paths.h"
#include "transport_fakes.h"
#include "vdrive/virtual_drive.h"

using namespace dravik;
using namespace dravik::device;
using namespace dravik::test;
using namespace dravik::platform::aspi;

namespace {

uint32_t ReadBypass() {
    RegistryStore store;
    EXPECT_TRUE(store.Open(".DeviceIntf"));
    return store.ReadNumber("AdapterBypass", 0);
}

void WriteBypass(uint32_t mask) {
    RegistryStore store;
    ASSERT_TRUE(store.Open(".DeviceIntf"));
    store.WriteNumber("AdapterBypass", mask);
}

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

class AspiTest : public TransportTest {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        test_seams::SetAspiModuleName(BuildDir() + "/bin/libwnaspi32.so");
    }
    void TearDown() override {
        ShutdownAspi();
        test_seams::SetAspiModuleName({});
        test_seams::SetAspiCompletionWait(0);
        if (languageModule) dlclose(languageModule);
        TransportTest::TearDown();
    }

    // Starts the transport over `drives` and walks to the first device.
    void StartOn(std::vector<std::shared_ptr<platform::ScsiDrive>> drives, ASPIIntf& aspi, int level = 0) {
        SetDrives(std::move(drives));
        ASSERT_TRUE(StartASPIIntf(nullptr, RecordMessage));
        aspi.debugCallback = RecordDebugLine;
        aspi.messageCallback = RecordMessage;
        aspi.debugLevel = level;
        ASSERT_TRUE(aspi.FirstDevice());
    }

    void* languageModule = nullptr;
};

// A manager that answers from a script, for what the real one never does.
struct ScriptedManager {
    static inline std::function<uint32_t(uint8_t*)> answer;
    static inline std::vector<std::vector<uint8_t>> blocks;  // copies of what was sent
    static uint32_t Send(void* srb) {
        auto* bytes = static_cast<uint8_t*>(srb);
        const size_t size = bytes[kCmd] == SC_EXEC_SCSI_CMD ? exec::kSize
                            : bytes[kCmd] == SC_GETSET_TIMEOUTS ? timeouts::kSize
                            : bytes[kCmd] == SC_HA_INQUIRY     ? ha_inquiry::kSize
                                                               : dev_block::kSize;
        blocks.emplace_back(bytes, bytes + size);
        return answer(bytes);
    }
    static void Install(int adapters, std::function<uint32_t(uint8_t*)> script) {
        blocks.clear();
        answer = std::move(script);
        Aspi().sendCommand = Send;
        Aspi().adapterCount = adapters;
    }
    static int Count(uint8_t command) {
        int n = 0;
        for (auto& b : blocks) n += b[kCmd] == command;
        return n;
    }
};

// Completes an execute block as a manager does: status, then the event.
uint32_t CompleteExec(uint8_t* srb, uint8_t status, uint8_t hostStatus = 0) {
    srb[exec::kHaStat] = hostStatus;
    srb[kStatus] = status;
    GetPointer<platform::WinEvent>(srb + exec::kPostProc)->Set();
    return SS_PENDING;
}

}  // namespace

TEST_F(AspiTest, StartCountsAdaptersOrExplainsWhyNot) {
    SetDrives({std::make_shared<FakeDrive>(), std::make_shared<FakeDrive>(), std::make_shared<FakeDrive>()});
    ASSERT_TRUE(StartASPIIntf(nullptr, RecordMessage));
    EXPECT_EQ(Aspi().adapterCount, 2) << "two drives to an adapter";
    ASPIIntf aspi;
    EXPECT_EQ(aspi.GetVersion(), "libwnaspi32.so - 0.1.0.0");
    EXPECT_STREQ(aspi.GetDeviceId(), "-1:-1");

    languageModule = dlopen((BuildDir() + "/bin/liblangres.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(languageModule, nullptr) << dlerror();
    SetDrives({});
    EXPECT_FALSE(StartASPIIntf(languageModule, RecordMessage));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].first, 3005);
    EXPECT_EQ(Messages()[0].second, "There are no devices available to ASPI.  Could a device be disconnected?");
    EXPECT_EQ(Aspi().module, nullptr);
    EXPECT_EQ(aspi.GetVersion(), "*** Unknown ***");

    test_seams::SetAspiModuleName(BuildDir() + "/bin/no-such-aspi.so");
    EXPECT_FALSE(StartASPIIntf(languageModule, RecordMessage));
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1].first, 3004);
    EXPECT_NE(Messages()[1].second.find("no-such-aspi.so"), std::string::npos) << Messages()[1].second;
}

TEST_F(AspiTest, EnumeratesAdaptersAndTargetsAndLogsEachProbe) {
    auto tape = std::make_shared<FakeDrive>(1);
    ASPIIntf aspi;
    StartOn({std::make_shared<FakeDrive>(5), tape, std::make_shared<FakeDrive>(0)}, aspi, 1);
    EXPECT_STREQ(aspi.GetDeviceId(), "0:0");
    EXPECT_EQ(aspi.deviceType, 5);
    ASSERT_TRUE(aspi.NextDevice());
    EXPECT_STREQ(aspi.GetDeviceId(), "1:0") << "the tape at 0:1 is skipped";
    EXPECT_EQ(aspi.deviceType, 0);
    EXPECT_FALSE(aspi.NextDevice());
    EXPECT_TRUE(Logged("Checking device at 0:0"));
    EXPECT_TRUE(Logged("Found device at 0:0 type 5"));
    EXPECT_TRUE(Logged("Found device at 0:1 type 1"));
    EXPECT_TRUE(Logged("Checking device at 0:7")) << "eight targets on each adapter";
    EXPECT_FALSE(Logged("Found device at 0:2 type 0"));
    EXPECT_EQ(ReadBypass(), 0u) << "a scan that ends normally leaves the mask as it was";

    Recorded().lines.clear();
    aspi.debugLevel = 0;
    EXPECT_TRUE(aspi.FirstDevice());
    EXPECT_TRUE(Lines().empty());
}

TEST_F(AspiTest, BypassedAdaptersAreNeverProbed) {
    auto first = std::make_shared<FakeDrive>();
    auto third = std::make_shared<FakeDrive>();
    SetDrives({first, std::make_shared<FakeDrive>(), third});
    ASSERT_TRUE(StartASPIIntf(nullptr, RecordMessage));
    ASPIIntf aspi;
    WriteBypass(1);
    ASSERT_TRUE(aspi.FirstDevice());
    EXPECT_STREQ(aspi.GetDeviceId(), "1:0");
    EXPECT_EQ(first->Inquiries(), 0);
    WriteBypass(3);
    EXPECT_FALSE(aspi.FirstDevice());
    EXPECT_EQ(third->Inquiries(), 1) << "no request at all when every adapter is bypassed";
    EXPECT_EQ(ReadBypass(), 3u);
}

TEST_F(AspiTest, AProcessThatDiesInAProbeLeavesItsAdapterBypassed) {
    const pid_t parent = getpid();
    auto deadly = std::make_shared<FakeDrive>();
    deadly->OnInquiry([parent] {
        if (getpid() != parent) _exit(7);
        ADD_FAILURE() << "the bypassed adapter was probed";
    });
    SetDrives({std::make_shared<FakeDrive>(), std::make_shared<FakeDrive>(), deadly});
    ASSERT_TRUE(StartASPIIntf(nullptr, RecordMessage));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ASPIIntf aspi;
        for (bool found = aspi.FirstDevice(); found; found = aspi.NextDevice()) {
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7) << "the child died inside the probe of 1:0";
    EXPECT_EQ(ReadBypass(), 2u);

    ASPIIntf aspi;
    int found = 0;
    for (bool more = aspi.FirstDevice(); more; more = aspi.NextDevice()) ++found;
    EXPECT_EQ(found, 2);
    EXPECT_EQ(ReadBypass(), 2u);
}

TEST_F(AspiTest, AdapterTargetCountsOtherThan8Or16CountAs8) {
    ScriptedManager::Install(1, [](uint8_t* srb) -> uint32_t {
        if (srb[kCmd] == SC_HA_INQUIRY) {
            srb[ha_inquiry::kMaxTargets] = 12;
            srb[kStatus] = SS_COMP;
            return SS_COMP;
        }
        srb[kStatus] = SS_NO_DEVICE;
        return SS_NO_DEVICE;
    });
    ASPIIntf aspi;
    EXPECT_FALSE(aspi.FirstDevice());
    EXPECT_EQ(ScriptedManager::Count(SC_GET_DEV_TYPE), 8);
}

TEST_F(AspiTest, RequestBlocksCarryTheRequestAsLaidOut) {
    ScriptedManager::Install(1, [](uint8_t* srb) -> uint32_t {
        if (srb[kCmd] == SC_EXEC_SCSI_CMD) return CompleteExec(srb, SS_COMP);
        srb[kStatus] = SS_COMP;
        return SS_COMP;
    });
    ASPIIntf aspi;
    uint8_t buffer[2048];
    DevRequest read = Read10(buffer, 0x10203, sizeof buffer);
    ASSERT_TRUE(aspi.Execute(&read, true));
    ASSERT_EQ(ScriptedManager::blocks.size(), 2u);
    const auto& timeout = ScriptedManager::blocks[0];
    EXPECT_EQ(timeout[kCmd], SC_GETSET_TIMEOUTS);
    EXPECT_EQ(timeout[kFlags], 0x10);
    EXPECT_EQ(timeout[timeouts::kLun], 0xFF);
    EXPECT_EQ(bytes::GetLe32(timeout.data() + 10), 220u) << "110 s in half-seconds, at offset 10";
    EXPECT_TRUE(aspi.TimeoutsSet());

    const auto& srb = ScriptedManager::blocks[1];
    EXPECT_EQ(srb[kCmd], SC_EXEC_SCSI_CMD);
    EXPECT_EQ(srb[kFlags], 0x08 | 0x40 | 0x04);
    EXPECT_EQ(bytes::GetLe32(srb.data() + 12), 2048u) << "SRB_BufLen keeps its published offset";
    EXPECT_EQ(GetPointer<uint8_t>(srb.data() + exec::kBufPointer), buffer);
    EXPECT_EQ(srb[exec::kSenseLen], 14);
    EXPECT_EQ(srb[exec::kCdbLen], 10);
    EXPECT_EQ(0, std::memcmp(srb.data() + exec::kCdb, read.cdb, 10));
    EXPECT_NE(GetPointer<void>(srb.data() + exec::kPostProc), nullptr);

    DevRequest write = Read10(buffer, 0, sizeof buffer);
    write.direction = kRequestDataOut;
    ASSERT_TRUE(aspi.Execute(&write, true));
    EXPECT_EQ(ScriptedManager::blocks.back()[kFlags], 0x10 | 0x40 | 0x04);
    DevRequest none;
    none.cdbLength = 6;
    ASSERT_TRUE(aspi.Execute(&none, true));
    EXPECT_EQ(ScriptedManager::blocks.back()[kFlags], 0x40 | 0x04);
}

TEST_F(AspiTest, AbortedRequestsAreRetriedFiveTimes) {
    ScriptedManager::Install(1, [](uint8_t* srb) -> uint32_t {
        if (srb[kCmd] == SC_EXEC_SCSI_CMD) return CompleteExec(srb, SS_ABORTED);
        srb[kStatus] = SS_INVALID_CMD;  // no time-outs here
        return SS_INVALID_CMD;
    });
    ASPIIntf aspi;
    aspi.debugCallback = RecordDebugLine;
    aspi.debugLevel = 1;
    uint8_t buffer[2048];
    DevRequest read = Read10(buffer, 0, sizeof buffer);
    EXPECT_FALSE(aspi.Execute(&read, true));
    EXPECT_EQ(ScriptedManager::Count(SC_EXEC_SCSI_CMD), 6);
    EXPECT_EQ(read.senseKey, 0xFF);
    EXPECT_EQ(read.asc, 0xFF);
    EXPECT_EQ(read.ascq, 0x02);
    EXPECT_TRUE(Logged("Status returned from ASPI: 02"));
    EXPECT_TRUE(Logged("Failure returned setting timeout value: 128"));
    EXPECT_TRUE(aspi.TimeoutsUnsupported());
    EXPECT_FALSE(aspi.ResetDevice()) << "no reset without time-outs";
    DevRequest again = Read10(buffer, 0, sizeof buffer);
    aspi.Execute(&again, true);
    EXPECT_EQ(ScriptedManager::Count(SC_GETSET_TIMEOUTS), 1) << "not asked again once unsupported";
}

TEST_F(AspiTest, HostAdapterErrorsRetryThenReset) {
    ScriptedManager::Install(1, [](uint8_t* srb) -> uint32_t {
        if (srb[kCmd] == SC_EXEC_SCSI_CMD) return CompleteExec(srb, SS_ERR, HASTAT_PHASE_ERR);
        srb[kStatus] = SS_COMP;
        return SS_COMP;
    });
    ASPIIntf aspi;
    aspi.debugCallback = RecordDebugLine;
    aspi.debugLevel = 1;
    uint8_t buffer[2048];
    DevRequest read = Read10(buffer, 0, sizeof buffer);
    EXPECT_FALSE(aspi.Execute(&read, true));
    EXPECT_EQ(ScriptedManager::Count(SC_EXEC_SCSI_CMD), 6);
    EXPECT_EQ(ScriptedManager::Count(SC_RESET_DEV), 1);
    EXPECT_EQ(read.senseKey, 0xFD);
    EXPECT_EQ(read.ascq, HASTAT_PHASE_ERR);
    EXPECT_TRUE(Logged("Host Adapter status error: 14"));

    CDDevice owner;
    owner.SetAbortFlag();
    DevRequest aborted = Read10(buffer, 0, sizeof buffer);
    aborted.owner = &owner;
    const int before = ScriptedManager::Count(SC_EXEC_SCSI_CMD);
    EXPECT_FALSE(aspi.Execute(&aborted, true));
    EXPECT_EQ(ScriptedManager::Count(SC_EXEC_SCSI_CMD) - before, 1) << "the abort flag cuts the retries";
}

TEST_F(AspiTest, MediumErrorAndTheLogLinesAtEachLevel) {
    auto drive = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int) { return CheckCondition(3, 0x11, 0, 16); });
    for (int level : {0, 1, 2}) {
        SCOPED_TRACE(level);
        Recorded().lines.clear();
        ASPIIntf aspi;
        StartOn({drive}, aspi, level);
        Recorded().lines.clear();
        const int before = drive->Commands();
        uint8_t buffer[2048];
        DevRequest read = Read10(buffer, 16, sizeof buffer);
        EXPECT_FALSE(aspi.Execute(&read, true));
        EXPECT_EQ(drive->Commands() - before, 1);
        EXPECT_EQ(read.senseKey, 3);
        EXPECT_EQ(read.asc, 0x11);
        EXPECT_EQ(read.senseInfo, 16u);
        EXPECT_EQ(read.requestStatus, SS_ERR);
        char scsiCmd[96];
        std::snprintf(scsiCmd, sizeof scsiCmd, "SCSI Cmd: 28 00 00 00 00 10 00 00 01 00 , buffer=%x, buflen=800",
                      static_cast<unsigned>(reinterpret_cast<uintptr_t>(buffer)));
        EXPECT_EQ(Logged(scsiCmd), level > 1) << scsiCmd;
        EXPECT_EQ(Logged("Command error: cmd=28, block=16, status=4, Sense=11 0"), level > 1);
        EXPECT_EQ(Lines().empty(), level < 2);

        DevRequest raw = Read10(buffer, 16, sizeof buffer);
        EXPECT_FALSE(aspi.Execute(&raw, false));
        EXPECT_EQ(raw.asc, 0x11) << "uninterpreted: sense filled, no retry";
    }
}

TEST_F(AspiTest, NotReadyUnitAttentionAndTestUnitReady) {
    auto settling = std::make_shared<FakeDrive>(5, [](const ScsiRequest& r, int call) {
        // call 1 is the probe's INQUIRY
        if (call <= 3) return CheckCondition(2, 4, 1);
        if (call == 5 && r.cdb[0] == 0x28) return CheckCondition(6, 0x28, 0);
        return ScsiResult{};
    });
    ASPIIntf aspi;
    StartOn({settling}, aspi);
    const int before = settling->Commands();
    uint8_t buffer[2048];
    DevRequest read = Read10(buffer, 0, sizeof buffer);
    ASSERT_TRUE(aspi.Execute(&read, true));
    // read: not ready; wait 250, TUR not ready, 100, TUR ready; read: unit
    // attention; wait 500; read good
    EXPECT_EQ(settling->Commands() - before, 5);
    EXPECT_EQ(Sleeps(), (std::vector<uint32_t>{250, 100, 500}));

    auto empty = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int) { return CheckCondition(2, 0x3A, 0); });
    ASPIIntf second;
    StartOn({empty}, second);
    DevRequest request;
    int count = empty->Commands();
    EXPECT_FALSE(second.TestUnitReady(&request, false));
    EXPECT_EQ(empty->Commands() - count, 1);
    EXPECT_EQ(request.asc, 0x3A);
    count = empty->Commands();
    EXPECT_FALSE(second.TestUnitReady(&request, true));
    EXPECT_EQ(empty->Commands() - count, 3);
}

TEST_F(AspiTest, AHangingDriveTimesOutAndIsNeverWrittenBack) {
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    auto hanging = std::make_shared<FakeDrive>(5, [&](const ScsiRequest& r, int) {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return release; });
        if (r.data) std::memset(r.data, 0xEE, r.dataLength);
        return CheckCondition(3, 0x11, 0);
    });
    ASPIIntf aspi;
    StartOn({hanging}, aspi, 1);
    test_seams::SetAspiCompletionWait(200);
    auto buffer = std::make_unique<uint8_t[]>(2048);
    DevRequest read = Read10(buffer.get(), 0, 2048);
    EXPECT_FALSE(aspi.Execute(&read, true));
    EXPECT_TRUE(Logged("Timeout on ASPI request after 2 minutes for 0:0"));
    EXPECT_EQ(read.requestStatus, SS_ABORTED);
    EXPECT_EQ(read.senseKey, 0xFF);
    buffer.reset();  // a late completion writing here would be caught
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    // The drive's own time-out is a host adapter time-out: no retry.
    auto timing = std::make_shared<FakeDrive>(5, [](const ScsiRequest&, int) {
        ScsiResult result;
        result.transportErrno = ETIMEDOUT;
        return result;
    });
    ASPIIntf second;
    StartOn({timing}, second);
    uint8_t data[2048];
    DevRequest timed = Read10(data, 0, sizeof data);
    const int before = timing->Commands();
    EXPECT_FALSE(second.Execute(&timed, true));
    EXPECT_EQ(timing->Commands() - before, 1);
    EXPECT_EQ(timing->LastTimeoutMs(), 110000u) << "the time-out the transport set";
}

TEST_F(AspiTest, BadRequestsFailWithClearCodes) {
    auto drive = std::make_shared<FakeDrive>();
    ASPIIntf aspi;
    StartOn({drive}, aspi, 1);
    const int before = drive->Commands();
    uint8_t buffer[96] = {};
    DevRequest tooLong;
    tooLong.direction = kRequestDataIn;
    tooLong.cdbLength = 20;
    tooLong.cdb[0] = 0x12;
    tooLong.buffer = buffer;
    tooLong.dataLength = 36;
    EXPECT_FALSE(aspi.Execute(&tooLong, true));
    EXPECT_EQ(tooLong.senseKey, 0xFF);
    EXPECT_EQ(tooLong.ascq, SS_INVALID_SRB);
    EXPECT_TRUE(Logged("Initial failure returned by 12 command, error=e0"));

    DevRequest noBuffer = Read10(nullptr, 0, 2048);
    EXPECT_FALSE(aspi.Execute(&noBuffer, true));
    EXPECT_EQ(noBuffer.ascq, SS_INVALID_SRB);
    EXPECT_EQ(drive->Commands(), before);

    // More buffer than the drive fills: the command succeeds.
    DevRequest inquiry;
    inquiry.direction = kRequestDataIn;
    inquiry.cdbLength = 6;
    inquiry.cdb[0] = 0x12;
    inquiry.cdb[4] = 96;
    inquiry.buffer = buffer;
    inquiry.dataLength = sizeof buffer;
    EXPECT_TRUE(aspi.Execute(&inquiry, true));
    EXPECT_EQ(buffer[0], 5);
}

TEST_F(AspiTest, ClonesKeepTheAddressWithTheirOwnEvent) {
    ASPIIntf aspi;
    StartOn({std::make_shared<FakeDrive>(), std::make_shared<FakeDrive>()}, aspi, 2);
    ASSERT_TRUE(aspi.NextDevice());
    std::unique_ptr<DeviceIntf> copy(aspi.Clone());
    EXPECT_STREQ(copy->GetDeviceId(), "0:1");
    EXPECT_EQ(copy->debugLevel, 2);
    EXPECT_TRUE(copy->OpenDevice());
    EXPECT_TRUE(copy->CloseDevice());
    EXPECT_FALSE(copy->WinVolume(1));
    DevRequest request;
    EXPECT_TRUE(copy->TestUnitReady(&request, false));
}

TEST_F(AspiTest, ReadsThroughTheVirtualDrive) {
    DiscBuilder builder(settings, "aspi");
    builder.Medium("cd-rom").NotReady(2);
    builder.Track(TrackKind::kMode1, 100);
    builder.Unreadable(40, 41);
    vdrive::LoadError error;
    std::shared_ptr<vdrive::VirtualDrive> drive = vdrive::VirtualDrive::Open(builder.Write(), error);
    ASSERT_TRUE(drive);
    ASPIIntf aspi;
    StartOn({std::make_shared<FakeDrive>(1), drive}, aspi);
    EXPECT_STREQ(aspi.GetDeviceId(), "0:1");
    uint8_t buffer[2048] = {};
    DevRequest read = Read10(buffer, 20, sizeof buffer);
    ASSERT_TRUE(aspi.Execute(&read, true));
    EXPECT_EQ(bytes::GetBe32(buffer), 20u);
    DevRequest bad = Read10(buffer, 40, sizeof buffer);
    EXPECT_FALSE(aspi.Execute(&bad, true));
    EXPECT_EQ(bad.senseKey & 0x0F, 3);
}
