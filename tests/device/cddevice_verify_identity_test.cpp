// The device check against virtual drives of every kind it tells apart: an
// MMC drive, an older drive, vendors with the speed page 0x31, a fixed disk
// and a removable disk, a drive that needs a disc for MODE SENSE, and the
// database entry a new drive leaves in a copy of the shipped database.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cddevice_check_fakes.h"
#include "device/ddb/ddb_info.h"
#include "support/test_paths.h"

using namespace dravik;
using namespace dravik::device;
using namespace dravik::device::test;
using dravik::test::DiscBuilder;
using dravik::test::TempDir;
using dravik::test::TrackKind;

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class VerifyIdentityTest : public CheckFixture<VirtualDriveTransport> {
protected:
    // Puts a virtual drive described by `directives` (with a one-track
    // CD-ROM unless the directives name another medium) in the table.
    std::shared_ptr<vdrive::VirtualDrive> AddDrive(const std::vector<std::string>& directives, bool disc = true) {
        DiscBuilder b(images);
        for (const std::string& line : directives) b.Directive(line);
        if (disc)
            b.Track(TrackKind::kMode1, 300);
        else
            b.Medium("none");
        vdrive::LoadError error;
        std::shared_ptr<vdrive::VirtualDrive> drive = vdrive::VirtualDrive::Open(b.Write(), error);
        EXPECT_TRUE(drive) << error.Text();
        if (drive) VirtualDriveTransport::drives.push_back(drive);
        return drive;
    }
    // A device standing on the first drive.
    std::unique_ptr<CDDevice> Device(const std::string& database = "") {
        auto device = std::make_unique<CDDevice>();
        if (!database.empty()) device->SetDDBFilename(database);
        EXPECT_TRUE(device->FirstDevice());
        return device;
    }
    std::string DatabaseCopy(const std::string& extra = "") {
        std::string path = files.File("ASPIDEV.DDB");
        std::string shipped = ReadText(dravik::test::SourceDir() + "/Shared/ASPIDEV.DDB");
        EXPECT_FALSE(shipped.empty());
        std::ofstream(path, std::ios::binary) << shipped << extra;
        return path;
    }

    TempDir images, files;
};

TEST_F(VerifyIdentityTest, MmcDriveGetsTheMmcDefaultsAndItsPagesLearned) {
    AddDrive({"vendor ACME", "product \"CD-RW  8X   \""});
    auto device = Device();
    EXPECT_TRUE(CrashMarker()) << "set by the start";
    ASSERT_TRUE(device->VerifyDevice(false));
    EXPECT_EQ(device->GetVerifyRefusal(), CDDevice::VerifyAccepted);
    EXPECT_STREQ(device->GetDeviceName(), "ACME CD-RW 8X");
    EXPECT_TRUE(device->IsANSIVersion0());
    EXPECT_TRUE(device->IsMode10());
    EXPECT_TRUE(device->IsMMC());
    EXPECT_EQ(device->GetRawCmd(), 0xBE);
    EXPECT_EQ(device->GetTrackInfoCmd(), 0x52);
    EXPECT_EQ(device->GetCDDACmd(), 0xBE);
    const DDBInfo& record = *device->DeviceRecord();
    EXPECT_FALSE(record.IsCDDAMSF());
    EXPECT_EQ(record.GetCDDALen(), 12u);
    EXPECT_TRUE(record.IsCDDAEnabled());
    EXPECT_TRUE(record.IsRawModeAvail());
    EXPECT_EQ(record.GetCDDADensity(), 0xFFu);
    EXPECT_EQ(record.GetSpeedCode(), 0u);
    EXPECT_EQ(device->GetBufferSize(), 2048) << "from page 0x2A, no READ BUFFER";
    EXPECT_EQ(record.GetMechType(), 1u);
    EXPECT_TRUE(device->CanLoadDisc());
    EXPECT_EQ(record.GetLoadCmd(), 0x1Bu);
    EXPECT_TRUE(device->CanChangeRetry()) << "the retry count of the virtual page 0x01 is changeable";
    EXPECT_EQ(record.GetWriteCmd(), 0u) << "no page 0x05: not a recorder";
    EXPECT_FALSE(device->IsRecorder());
    // Device fields from the pages: retry count 5, inactivity 0x0D, 7056 KB/s.
    EXPECT_EQ(device->GetHardwareRetry(), 5);
    EXPECT_EQ(device->GetInactMult(), 0x0D);
    EXPECT_EQ(device->GetDriveSpeedValue(), 39);
    EXPECT_EQ(device->GetSectorSize(), 2048);
    unsigned char capabilities[40] = {};
    EXPECT_TRUE(device->GetCapabilities(capabilities, 40));
    EXPECT_EQ(capabilities[0], 0x2A);
    EXPECT_EQ(capabilities[1], 0x1A);
    EXPECT_EQ(capabilities[5], 0x03);
    EXPECT_EQ(capabilities[21], 0) << "21 bytes are kept";
    EXPECT_FALSE(CrashMarker()) << "cleared once the drive was probed";
    // The learned speed method works on the drive: SET CD SPEED.
    EXPECT_EQ(device->GetReadSpeed(), 40u);
    EXPECT_TRUE(device->SetDriveReadSpeed(8));
    EXPECT_EQ(device->GetReadSpeed(), 8u);
}

