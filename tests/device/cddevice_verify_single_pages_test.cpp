// The device check on drives that refuse MODE SENSE for all pages (page
// 0x3F) with INVALID FIELD IN CDB and answer single pages only: what it
// learns equals what the all-pages answer teaches, in either command form,
// and a capabilities page without the CD-DA bit is an MMC drive's when
// GET CONFIGURATION is answered; and the all-pages answer put together from
// single answers.
#include <gtest/gtest.h>

#include <cstring>

#include "cddevice_check_fakes.h"
#include "device/cddevice/mode_page_walk.h"
#include "device/ddb/ddb_info.h"

using namespace dravik;
using namespace dravik::device;
using namespace dravik::device::test;
using dravik::test::DiscBuilder;
using dravik::test::TempDir;
using dravik::test::TrackKind;

namespace {

class VerifySinglePagesTest : public CheckFixture<VirtualDriveTransport> {
protected:
    struct Learnt {
        bool mmc, recorder;
        unsigned speedMethod;
        int buffer, retry, inactivity, sectorSize;
        unsigned char capabilities[21];
    };

    Learnt Check(const std::vector<std::string>& directives) {
        VirtualDriveTransport::drives.clear();
        DiscBuilder b(images_);
        for (const std::string& line : directives) b.Directive(line);
        b.Track(TrackKind::kMode1, 300);
        vdrive::LoadError error;
        std::shared_ptr<vdrive::VirtualDrive> drive = vdrive::VirtualDrive::Open(b.Write(), error);
        EXPECT_TRUE(drive) << error.Text();
        Learnt learnt{};
        if (!drive) return learnt;
        VirtualDriveTransport::drives.push_back(drive);
        CDDevice device;
        EXPECT_TRUE(device.FirstDevice());
        EXPECT_TRUE(device.VerifyDevice(false));
        learnt.mmc = device.IsMMC();
        learnt.recorder = device.IsRecorder();
        learnt.speedMethod = device.DeviceRecord()->GetSpeedCode();
        learnt.buffer = device.GetBufferSize();
        learnt.retry = device.GetHardwareRetry();
        learnt.inactivity = device.GetInactMult();
        learnt.sectorSize = device.GetSectorSize();
        device.GetCapabilities(learnt.capabilities, sizeof learnt.capabilities);
        return learnt;
    }

    TempDir images_;
};

TEST_F(VerifySinglePagesTest, RefusedAllPagesTeachesWhatTheAllPagesAnswerTeaches) {
    const std::vector<std::vector<std::string>> drives = {
        {"buffer 512"},                                   // MODE SENSE(10)
        {"buffer 512", "pages 01 0d 2a 05"},              // a recorder
        {"buffer 512", "ansi-version 1"},                 // MODE SENSE(6)
        {"buffer 512", "ansi-version 1", "pages 2a"},     // pages the check asks for are missing
    };
    for (const std::vector<std::string>& drive : drives) {
        SCOPED_TRACE(drive.back());
        const Learnt all = Check(drive);
        std::vector<std::string> refusing = drive;
        refusing.push_back("all-pages no");
        const Learnt single = Check(refusing);
        EXPECT_TRUE(all.mmc);
        EXPECT_EQ(single.mmc, all.mmc);
        EXPECT_EQ(single.recorder, all.recorder);
        EXPECT_EQ(single.speedMethod, all.speedMethod);
        EXPECT_EQ(single.buffer, 512);
        EXPECT_EQ(single.retry, all.retry);
        EXPECT_EQ(single.inactivity, all.inactivity);
        EXPECT_EQ(single.sectorSize, all.sectorSize);
        EXPECT_EQ(0, std::memcmp(single.capabilities, all.capabilities, sizeof all.capabilities));
    }
}

TEST_F(VerifySinglePagesTest, CapabilitiesWithoutCdDaCommandsAreMmcWhenGetConfigurationIsAnswered) {
    // Page 0x2A as QEMU's ATAPI drives give it: byte 5 (0x60) leaves the
    // CD-DA commands bit clear; buffer 512 KB.
    const std::string page = "page 2a 12 3b 00 71 60 29 00 02 c2 00 02 02 00 02 c2 00 00 00 00";
    const struct {
        const char* interface;
        bool mmc;
    } rows[] = {{"interface mmc", true}, {"interface older", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.interface);
        const Learnt learnt = Check({row.interface, "pages 01 0d 2a", page, "all-pages no"});
        EXPECT_EQ(learnt.mmc, row.mmc);
        EXPECT_EQ(learnt.buffer, 512);
        EXPECT_EQ(learnt.speedMethod, 0u);
    }
}

TEST(GatherModeAnswer, SingleAnswersBecomeOneAnswerOfTheTenByteForm) {
    // MODE SENSE(10): header with an 8-byte block descriptor (block length
    // 2048), then page 0x2A of 6 bytes.
    const std::vector<uint8_t> ten = {0, 20, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x08, 0,
                                      0x2A, 4, 1, 2, 3, 4};
    // MODE SENSE(6), medium type 0x70 (the tray state), no descriptor, page 0x01.
    const std::vector<uint8_t> six = {7, 0x70, 0, 0, 0x01, 2, 0, 5};
    // A page its answer cuts short.
    const std::vector<uint8_t> cut = {0, 14, 0, 0, 0, 0, 0, 0, 0x0D, 6, 0, 0x0D};
    const struct {
        const char* name;
        std::vector<std::vector<uint8_t>> answers;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"ten-byte answer", {ten}, {0, 20, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x08, 0, 0x2A, 4, 1, 2, 3, 4}},
        {"six-byte answer, tray state dropped", {six}, {0, 10, 0, 0, 0, 0, 0, 0, 0x01, 2, 0, 5}},
        {"two answers", {ten, six},
         {0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x08, 0, 0x2A, 4, 1, 2, 3, 4, 0x01, 2, 0, 5}},
        {"cut page left out", {cut, six}, {0, 10, 0, 0, 0, 0, 0, 0, 0x01, 2, 0, 5}},
        {"no header", {{0, 0}}, {}},
    };
    for (const auto& c : cases) {
        uint8_t gathered[verify::kGatheredBytesLimit] = {};
        int used = 0;
        for (const std::vector<uint8_t>& answer : c.answers)
            used = verify::GatherModeAnswer(gathered, used, answer.data(), static_cast<int>(answer.size()));
        EXPECT_EQ(std::vector<uint8_t>(gathered, gathered + used), c.expected) << c.name;
    }
}

TEST(GatherModeAnswer, StaysBelowTheLimitThatChangesTheHeaderForm) {
    std::vector<uint8_t> answer = {0, 6 + 200, 0, 0, 0, 0, 0, 0, 0x05, 198};
    answer.resize(8 + 200, 0xEE);
    uint8_t gathered[verify::kGatheredBytesLimit] = {};
    int used = 0;
    for (int i = 0; i < 4; ++i) used = verify::GatherModeAnswer(gathered, used, answer.data(), static_cast<int>(answer.size()));
    EXPECT_EQ(used, 8 + 2 * 200);
    const verify::ModeHeader header = verify::ReadModeHeader(gathered, used);
    EXPECT_EQ(header.total, used);
    EXPECT_EQ(header.firstPage, 8);
}

}  // namespace
