// A CDDevice over drives of the platform's drive list, through the real
// pass-through transport: virtual drives built with the disc builder, or
// scripted drives for answers no honest drive gives. The device record
// is set up as the device check leaves it for an MMC drive or for an
// older one, and every message and debug line is recorded.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/cddevice/cddevice.h"
#include "device/cddevice/transport_choice.h"
#include "device/ddb/ddb_info.h"
#include "device/test_seams.h"
#include "device/transport/spti_intf.h"
#include "platform/byte_order.h"
#include "support/disc_builder.h"
#include "transport_fakes.h"
#include "vdrive/virtual_drive.h"

namespace dravik::test {

// A message the device raised, with the arguments of its text.
struct DeviceMessage {
    int id = 0;
    int number = 0;      // 3007 block, 3009 mode, 3008 opcode
    std::string device;  // GetDeviceId
    std::string sense;   // FormatSense text
};

inline std::vector<DeviceMessage>& DeviceMessages() {
    static std::vector<DeviceMessage> messages;
    return messages;
}

inline int RecordDeviceMessage(int id, ...) {
    DeviceMessage m;
    m.id = id;
    va_list args;
    va_start(args, id);
    if (id == 3008) {
        m.device = va_arg(args, const char*);
        m.number = va_arg(args, int);
        m.sense = va_arg(args, const char*);
    } else if (id == 3007 || id == 3009) {
        m.number = va_arg(args, int);
        m.device = va_arg(args, const char*);
        m.sense = va_arg(args, const char*);
    }
    va_end(args);
    DeviceMessages().push_back(m);
    return 0;
}

inline std::vector<std::string>& DeviceDumps() {
    static std::vector<std::string> titles;
    return titles;
}
inline void RecordDump(void*, int, const char* title) { DeviceDumps().push_back(title ? title : ""); }

enum class DriveKindUnderTest { kMmc, kOlder };

class DriveDeviceTest : public TransportTest {
protected:
    static bool StartPassThrough(device::ResourceModule, device::MessageCallback) { return true; }

    void SetUp() override {
        TransportTest::SetUp();
        DeviceMessages().clear();
        DeviceDumps().clear();
        starters.passThrough = {&StartPassThrough, &device::CreateSPTIIntf};
        device::test_seams::SetTransportStarters(&starters);
        ASSERT_TRUE(device::CDDevice::Initialize(nullptr, RecordMessage));
    }
    void TearDown() override {
        dev.reset();
        device::CDDevice::Terminate();
        device::test_seams::SetTransportStarters(nullptr);
        TransportTest::TearDown();
    }

    // A virtual drive over the description the builder wrote.
    std::shared_ptr<vdrive::VirtualDrive> OpenVirtual(const DiscBuilder& builder) {
        vdrive::LoadError error;
        std::unique_ptr<vdrive::VirtualDrive> opened = vdrive::VirtualDrive::Open(builder.Write(), error);
        EXPECT_TRUE(opened) << error.message;
        return std::shared_ptr<vdrive::VirtualDrive>(std::move(opened));
    }

    // A device standing on the first drive of `drives`, its record set up
    // as the device check sets it for the kind of drive.
    // Without `sectorSize` no command is sent: the device has not yet had a
    // mode select work.
    void StandOn(std::vector<std::shared_ptr<platform::ScsiDrive>> drives, DriveKindUnderTest kind,
                 bool sectorSize = true) {
        SetDrives(std::move(drives));
        dev = std::make_unique<device::CDDevice>();
        ASSERT_TRUE(dev->FirstDevice());
        dev->SetMessageCallback(RecordDeviceMessage);
        dev->SetDebugCallback(RecordDebugLine);
        dev->SetDebugDump(RecordDump);
        device::DDBInfo& record = *dev->DeviceRecord();
        record.SetModeLenReq(true);
        record.SetSubQ(2);
        record.SetCDDALen(12);
        record.SetMode10(true);
        record.SetLoadCmd(0x1B);
        record.SetLoadDisc(true);
        if (kind == DriveKindUnderTest::kMmc) {
            record.SetMMC(true);
            record.SetRawCmd(0xBE);
            record.SetTrackInfoCmd(0x52);
            record.SetCDDACmd(0xBE);
            record.SetCDDAEnable(true);
            record.SetRawModeAvail(true);
            record.SetCDDADensity(0xFF);
        } else {
            record.SetTrackInfoCmd(0xE5);
            record.SetCDDACmd(0xD9);
            record.SetCDDAMSF(true);
            record.SetCDDAEnable(true);
            record.SetCDDADensity(0x82);
        }
        // The device check leaves 2048-byte sectors.
        if (sectorSize) {
            ASSERT_TRUE(dev->ChangeSectorSize(2048));
        }
    }

    void StandOnVirtual(const DiscBuilder& builder, DriveKindUnderTest kind = DriveKindUnderTest::kMmc) {
        drive = OpenVirtual(builder);
        ASSERT_TRUE(drive);
        StandOn({drive}, kind);
        drive->ResetCounters();
    }

    // Gives the record values only the database sets (SubRW, SerNbr): an
    // entry for the device with these tokens, looked up.
    void ApplyDatabaseEntry(const std::string& tokens) {
        const std::string path = dir.Write("ASPIDEV.DDB", "# Device information database\r\n[TEST]\r\n\tDRIVE:" + tokens + "\r\n");
        device::DDBInfo& record = *dev->DeviceRecord();
        record.SetDeviceName("TEST DRIVE");
        record.SetFileName(path.c_str());
        ASSERT_TRUE(record.GetDeviceInfo());
    }

    uint64_t Sent(uint8_t opcode) const { return drive->Counters().byOpcode[opcode]; }

    static std::vector<DeviceMessage> MessagesWithId(int id) {
        std::vector<DeviceMessage> found;
        for (const DeviceMessage& m : DeviceMessages())
            if (m.id == id) found.push_back(m);
        return found;
    }
    static bool LineStartsWith(const std::string& prefix) {
        for (const std::string& line : Lines())
            if (line.rfind(prefix, 0) == 0) return true;
        return false;
    }

    // The first eight bytes the disc builder stamps into a block: its
    // address and its track number.
    static uint32_t StampedBlock(const uint8_t* data) {
        return bytes::GetBe32(data);
    }

    TempDir dir;
    device::TransportStarters starters;
    std::shared_ptr<vdrive::VirtualDrive> drive;
    std::unique_ptr<device::CDDevice> dev;
};

}  // namespace dravik::test
