// Looking a drive up in the device database and reading its entry.
#include <gtest/gtest.h>

#include "ddb_messages.h"
#include "device/ddb/ddb_info.h"
#include "support/temp_dir.h"

using namespace dravik::device::ddb;
using dravik::device::DDBInfo;
using dravik::test::TempDir;
using ddbtest::CountOf;
using ddbtest::Raised;

namespace {

// A record for `device`, looked up in a database holding `content`.
struct Lookup {
    TempDir dir;
    DDBInfo info{ddbtest::Record};
    bool result = false;

    Lookup(const std::string& content, const char* device, bool noGeneric = false) {
        Raised().clear();
        info.SetFileName(dir.Write("ASPIDEV.DDB", content).c_str());
        info.SetNoGeneric(noGeneric);
        info.SetDeviceName(device);
        info.SetModified(false);
        result = info.GetDeviceInfo();
    }
};

std::string Db(const std::string& entries) { return "# Device information database\r\n[ACME]\r\n" + entries; }

}  // namespace

TEST(DDBLookup, TokensApplyLeftToRightAndKeysIgnoreCase) {
    Lookup a(Db("\tCDR-1:CDDAScan,NoCDDAScan,mode10,RAW,Unknown=7,Whatever\r\n"), "ACME CDR-1");
    ASSERT_TRUE(a.result);
    EXPECT_FALSE(a.info.IsCDDAEnabled());
    EXPECT_TRUE(a.info.IsMode10());
    EXPECT_TRUE(a.info.IsRawModeAvail());
    EXPECT_FALSE(a.info.IsModified()) << "an exact entry does not mark the record";
    EXPECT_TRUE(Raised().empty());

    Lookup b(Db("\tCDR-1:NoCDDAScan,CDDAScan,NoCDText,NoProgress,NoModeLen=5\r\n"), "ACME CDR-1");
    ASSERT_TRUE(b.result);
    EXPECT_TRUE(b.info.IsCDDAEnabled());
    EXPECT_FALSE(b.info.CanReadCDText());
    EXPECT_FALSE(b.info.CanRptProgress());
    EXPECT_FALSE(b.info.IsModeLenReq()) << "a value given to a negative is ignored";
}

TEST(DDBLookup, NumbersInEveryIntegerForm) {
    for (const char* form : {"0x400", "1024", "02000", "0X400"}) {
        Lookup l(Db(std::string("\tCDR-1:BufSz=") + form + ",MechType=0x1ff\r\n"), "ACME CDR-1");
        ASSERT_TRUE(l.result) << form;
        EXPECT_EQ(l.info.GetBufferSize(), 1024u) << form;
        EXPECT_EQ(l.info.GetMechType(), 0xFFu) << "8-bit keys keep the low byte";
    }
    Lookup sixteen(Db("\tCDR-1:BufSz=0x12345,BfMax=-1\r\n"), "ACME CDR-1");
    ASSERT_TRUE(sixteen.result);
    EXPECT_EQ(sixteen.info.GetBufferSize(), 0x2345u);
    EXPECT_EQ(sixteen.info.GetBufferMax(), 0xFFFFu);
}

TEST(DDBLookup, BadNumbersRaise3201AndFail) {
    struct Case {
        const char* values;
        const char* key;
    } cases[] = {{"BufSz=12k", "BufSz"}, {"BufSz=", "BufSz"},       {"Rtry", "Rtry"},
                 {"CDDACmd=09", "CDDACmd"}, {"TrkInfo=0x", "TrkInfo"}, {"WSpd=4/x/8", "WSpd"},
                 {"WSpd=4//8", "WSpd"},     {"SpeedCode=99999999999", "SpeedCode"}};
    for (const Case& c : cases) {
        Lookup l(Db(std::string("\tCDR-1:") + c.values + "\r\n"), "ACME CDR-1");
        EXPECT_FALSE(l.result) << c.values;
        ASSERT_EQ(Raised().size(), 1u) << c.values;
        EXPECT_EQ(Raised()[0].id, 3201);
        EXPECT_EQ(Raised()[0].args[0], c.key);
        EXPECT_EQ(Raised()[0].args[1], "CDR-1");
    }
}

