// Checking every entry of a database file, the shipped database, and
// hostile files (malformed lines, random bytes, mutations).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "ddb_messages.h"
#include "device/ddb/ddb_info.h"
#include "platform/atomic_file.h"
#include "support/temp_dir.h"

using dravik::device::DDBInfo;
using ddbtest::CountOf;
using ddbtest::Raised;
using dravik::test::TempDir;

namespace {

struct Analysis {
    TempDir dir;
    DDBInfo info{ddbtest::Record};
    bool result = false;

    explicit Analysis(const std::string& content) {
        Raised().clear();
        info.SetFileName(dir.Write("ASPIDEV.DDB", content).c_str());
        result = info.AnalyzeDatabase();
    }
};

std::vector<std::string> DevicesThatFailed() {
    std::vector<std::string> devices;
    const std::string prefix = "Error returned for device ";
    for (const auto& m : Raised())
        if (m.id == 0 && m.args[0].rfind(prefix, 0) == 0) devices.push_back(m.args[0].substr(prefix.size()));
    return devices;
}

// The database as it ships: the build tree's copy beside bin/.
std::string ShippedDatabase() {
    const char* build = std::getenv("DRAVIK_BUILD_DIR");
    std::string text;
    if (build) dravik::platform::ReadWholeFile(std::string(build) + "/Shared/ASPIDEV.DDB", text);
    return text;
}

}  // namespace

TEST(DDBAnalyze, AGoodFileParsesWhole) {
    Analysis a("# Device information database\r\n# owner\r\n[ACME]\r\n\tCDR-1:Raw,BufSz=0x400\r\n"
               "\tCRW*:LoadDisc\r\n\n[OTHER CO]\n\t*:WSpd=4/8/0/4\n");
    EXPECT_TRUE(a.result);
    EXPECT_TRUE(Raised().empty());
    EXPECT_EQ(a.info.GetAnalysis().sections, 2);
    EXPECT_EQ(a.info.GetAnalysis().entries, 3);
    EXPECT_EQ(a.info.GetAnalysis().failures, 0);
    EXPECT_TRUE(a.info.IsRawModeAvail()) << "the record keeps what the entries set";
    EXPECT_TRUE(a.info.CanLoadDisc());
    EXPECT_EQ(a.info.GetDeviceWriteSpeed(-1, true), 4);
    EXPECT_STREQ(a.info.GetDeviceName(), "OTHER CO *X");

    Analysis empty("");
    EXPECT_TRUE(empty.result);
    DDBInfo unnamed(ddbtest::Record);
    EXPECT_TRUE(unnamed.AnalyzeDatabase()) << "no file name";
    Raised().clear();
    unnamed.SetFileName("/nonexistent/ASPIDEV.DDB");
    EXPECT_FALSE(unnamed.AnalyzeDatabase());
    EXPECT_EQ(CountOf(3203), 1);
}

TEST(DDBAnalyze, EveryBadEntryIsReportedAndTheRestChecked) {
    Analysis a("[ACME]\r\n\tCDR-1:Raw\r\n\tCDR-2:BufSz=12k\r\n\tCDR-3:WSpd=1/a\r\n\tCDR-4:Raw\r\n");
    EXPECT_FALSE(a.result);
    EXPECT_EQ(a.info.GetAnalysis().entries, 4);
    EXPECT_EQ(a.info.GetAnalysis().failures, 2);
    EXPECT_EQ(DevicesThatFailed(), (std::vector<std::string>{"ACME CDR-2", "ACME CDR-3"}));
    ASSERT_EQ(CountOf(3201), 2);
    EXPECT_EQ(Raised()[0].args[0], "BufSz");
    EXPECT_EQ(Raised()[0].args[1], "CDR-2");
}

TEST(DDBAnalyze, EntriesALookupWouldHideAreCheckedToo) {
    // A wildcard or duplicate entry before a bad one would stop a lookup by
    // name; a long vendor and product would not fit the device name.
    Analysis a("[ACME]\r\n\t*:Raw\r\n\tCRW*:BufSz=12k\r\n\tCDR-1:Raw\r\n\tCDR-1:Rtry=x\r\n"
               "[A VERY LONG VENDOR NAME]\r\n\tAND A LONG PRODUCT NAME:SerNbr=q\r\n");
    EXPECT_FALSE(a.result);
    EXPECT_EQ(DevicesThatFailed(),
              (std::vector<std::string>{"ACME CRW*", "ACME CDR-1", "A VERY LONG VENDOR NAME AND A LONG PRODUCT NAME"}));
    EXPECT_EQ(std::string(a.info.GetDeviceName()).size(), DDBInfo::kDeviceNameChars);
}

TEST(DDBAnalyze, MalformedLinesRaise3201WithTheTextNearTheError) {
    struct Case {
        std::string content;
        std::string near;
    } cases[] = {
        {"[BROKEN\r\n\tCDR-1:Raw\r\n", "BROKEN"},
        {"[" + std::string(41, 'V') + "]\r\n", std::string(39, 'V')},
        {"[ACME]\r\n\t" + std::string(41, 'P') + ":Raw\r\n", std::string(39, 'P')},
        {"[ACME]\r\n\tno colon here\r\n", "no colon here"},
        {"stray text before any section\r\n[ACME]\r\n", "stray text before any section"},
    };
    for (const Case& c : cases) {
        Analysis a(c.content);
        EXPECT_FALSE(a.result) << c.content;
        ASSERT_GE(CountOf(3201), 1) << c.content;
        EXPECT_EQ(Raised()[0].id, 3201);
        EXPECT_EQ(Raised()[0].args[0], c.near) << c.content;
        EXPECT_EQ(a.info.GetAnalysis().failures, 1) << c.content;
    }
    Analysis recovered("[BROKEN\r\n\tX:Raw\r\n[ACME]\r\n\tCDR-1:LoadDisc\r\n");
    EXPECT_EQ(recovered.info.GetAnalysis().sections, 1) << "entries under a bad header are skipped";
    EXPECT_TRUE(recovered.info.CanLoadDisc());
}

