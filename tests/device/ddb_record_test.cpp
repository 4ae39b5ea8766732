// The record in memory: setters, copies, the entry writer and the speed
// lists.
#include <gtest/gtest.h>

#include "ddb_messages.h"
#include "device/ddb/ddb_info.h"
#include "support/temp_dir.h"

using namespace dravik::device::ddb;
using dravik::device::DDBInfo;
using ddbtest::CountOf;
using ddbtest::Raised;
using dravik::test::TempDir;

namespace {

// The record as the device check leaves it before the lookup.
DDBInfo CheckedDrive(const char* name) {
    DDBInfo info(ddbtest::Record);
    info.Reset();
    info.SetDeviceName(name);
    info.SetBufferSize(-1);
    info.SetTrackInfoCmd(0xFF);
    info.SetModeLenReq(true);
    info.SetSubQ(2);
    return info;
}

std::vector<uint16_t> Table(const DDBInfo& info, ListField list) {
    const uint16_t* t = info.List(list);
    std::vector<uint16_t> values;
    for (int i = 0; i < DDBInfo::kListEntries; ++i) {
        values.push_back(t[i]);
        if (t[i] == DDBInfo::kListEnd) break;
    }
    return values;
}

}  // namespace

TEST(DDBRecord, DefaultsAndReset) {
    DDBInfo info;
    EXPECT_TRUE(info.CanReadCDText());
    EXPECT_TRUE(info.CanRptProgress());
    EXPECT_EQ(info.GetSpeedCode(), 255u);
    EXPECT_EQ(info.GetBufferSize(), 0u);
    EXPECT_EQ(info.GetSpeedValue(), -1);
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, false), -1) << "both lists start empty";
    EXPECT_FALSE(info.IsModified());

    info.SetNoGeneric(true);
    info.SetDeviceName("ACME CDR-1");
    info.SetFileName("/x/ASPIDEV.DDB");
    info.SetRawModeAvail(true);
    info.SetMMC(true);
    info.SetDeviceWriteSpeed(8, false);
    info.Reset();
    EXPECT_FALSE(info.IsRawModeAvail());
    EXPECT_FALSE(info.IsMMC());
    EXPECT_FALSE(info.IsModified());
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, false), -1);
    EXPECT_TRUE(info.IsNoGeneric()) << "kept across a reset";
    EXPECT_STREQ(info.GetDeviceName(), "ACME CDR-1");
    EXPECT_STREQ(info.GetFileName(), "/x/ASPIDEV.DDB");
}

TEST(DDBRecord, SettersMarkTheRecordWithTheirExceptions) {
    DDBInfo info;
    info.SetATIPMode(true);
    EXPECT_TRUE(info.IsModified());
    EXPECT_FALSE(info.Flag(kNoATIP)) << "SetATIPMode stores the negation";
    info.SetOpcMode(false);
    EXPECT_TRUE(info.Flag(kNoOPC));
    EXPECT_FALSE(info.UseOpc());

    info.SetModified(false);
    info.SetRetryChange(false);
    EXPECT_FALSE(info.IsModified()) << "no change, no mark";
    info.SetRetryChange(true);
    EXPECT_TRUE(info.IsModified());

    info.SetModified(false);
    info.SetMMC(true);
    info.SetCDDAGood(true);
    info.SetNoGeneric(true);
    info.SetDeviceWriteSpeed(4, false);
    info.SetDVDWriteSpeed(1385, false);
    EXPECT_FALSE(info.IsModified()) << "fields that are not stored, and the speed lists";

    info.SetWriteCmd(0x2A);
    EXPECT_TRUE(info.IsModified());
    EXPECT_EQ(info.GetWriteCmd(), 0x2Au);
    EXPECT_EQ(info.GetWriteFormat(), 1u);

    info.SetMechType(0x1FF);
    info.SetBufferSize(0x1FFFF);
    EXPECT_EQ(info.GetMechType(), 0xFFu);
    EXPECT_EQ(info.GetBufferSize(), 0xFFFFu);

    info.SetDeviceName("ABCDEFGH IJKLMNOPQRSTUVWXYZ0123456789");
    EXPECT_STREQ(info.GetDeviceName(), "ABCDEFGH IJKLMNOPQRSTUVWXY");
    EXPECT_EQ(std::string(info.GetDeviceName()).size(), 26u);
}

