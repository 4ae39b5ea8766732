// The DVD+RW background format on a virtual drive: started by blanking,
// stopped by the device check when a drive still runs it, and restarted
// by the preparation of a write.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cddevice_check_fakes.h"
#include "device/cddevice/write_parameters.h"
#include "device/ddb/ddb_info.h"
#include "platform/scsi_opcodes.h"
#include "support/test_paths.h"

using namespace dravik;
using namespace dravik::device;
using namespace dravik::device::test;
using dravik::test::DiscBuilder;
using dravik::test::TempDir;
using vdrive::BackgroundFormat;

namespace {

class DvdFormatTest : public CheckFixture<VirtualDriveTransport> {
protected:
    void Insert(const std::string& format) {
        DiscBuilder b(images);
        b.Medium("dvd+rw").Blank().Directive("background-format " + format);
        vdrive::LoadError error;
        drive = vdrive::VirtualDrive::Open(b.Write(), error);
        ASSERT_TRUE(drive) << error.Text();
        VirtualDriveTransport::drives = {drive};
    }
    // A device on the drive whose database entry says it writes DVD+RW.
    std::unique_ptr<CDDevice> Device() {
        const std::string path = files.File("ASPIDEV.DDB");
        std::ifstream shipped(dravik::test::SourceDir() + "/Shared/ASPIDEV.DDB", std::ios::binary);
        std::stringstream text;
        text << shipped.rdbuf();
        std::ofstream(path, std::ios::binary) << text.str()
                                              << "[DRAVIK]\r\n\tVIRTUAL CD-RW:DVD+RW,WCmd=0x2A,WFmt=1,TrkInfo=0x52\r\n";
        auto device = std::make_unique<CDDevice>();
        device->SetDDBFilename(path);
        EXPECT_TRUE(device->FirstDevice());
        return device;
    }
    BackgroundFormat Format() const { return drive->CurrentDisc()->format; }
    uint64_t Sent(uint8_t opcode) const { return drive->Counters().byOpcode[opcode]; }

    TempDir images, files;
    std::shared_ptr<vdrive::VirtualDrive> drive;
};

TEST_F(DvdFormatTest, DeviceCheckStopsOnlyARunningFormat) {
    struct Row {
        const char* format;
        BackgroundFormat after;
        uint64_t halts;
    } rows[] = {
        {"running", BackgroundFormat::kStopped, 1},
        {"stopped", BackgroundFormat::kStopped, 0},
        {"done", BackgroundFormat::kDone, 0},
        {"none", BackgroundFormat::kNone, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        Insert(row.format);
        auto device = Device();
        ASSERT_TRUE(device->VerifyDevice(false));
        EXPECT_TRUE(device->IsDVDPlusRW());
        EXPECT_EQ(Format(), row.after);
        EXPECT_EQ(Sent(scsi::kCloseTrackSession), row.halts);
    }
}

TEST_F(DvdFormatTest, BlankingStartsTheFormatAndTheDeviceCheckHaltsIt) {
    Insert("none");
    auto device = Device();
    ASSERT_TRUE(device->VerifyDevice(false));
    ASSERT_EQ(device->GetCurrentConfiguration(), 0x001A);
    ASSERT_TRUE(device->BlankDisc(false));
    EXPECT_EQ(Format(), BackgroundFormat::kRunning);

    auto later = Device();
    ASSERT_TRUE(later->VerifyDevice(false));
    EXPECT_EQ(Format(), BackgroundFormat::kStopped);

    // Preparing a write restarts the stopped format and writes from block 0.
    WriteParameters wp;
    ASSERT_TRUE(later->InitWrite(wp));
    EXPECT_TRUE(wp.dvdPlusFormat);
    EXPECT_EQ(wp.nextWritableAddress, 0);
    EXPECT_EQ(Format(), BackgroundFormat::kRunning);
}

TEST_F(DvdFormatTest, NothingIsCalibratedOnADvd) {
    Insert("done");
    auto device = Device();
    ASSERT_TRUE(device->VerifyDevice(false));
    ASSERT_EQ(device->GetCurrentConfiguration(), 0x001A);
    EXPECT_TRUE(device->SendOPC(nullptr, 0));
    EXPECT_EQ(Sent(scsi::kSendOpcInformation), 0u);
}

}  // namespace
