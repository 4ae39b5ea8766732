// The one scan launcher of both front ends: StartScan runs the scan
// engine's body (scan::ScanThread) on the program's one worker thread, and
// WaitForScan joins it while the caller keeps serving the scan's hand-overs
// to the user-interface thread.
#pragma once

#include <functional>

namespace dravik::app {

// The body the scan thread runs (no argument, no result).
using ScanThreadBody = void (*)();
// Replaces the body (scan::ScanThread by default); null means no scan
// engine, and StartScan then starts nothing. The graphical tests use it to
// run scans that end at once or wait to be stopped.
void InstallScanThread(ScanThreadBody body);

// What StartScan runs while the scan before is still on its way out (it
// has given the menus back but may wait for a last hand-over to the
// user-interface thread): a front end with an event loop serves it here.
// Without one, StartScan does not wait and refuses to start.
void InstallScanPump(std::function<void()> pump);

// On the user-interface thread: sets ScanRunning, grays the first three
// menus and starts the body on its own thread. When the body returns (or
// throws), the thread clears ScanRunning and enables the menus again on the
// user-interface thread. A stop asked of an earlier scan (CloseRequested)
// is cleared first. False when there is no body, a scan still runs or a
// copy runs.
bool StartScan();
// Asks a running scan to stop: the selected drive's abort flag and
// CloseRequested, which the readers poll. StartScan clears both for the
// next scan, so a stop never reaches past the scan it was meant for.
void StopScan();
// True while a scan thread has not been joined yet.
bool ScanThreadExists();
// Joins the scan thread; `pump` runs while it still works (a caller on the
// user-interface thread must let it serve the scan's hand-overs). The
// wait wakes as soon as the thread ends.
void WaitForScan(const std::function<void()>& pump = {});

}  // namespace dravik::app
