// The settings hives on disk: keys and values through RegistryKey, the
// read-only machine hive, two writing processes, failed writes, damaged
// files and where the hives live.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/atomic_file.h"
#include "platform/hive_locations.h"
#include "platform/registry_hive.h"
#include "platform/test_seams.h"
#include "support/run_unprivileged.h"
#include "support/temp_dir.h"

using namespace dravik::platform;
using dravik::test::TempDir;

namespace {

class RegistryHive : public ::testing::Test {
protected:
    void SetUp() override { setenv(kConfigDirVariable, dir.path().c_str(), 1); }
    void TearDown() override {
        test_seams::SetWriteFaultHook(nullptr);
        unsetenv(kConfigDirVariable);
    }

    uint32_t Number(const RegistryKey& key, const char* name) {
        RegistryValue value;
        uint32_t number = 0xDEADBEEF;
        if (key.QueryValue(name, value) == kRegSuccess && value.type == REG_DWORD) DwordFromData(value.data, number);
        return number;
    }

    std::vector<std::string> FilesInDir() {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir.path().c_str())) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }

    TempDir dir;
};

}  // namespace

TEST_F(RegistryHive, ValuesOfEveryTypeSurviveAReopen) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", KeyAccess::Full, key), kRegSuccess);
    std::string blob("\x00\x01\xfe\xff", 4);
    EXPECT_EQ(key.SetValue("TempPath", REG_SZ, "/tmp/dravik \"x\"/"), kRegSuccess);
    EXPECT_EQ(key.SetValue("Help", REG_EXPAND_SZ, "$HOME/help"), kRegSuccess);
    EXPECT_EQ(key.SetValue("IgnoreJoliet", REG_DWORD, DwordData(1)), kRegSuccess);
    EXPECT_EQ(key.SetValue("Columns", REG_BINARY, blob), kRegSuccess);
    key.Close();
    EXPECT_NE(dir.Read("user.reg").find("[Software\\Quenby\\Dravik]"), std::string::npos);
    EXPECT_TRUE(dir.Read("machine.reg").empty()) << "the per-user hive is its own file";

    RegistryKey again;
    ASSERT_EQ(RegistryKey::Open(HiveRoot::CurrentUser, "SOFTWARE\\quenby\\DRAVIK", KeyAccess::Query, again), kRegSuccess);
    RegistryValue value;
    ASSERT_EQ(again.QueryValue("temppath", value), kRegSuccess);
    EXPECT_EQ(value.type, REG_SZ);
    EXPECT_EQ(value.data, "/tmp/dravik \"x\"/");
    ASSERT_EQ(again.QueryValue("Help", value), kRegSuccess);
    EXPECT_EQ(value.type, REG_EXPAND_SZ);
    EXPECT_EQ(value.data, "$HOME/help");
    EXPECT_EQ(Number(again, "IgnoreJoliet"), 1u);
    ASSERT_EQ(again.QueryValue("Columns", value), kRegSuccess);
    EXPECT_EQ(value.type, REG_BINARY);
    EXPECT_EQ(value.data, blob);
    EXPECT_EQ(again.QueryValue("Missing", value), kRegNotFound);
    EXPECT_EQ(again.SetValue("x", REG_DWORD, DwordData(2)), kRegAccessDenied) << "query rights do not write";
}