TEST(DDBLookup, ListsReadIntoTwoGroups) {
    Lookup l(Db("\tCDR-1:WSpd=4/8/0/4,WDVDSpd=0x569/2770\r\n"), "ACME CDR-1");
    ASSERT_TRUE(l.result);
    const uint16_t* w = l.info.List(kWSpd);
    EXPECT_EQ(std::vector<uint16_t>(w, w + 5), (std::vector<uint16_t>{4, 8, 0, 4, 0xFFFF}));
    EXPECT_EQ(l.info.GetDeviceWriteSpeed(-1, false), 8);
    EXPECT_EQ(l.info.GetDeviceWriteSpeed(0, true), 4);
    const uint16_t* d = l.info.List(kWDVDSpd);
    EXPECT_EQ(d[0], 1385);
    EXPECT_EQ(d[1], 2770);
    EXPECT_EQ(d[2], 0xFFFF);
}

TEST(DDBLookup, AListLongerThanTheTableKeepsItsEndMark) {
    std::string values = "WSpd=1";
    for (int i = 2; i <= 45; ++i) values += "/" + std::to_string(i);
    Lookup l(Db("\tCDR-1:" + values + "\r\n"), "ACME CDR-1");
    ASSERT_TRUE(l.result);
    const uint16_t* w = l.info.List(kWSpd);
    EXPECT_EQ(w[28], 29);
    EXPECT_EQ(w[DDBInfo::kListEntries - 1], DDBInfo::kListEnd);
    EXPECT_EQ(l.info.GetDeviceWriteSpeed(-1, false), 29);
}

TEST(DDBLookup, SpeedSetsTheSpeedSetFlag) {
    Lookup without(Db("\tCDR-1:SpeedCode=3\r\n"), "ACME CDR-1");
    EXPECT_EQ(without.info.GetSpeedValue(), -1);
    EXPECT_EQ(without.info.GetSpeedCode(), 3u);
    Lookup with(Db("\tCDR-1:Speed=0\r\n"), "ACME CDR-1");
    EXPECT_TRUE(with.info.IsSpeedSet());
    EXPECT_EQ(with.info.GetSpeedValue(), 0);
}

TEST(DDBLookup, NoMode10WinsOverMode10) {
    Lookup l(Db("\tCDR-1:NoMode10,Mode10\r\n"), "ACME CDR-1");
    ASSERT_TRUE(l.result);
    EXPECT_FALSE(l.info.IsMode10());
}

TEST(DDBLookup, WildcardEntriesAndTheNoGenericFlag) {
    const std::string db = Db("\tCRW*:Raw\r\n\tCRW8432:LoadDisc\r\n\t*:CDDAMSF\r\n");
    Lookup wild(db, "ACME crw8432");
    ASSERT_TRUE(wild.result);
    EXPECT_TRUE(wild.info.IsRawModeAvail()) << "the first matching line wins";
    EXPECT_FALSE(wild.info.CanLoadDisc());
    EXPECT_TRUE(wild.info.IsModified()) << "a wildcard match asks for the drive's own entry";

    Lookup exact(db, "ACME CRW8432", true);
    ASSERT_TRUE(exact.result);
    EXPECT_FALSE(exact.info.IsRawModeAvail());
    EXPECT_TRUE(exact.info.CanLoadDisc());
    EXPECT_FALSE(exact.info.IsModified());

    Lookup star(db, "ACME ZIP-100");
    EXPECT_TRUE(star.info.IsCDDAMSF()) << "\"*\" alone matches every product";
    Lookup none(db, "ACME ZIP-100", true);
    EXPECT_FALSE(none.info.IsCDDAMSF());
    EXPECT_FALSE(none.info.IsModified());
}