TEST_F(VerifyIdentityTest, OlderDriveGetsVendorCommandsAndMsfAddressing) {
    AddDrive({"vendor OLDCO", "product CDROM-4", "interface older", "buffer 256"});
    auto device = Device();
    ASSERT_TRUE(device->VerifyDevice(false));
    EXPECT_FALSE(device->IsMMC());
    EXPECT_FALSE(device->IsANSIVersion0());
    EXPECT_EQ(device->GetTrackInfoCmd(), 0xE5);
    EXPECT_EQ(device->GetCDDACmd(), 0xD9);
    EXPECT_EQ(device->GetRawCmd(), 0);
    EXPECT_TRUE(device->DeviceRecord()->IsCDDAMSF());
    EXPECT_EQ(device->DeviceRecord()->GetCDDALen(), 12u);
    EXPECT_FALSE(device->DeviceRecord()->IsRawModeAvail());
    EXPECT_EQ(device->DeviceRecord()->GetSpeedCode(), 255u) << "no speed page";
    EXPECT_EQ(device->GetBufferSize(), 256) << "from READ BUFFER, as no page 0x2A gave it";
    EXPECT_EQ(device->GetMediaType(), 0x01) << "the older drive's medium type: data disc";
    unsigned char capabilities[4];
    EXPECT_FALSE(device->GetCapabilities(capabilities, 4));
}

TEST_F(VerifyIdentityTest, SpeedPage31MethodFollowsTheVendor) {
    struct Row {
        const char* vendor;
        unsigned method;
        unsigned readBack;  // GetReadSpeed after the check
    } rows[] = {{"PLEXTOR", 6, 0x28}, {"YAMAHA", 1, 0x00}, {"ACME", 3, 0x28}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.vendor);
        VirtualDriveTransport::drives.clear();
        AddDrive({std::string("vendor ") + row.vendor, "product CDR-8", "interface older", "pages 01 0d 31",
                  "page 31 02 28 00"});
        auto device = Device();
        ASSERT_TRUE(device->VerifyDevice(false));
        EXPECT_EQ(device->DeviceRecord()->GetSpeedCode(), row.method);
        EXPECT_EQ(device->GetDriveSpeedValue(), 0x28) << "page byte 2";
        EXPECT_EQ(device->GetReadSpeed(), row.readBack);
    }
    // Method 3 sets the speed through the page and reads it back.
    auto device = Device();
    ASSERT_TRUE(device->VerifyDevice(false));
    EXPECT_TRUE(device->SetDriveReadSpeed(0x10));
    EXPECT_EQ(device->GetReadSpeed(), 0x10u);
    EXPECT_TRUE(device->SetDriveReadSpeed(-1)) << "back to the drive's own value";
    EXPECT_EQ(device->GetReadSpeed(), 0x28u);
}

TEST_F(VerifyIdentityTest, AKnownVendorKeepsItsDatabaseEntryAndLearnsTheSpeedMethod) {
    AddDrive({"vendor PLEXTOR", "product PX-W1210", "interface older", "pages 01 0d 31", "page 31 02 28 00"});
    auto device = Device(DatabaseCopy());
    ASSERT_TRUE(device->VerifyDevice(false));
    // The generic entry of the vendor names the MMC commands; no defaults.
    EXPECT_EQ(device->GetTrackInfoCmd(), 0x52);
    EXPECT_EQ(device->GetRawCmd(), 0xBE);
    EXPECT_FALSE(device->DeviceRecord()->IsCDDAMSF());
    EXPECT_EQ(device->DeviceRecord()->GetSpeedCode(), 6u);
}

TEST_F(VerifyIdentityTest, FixedDisksAreRefusedRemovableDisksAccepted) {
    AddDrive({"vendor DISKCO", "product HDD", "device-type 0", "removable no"});
    auto fixed = Device();
    EXPECT_FALSE(fixed->VerifyDevice(false));
    EXPECT_EQ(fixed->GetVerifyRefusal(), CDDevice::VerifyFixedDisk);
    EXPECT_TRUE(CrashMarker()) << "nothing was probed";

    VirtualDriveTransport::drives.clear();
    AddDrive({"vendor DISKCO", "product ZIP", "device-type 0", "removable yes"});
    auto removable = Device();
    EXPECT_TRUE(removable->VerifyDevice(false));
    EXPECT_STREQ(removable->GetDeviceName(), "DISKCO ZIP");
}