TEST_F(RegistryHive, KeysEnumerateInCreationOrderAndDelete) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::LocalMachine, "SOFTWARE\\Quenby\\DeviceIntf", KeyAccess::Full, key),
              kRegSuccess);
    for (const char* name : {"UseSPTI", "CrashDetect", "AdapterBypass"}) key.SetValue(name, REG_DWORD, DwordData(0));
    key.SetValue("usespti", REG_DWORD, DwordData(1));  // same value, other spelling
    RegistryKey sub;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::LocalMachine, "SOFTWARE\\Quenby\\DeviceIntf\\B\\Inner", KeyAccess::Full, sub),
              kRegSuccess);
    ASSERT_EQ(RegistryKey::Create(HiveRoot::LocalMachine, "SOFTWARE\\Quenby\\DeviceIntf\\A", KeyAccess::Full, sub),
              kRegSuccess);

    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; key.EnumValueName(i, name) == kRegSuccess; ++i) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"UseSPTI", "CrashDetect", "AdapterBypass"}));
    EXPECT_EQ(Number(key, "UseSPTI"), 1u);
    EXPECT_EQ(key.EnumValueName(3, name), kRegNoMoreItems);
    names.clear();
    for (uint32_t i = 0; key.EnumSubkeyName(i, name) == kRegSuccess; ++i) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(key.EnumSubkeyName(2, name), kRegNoMoreItems);

    EXPECT_EQ(key.DeleteValue("crashdetect"), kRegSuccess);
    EXPECT_EQ(key.DeleteValue("CrashDetect"), kRegNotFound);
    EXPECT_EQ(key.DeleteSubkey("b"), kRegSuccess) << "a subkey goes with what is below it";
    EXPECT_EQ(key.DeleteSubkey("B"), kRegNotFound);
    EXPECT_EQ(RegistryKey::Open(HiveRoot::LocalMachine, "SOFTWARE\\Quenby\\DeviceIntf\\B\\Inner", KeyAccess::Query, sub),
              kRegNotFound);
    ASSERT_EQ(key.EnumSubkeyName(0, name), kRegSuccess);
    EXPECT_EQ(name, "A");
    EXPECT_EQ(key.EnumValueName(1, name), kRegSuccess);
    EXPECT_EQ(name, "AdapterBypass");

    // A key deleted behind an open handle is reported, not recreated.
    RegistryKey parent;
    ASSERT_EQ(RegistryKey::Open(HiveRoot::LocalMachine, "SOFTWARE\\Quenby", KeyAccess::Full, parent), kRegSuccess);
    EXPECT_EQ(parent.DeleteSubkey("DeviceIntf"), kRegSuccess);
    EXPECT_EQ(key.SetValue("UseSPTI", REG_DWORD, DwordData(1)), kRegKeyDeleted);
    EXPECT_EQ(key.EnumValueName(0, name), kRegKeyDeleted);
    EXPECT_EQ(RegistryKey::Create(HiveRoot::LocalMachine, "A\nB", KeyAccess::Full, sub), kRegInvalidParameter);
}

TEST_F(RegistryHive, ReadOnlyMachineHiveReadsButRefusesWrites) {
    {
        RegistryKey key;
        ASSERT_EQ(RegistryKey::Create(HiveRoot::LocalMachine, "SOFTWARE\\Quenby\\DeviceIntf", KeyAccess::Full, key),
                  kRegSuccess);
        ASSERT_EQ(key.SetValue("UseSPTI", REG_DWORD, DwordData(1)), kRegSuccess);
    }
    std::string before = dir.Read("machine.reg");
    chmod(dir.File("machine.reg").c_str(), 0444);
    chmod(dir.path().c_str(), 0555);

    int failed = dravik::test::RunUnprivileged([] {
        RegistryKey key;
        if (RegistryKey::Create(HiveRoot::LocalMachine, "SOFTWARE\\Quenby\\DeviceIntf", KeyAccess::Full, key) !=
            kRegAccessDenied)
            return 1;
        if (RegistryKey::Create(HiveRoot::LocalMachine, "SOFTWARE\\Quenby\\DeviceIntf", KeyAccess::Query, key) !=
            kRegSuccess)
            return 2;
        RegistryValue value;
        uint32_t number = 0;
        if (key.QueryValue("UseSPTI", value) != kRegSuccess || !DwordFromData(value.data, number) || number != 1) return 3;
        if (key.SetValue("UseSPTI", REG_DWORD, DwordData(0)) != kRegAccessDenied) return 4;
        RegistryKey other;
        if (RegistryKey::Create(HiveRoot::LocalMachine, "SOFTWARE\\Other", KeyAccess::Query, other) != kRegAccessDenied)
            return 5;
        return 0;
    });
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(dir.Read("machine.reg"), before);
}

