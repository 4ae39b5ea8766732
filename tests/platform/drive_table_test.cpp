// The drive table: real drives found in sysfs, virtual drives from image
// lists and the registry, letters, and the sense and status handling of
// the SG_IO layer.
#include <gtest/gtest.h>

#include <scsi/sg.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/drives/drive_table.h"
#include "platform/registry_hive.h"
#include "platform/scsi_sense.h"
#include "platform/sg_drive.h"
#include "support/temp_dir.h"

using namespace dravik::platform;
using dravik::test::TempDir;

namespace {

TEST(ScsiSense, FixedSenseIsCopiedUpToItsLength) {
    uint8_t in[32] = {0x70, 0, 0x03, 0, 0, 0, 0x14, 10, 0, 0, 0, 0, 0x11, 0x05};
    uint8_t out[32] = {};
    EXPECT_EQ(NormalizeSense(in, sizeof in, out, sizeof out), 18u);
    EXPECT_EQ(out[2], 0x03);
    EXPECT_EQ(out[12], 0x11);
    EXPECT_EQ(out[13], 0x05);
}

TEST(ScsiSense, DescriptorSenseBecomesFixed) {
    // 0x72: key 3, ASC 0x11, ASCQ 0x05; an information descriptor naming
    // block 0x1234 and a sense-key-specific descriptor.
    uint8_t in[] = {0x72, 0x03, 0x11, 0x05, 0, 0, 0, 20,
                    0x00, 0x0A, 0x80, 0x00, 0, 0, 0, 0, 0x00, 0x00, 0x12, 0x34,
                    0x02, 0x06, 0x00, 0x00, 0x80, 0x00, 0x07, 0x00};
    uint8_t out[32] = {};
    ASSERT_EQ(NormalizeSense(in, sizeof in, out, sizeof out), 18u);
    EXPECT_EQ(out[0], 0xF0);  // current, information valid
    EXPECT_EQ(out[2], 0x03);
    EXPECT_EQ(out[3], 0x00);
    EXPECT_EQ(out[5], 0x12);
    EXPECT_EQ(out[6], 0x34);
    EXPECT_EQ(out[7], 10);
    EXPECT_EQ(out[12], 0x11);
    EXPECT_EQ(out[13], 0x05);
    EXPECT_EQ(out[15], 0x80);
    EXPECT_EQ(out[17], 0x07);
    // Deferred errors stay deferred.
    in[0] = 0x73;
    NormalizeSense(in, sizeof in, out, sizeof out);
    EXPECT_EQ(out[0] & 0x7F, 0x71);
    // A descriptor whose length runs past the data is not read.
    uint8_t cut[] = {0x72, 0x05, 0x24, 0x00, 0, 0, 0, 40, 0x00, 0x0A, 0x80};
    ASSERT_EQ(NormalizeSense(cut, sizeof cut, out, sizeof out), 18u);
    EXPECT_EQ(out[0], 0x70);
    EXPECT_EQ(out[12], 0x24);
    // Garbage gives nothing.
    uint8_t junk[] = {0x12, 0x34};
    EXPECT_EQ(NormalizeSense(junk, sizeof junk, out, sizeof out), 0u);
}

TEST(SgDrive, ResultCarriesStatusResidualAndSense) {
    sg_io_hdr header{};
    header.status = 0x02;
    header.host_status = 0;
    header.driver_status = 0x08;  // sense returned: not a failure
    header.resid = 2048;
    header.sb_len_wr = 18;
    uint8_t sense[32] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x21, 0x00};
    ScsiResult r;
    InterpretSgIo(header, sense, r);
    EXPECT_TRUE(r.Delivered());
    EXPECT_FALSE(r.Good());
    EXPECT_EQ(r.residual, 2048u);
    EXPECT_EQ(r.SenseKey(), 5);
    EXPECT_EQ(r.Asc(), 0x21);

    header.host_status = 0x07;  // adapter error
    header.sb_len_wr = 0;
    InterpretSgIo(header, sense, r);
    EXPECT_FALSE(r.Delivered());
    EXPECT_EQ(r.senseLength, 0);
}

