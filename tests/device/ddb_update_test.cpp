// Writing a drive's entry back into the device database.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "ddb_messages.h"
#include "device/ddb/ddb_info.h"
#include "device/test_seams.h"
#include "platform/atomic_file.h"
#include "platform/file_lock.h"
#include "platform/test_seams.h"
#include "support/temp_dir.h"

using namespace dravik::device::ddb;
using dravik::device::DDBInfo;
using ddbtest::CountOf;
using ddbtest::Raised;
using dravik::test::TempDir;

namespace {

const std::string kHeader = "# Device information database\r\n# Maintained by tests.\r\n";

// A record for `device` whose lookup in `path` has run.
DDBInfo LookedUp(const std::string& path, const char* device) {
    DDBInfo info(ddbtest::Record);
    info.SetFileName(path.c_str());
    info.SetDeviceName(device);
    info.SetModified(false);
    EXPECT_TRUE(info.GetDeviceInfo());
    return info;
}

// Clears the fault hooks when a test ends, however it ends.
struct HookReset {
    ~HookReset() {
        dravik::platform::test_seams::SetWriteFaultHook(nullptr);
        dravik::device::test_seams::SetUpdateOpenFaultHook(nullptr);
    }
};

}  // namespace

TEST(DDBUpdate, AnExactEntryIsRewrittenInPlace) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", kHeader + "[ACME]\r\n\tOTHER:Raw\r\n\tcdr-1:Raw,Junk\r\n\tLAST:Raw\r\n");
    DDBInfo info = LookedUp(path, "ACME CDR-1");
    info.SetLoadDisc(true);
    Raised().clear();
    ASSERT_TRUE(info.UpdateDeviceInfo());
    EXPECT_TRUE(Raised().empty());
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), kHeader + "[ACME]\r\n\tOTHER:Raw\r\n\tcdr-1:" + info.FormatEntry(nullptr, 400) +
                                           "\tLAST:Raw\r\n");
    EXPECT_TRUE(info.IsModified()) << "the flag stays as it was";

    // The same without a line end after the entry.
    std::string tail = dir.Write("T.DDB", "[ACME]\n\tCDR-1:Raw");
    DDBInfo last = LookedUp(tail, "ACME CDR-1");
    last.SetMechType(1);
    ASSERT_TRUE(last.UpdateDeviceInfo());
    EXPECT_EQ(dir.Read("T.DDB"), "[ACME]\n\tCDR-1:" + last.FormatEntry(nullptr, 400));
}

TEST(DDBUpdate, AWildcardMatchAddsTheDrivesOwnEntryFirstInItsSection) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", kHeader + "[ACME]\r\n\tCRW*:Raw,BufSz=0x400\r\n[NEXT]\r\n\tX:Raw\r\n");
    DDBInfo info = LookedUp(path, "ACME CRW8432");
    ASSERT_TRUE(info.IsModified());
    ASSERT_TRUE(info.UpdateDeviceInfo());
    std::string expected = kHeader + "[ACME]\r\n" + info.FormatEntry("CRW8432", 400) +
                           "\tCRW*:Raw,BufSz=0x400\r\n[NEXT]\r\n\tX:Raw\r\n";
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), expected);
    EXPECT_NE(expected.find("\tCRW8432:Raw,CDText,"), std::string::npos) << "settings come from the generic entry";

    // Now the exact entry is found first and rewritten.
    DDBInfo again = LookedUp(path, "ACME CRW8432");
    EXPECT_FALSE(again.IsModified());
    EXPECT_EQ(again.GetBufferSize(), 1024u);
}

TEST(DDBUpdate, ANewVendorGetsASectionAtTheEnd) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", kHeader + "[ACME]\r\n\tCDR-1:Raw\r\n");
    DDBInfo info = LookedUp(path, "NEW:CO DRIVE:2");
    info.SetCDDAEnable(true);
    ASSERT_TRUE(info.UpdateDeviceInfo());
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"),
              kHeader + "[ACME]\r\n\tCDR-1:Raw\r\n" + "\r\n[NEW%CO]\r\n" + info.FormatEntry("DRIVE%2", 400));
    DDBInfo back = LookedUp(path, "NEW:CO DRIVE:2");
    EXPECT_TRUE(back.IsCDDAEnabled());
}

TEST(DDBUpdate, AHeaderOnTheLastLineWithoutLineEnd) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", "[ACME]");
    DDBInfo info = LookedUp(path, "ACME CDR-1");
    info.SetRawModeAvail(true);
    ASSERT_TRUE(info.UpdateDeviceInfo());
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), "[ACME]\r\n" + info.FormatEntry("CDR-1", 400));
    EXPECT_TRUE(LookedUp(path, "ACME CDR-1").IsRawModeAvail());
}

