// RegistryStore over the settings hives: key naming, the remembered
// application name, typed reads and their defaults, Delete of a subkey,
// enumeration, the read-only machine key and a program without version
// information.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "device/regstore/registry_store.h"
#include "device/test_seams.h"
#include "platform/hive_locations.h"
#include "support/run_unprivileged.h"
#include "support/temp_dir.h"

using namespace dravik::platform;
using dravik::test::TempDir;

namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv(kConfigDirVariable, dir.path().c_str(), 1);
        dravik::device::test_seams::ForgetRegistryNames();
    }
    void TearDown() override {
        unsetenv(kConfigDirVariable);
        dravik::device::test_seams::ForgetRegistryNames();
    }

    // Looks at the hive directly, beside the store.
    bool HiveValue(HiveRoot root, const char* path, const char* name, RegistryValue& value) {
        RegistryKey key;
        return RegistryKey::Open(root, path, KeyAccess::Query, key) == kRegSuccess &&
               key.QueryValue(name, value) == kRegSuccess;
    }

    TempDir dir;
};

}  // namespace

TEST_F(RegistryStoreTest, KeysAreNamedAfterCompanyAndApplication) {
    RegistryStore store;
    ASSERT_TRUE(store.Open("Dravik"));
    EXPECT_EQ(RegistryStore::RememberedCompanyName(), "Quenby");
    EXPECT_EQ(store.WriteFlag("IgnoreJoliet", true), kRegSuccess);
    ASSERT_TRUE(store.Open(".DeviceIntf"));
    EXPECT_EQ(store.WriteNumber("AdapterBypass", 6), kRegSuccess);
    store.Close();
    EXPECT_EQ(store.ReadNumber("AdapterBypass", 99), 99u) << "closed: the default";

    RegistryValue value;
    ASSERT_TRUE(HiveValue(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", "IgnoreJoliet", value));
    EXPECT_EQ(value.type, REG_DWORD);
    EXPECT_EQ(value.data, DwordData(1));
    ASSERT_TRUE(HiveValue(HiveRoot::LocalMachine, "SOFTWARE\\Quenby\\DeviceIntf", "AdapterBypass", value));
    EXPECT_EQ(value.data, DwordData(6));
    EXPECT_NE(dir.Read("machine.reg").find("[SOFTWARE\\Quenby\\DeviceIntf]"), std::string::npos);
    EXPECT_EQ(dir.Read("user.reg").find("DeviceIntf"), std::string::npos) << "machine-wide keys stay out of the user's hive";
}

TEST_F(RegistryStoreTest, FirstApplicationNameIsRememberedForOpensThatNameNone) {
    RegistryStore store;
    EXPECT_FALSE(store.Open("")) << "nothing remembered yet";
    EXPECT_FALSE(store.Open(nullptr));
    EXPECT_FALSE(store.IsOpen());

    ASSERT_TRUE(store.Open("Dravik"));
    ASSERT_TRUE(store.Open("Other"));
    EXPECT_EQ(RegistryStore::RememberedApplicationName(), "Dravik") << "only the first name is kept";
    ASSERT_TRUE(store.Open(""));
    store.WriteString("Where", "remembered");
    RegistryValue value;
    ASSERT_TRUE(HiveValue(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", "Where", value));
    EXPECT_EQ(value.data, "remembered");

    dravik::device::test_seams::ForgetRegistryNames();
    std::string longName(100, 'n');
    ASSERT_TRUE(store.Open(longName.c_str()));
    EXPECT_EQ(RegistryStore::RememberedApplicationName(), std::string(79, 'n'));
    ASSERT_TRUE(store.Open(""));
    store.WriteFlag("Cut", true);
    EXPECT_TRUE(HiveValue(HiveRoot::CurrentUser, ("Software\\Quenby\\" + std::string(79, 'n')).c_str(), "Cut", value));

    EXPECT_FALSE(store.Open(".")) << "a name of only the dot names no key";
    EXPECT_FALSE(store.IsOpen()) << "a failed open leaves the store closed";
}

TEST_F(RegistryStoreTest, ReadsGiveTheDefaultForOtherTypesAndLongTexts) {
    RegistryStore store;
    ASSERT_TRUE(store.Open("Dravik"));
    store.WriteString("Text", "1");
    store.WriteNumber("Two", 2);
    store.WriteFlag("Off", false);
    store.WriteString("Long600", std::string(600, 'x').c_str());
    store.WriteString("Exactly512", std::string(512, 'y').c_str());
    std::string wide;
    for (int i = 0; i < 512; ++i) wide += "\xc3\xa9";  // 512 characters, 1024 bytes
    store.WriteString("Wide512", wide.c_str());
    const unsigned char bytes[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(store.WriteBinary("Blob", bytes, sizeof bytes));
    RegistryKey raw;
    ASSERT_EQ(RegistryKey::Open(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik", KeyAccess::Full, raw), kRegSuccess);
    raw.SetValue("Expand", REG_EXPAND_SZ, "%TEMP%\\dravik");
    raw.SetValue("ShortDword", REG_DWORD, "\x01");

    EXPECT_TRUE(store.ReadFlag("Text", true)) << "REG_SZ read as a flag: the default";
    EXPECT_FALSE(store.ReadFlag("Text", false));
    EXPECT_EQ(store.ReadNumber("Text", 7), 7u);
    EXPECT_TRUE(store.ReadFlag("Two", false)) << "any non-zero number is on";
    EXPECT_FALSE(store.ReadFlag("Off", true));
    EXPECT_TRUE(store.ReadFlag("ShortDword", true)) << "a malformed number is not a number";
    EXPECT_EQ(store.ReadNumber("Two", 0), 2u);
    EXPECT_EQ(store.ReadString("Two", "def"), "def");
    EXPECT_EQ(store.ReadString("Long600", "def"), "def") << "a 600-character text reads as the default";
    EXPECT_EQ(store.ReadString("Exactly512", "def"), std::string(512, 'y'));
    EXPECT_EQ(store.ReadString("Wide512", "def"), wide) << "the limit counts characters, not bytes";
    EXPECT_EQ(store.ReadString("Expand", ""), "%TEMP%\\dravik") << "taken as stored";
    EXPECT_EQ(store.ReadString("Missing", "def"), "def");

    unsigned char buffer[8];
    std::memset(buffer, 0xAA, sizeof buffer);
    EXPECT_EQ(store.ReadBinary("Blob", buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::memcmp(buffer, bytes, 5), 0);
    EXPECT_EQ(buffer[5], 0xAA);
    std::memset(buffer, 0xAA, sizeof buffer);
    EXPECT_EQ(store.ReadBinary("Blob", buffer, 3), 5u) << "too small: the size needed";
    EXPECT_EQ(buffer[0], 0xAA) << "and nothing written past what the caller gave";
    EXPECT_EQ(store.ReadBinary("Text", buffer, sizeof buffer), 0u);
    EXPECT_EQ(store.ReadBinary("Missing", buffer, sizeof buffer), 0u);
}

TEST_F(RegistryStoreTest, DeleteOfABackslashNameRemovesTheSubkeyThenTheValue) {
    RegistryStore store;
    ASSERT_TRUE(store.Open("Dravik"));
    store.WriteString("\\Sub", "a value whose name starts with a backslash");
    store.WriteString("Keep", "k");
    RegistryKey sub;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik\\Sub\\Inner", KeyAccess::Full, sub),
              kRegSuccess);
    sub.SetValue("x", REG_DWORD, DwordData(1));

    store.Delete("\\Sub");
    char name[64];
    EXPECT_FALSE(store.EnumKey(0, name, sizeof name)) << "the subkey is gone";
    EXPECT_EQ(store.ReadString("\\Sub", "gone"), "gone") << "so is the value";
    EXPECT_EQ(store.ReadString("Keep", ""), "k");

    store.Delete("Keep");
    EXPECT_EQ(store.ReadString("Keep", "gone"), "gone");
    store.WriteString("Last", "l");
    store.Delete("\\");
    EXPECT_TRUE(store.Open("Dravik"));
    EXPECT_EQ(store.ReadString("Last", ""), "l") << "a lone backslash never deletes the key itself";
    store.Delete("Missing");  // absorbed
}

TEST_F(RegistryStoreTest, EnumerationReturnsNamesInOrderAndEnds) {
    RegistryStore store;
    ASSERT_TRUE(store.Open("Dravik"));
    store.WriteNumber("Width", 1);
    store.WriteString("TempPath", "/tmp/");
    RegistryKey sub;
    RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik\\Recent", KeyAccess::Full, sub);
    RegistryKey::Create(HiveRoot::CurrentUser, "Software\\Quenby\\Dravik\\Columns", KeyAccess::Full, sub);

    char name[16];
    EXPECT_EQ(store.EnumValue(0, name, sizeof name), 5);
    EXPECT_STREQ(name, "Width");
    EXPECT_EQ(store.EnumValue(1, name, sizeof name), 8);
    EXPECT_STREQ(name, "TempPath");
    EXPECT_EQ(store.EnumValue(2, name, sizeof name), 0);
    EXPECT_EQ(store.EnumValue(1, name, 8), -234) << "no room for the terminator";

    EXPECT_TRUE(store.EnumKey(0, name, sizeof name));
    EXPECT_STREQ(name, "Recent");
    EXPECT_TRUE(store.EnumKey(1, name, 4)) << "cut short, still returned";
    EXPECT_STREQ(name, "Col");
    EXPECT_FALSE(store.EnumKey(2, name, sizeof name));

    RegistryKey parent;
    ASSERT_EQ(RegistryKey::Open(HiveRoot::CurrentUser, "Software\\Quenby", KeyAccess::Full, parent), kRegSuccess);
    parent.DeleteSubkey("Dravik");
    EXPECT_EQ(store.EnumValue(0, name, sizeof name), -1018) << "other failures come back negated";
    EXPECT_FALSE(store.EnumKey(0, name, sizeof name));
}

TEST_F(RegistryStoreTest, WithoutAnOpenKeyEverythingIsAbsorbed) {
    RegistryStore store;
    char name[8] = "x";
    unsigned char buffer[4];
    EXPECT_EQ(store.ReadString("a", "d"), "d");
    EXPECT_TRUE(store.ReadFlag("a", true));
    EXPECT_EQ(store.ReadNumber("a", 3), 3u);
    EXPECT_EQ(store.ReadBinary("a", buffer, sizeof buffer), 0u);
    EXPECT_NE(store.WriteString("a", "b"), kRegSuccess);
    EXPECT_NE(store.WriteFlag("a", true), kRegSuccess);
    EXPECT_NE(store.WriteNumber("a", 1), kRegSuccess);
    EXPECT_FALSE(store.WriteBinary("a", buffer, sizeof buffer));
    EXPECT_EQ(store.EnumValue(0, name, sizeof name), 0);
    EXPECT_FALSE(store.EnumKey(0, name, sizeof name));
    store.Delete("\\a");
    EXPECT_TRUE(dir.Read("user.reg").empty()) << "nothing was written anywhere";
}

TEST_F(RegistryStoreTest, OpenKeyOpensOnlyExistingKeys) {
    RegistryKey sound;
    ASSERT_EQ(RegistryKey::Create(HiveRoot::CurrentUser, "AppEvents\\Schemes\\Apps\\Dravik\\Dravik-Message\\.Current",
                                  KeyAccess::Full, sound),
              kRegSuccess);
    sound.SetValue("", REG_SZ, "/usr/share/sounds/ding.wav");

    RegistryStore store;
    ASSERT_TRUE(store.OpenKey(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Dravik\\Dravik-Message\\.Current"));
    EXPECT_EQ(store.ReadString("", ""), "/usr/share/sounds/ding.wav");
    EXPECT_FALSE(store.OpenKey(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Dravik\\Dravik-Prompt\\.Current"));
    EXPECT_FALSE(store.IsOpen()) << "the earlier key was closed";
    EXPECT_FALSE(store.OpenKey(HKEY_LOCAL_MACHINE, "AppEvents"));
    EXPECT_EQ(RegistryStore::RememberedApplicationName(), "") << "OpenKey names no application";
}

TEST_F(RegistryStoreTest, UserWithoutRightsToTheMachineKeyReadsItAndWritesNothing) {
    {
        RegistryStore store;
        ASSERT_TRUE(store.Open(".DeviceIntf"));
        ASSERT_EQ(store.WriteFlag("UseSPTI", true), kRegSuccess);
    }
    std::string before = dir.Read("machine.reg");
    chmod(dir.File("machine.reg").c_str(), 0444);
    chmod(dir.path().c_str(), 0555);
    int failed = dravik::test::RunUnprivileged([] {
        dravik::device::test_seams::ForgetRegistryNames();
        RegistryStore store;
        if (!store.Open(".DeviceIntf")) return 1;
        if (!store.ReadFlag("UseSPTI", false)) return 2;
        if (store.WriteFlag("UseSPTI", false) == kRegSuccess) return 3;
        if (store.WriteBinary("Other", "x", 1)) return 4;
        store.Delete("UseSPTI");
        if (!store.ReadFlag("UseSPTI", false)) return 5;
        return 0;
    });
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(dir.Read("machine.reg"), before);
}

TEST_F(RegistryStoreTest, ProgramWithoutVersionInformationCannotOpen) {
    char self[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    std::string probe = std::string(self, static_cast<size_t>(length));
    probe = probe.substr(0, probe.find_last_of('/')) + "/regstore_probe";
    ASSERT_EQ(access(probe.c_str(), X_OK), 0) << probe;
    int status = std::system((probe + " > /dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened a key; 2: the probe carries version information";
    EXPECT_TRUE(dir.Read("user.reg").empty());
    EXPECT_TRUE(dir.Read("machine.reg").empty());
}
