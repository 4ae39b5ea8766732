#include "program/app/scan_launch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "device/cddevice/cddevice.h"
#include "program/app/copy_job.h"
#include "program/diag/debug_log.h"
#include "program/scan/driver/scan_thread.h"
#include "program/scan/scan_device.h"
#include "program/scan/scan_state.h"

namespace dravik::app {

namespace {

std::atomic<ScanThreadBody> g_body{&scan::ScanThread};
// Guards starting and joining the thread.
std::mutex g_threadLock;
std::thread g_thread;
// Set when the body has returned; wakes WaitForScan at once (it pumps
// between waits).
std::mutex g_doneLock;
std::condition_variable g_doneSignal;
bool g_threadDone = true;

// How often WaitForScan serves the caller's pump while the scan runs.
constexpr auto kPumpInterval = std::chrono::milliseconds(5);

void RunScanThread(ScanThreadBody body) {
    try {
        body();
    } catch (const std::exception& error) {
        if (diag::DebugMode) diag::DebugPrint("The scan ended with an exception: %s", error.what());
    } catch (...) {
        if (diag::DebugMode) diag::DebugPrint("The scan ended with an exception");
    }
    // Whatever the body did, the menus come back when it ends (the scan
    // engine's own end does this already).
    if (scan::ScanRunning) scan::EnableMainMenus(true);
    {
        std::lock_guard<std::mutex> done(g_doneLock);
        g_threadDone = true;
    }
    g_doneSignal.notify_all();
}

std::function<void()>& Pump() {
    static std::function<void()> pump;
    return pump;
}

bool ThreadDone() {
    std::lock_guard<std::mutex> done(g_doneLock);
    return g_threadDone;
}

}  // namespace

void InstallScanThread(ScanThreadBody body) { g_body = body; }

void InstallScanPump(std::function<void()> pump) { Pump() = std::move(pump); }

bool StartScan() {
    const ScanThreadBody body = g_body;
    if (!body) {
        if (diag::DebugMode) diag::DebugPrint("No scan engine is installed; the scan does not start");
        return false;
    }
    // A scan that has ended but whose thread is still finishing is waited
    // for: a new scan asked for right at the end is not lost.
    if (!scan::ScanRunning && !ThreadDone() && Pump()) WaitForScan(Pump());
    std::lock_guard<std::mutex> hold(g_threadLock);
    // A copy reads the catalogue a new scan would replace.
    if (scan::ScanRunning || CopyRunning()) return false;
    if (g_thread.joinable()) {
        // A body that has not returned yet still holds the thread.
        if (!ThreadDone()) return false;
        g_thread.join();
    }
    // The stop of the scan before must not stop this one: the readers
    // would leave every track unread.
    scan::CloseRequested = 0;
    scan::EnableMainMenus(false);
    {
        std::lock_guard<std::mutex> done(g_doneLock);
        g_threadDone = false;
    }
    g_thread = std::thread(RunScanThread, body);
    return true;
}

void StopScan() {
    if (device::CDDevice* drive = scan::SelectedDevice()) drive->SetAbortFlag();
    scan::CloseRequested = 1;
}

bool ScanThreadExists() {
    std::lock_guard<std::mutex> hold(g_threadLock);
    return g_thread.joinable();
}

void WaitForScan(const std::function<void()>& pump) {
    {
        std::lock_guard<std::mutex> hold(g_threadLock);
        if (!g_thread.joinable()) return;
    }
    // No lock is held while the pump runs: what it serves may ask for the
    // state of the scan or start the next one.
    std::unique_lock<std::mutex> wait(g_doneLock);
    while (!g_threadDone) {
        wait.unlock();
        if (pump) pump();
        wait.lock();
        g_doneSignal.wait_for(wait, kPumpInterval, [] { return g_threadDone; });
    }
    wait.unlock();
    std::lock_guard<std::mutex> hold(g_threadLock);
    if (g_thread.joinable() && ThreadDone()) g_thread.join();
}

}  // namespace dravik::app