TEST_F(RegistryHive, TwoProcessesWritingAtOnceKeepBothTheirValues) {
    constexpr int kValuesEach = 60;
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            for (int i = 0; i < kValuesEach; ++i) {
                RegistryKey key;
                if (RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", KeyAccess::Full, key)) _exit(1);
                std::string name = "P" + std::to_string(child) + "-" + std::to_string(i);
                if (key.SetValue(name, REG_DWORD, DwordData(i))) _exit(2);
            }
            _exit(0);
        }
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Open(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", KeyAccess::Query, key), kRegSuccess);
    for (int child = 0; child < 2; ++child)
        for (int i = 0; i < kValuesEach; ++i) {
            std::string name = "P" + std::to_string(child) + "-" + std::to_string(i);
            EXPECT_EQ(Number(key, name.c_str()), static_cast<uint32_t>(i)) << name;
        }
}

TEST_F(RegistryHive, FailedWriteLeavesTheOldHive) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", KeyAccess::Full, key), kRegSuccess);
    ASSERT_EQ(key.SetValue("Width", REG_DWORD, DwordData(100)), kRegSuccess);
    std::string before = dir.Read("user.reg");
    for (const char* stage : {"write", "sync", "rename"}) {
        test_seams::SetWriteFaultHook([stage](std::string_view at) { return at == stage ? EIO : 0; });
        EXPECT_NE(key.SetValue("Width", REG_DWORD, DwordData(200)), kRegSuccess) << stage;
        EXPECT_NE(key.DeleteValue("Width"), kRegSuccess) << stage;
        test_seams::SetWriteFaultHook(nullptr);
        EXPECT_EQ(dir.Read("user.reg"), before) << stage;
        EXPECT_EQ(Number(key, "Width"), 100u) << stage << ": what a reader sees is what is on disk";
    }
    test_seams::SetWriteFaultHook([](std::string_view) { return ENOSPC; });
    EXPECT_EQ(key.SetValue("Width", REG_DWORD, DwordData(200)), kRegDiskFull);
    test_seams::SetWriteFaultHook(nullptr);
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"user.reg"}) << "no temporary file is left";
}

TEST_F(RegistryHive, WritingAValueItAlreadyHasLeavesTheFileAlone) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", KeyAccess::Full, key), kRegSuccess);
    ASSERT_EQ(key.SetValue("CrashDetect", REG_DWORD, DwordData(0)), kRegSuccess);
    struct stat before {};
    ASSERT_EQ(stat(dir.File("user.reg").c_str(), &before), 0);

    int writes = 0;
    test_seams::SetWriteFaultHook([&writes](std::string_view at) {
        if (at == "write") ++writes;
        return 0;
    });
    EXPECT_EQ(key.SetValue("CrashDetect", REG_DWORD, DwordData(0)), kRegSuccess);
    EXPECT_EQ(writes, 0) << "the same data again is not written (each write flushes to the disk)";
    struct stat after {};
    ASSERT_EQ(stat(dir.File("user.reg").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the file was not replaced";

    EXPECT_EQ(key.SetValue("CrashDetect", REG_DWORD, DwordData(1)), kRegSuccess);
    EXPECT_EQ(writes, 1) << "a changed value is written";
    EXPECT_EQ(key.SetValue("CrashDetect", REG_SZ, std::string("\0\0\0\0", 4)), kRegSuccess);
    EXPECT_EQ(writes, 2) << "a changed type is a change";
    test_seams::SetWriteFaultHook(nullptr);
    EXPECT_EQ(Number(key, "CrashDetect"), 0xDEADBEEFu);
}

TEST_F(RegistryHive, DamagedFileIsReportedOnceAndKeptBeforeTheFirstWrite) {
    std::string damaged = "[Software\\Quenby\\Dravik]\n\"Width\"=dword:64\n\"Oops\"=\"caf\xe9\"\n";
    dir.Write("user.reg", damaged);

    ::testing::internal::CaptureStderr();
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", KeyAccess::Query, key), kRegSuccess)
        << "the damaged hive reads as empty; the key is created on a new file";
    std::string firstReport = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(firstReport.find(dir.File("user.reg") + " is not valid"), std::string::npos) << firstReport;
    EXPECT_NE(firstReport.find(".bad-"), std::string::npos) << "creating the key wrote, so the file was kept first";

    std::vector<std::string> files = FilesInDir();
    ASSERT_EQ(files.size(), 2u);
    std::string backup = files[0] == "user.reg" ? files[1] : files[0];
    EXPECT_EQ(backup.rfind("user.reg.bad-", 0), 0u) << backup;
    EXPECT_EQ(dir.Read(backup), damaged);
    EXPECT_EQ(Number(key, "Width"), 0xDEADBEEFu) << "nothing of the damaged file is half-read";

    // A file damaged while in use: reads report it once, the next write keeps it.
    dir.Write("user.reg", "garbage\n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Number(key, "Width"), 0xDEADBEEFu);
    EXPECT_EQ(Number(key, "Width"), 0xDEADBEEFu);
    RegistryKey full;
    ASSERT_EQ(RegistryKey::Open(HiveRoot::CurrentUser, "", KeyAccess::Full, full), kRegSuccess);
    std::string report = ::testing::internal::GetCapturedStderr();
    size_t lines = 0;
    for (size_t at = report.find("is not valid"); at != std::string::npos; at = report.find("is not valid", at + 1)) ++lines;
    EXPECT_EQ(lines, 1u) << report;

    ::testing::internal::CaptureStderr();
    ASSERT_EQ(full.SetValue("Fresh", REG_SZ, "yes"), kRegSuccess);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("kept it as"), std::string::npos);
    EXPECT_EQ(FilesInDir().size(), 3u);
    RegistryValue value;
    EXPECT_EQ(full.QueryValue("Fresh", value), kRegSuccess);
}

TEST_F(RegistryHive, SeesChangesMadeByOthers) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", KeyAccess::Full, key), kRegSuccess);
    ASSERT_EQ(key.SetValue("Width", REG_DWORD, DwordData(1)), kRegSuccess);
    EXPECT_EQ(Number(key, "Width"), 1u);
    // Same size, edited in place: the cache must notice.
    std::string text = dir.Read("user.reg");
    size_t at = text.find("dword:00000001");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 14, "dword:00000002");
    int fd = open(dir.File("user.reg").c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    EXPECT_EQ(Number(key, "Width"), 2u);
}

