#include "program/app/device_setup.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/diag/data_files.h"
#include "program/messages/show_message.h"

namespace dravik::app {

namespace {

// In the build tree beside bin/, installed in share/dravik/.
constexpr char kDatabaseBesideProgram[] = "../Shared/ASPIDEV.DDB";
constexpr char kDatabaseInstalled[] = "ASPIDEV.DDB";

void DeviceDebugLine(char* format, ...) {
    char line[diag::kMaxLogLine + 1];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    diag::DebugPrint("%s", line);
}

void DeviceDebugDump(void* data, int length, const char* title) { diag::DebugDump(data, length, title); }

int DebugLevelOfSwitches() { return (diag::DebugMode ? 1 : 0) + (diag::LogWriteThrough ? 2 : 0); }

}  // namespace

std::string DeviceDatabasePath() { return diag::FindDataFile(kDatabaseBesideProgram, kDatabaseInstalled); }

void PrepareDevice(device::CDDevice& device) {
    device.SetMessageCallback(messages::ShowMessage);
    device.SetDebugCallback(DeviceDebugLine);
    device.SetDebugDump(DeviceDebugDump);
    device.SetDebugLevel(DebugLevelOfSwitches());
    const std::string database = DeviceDatabasePath();
    if (::access(database.c_str(), R_OK) == 0) {
        device.SetDDBFilename(database);
    } else {
        if (diag::DebugMode) diag::DebugPrint("No device database at %s; drives are checked without it", database.c_str());
        device.SetDDBFilename("");
    }
}

}  // namespace dravik::app
