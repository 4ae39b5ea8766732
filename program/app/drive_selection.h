// The drives the program offers and the one in use: the device list built
// once at start (every drive that passes the device check), the drive used
// last picked at start, the drive made the one in use, virtual drives over
// disc images opened while the program runs, and the device-database
// analysis of the -K switch. Free of any widget toolkit: what the main
// window shows goes through DriveSelectionHooks.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dravik::device {
class CDDevice;
}

namespace dravik::app {

// The drives that passed the device check, in enumeration order. The
// program owns them until ReleaseDevices.
const std::vector<std::unique_ptr<device::CDDevice>>& DeviceList();

// What the main window does when a drive is chosen.
struct DriveSelectionHooks {
    std::function<void()> showDeviceStatus;      // status bar's device part
    std::function<void()> updateDeviceControls;  // commands that need a drive
};
void InstallDriveSelectionHooks(DriveSelectionHooks hooks);
void ShowDeviceStatusNow();
void UpdateDeviceControlsNow();

// Builds the device list and, with AutoStart on, takes the drive whose id
// is exactly "LastDevice" when it is ready. True when a drive is selected
// (the caller scans); false otherwise (the caller opens the dialog).
bool SelectDeviceAtStart();
// Makes SelectedDevice() the drive in use: its prompt suppression, and
// its id stored as "LastDevice".
void UseDevice();
// Makes `device` (one of the list) the selected drive, in use, shown.
void ChooseDevice(device::CDDevice* device);
// How a drive answers the readiness check. A drive that is becoming ready
// (a disc spinning up: NOT READY, 04/01) is taken: the scan waits for
// it, in both front ends.
enum class DriveReadiness { kReady, kBecomingReady, kRefused };
// Checks `device` now; for a refused drive `reason` (when given) says why
// in words for the drive list.
DriveReadiness CheckDriveReadiness(device::CDDevice& device, std::string* reason = nullptr);
inline bool DriveAccepted(device::CDDevice& device) {
    return CheckDriveReadiness(device) != DriveReadiness::kRefused;
}

// A drive the device check refused at start or when its image was opened:
// the drive list shows it grayed, with the reason.
struct RefusedDrive {
    std::string id;    // "E:"
    std::string name;  // the drive's name, or the image's path
    std::string reason;
};
const std::vector<RefusedDrive>& RefusedDrives();

// The disc image a virtual drive serves, or empty for a real drive (or a
// device that is not in the drive table).
std::string ImagePathOfDrive(device::CDDevice& device);

// Deletes every object of the list; no drive is selected afterwards.
void ReleaseDevices();

// Serves the disc image or description at `path` as a virtual drive and
// adds it to the device list (an image already served gives its drive).
// Null with `error` saying why when it cannot be opened or its drive fails
// the device check; nothing else changes then.
device::CDDevice* AddImageDrive(const std::string& path, std::string& error);

// -K: parses every entry of the device database, with its messages going
// to the debug log. False when an entry does not parse.
bool AnalyzeDeviceDatabase();

// Messages: no drive is selected; the drive cannot be used (letter).
constexpr unsigned kNoDriveSelected = 102;
constexpr unsigned kDriveNotUsable = 108;
// The message of an image that cannot be used (path, reason).
constexpr unsigned kImageNotUsable = 261;

}  // namespace dravik::app