TEST(HiveLocationsTest, FollowTheEnvironment) {
    TempDir dir;
    setenv(kConfigDirVariable, dir.path().c_str(), 1);
    HiveLocations inOne = CurrentHiveLocations();
    EXPECT_EQ(inOne.userHive, dir.File("user.reg"));
    EXPECT_EQ(inOne.machineHive, dir.File("machine.reg"));
    unsetenv(kConfigDirVariable);

    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(CurrentHiveLocations().userHive, dir.File("Quenby/user.reg"));
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(UserSettingsFolder().rfind("relative", 0), std::string::npos);
    if (oldXdg)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST(HiveLocationsTest, MachineHiveFallsBackToTheUsersCopyOnlyWithoutASystemHive) {
    TempDir dir;
    dravik::test::OpenToEveryone(dir.path());
    std::string system = dir.File("etc/Quenby");
    std::string user = dir.File("home/Quenby");
    mkdir(dir.File("etc").c_str(), 0755);
    EXPECT_EQ(ChooseMachineHive(system, user), system + "/machine.reg") << "a writable /etc gets the hive";

    chmod(dir.File("etc").c_str(), 0555);
    int failed = dravik::test::RunUnprivileged([&] {
        return ChooseMachineHive(system, user) == user + "/machine.reg" ? 0 : 1;
    });
    EXPECT_EQ(failed, 0) << "an unwritable /etc without a hive: the user's copy";

    chmod(dir.File("etc").c_str(), 0755);
    mkdir(system.c_str(), 0755);
    dir.Write("etc/Quenby/machine.reg", "; machine\n");
    chmod(dir.File("etc/Quenby/machine.reg").c_str(), 0444);
    chmod(system.c_str(), 0555);
    failed = dravik::test::RunUnprivileged([&] {
        return ChooseMachineHive(system, user) == system + "/machine.reg" ? 0 : 1;
    });
    EXPECT_EQ(failed, 0) << "an existing system hive is used even when it cannot be written";
    chmod(system.c_str(), 0755);
}