TEST(DDBUpdate, NothingToWrite) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", kHeader + "[ACME]\r\n\tCDR-1:Raw\r\n");
    struct timeval old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimes(path.c_str(), old), 0);
    DDBInfo info = LookedUp(path, "ACME CDR-1");
    ASSERT_FALSE(info.IsModified());
    EXPECT_TRUE(info.UpdateDeviceInfo());
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1000000000) << "an unchanged record leaves the file alone";
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), kHeader + "[ACME]\r\n\tCDR-1:Raw\r\n");

    DDBInfo unnamed(ddbtest::Record);
    unnamed.SetDeviceName("ACME CDR-1");
    EXPECT_FALSE(unnamed.UpdateDeviceInfo()) << "no file name";
}

TEST(DDBUpdate, AnEntryOverItsLimitLeavesTheFileUnchanged) {
    TempDir dir;
    const std::string content = kHeader + "[ACME]\r\n\tCDR-1:Raw\r\n";
    std::string path = dir.Write("ASPIDEV.DDB", content);
    DDBInfo info = LookedUp(path, "ACME CDR-1");
    for (int i = 0; i < 28; ++i) info.SetDVDWriteSpeed(0x1000 + i, false), info.SetDeviceWriteSpeed(0x100 + i, true);
    info.SetModified(true);
    Raised().clear();
    EXPECT_FALSE(info.UpdateDeviceInfo());
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), content);
    ASSERT_EQ(Raised().size(), 1u);
    EXPECT_EQ(Raised()[0].args[0], "!DDB: Max device info length exceeded for CDR-1");
    info.SetDeviceName("ACME CDR-2");
    EXPECT_FALSE(info.UpdateDeviceInfo()) << "nor is a new entry added";
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), content);
}

TEST(DDBUpdate, AFailedWriteLeavesTheOldFileWhole) {
    HookReset reset;
    for (const char* stage : {"write", "sync", "rename"}) {
        TempDir dir;
        const std::string content = kHeader + "[ACME]\r\n\tCDR-1:Raw\r\n";
        std::string path = dir.Write("ASPIDEV.DDB", content);
        DDBInfo info = LookedUp(path, "ACME CDR-1");
        info.SetLoadDisc(true);
        dravik::platform::test_seams::SetWriteFaultHook(
            [&](std::string_view s) { return s == stage ? ENOSPC : 0; });
        Raised().clear();
        EXPECT_FALSE(info.UpdateDeviceInfo()) << stage;
        dravik::platform::test_seams::SetWriteFaultHook(nullptr);
        EXPECT_EQ(dir.Read("ASPIDEV.DDB"), content) << stage;
        ASSERT_EQ(CountOf(3207), 1) << stage;
        EXPECT_EQ(Raised()[0].args[0], dir.File("ASPIDEV.$$$")) << stage;
        EXPECT_EQ(Raised()[0].args[1], dravik::platform::ErrorText(ENOSPC));
        EXPECT_NE(access(dir.File("ASPIDEV.$$$").c_str(), F_OK), 0) << "no temporary file is left";
    }
}

TEST(DDBUpdate, TheTemporaryNameReplacesTheExtensionOfTheNameOnly) {
    HookReset reset;
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("a.b").c_str(), 0700), 0);
    std::string path = dir.Write("a.b/DATABASE", "[ACME]\r\n");
    DDBInfo info = LookedUp(path, "ACME CDR-1");
    info.SetModified(true);
    dravik::platform::test_seams::SetWriteFaultHook([](std::string_view) { return EIO; });
    Raised().clear();
    EXPECT_FALSE(info.UpdateDeviceInfo());
    ASSERT_EQ(CountOf(3207), 1);
    EXPECT_EQ(Raised()[0].args[0], dir.File("a.b/DATABASE.$$$"));
}

