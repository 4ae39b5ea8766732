// Where the shell meets the scan engine: the selected drive, and StartScan,
// which runs the engine's scan-thread body on the program's one worker
// thread. The engine installs its body with InstallScanThread; until one is
// installed, StartScan starts nothing and says so. Free of any widget
// toolkit.
#pragma once

#include <functional>
#include <memory>

namespace dravik::device {
class CDDevice;
}

namespace dravik::shell {

// The drive scans read; null when none is selected. The drive selection
// owns the object (its device list); this only points at it. It is the
// scan engine's selected drive (scan::SelectedDevice), so a drive chosen
// here is the one the engine scans.
device::CDDevice* SelectedDevice();
void SetSelectedDevice(device::CDDevice* device);

// The scan thread's body (no argument, no result).
using ScanThreadBody = void (*)();
void InstallScanThread(ScanThreadBody body);
bool ScanEngineInstalled();

// Enables or grays the main window's first three menus; called on the
// user-interface thread. The main window installs it.
void SetMainMenuSwitch(std::function<void(bool enabled)> enableMainMenus);
// Stores ScanRunning = !enabled and switches the menus.
void EnableMainMenus(bool enabled);

// On the user-interface thread: sets ScanRunning, grays the first three
// menus and starts the scan thread. When the body returns (or throws), the
// thread clears ScanRunning and enables the menus again on the
// user-interface thread. False when no scan engine is installed or a scan
// is still running.
bool StartScan();
// True while a scan thread has not been joined yet.
bool ScanThreadExists();
// Joins a finished scan thread; `pump` runs while the thread still works
// (it must let the user-interface thread serve the scan's hand-overs).
void JoinScanThread(const std::function<void()>& pump);

}  // namespace dravik::shell