TEST(DDBRecord, CopiesTakeEveryField) {
    DDBInfo original(ddbtest::Record);
    original.SetDeviceName("ACME CDR-1");
    original.SetFileName("/x/ASPIDEV.DDB");
    original.SetRawCmd(0xBE);
    original.SetDeviceWriteSpeed(16, false);
    original.SetNoGeneric(true);
    DDBInfo copy(original);
    EXPECT_STREQ(copy.GetDeviceName(), "ACME CDR-1");
    EXPECT_STREQ(copy.GetFileName(), "/x/ASPIDEV.DDB");
    EXPECT_EQ(copy.GetRawCmd(), 0xBEu);
    EXPECT_EQ(copy.GetDeviceWriteSpeed(-1, false), 16);
    EXPECT_TRUE(copy.IsModified());
    EXPECT_TRUE(copy.IsNoGeneric());

    copy.SetDeviceWriteSpeed(32, false);
    EXPECT_EQ(original.GetDeviceWriteSpeed(-1, false), 16) << "the lists are copied, not shared";

    DDBInfo assigned;
    assigned = original;
    EXPECT_EQ(assigned.GetRawCmd(), 0xBEu);
    EXPECT_EQ(assigned.FormatEntry("CDR-1", 400), original.FormatEntry("CDR-1", 400));
}

TEST(DDBRecord, CopiesUseTheFileIndependently) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", "[ACME]\r\n\tCDR-1:Raw\r\n");
    DDBInfo original(ddbtest::Record);
    original.SetFileName(path.c_str());
    original.SetDeviceName("ACME CDR-1");
    ASSERT_TRUE(original.GetDeviceInfo());   // the original now has its lock
    DDBInfo copy(original);
    copy.Reset();
    ASSERT_TRUE(copy.GetDeviceInfo()) << "the copy makes its own lock";
    EXPECT_TRUE(copy.IsRawModeAvail());
    copy.SetLoadDisc(true);
    ASSERT_TRUE(copy.UpdateDeviceInfo());
    original.Reset();
    ASSERT_TRUE(original.GetDeviceInfo());
    EXPECT_TRUE(original.CanLoadDisc());
}

TEST(DDBWriter, TheEntryOfAFreshlyCheckedDrive) {
    DDBInfo info = CheckedDrive("ACME CDR-1");
    info.SetCDDAEnable(true);
    info.SetMode10(true);
    EXPECT_EQ(info.FormatEntry("CDR-1", 400),
              "\tCDR-1:CDDAScan,Mode10,CDText,NoRaw,NoLoadDisc,CDDALen=0,BufSz=65535,MechType=0,"
              "CDDADen=0,CDDACmd=0,RawCmd=0,TrkInfo=255,LoadEj=0,SubQVal=2,SubRW=0,ErrScan=0,"
              "SpeedCode=255\r\n");
    EXPECT_EQ(info.FormatEntry(nullptr, 400),
              "CDDAScan,Mode10,CDText,NoRaw,NoLoadDisc,CDDALen=0,BufSz=65535,MechType=0,"
              "CDDADen=0,CDDACmd=0,RawCmd=0,TrkInfo=255,LoadEj=0,SubQVal=2,SubRW=0,ErrScan=0,"
              "SpeedCode=255\r\n");
}

