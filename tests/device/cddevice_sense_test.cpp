// Error texts of a device: sense bytes with the language module's sense
// texts, system error codes under sense key 254, and what happens when the
// module or its text is missing.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cddevice_fakes.h"
#include "device/cddevice/cddevice.h"
#include "device/regstore/registry_store.h"
#include "device/test_seams.h"
#include "platform/hive_locations.h"
#include "support/temp_dir.h"

using dravik::device::CDDevice;
using dravik::device::DevRequest;
using dravik::device::test::FakeStarters;
using dravik::device::test::FakeTransport;
using dravik::device::test::LogRecorder;
using dravik::test::TempDir;

namespace {

std::string BuildDir() {
    const char* dir = std::getenv("DRAVIK_BUILD_DIR");
    return dir ? dir : DRAVIK_TEST_BUILD_DIR;
}

// Exposes the protected FormatSense.
class SenseDevice : public CDDevice {
public:
    using CDDevice::FormatSense;
};

class CDDeviceSenseTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv(dravik::platform::kConfigDirVariable, dir.path().c_str(), 1);
        dravik::device::test_seams::ForgetRegistryNames();
        FakeTransport::ResetCounters();
        FakeStarters::Reset();
        FakeStarters::succeeds[1] = true;
        table = FakeStarters::Table();
        dravik::device::test_seams::SetTransportStarters(&table);
        languageModule = dlopen((BuildDir() + "/bin/liblangres.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(languageModule, nullptr) << dlerror();
    }
    void TearDown() override {
        CDDevice::Terminate();
        if (languageModule) dlclose(languageModule);
        dravik::device::test_seams::SetTransportStarters(nullptr);
        unsetenv(dravik::platform::kConfigDirVariable);
        dravik::device::test_seams::ForgetRegistryNames();
    }

    // A device of a library started with `module`, holding the given sense.
    std::string Format(void* module, uint8_t key, uint8_t asc, uint8_t ascq) {
        EXPECT_TRUE(CDDevice::Initialize(module, LogRecorder::Record));
        CDDevice device;
        FakeTransport::answer.ready = false;
        FakeTransport::answer.senseKey = key;
        FakeTransport::answer.asc = asc;
        FakeTransport::answer.ascq = ascq;
        EXPECT_FALSE(device.CheckDevice(false));
        return device.FormatErrorSense();
    }

    TempDir dir;
    dravik::device::TransportStarters table;
    void* languageModule = nullptr;
};

TEST_F(CDDeviceSenseTest, SenseWithATextShowsTheTextThenTheBytes) {
    EXPECT_EQ(Format(languageModule, 3, 0x11, 0x05), "Unrecoverable read error\nSense=11 05");
    EXPECT_EQ(Format(languageModule, 5, 0x20, 0x00), "Command not supported\nSense=20 00");
}

TEST_F(CDDeviceSenseTest, SenseWithoutATextShowsOnlyTheBytes) {
    EXPECT_EQ(Format(languageModule, 2, 0xF0, 0xAB), "Sense=f0 ab");
}

TEST_F(CDDeviceSenseTest, MissingModuleOrLookupGivesOnlyTheBytesNeverACrash) {
    EXPECT_EQ(Format(nullptr, 3, 0x11, 0x05), "Sense=11 05");
    // A loaded module without the lookup function: the test program itself.
    void* withoutLookup = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(withoutLookup, nullptr);
    EXPECT_EQ(Format(withoutLookup, 3, 0x11, 0x05), "Sense=11 05");
    dlclose(withoutLookup);
}

TEST_F(CDDeviceSenseTest, SystemErrorCodeShowsTheSystemTextWithoutItsFullStop) {
    EXPECT_EQ(Format(languageModule, 254, 0x05, 0x00), "Access is denied, Error=5");
    // ASC is the low byte of the code, ASCQ the high one: 0x048F = 1167.
    EXPECT_EQ(Format(languageModule, 254, 0x8F, 0x04), "The device is not connected, Error=1167");
    EXPECT_EQ(Format(languageModule, 254, 0xFE, 0xFF), ", Error=65534") << "no system text";
}

TEST_F(CDDeviceSenseTest, FormatSenseTakesTheRequestsSenseIntoTheDevice) {
    ASSERT_TRUE(CDDevice::Initialize(languageModule, LogRecorder::Record));
    SenseDevice device;
    DevRequest request(&device);
    request.senseKey = 3;
    request.asc = 0x11;
    request.ascq = 0x00;
    EXPECT_STREQ(device.FormatSense(&request), "Unrecoverable read error\nSense=11 00");
    EXPECT_EQ(device.GetSenseKey(), 3);
    EXPECT_EQ(device.GetSenseCode(), 0x11);
}

TEST(CDDeviceErrorStringTest, SystemTextIsCutBeforeItsFullStop) {
    char buffer[CDDevice::kTextBufferChars];
    EXPECT_STREQ(CDDevice::GetErrorString(buffer, 87), "The parameter is incorrect");
    EXPECT_EQ(CDDevice::GetErrorString(buffer, 87), buffer);
    EXPECT_STREQ(CDDevice::GetErrorString(buffer, 40000), "");
}

}  // namespace