TEST_F(VerifyIdentityTest, EmptyDriveThatRefusesModeSense) {
    // Without a write command in the database it is not known as a recorder.
    AddDrive({"vendor BURNCO", "product WRITER", "mode-sense needs-medium"}, false);
    auto plain = Device();
    EXPECT_TRUE(plain->VerifyDevice(false));
    EXPECT_FALSE(plain->IsRecorder());
    EXPECT_TRUE(CrashMarker()) << "the page walk did not run";

    // The database names its write command: a recorder, pages unread.
    auto device = Device(DatabaseCopy("[BURNCO]\r\n\tWRITER:WCmd=0x2A,TrkInfo=0x52\r\n"));
    EXPECT_TRUE(device->VerifyDevice(false));
    EXPECT_TRUE(device->IsRecorder());
    unsigned char capabilities[4];
    EXPECT_FALSE(device->GetCapabilities(capabilities, 4));
    EXPECT_EQ(device->DeviceRecord()->GetSpeedCode(), 255u);
    EXPECT_TRUE(CrashMarker());
}

TEST_F(VerifyIdentityTest, VersionOneDrivesUseSixByteModeCommands) {
    auto drive = AddDrive({"vendor ACME", "product OLD-SCSI", "ansi-version 1", "pages 01 05 0d 2a"});
    auto device = Device();
    ASSERT_TRUE(device->VerifyDevice(false));
    EXPECT_FALSE(device->IsMode10());
    EXPECT_GT(drive->Counters().byOpcode[0x1A], 0u);
    EXPECT_EQ(drive->Counters().byOpcode[0x5A], 0u);
    EXPECT_TRUE(device->IsRecorder()) << "page 0x05";
    EXPECT_EQ(device->GetWriteCmd(), 0x2A);
    EXPECT_EQ(device->DeviceRecord()->GetWriteFormat(), 1u);
    EXPECT_TRUE(device->IsMMC());
}

TEST_F(VerifyIdentityTest, DisabledEntriesAreRefused) {
    AddDrive({"vendor ACME", "product BROKEN"});
    auto device = Device(DatabaseCopy("[ACME]\r\n\tBROKEN:Disabled\r\n"));
    EXPECT_FALSE(device->VerifyDevice(false));
    EXPECT_EQ(device->GetVerifyRefusal(), CDDevice::VerifyDisabled);
}

TEST_F(VerifyIdentityTest, NewDriveEntryIsWrittenBackInTheWritersFormat) {
    AddDrive({"vendor ACME", "product CDRW-52"});
    const std::string database = DatabaseCopy();
    const std::string before = ReadText(database);
    auto device = Device(database);
    ASSERT_TRUE(device->VerifyDevice(false));
    ASSERT_TRUE(device->UpdateDeviceInformation());
    const std::string after = ReadText(database);
    // MRW follows the features the drive lists (Mount Rainier reading).
    const std::string mrw = device->DeviceRecord()->IsMRW() ? "MRW," : "";
    const std::string entry =
        "\tCDRW-52:CDDAScan,Mode10,Raw,LoadDisc,CDText," + mrw +
        "RtryChg,CDDALen=12,BufSz=2048,MechType=1,CDDADen=255,"
        "CDDACmd=190,RawCmd=190,TrkInfo=82,LoadEj=27,SubQVal=2,SubRW=0,ErrScan=0,SpeedCode=0\r\n";
    // The shipped entries stay as they were; the new vendor's section follows.
    EXPECT_EQ(after, before + "\r\n[ACME]\r\n" + entry);

    // A second check of the same model finds its entry and learns nothing new.
    auto again = Device(database);
    ASSERT_TRUE(again->VerifyDevice(false));
    EXPECT_EQ(again->GetTrackInfoCmd(), 0x52);
    EXPECT_EQ(again->GetBufferSize(), 2048);
    ASSERT_TRUE(again->UpdateDeviceInformation());
    EXPECT_EQ(ReadText(database), after) << "the same entry, rewritten in place";
}

}  // namespace

namespace {

TEST(NameCleanUp, TrailingBlanksGoAndRunsOfBlanksShrinkToOne) {
    struct Row {
        const char* in;
        const char* stripped;
        const char* single;
    } rows[] = {
        {"ACME     CD-RW  8X      ", "ACME     CD-RW  8X", "ACME CD-RW 8X"},
        {"   ", " ", " "},  // the first character stays
        {"", "", ""},
        {"A", "A", "A"},
        {"  LEADING  ", "  LEADING", " LEADING"},
    };
    for (const Row& row : rows) {
        char text[40];
        std::snprintf(text, sizeof text, "%s", row.in);
        EXPECT_EQ(CheckedDevice::strip(text), text);
        EXPECT_STREQ(text, row.stripped) << '"' << row.in << '"';
        EXPECT_EQ(CheckedDevice::SingleSpace(text), text);
        EXPECT_STREQ(text, row.single) << '"' << row.in << '"';
    }
    char blanks[] = "A  B   C ";
    EXPECT_STREQ(CheckedDevice::SingleSpace(blanks), "A B C ") << "SingleSpace keeps one trailing blank";
}

}  // namespace