TEST(DDBWriter, WrittenWhenRules) {
    DDBInfo info;
    // Defaults: the negatives of clear fields, the always-written numbers.
    EXPECT_EQ(info.FormatEntry(nullptr, 400),
              "CDText,NoCDDAScan,NoModeLen,NoRaw,NoLoadDisc,CDDALen=0,MechType=0,CDDADen=0,CDDACmd=0,"
              "RawCmd=0,TrkInfo=0,LoadEj=0,SubQVal=0,SubRW=0,ErrScan=0,SpeedCode=255\r\n");

    info.SetCDDAMSF(false);
    info.SetCDTextMode(false);
    info.SetProgress(false);
    info.SetCDDAEnable(true);
    info.SetModeLenReq(true);
    info.SetRawModeAvail(true);
    info.SetLoadDisc(true);
    info.SetWriteCmd(0xAA);
    info.SetBuffMax(7);
    EXPECT_EQ(info.FormatEntry(nullptr, 400),
              "CDDAScan,Raw,LoadDisc,NoProgress,CDDALen=0,BfMax=7,MechType=0,CDDADen=0,CDDACmd=0,"
              "RawCmd=0,WCmd=170,TrkInfo=0,LoadEj=0,SubQVal=0,SubRW=0,ErrScan=0,SpeedCode=255,WFmt=1\r\n")
        << "NoCDDAMSF and NoCDText are never written";
}

TEST(DDBWriter, ListsAndSpeedRoundTrip) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", "[ACME]\r\n\tCDR-1:WSpd=4/8/0/4,Speed=12,WDVDSpd=1385\r\n");
    DDBInfo info(ddbtest::Record);
    info.SetFileName(path.c_str());
    info.SetDeviceName("ACME CDR-1");
    ASSERT_TRUE(info.GetDeviceInfo());
    std::string line = info.FormatEntry("CDR-1", 400);
    EXPECT_NE(line.find(",SpeedCode=255,Speed=12,WSpd=4/8/0/4,WDVDSpd=0x569\r\n"), std::string::npos) << line;

    DDBInfo fresh;
    fresh.SetDeviceWriteSpeed(100, false);
    fresh.SetDeviceWriteSpeed(101, false);
    EXPECT_NE(fresh.FormatEntry(nullptr, 400).find(",WSpd=100/0x65/0\r\n"), std::string::npos)
        << "values over 100 are written in hexadecimal";
}

TEST(DDBWriter, AnEntryOverItsLimitProducesNothing) {
    DDBInfo info(ddbtest::Record);
    info.SetDeviceName("ACME CDR-1");
    for (int i = 0; i < 28; ++i) {
        info.SetDeviceWriteSpeed(0x1000 + i, false);
        info.SetDVDWriteSpeed(0x2000 + i, false);
    }
    Raised().clear();
    EXPECT_EQ(info.FormatEntry("CDR-1", 400), "");
    ASSERT_EQ(Raised().size(), 1u);
    EXPECT_EQ(Raised()[0].id, 0);
    EXPECT_EQ(Raised()[0].args[0], "!DDB: Max device info length exceeded for CDR-1");

    Raised().clear();
    EXPECT_EQ(info.FormatEntry(nullptr, 40), "");
    EXPECT_EQ(Raised()[0].args[0], "!DDB: Max device info length exceeded for CDR-1");
    EXPECT_FALSE(info.FormatEntry(nullptr, 1000).empty());
}

