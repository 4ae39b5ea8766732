// libzoltdev.so as a library: which symbols it exports, and its exit
// running Terminate when the program left a transport started.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/drive_source.h"
#include "platform/hive_locations.h"
#include "platform/scsi_drive.h"
#include "support/temp_dir.h"

using dravik::test::TempDir;

namespace {

std::string LibraryPath() {
    const char* dir = std::getenv("DRAVIK_BUILD_DIR");
    return std::string(dir ? dir : DRAVIK_TEST_BUILD_DIR) + "/bin/libzoltdev.so";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A drive that answers every command with GOOD status, so that the
// transports have something to start on.
class QuietDrive : public dravik::platform::ScsiDrive {
public:
    dravik::platform::ScsiResult Execute(const dravik::platform::ScsiRequest&) override { return {}; }
    dravik::platform::DriveIdentity Identity() const override { return {"TEST", "QUIET", "1"}; }
    dravik::platform::DriveKind Kind() const override { return dravik::platform::DriveKind::kVirtual; }
    std::string Location() const override { return "quiet"; }
};

TEST(ZoltdevLibraryTest, ExportsTheLibraryClassesAndHidesTheRest) {
    void* library = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    // CDDevice::Initialize, DevCommand::DevCommand(CDDevice*), DDBInfo::DDBInfo(callback)
    for (const char* exported : {"_ZN6dravik6device8CDDevice10InitializeEPvPFiizE",
                                 "_ZN6dravik6device8CDDeviceC1Ev", "_ZN6dravik6device10DevCommandC1EPNS0_8CDDeviceE",
                                 "_ZTVN6dravik6device10DevCommandE", "_ZN6dravik6device7DDBInfoC1EPFiizE"})
        EXPECT_NE(dlsym(library, exported), nullptr) << exported;
    // The library-wide state and the helpers stay inside.
    for (const char* hidden : {"_ZN6dravik6device7LibraryEv", "_ZN6dravik6device18FindResourceTextEPvj",
                               "_ZN6dravik6device8ASPIIntfC1Ev"})
        EXPECT_EQ(dlsym(library, hidden), nullptr) << hidden;
    dlclose(library);
}

// Start-up lines and errors of the child, for the test's output.
int PrintLog(int id, ...) {
    va_list args;
    va_start(args, id);
    const char* text = id == 0 ? va_arg(args, const char*) : nullptr;
    va_end(args);
    std::fprintf(stderr, "library message %d %s\n", id, text ? text : "");
    return 0;
}

// Starts the library loaded from its file in a child process, which then
// leaves either through exit (the library's exit runs) or through _exit.
// Returns the crash marker the child left in the machine-wide key.
std::string MarkerAfterChild(const TempDir& config, bool orderlyExit) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv(dravik::platform::kConfigDirVariable, config.path().c_str(), 1);
        dravik::platform::SetDriveLister([] {
            return dravik::platform::DriveList{{'D', std::make_shared<QuietDrive>()}};
        });
        void* library = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) _exit(10);
        using Initialize = bool (*)(void*, int (*)(int, ...));
        auto initialize = reinterpret_cast<Initialize>(dlsym(library, "_ZN6dravik6device8CDDevice10InitializeEPvPFiizE"));
        if (initialize == nullptr) _exit(11);
        if (!initialize(nullptr, PrintLog)) _exit(12);
        if (orderlyExit) exit(0);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: not loaded, 11: no Initialize, 12: no transport started";
    std::string hive = ReadFile(config.File("machine.reg"));
    size_t at = hive.find("\"CrashDetect\"=dword:");
    return at == std::string::npos ? std::string() : hive.substr(at + 20, 8);
}

TEST(ZoltdevLibraryTest, LibraryExitTerminatesAStartedTransport) {
    TempDir orderly;
    EXPECT_EQ(MarkerAfterChild(orderly, true), "00000000") << "Terminate ran on the way out";
    TempDir killed;
    EXPECT_EQ(MarkerAfterChild(killed, false), "00000001") << "a process that dies keeps the marker";
}

}  // namespace