TEST(SgDrive, MissingNodeReportsErrno) {
    SgDrive drive("/nonexistent/sr9", DriveIdentity{"V", "P", "R"});
    uint8_t cdb[6] = {0, 0, 0, 0, 0, 0};
    ScsiRequest request;
    request.cdb = cdb;
    request.cdbLength = 6;
    EXPECT_EQ(drive.Execute(request).transportErrno, ENOENT);
    EXPECT_EQ(drive.Kind(), DriveKind::kReal);
}

TEST(DriveTable, RealDrivesFromSysfsComeFirstInNumberOrder) {
    TempDir sys;
    auto addDrive = [&](const std::string& name, const std::string& vendor) {
        std::filesystem::create_directories(sys.File(name + "/device"));
        sys.Write(name + "/device/vendor", vendor + "   \n");
        sys.Write(name + "/device/model", "DVD-RW DRIVE\n");
        sys.Write(name + "/device/rev", "1.02\n");
    };
    addDrive("sr10", "TEN");
    addDrive("sr2", "TWO");
    std::filesystem::create_directories(sys.File("sda"));
    std::filesystem::create_directories(sys.File("srx"));
    auto found = FindRealDrives(sys.path(), "/dev");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].node, "/dev/sr2");
    EXPECT_EQ(found[0].identity.vendor, "TWO");
    EXPECT_EQ(found[1].node, "/dev/sr10");
    EXPECT_EQ(found[1].identity.product, "DVD-RW DRIVE");

    TempDir images;
    std::ofstream(images.File("a.iso"), std::ios::binary) << std::string(2048 * 20, '\0');
    DriveTableSources sources;
    sources.sysClassBlock = sys.path();
    sources.imagePaths = {images.File("a.iso"), images.File("missing.iso"), images.File("a.iso")};
    DriveTable table = DriveTable::Build(sources);
    ASSERT_EQ(table.Drives().size(), 3u);
    EXPECT_EQ(table.Drives()[0].letter, 'D');
    EXPECT_EQ(table.Drives()[0].kind, DriveKind::kReal);
    EXPECT_EQ(table.Drives()[1].letter, 'E');
    EXPECT_EQ(table.Drives()[2].letter, 'F');
    EXPECT_EQ(table.Drives()[2].kind, DriveKind::kVirtual);
    EXPECT_EQ(table.Drives()[2].location, images.File("a.iso"));
    ASSERT_EQ(table.Problems().size(), 1u);  // the missing image; the repeated one is one drive
    EXPECT_NE(table.Problems()[0].find("missing.iso"), std::string::npos);
    EXPECT_EQ(table.Find('G'), nullptr);
}

TEST(DriveTable, LettersRunOutAtZ) {
    TempDir images;
    DriveTableSources sources;
    sources.realDrives = false;
    for (int i = 0; i < 25; ++i) {
        const std::string path = images.File("d" + std::to_string(i) + ".iso");
        std::ofstream(path, std::ios::binary) << std::string(2048, '\0');
        sources.imagePaths.push_back(path);
    }
    DriveTable table = DriveTable::Build(sources);
    EXPECT_EQ(table.Drives().size(), 23u);  // D: to Z:
    EXPECT_EQ(table.Drives().back().letter, 'Z');
    EXPECT_EQ(table.Problems().size(), 2u);
}

TEST(DriveTable, ImageListsAndTheRegistryValue) {
    EXPECT_EQ(SplitImageList("a.iso::/b/c.cue:"), (std::vector<std::string>{"a.iso", "/b/c.cue"}));
    EXPECT_TRUE(SplitImageList("").empty());

    TempDir config;
    ::setenv("DRAVIK_CONFIG_DIR", config.path().c_str(), 1);
    EXPECT_TRUE(VirtualDrivePathsFromRegistry().empty());
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::LocalMachine, kDeviceIntfKey, KeyAccess::Full, key), kRegSuccess);
    const std::string list = "/images/one.iso:/images/two.vdisc";
    ASSERT_EQ(key.SetValue(kVirtualDrivesValue, REG_SZ, list), kRegSuccess);
    EXPECT_EQ(VirtualDrivePathsFromRegistry(), (std::vector<std::string>{"/images/one.iso", "/images/two.vdisc"}));
    ::unsetenv("DRAVIK_CONFIG_DIR");
}

}  // namespace