TEST(DDBLookup, SectionsAndEntriesAreFoundWhereverTheyAre) {
    const std::string db =
        "# comment [ACME]\n[Other]\n\tCDR-1:Raw\n[acme]\n\n   # a comment inside\n  \t CDR-1:LoadDisc,Rtry=3\n[Last]\n";
    Lookup l(db, "ACME CDR-1");
    ASSERT_TRUE(l.result);
    EXPECT_FALSE(l.info.IsRawModeAvail()) << "another vendor's entry";
    EXPECT_TRUE(l.info.CanLoadDisc()) << "lone LF, blanks before the name";
    EXPECT_EQ(l.info.GetRetryCount(), 3u);

    Lookup colon("[VEN%X]\r\n\tPRO%D:Raw\r\n", "VEN:X PRO:D");
    EXPECT_TRUE(colon.info.IsRawModeAvail()) << "\":\" in names is written as \"%\"";

    Lookup noBlank("[SOLO]\r\n\tSOLO:Raw\r\n", "SOLO");
    EXPECT_TRUE(noBlank.info.IsRawModeAvail());
}

TEST(DDBLookup, AMissingSectionOrEntryKeepsTheRecord) {
    Lookup noSection(Db("\tCDR-1:Raw\r\n"), "OTHER CDR-1");
    EXPECT_TRUE(noSection.result);
    EXPECT_FALSE(noSection.info.IsRawModeAvail());
    EXPECT_TRUE(noSection.info.CanReadCDText());
    EXPECT_EQ(noSection.info.GetSpeedCode(), 255u);

    // A line without ":" ends the search: what follows it is not reached.
    Lookup stopped(Db("\tbroken line\r\n\tCDR-1:Raw\r\n"), "ACME CDR-1");
    EXPECT_TRUE(stopped.result);
    EXPECT_FALSE(stopped.info.IsRawModeAvail());
    EXPECT_TRUE(Raised().empty());

    Lookup nextSection(Db("[NEXT]\r\n\tCDR-1:Raw\r\n"), "ACME CDR-1");
    EXPECT_FALSE(nextSection.info.IsRawModeAvail()) << "the search stops at the next section";
}

TEST(DDBLookup, MalformedNamesRaise3201WithTheTextNearTheError) {
    const std::string longName(41, 'P');
    Lookup product(Db("\t" + longName + ":Raw\r\n\tCDR-1:Raw\r\n"), "ACME CDR-1");
    EXPECT_TRUE(product.result);
    EXPECT_FALSE(product.info.IsRawModeAvail());
    ASSERT_EQ(CountOf(3201), 1);
    EXPECT_EQ(Raised()[0].args[0], std::string(39, 'P'));
    EXPECT_EQ(Raised()[0].args[1], "CDR-1");

    const std::string fortyChars(40, 'Q');
    Lookup forty(Db("\t" + fortyChars + ":Raw\r\n\tCDR-1:Raw\r\n"), "ACME CDR-1");
    EXPECT_TRUE(forty.info.IsRawModeAvail()) << "40 characters are allowed";
    EXPECT_TRUE(Raised().empty());

    Lookup header("[BROKEN\r\n[ACME]\r\n\tCDR-1:Raw\r\n", "ACME CDR-1");
    EXPECT_TRUE(header.result);
    EXPECT_FALSE(header.info.IsRawModeAvail()) << "a bad header ends the lookup";
    ASSERT_EQ(CountOf(3201), 1);
    EXPECT_EQ(Raised()[0].args[0], "BROKEN");
    EXPECT_EQ(Raised()[0].args[1], "ACME");

    Lookup longVendor("[" + std::string(41, 'V') + "]\r\n", "ACME CDR-1");
    ASSERT_EQ(CountOf(3201), 1);
    EXPECT_EQ(Raised()[0].args[0], std::string(39, 'V'));
}

TEST(DDBLookup, FileProblems) {
    DDBInfo info(ddbtest::Record);
    Raised().clear();
    EXPECT_TRUE(info.GetDeviceInfo()) << "no file name: nothing to read";
    EXPECT_TRUE(Raised().empty());

    TempDir dir;
    info.SetFileName(dir.File("missing.DDB").c_str());
    EXPECT_FALSE(info.GetDeviceInfo());
    ASSERT_EQ(CountOf(3203), 1);
    EXPECT_EQ(Raised()[0].args[0], dir.File("missing.DDB"));
    EXPECT_FALSE(Raised()[0].args[1].empty());

    Raised().clear();
    info.SetFileName(dir.path().c_str());   // a folder opens but cannot be read
    EXPECT_FALSE(info.GetDeviceInfo());
    EXPECT_EQ(CountOf(3205), 1);
}
