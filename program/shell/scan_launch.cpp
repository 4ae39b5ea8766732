#include "program/shell/scan_launch.h"

#include <atomic>
#include <exception>
#include <thread>

#include "device/cddevice/cddevice.h"
#include "program/diag/debug_log.h"
#include "program/port/shell_port.h"
#include "program/scan/driver/scan_device.h"
#include "program/scan/scan_state.h"

namespace dravik::shell {

namespace {

std::atomic<ScanThreadBody> g_body{nullptr};
std::function<void(bool)> g_menuSwitch;
std::thread g_scanThread;
std::atomic<bool> g_threadDone{true};

void RunScanThread(ScanThreadBody body) {
    try {
        body();
    } catch (const std::exception& error) {
        if (diag::DebugMode) diag::DebugPrint("The scan ended with an exception: %s", error.what());
    } catch (...) {
        if (diag::DebugMode) diag::DebugPrint("The scan ended with an exception");
    }
    if (port::ShellPort* port = port::InstalledShellPort()) {
        port->CallOnUserInterfaceThread([] {
            EnableMainMenus(true);
            return 0;
        });
    } else {
        scan::ScanRunning = false;
    }
    g_threadDone = true;
}

}  // namespace

// One selected drive for the whole program: the scan engine reads the
// drive the shell chose, with no second copy to keep in step.
device::CDDevice* SelectedDevice() { return scan::SelectedDevice(); }
void SetSelectedDevice(device::CDDevice* device) { scan::SetSelectedDevice(device); }

void InstallScanThread(ScanThreadBody body) { g_body = body; }
bool ScanEngineInstalled() { return g_body.load() != nullptr; }

void SetMainMenuSwitch(std::function<void(bool)> enableMainMenus) { g_menuSwitch = std::move(enableMainMenus); }

void EnableMainMenus(bool enabled) {
    scan::ScanRunning = !enabled;
    if (g_menuSwitch) g_menuSwitch(enabled);
}

bool StartScan() {
    ScanThreadBody body = g_body;
    if (!body) {
        if (diag::DebugMode) diag::DebugPrint("No scan engine is part of this build; the scan does not start");
        return false;
    }
    if (scan::ScanRunning) return false;
    // A thread that has finished is joined before the next one starts.
    if (g_scanThread.joinable()) {
        if (!g_threadDone) return false;
        g_scanThread.join();
    }
    EnableMainMenus(false);
    g_threadDone = false;
    g_scanThread = std::thread(RunScanThread, body);
    return true;
}

bool ScanThreadExists() { return g_scanThread.joinable(); }

void JoinScanThread(const std::function<void()>& pump) {
    if (!g_scanThread.joinable()) return;
    while (!g_threadDone) {
        if (pump) pump();
        std::this_thread::yield();
    }
    g_scanThread.join();
}

}  // namespace dravik::shell
