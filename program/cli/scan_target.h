// The part of a dravik-cli command that scans its TARGET as the program
// does: a drive letter ("D:"), a device node ("/dev/sr0") or an image or
// description file, served by a virtual drive for the run. The scan runs
// on the scan thread; this thread shows a progress line on a terminal and
// turns Ctrl-C into the abort flag. After the scan the command's own work
// runs while the track list, the catalogue and the drive still stand.
#pragma once

#include <functional>
#include <string>

#include "program/scan/driver/scan_thread.h"

namespace dravik::device {
class CDDevice;
}

namespace dravik::cli {

// Gets the drive of the scan and how the scan ended (never a drive or
// media failure: those end the command with kExitDevice); returns the
// command's exit status. The drive is still the selected device.
using AfterScan = std::function<int(device::CDDevice& device, scan::ScanOutcome outcome)>;

// Loads the device library with the language module, scans `target` and
// calls `afterScan`. Problems are told on stderr as "dravik-cli COMMAND: ...".
// The settings are the caller's (it parses its options into them first).
int ScanTargetWith(const char* command, const std::string& target, const AfterScan& afterScan);

// The ddrescue mapfile (--map) for the image target of the next scans;
// empty: the one beside the image, if any. A drive target with a map is refused.
void SetTargetRescueMap(const std::string& mapFile);

// True once Ctrl-C was pressed during the command (the scan or the work after it).
bool InterruptRequested();

}  // namespace dravik::cli
