#include "support/device_stage.h"

#include <cstdio>
#include <cstdlib>

#include "device/cddevice/cddevice.h"
#include "platform/drive_source.h"
#include "platform/hive_locations.h"
#include "program/diag/debug_log.h"
#include "program/messages/show_message.h"
#include "program/scan/driver/program_file_systems.h"
#include "program/scan/scan_device.h"
#include "program/settings/settings.h"
#include "support/quiet_port.h"
#include "support/scratch_files.h"

namespace dravik::fuzz {

void SetUpFailed(const char* what) {
    std::fprintf(stderr, "fuzz set-up failed: %s\n", what);
    std::abort();
}

void SelectDrive(std::shared_ptr<platform::ScsiDrive> drive) {
    setenv(platform::kConfigDirVariable, ScratchFolder().c_str(), 1);
    settings::ResetSettings();
    diag::DebugMode = false;
    InstallQuietPort();
    platform::SetDriveLister([drive] { return platform::DriveList{{'D', drive}}; });
    if (!device::CDDevice::Initialize(nullptr, messages::ShowMessage)) SetUpFailed("device library");
    static device::CDDevice* device = new device::CDDevice;  // lives as long as the process
    if (!device->FirstDevice()) SetUpFailed("no device on the drive");
    scan::SetSelectedDevice(device);
    scan::InstallProgramFileSystems();
}

}  // namespace dravik::fuzz