TEST(DDBUpdate, AFileTheUserMayNotWriteFailsWithoutAMessage) {
    HookReset reset;
    TempDir dir;
    const std::string content = "[ACME]\r\n\tCDR-1:Raw\r\n";
    std::string path = dir.Write("ASPIDEV.DDB", content);
    DDBInfo info = LookedUp(path, "ACME CDR-1");
    info.SetLoadDisc(true);
    for (int denied : {EACCES, EPERM, EROFS}) {
        dravik::device::test_seams::SetUpdateOpenFaultHook([&](const std::string&) { return denied; });
        Raised().clear();
        EXPECT_FALSE(info.UpdateDeviceInfo()) << denied;
        EXPECT_TRUE(Raised().empty()) << denied;
    }
    dravik::device::test_seams::SetUpdateOpenFaultHook([](const std::string&) { return EIO; });
    Raised().clear();
    EXPECT_FALSE(info.UpdateDeviceInfo());
    ASSERT_EQ(CountOf(3203), 1) << "other failures are reported";
    EXPECT_EQ(Raised()[0].args[0], path);
    dravik::device::test_seams::SetUpdateOpenFaultHook(nullptr);
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), content);
    EXPECT_TRUE(info.UpdateDeviceInfo());

    DDBInfo missing(ddbtest::Record);
    missing.SetFileName(dir.File("gone.DDB").c_str());
    missing.SetDeviceName("ACME CDR-1");
    Raised().clear();
    EXPECT_FALSE(missing.UpdateDeviceInfo());
    EXPECT_EQ(CountOf(3203), 1) << "the library never creates the file";
    EXPECT_NE(access(dir.File("gone.DDB").c_str(), F_OK), 0);
}

// The real permission check, in a child process that file permissions
// apply to (root gives up its rights for user nobody first).
TEST(DDBUpdate, AReadOnlyFileOnDisk) {
    TempDir dir;
    const std::string content = "[ACME]\r\n\tCDR-1:Raw\r\n";
    std::string path = dir.Write("ASPIDEV.DDB", content);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(20);
        Raised().clear();
        DDBInfo info(ddbtest::Record);
        info.SetFileName(path.c_str());
        info.SetDeviceName("ACME CDR-1");
        if (!info.GetDeviceInfo()) _exit(21);
        info.SetLoadDisc(true);
        if (info.UpdateDeviceInfo()) _exit(22);
        if (!Raised().empty()) _exit(23);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "20: could not drop root, 21: lookup failed, 22: update succeeded, "
                                         "23: a message was raised";
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), content);
}

TEST(DDBUpdate, PermissionsAndSymbolicLinksAreKept) {
    TempDir dir;
    std::string real = dir.Write("real.DDB", "[ACME]\r\n");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink(real.c_str(), dir.File("ASPIDEV.DDB").c_str()), 0);
    DDBInfo info = LookedUp(dir.File("ASPIDEV.DDB"), "ACME CDR-1");
    info.SetRawModeAvail(true);
    ASSERT_TRUE(info.UpdateDeviceInfo());
    struct stat st {};
    ASSERT_EQ(lstat(dir.File("ASPIDEV.DDB").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.Read("real.DDB"), "[ACME]\r\n" + info.FormatEntry("CDR-1", 400));
}

TEST(DDBUpdate, TheFileIsLockedWhileAnUpdateRuns) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", "[ACME]\r\n");
    DDBInfo info = LookedUp(path, "ACME CDR-1");
    info.SetRawModeAvail(true);
    dravik::platform::FileLock held(path);
    ASSERT_TRUE(held.Acquire());
    std::atomic<bool> done{false};
    std::thread updater([&] {
        EXPECT_TRUE(info.UpdateDeviceInfo());
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(done.load()) << "the update waits for the lock on the file's path";
    EXPECT_EQ(dir.Read("ASPIDEV.DDB"), "[ACME]\r\n");
    held.Release();
    updater.join();
    EXPECT_TRUE(done.load());
    EXPECT_NE(dir.Read("ASPIDEV.DDB").find("CDR-1:"), std::string::npos);
}

TEST(DDBUpdate, TwoProcessesAddingDrivesLoseNothing) {
    TempDir dir;
    std::string path = dir.Write("ASPIDEV.DDB", "# Device information database\r\n[ACME]\r\n");
    constexpr int kDrives = 20;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            for (int i = 0; i < kDrives; ++i) {
                DDBInfo info;
                info.SetFileName(path.c_str());
                std::string name = "ACME " + std::string(1, static_cast<char>('A' + c)) + std::to_string(i);
                info.SetDeviceName(name.c_str());
                if (!info.GetDeviceInfo()) _exit(30);
                info.SetBufferSize(100 + i);
                if (!info.UpdateDeviceInfo()) _exit(31);
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (char set : {'A', 'B'}) {
        for (int i = 0; i < kDrives; ++i) {
            std::string name = "ACME " + std::string(1, set) + std::to_string(i);
            DDBInfo info = LookedUp(path, name.c_str());
            EXPECT_EQ(info.GetBufferSize(), static_cast<unsigned>(100 + i)) << name;
        }
    }
    DDBInfo all(ddbtest::Record);
    all.SetFileName(path.c_str());
    EXPECT_TRUE(all.AnalyzeDatabase());
    EXPECT_EQ(all.GetAnalysis().entries, 2 * kDrives);
}