TEST(DDBAnalyze, TheShippedDatabaseParses) {
    std::string shipped = ShippedDatabase();
    ASSERT_FALSE(shipped.empty()) << "Shared/ASPIDEV.DDB not found";
    EXPECT_EQ(shipped.rfind("# Device information database\r\n", 0), 0u);
    for (std::size_t i = 0; i < shipped.size(); ++i)
        if (shipped[i] == '\n') {
            ASSERT_EQ(shipped[i - 1], '\r') << "line end at " << i;
        }
    Analysis a(shipped);
    EXPECT_TRUE(a.result);
    EXPECT_TRUE(Raised().empty());
    EXPECT_GE(a.info.GetAnalysis().sections, 10);

    // A drive of a listed vendor gets the generic values and asks for its
    // own entry; the update keeps the file parseable.
    DDBInfo drive(ddbtest::Record);
    drive.SetFileName(a.dir.File("ASPIDEV.DDB").c_str());
    drive.SetDeviceName("HL-DT-ST DVDRAM GH24NSD1");
    ASSERT_TRUE(drive.GetDeviceInfo());
    EXPECT_TRUE(drive.IsModified());
    EXPECT_EQ(drive.GetRawCmd(), 0xBEu);
    EXPECT_EQ(drive.GetTrackInfoCmd(), 0x52u);
    EXPECT_TRUE(drive.UpdateDeviceInfo());
    DDBInfo again(ddbtest::Record);
    again.SetFileName(a.dir.File("ASPIDEV.DDB").c_str());
    EXPECT_TRUE(again.AnalyzeDatabase());
    EXPECT_EQ(again.GetAnalysis().entries, a.info.GetAnalysis().entries + 1);
}

TEST(DDBAnalyze, RandomBytesNeverCrash) {
    std::mt19937 random(20260101);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(512 + round * 97, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        bytes[0] = 'x';   // surely not a comment
        Analysis a(bytes);
        EXPECT_FALSE(a.result);
        EXPECT_GE(CountOf(3201), 1);
        EXPECT_EQ(static_cast<int>(DevicesThatFailed().size()), a.info.GetAnalysis().failures);
        a.info.SetDeviceName("ACME CDR-1");
        a.info.GetDeviceInfo();
    }
}

// Mutated databases: the analysis, a lookup and an update run on each under
// the sanitizers. Where the mutated file still parses, an update must leave
// it parseable and findable.
TEST(DDBAnalyze, MutatedDatabases) {
    std::string base = ShippedDatabase();
    ASSERT_FALSE(base.empty());
    base += "[ACME]\r\n\tCDR-1:Raw,WSpd=4/8/0/4,WDVDSpd=0x569,Speed=4\r\n\tCRW*:BufSz=0x400\r\n";
    const std::string alphabet = "[]:,=/*#\t \r\n\0x0%-9AZ";
    std::mt19937 random(4242);
    int stillGood = 0;
    for (int round = 0; round < 300; ++round) {
        std::string text = base;
        int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            std::size_t at = random() % text.size();
            char c = alphabet[random() % alphabet.size()];
            switch (random() % 4) {
            case 0: text[at] = c; break;
            case 1: text.insert(at, 1, c); break;
            case 2: text.erase(at, 1 + random() % 40); break;
            default: text.resize(at); break;
            }
        }
        Analysis a(text);
        EXPECT_EQ(a.result, a.info.GetAnalysis().failures == 0);
        EXPECT_EQ(static_cast<int>(DevicesThatFailed().size()), a.info.GetAnalysis().failures);

        DDBInfo drive(ddbtest::Record);
        drive.SetFileName(a.dir.File("ASPIDEV.DDB").c_str());
        drive.SetDeviceName(round % 2 ? "ACME CRW8432" : "FUZZ DRIVE");
        drive.GetDeviceInfo();
        drive.GetDeviceWriteSpeed(-1, true);
        drive.SetMechType(round & 0xFF);
        drive.SetNoGeneric(true);
        bool updated = drive.UpdateDeviceInfo();
        if (!a.result || !updated) continue;
        ++stillGood;
        DDBInfo check(ddbtest::Record);
        check.SetFileName(a.dir.File("ASPIDEV.DDB").c_str());
        EXPECT_TRUE(check.AnalyzeDatabase()) << "round " << round;
        DDBInfo found(ddbtest::Record);
        found.SetFileName(a.dir.File("ASPIDEV.DDB").c_str());
        found.SetDeviceName(drive.GetDeviceName());
        found.SetNoGeneric(true);
        ASSERT_TRUE(found.GetDeviceInfo()) << "round " << round;
        EXPECT_EQ(found.FormatEntry("P", 400), drive.FormatEntry("P", 400)) << "round " << round;
    }
    EXPECT_GT(stillGood, 10) << "the mutations should leave some files valid";
}