TEST(DDBSpeeds, InsertKeepsGroupsAscendingWithoutDuplicates) {
    DDBInfo info;
    info.SetDeviceWriteSpeed(16, false);
    EXPECT_EQ(Table(info, kWSpd), (std::vector<uint16_t>{16, 0, 0xFFFF}));
    info.SetDeviceWriteSpeed(4, false);
    info.SetDeviceWriteSpeed(8, false);
    info.SetDeviceWriteSpeed(8, false);
    info.SetDeviceWriteSpeed(24, false);
    info.SetDeviceWriteSpeed(10, true);
    info.SetDeviceWriteSpeed(2, true);
    info.SetDeviceWriteSpeed(10, true);
    EXPECT_EQ(Table(info, kWSpd), (std::vector<uint16_t>{4, 8, 16, 24, 0, 2, 10, 0xFFFF}));

    DDBInfo second;
    second.SetDVDWriteSpeed(1385, true);
    EXPECT_EQ(Table(second, kWDVDSpd), (std::vector<uint16_t>{0, 1385, 0xFFFF}));
    second.SetDVDWriteSpeed(2770, false);
    EXPECT_EQ(Table(second, kWDVDSpd), (std::vector<uint16_t>{2770, 0, 1385, 0xFFFF}));

    DDBInfo odd;
    odd.SetDeviceWriteSpeed(0, false);
    odd.SetDeviceWriteSpeed(0xFFFF, false);
    odd.SetDeviceWriteSpeed(-3, true);
    EXPECT_EQ(odd.GetDeviceWriteSpeed(-1, false), -1) << "the separator and end mark are no speeds";
}

TEST(DDBSpeeds, AFullTableKeepsItsEndMark) {
    DDBInfo info;
    for (int s = 1; s <= 40; ++s) info.SetDeviceWriteSpeed(s * 2, false);
    std::vector<uint16_t> t = Table(info, kWSpd);
    ASSERT_EQ(t.size(), static_cast<size_t>(DDBInfo::kListEntries));
    EXPECT_EQ(t.back(), DDBInfo::kListEnd);
    EXPECT_EQ(t[27], 56);
    EXPECT_EQ(t[28], 0) << "28 speeds, separator, end mark";
    info.SetDeviceWriteSpeed(3, false);
    info.SetDeviceWriteSpeed(3, true);
    EXPECT_EQ(Table(info, kWSpd), t) << "a full table takes no more";
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, false), 56);
}

TEST(DDBSpeeds, GetDeviceWriteSpeed) {
    DDBInfo info;
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, false), -1);
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, true), -1);
    EXPECT_EQ(info.GetDeviceWriteSpeed(0, false), 0);
    for (int s : {4, 8, 16}) info.SetDeviceWriteSpeed(s, false);
    info.SetDeviceWriteSpeed(6, true);
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, false), 16);
    EXPECT_EQ(info.GetDeviceWriteSpeed(0, false), 4);
    EXPECT_EQ(info.GetDeviceWriteSpeed(2, false), 16);
    EXPECT_EQ(info.GetDeviceWriteSpeed(3, false), 0);
    EXPECT_EQ(info.GetDeviceWriteSpeed(5, false), 0);
    EXPECT_EQ(info.GetDeviceWriteSpeed(-2, false), 0);
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, true), 6);
    EXPECT_EQ(info.GetDeviceWriteSpeed(1, true), 0);

    DDBInfo onlySecond;
    onlySecond.SetDeviceWriteSpeed(6, true);
    EXPECT_EQ(onlySecond.GetDeviceWriteSpeed(-1, false), 0) << "an empty group";
    EXPECT_EQ(onlySecond.GetDeviceWriteSpeed(0, true), 6);
}

TEST(DDBSpeeds, AListWithoutSeparatorFromTheFile) {
    TempDir dir;
    DDBInfo info(ddbtest::Record);
    info.SetFileName(dir.Write("ASPIDEV.DDB", "[ACME]\r\n\tCDR-1:WSpd=4/8\r\n").c_str());
    info.SetDeviceName("ACME CDR-1");
    ASSERT_TRUE(info.GetDeviceInfo());
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, false), 8);
    EXPECT_EQ(info.GetDeviceWriteSpeed(-1, true), 0) << "no separator: no group 2";
    info.SetDeviceWriteSpeed(2, true);
    EXPECT_EQ(Table(info, kWSpd), (std::vector<uint16_t>{4, 8, 0, 2, 0xFFFF}));
}
